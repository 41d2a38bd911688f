// Mapping of ODBC diagnostics to the system's error numbers (see odbc_error.h).
#include "dbaccess/odbc_error.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

#include "base/ascii_case.h"
#include "dbaccess/odbc_backend.h"
#include "dbaccess/odbc_text.h"

namespace dbaccess {
namespace {

bool Contains(const std::string& lower_text, const char* part) {
  return lower_text.find(part) != std::string::npos;
}

// Texts of a refused login from servers that report it under a connection
// SQLSTATE (psqlODBC passes the server's FATAL message on as 08001).
bool IsRefusedLoginText(const std::string& lower_text) {
  return Contains(lower_text, "password authentication failed") ||
         Contains(lower_text, "no password supplied") ||
         Contains(lower_text, "login failed for user");
}

// Texts of a connection that broke under a statement, whatever SQLSTATE the
// driver chose for it.
bool IsLostConnectionText(const std::string& lower_text) {
  return Contains(lower_text, "connection dead") ||
         Contains(lower_text, "server closed the connection unexpectedly") ||
         // The server ends a session: an administrator, or a timeout such as
         // an idle transaction's (idle_in_transaction_session_timeout).
         Contains(lower_text, "terminating connection due to") ||
         Contains(lower_text, "no connection to the server");
}

struct Diagnostic {
  std::string sqlstate;
  std::string text;
};

std::optional<Diagnostic> ReadDiagnostic(SQLSMALLINT handle_type, SQLHANDLE handle,
                                         SQLSMALLINT record) {
  std::array<SQLWCHAR, 6> state{};
  SQLINTEGER native = 0;
  std::array<SQLWCHAR, 2048> message{};
  SQLSMALLINT length = 0;
  const SQLRETURN rc =
      SQLGetDiagRecW(handle_type, handle, record, state.data(), &native, message.data(),
                     static_cast<SQLSMALLINT>(message.size()), &length);
  if (!SQL_SUCCEEDED(rc)) return std::nullopt;
  std::string text = FromWideBuffer(message.data(), message.size());
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  return Diagnostic{FromWideBuffer(state.data(), state.size()), std::move(text)};
}

bool ConnectionIsDead(SQLHDBC connection) {
  if (connection == SQL_NULL_HDBC) return false;
  SQLUINTEGER dead = SQL_CD_FALSE;
  const SQLRETURN rc = SQLGetConnectAttr(connection, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
  return SQL_SUCCEEDED(rc) && dead == SQL_CD_TRUE;
}

}  // namespace

int32_t ErrorNumberForSqlState(const std::string& sqlstate) {
  if (sqlstate.rfind("08", 0) == 0) return kErrGenericFailure;
  if (sqlstate.rfind("28", 0) == 0) return kErrLoginFailed;
  if (sqlstate == "42S02" || sqlstate == "42P01") return kErrTableNotFound;
  // IM002: no such data source or driver; IM003: the driver could not be loaded.
  if (sqlstate == "IM002" || sqlstate == "IM003") return kErrProviderNotFound;
  if (sqlstate == "HYT00" || sqlstate == "HYT01") return kErrTimeout;
  return kErrCommandFailed;
}

int32_t ErrorNumberForDiagnostic(const std::string& sqlstate, const std::string& text) {
  const std::string lower_text = base::Lower(text);
  if (IsRefusedLoginText(lower_text)) return kErrLoginFailed;
  if (IsLostConnectionText(lower_text)) return kErrGenericFailure;
  // unixODBC reports a driver named in the string but not installed only as
  // the warning 01000 "Can't open lib".
  if (Contains(lower_text, "can't open lib")) return kErrProviderNotFound;
  // sqliteodbc reports every engine error as HY000 with SQLite's own text.
  if (Contains(lower_text, "no such table")) return kErrTableNotFound;
  // psqlODBC enforces the query timeout with the server's statement_timeout.
  if (sqlstate == "57014" && Contains(lower_text, "statement timeout")) return kErrTimeout;
  return ErrorNumberForSqlState(sqlstate);
}

DbError ErrorFromDiagnostics(SQLSMALLINT handle_type, SQLHANDLE handle, SQLHDBC connection) {
  // unixODBC may put a warning (01000) ahead of the error itself, so the first
  // record that is not a warning decides.
  Diagnostic chosen;
  for (SQLSMALLINT record = 1;; ++record) {
    std::optional<Diagnostic> diagnostic = ReadDiagnostic(handle_type, handle, record);
    if (!diagnostic) break;
    if (record == 1) chosen = *diagnostic;
    if (diagnostic->sqlstate.rfind("01", 0) != 0) {
      chosen = *diagnostic;
      break;
    }
  }
  if (chosen.sqlstate.empty() && chosen.text.empty()) {
    return DbError(ConnectionIsDead(connection) ? kErrGenericFailure : kErrCommandFailed,
                   "The ODBC driver reported a failure without a diagnostic record.");
  }
  const int32_t number = ConnectionIsDead(connection)
                             ? kErrGenericFailure
                             : ErrorNumberForDiagnostic(chosen.sqlstate, chosen.text);
  if (number == kErrProviderNotFound) {
    return DbError(number, kTextProviderNotFound, chosen.sqlstate);
  }
  return DbError(number, chosen.text, chosen.sqlstate);
}

}  // namespace dbaccess
