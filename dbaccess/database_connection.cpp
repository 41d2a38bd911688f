// CDatabaseConnectionObj: the connection strings of every database kind, the
// SQL Server fallback sequence, statements and transaction retries.
//
// Every operation on the owned connection runs inside Guarded, which turns any
// exception into errNumber / ErrDescription, so nothing leaves this class by
// throwing. The transaction retries wait through the injected Clock.
#include "dbaccess/database_connection.h"

#include <cstdlib>
#include <limits>

#include "dbaccess/alias_account.h"
#include "dbaccess/database_kind.h"
#include "dbaccess/db_error.h"

namespace voltrane {
namespace {

constexpr int kCommandTimeoutSeconds = 900;
constexpr int kTransactionAttempts = 30;
constexpr int64_t kWaitPollMilliseconds = 300;
constexpr const char* kOldSqlProvider = "SQLOLEDB";
constexpr const char* kProbeStatement = "select * from T_VMES_PTYPE";

}  // namespace

std::string DbTypeString(int32_t database_type) {
  switch (database_type) {
    case 0:
      return "ORACLE";
    case 1:
      return "ACCESS";
    case 2:
      return "SQLSERVER";
    case 3:
      return "SQLITE";
    case 4:
      return "POSTGRESQL";
    default:
      return "";
  }
}

// The kinds whose location is a server show "label" + server + ":" + database,
// the file-based ones "label" + " " + file; the labels are written for that.
std::string DatabaseLabelText(int id) {
  switch (id) {
    case kLabelOracle:
      return "Oracle Server: ";
    case kLabelAccess:
      return "Microsoft Access Database:";
    case kLabelSqlServer:
      return "SQL Server: ";
    case kLabelSqlite:
      return "SQLite Database:";
    case kLabelPostgreSql:
      return "PostgreSQL Server: ";
    default:
      return "";
  }
}

CDatabaseConnectionObj::CDatabaseConnectionObj(TraceSink trace, MessageTextLookup message_text,
                                               std::shared_ptr<dbaccess::Clock> clock)
    : trace_(std::move(trace)),
      message_text_(std::move(message_text)),
      clock_(clock ? std::move(clock) : dbaccess::DefaultClock()),
      connection_(std::make_shared<dbaccess::Connection>()) {
  connection_->SetCommandTimeout(kCommandTimeoutSeconds);
}

CDatabaseConnectionObj::~CDatabaseConnectionObj() { Disconnect(); }

std::string CDatabaseConnectionObj::errNumber() const { return std::to_string(err_number_); }

// ---------------------------------------------------------------------------
// Failures and helpers

// The provider's own entry of the connection's error collection carries the
// precise code (a refused login, say); errors raised before the provider was
// reached (3001, 3706) arrive only as the raised error.
void CDatabaseConnectionObj::StoreFailure(const std::exception* raised) {
  if (connection_ && !connection_->Errors().empty()) {
    const dbaccess::DbError& first = connection_->Errors().front();
    err_number_ = first.number();
    err_description_ = first.description();
    return;
  }
  if (const auto* db_error = dynamic_cast<const dbaccess::DbError*>(raised)) {
    err_number_ = db_error->number();
    err_description_ = db_error->description();
    return;
  }
  err_number_ = dbaccess::kErrGenericFailure;
  err_description_ = raised != nullptr ? raised->what() : "Unspecified error";
}

template <typename Fn>
bool CDatabaseConnectionObj::Guarded(Fn&& fn) {
  try {
    fn();
    return true;
  } catch (const std::exception& error) {
    StoreFailure(&error);
  } catch (...) {
    StoreFailure(nullptr);
  }
  return false;
}

void CDatabaseConnectionObj::AppendToError(const std::string& text) { err_description_ += text; }

std::string CDatabaseConnectionObj::MessageText(int id) const {
  if (message_text_) return message_text_(id);
  if (id == kMessageFailedLogon) return "Failed Logon";
  return DatabaseLabelText(id);
}

void CDatabaseConnectionObj::Trace(const std::string& line) const {
  if (!trace_) return;
  try {
    trace_(line);
  } catch (...) {
    // A trace that cannot be written must not turn into a failed operation.
  }
}

void CDatabaseConnectionObj::WaitSeconds(int seconds) {
  dbaccess::WaitWholeSeconds(*clock_, int64_t{seconds} * 1000, kWaitPollMilliseconds);
}

// ---------------------------------------------------------------------------
// Connection strings and single attempts

void CDatabaseConnectionObj::BuildConnectionString(std::string& provider) {
  switch (database_type_) {
    case 0:
      connection_string_ = "UID=" + OracleUserName + ";PWD=" + OraclePassword +
                           ";DRIVER={Microsoft ODBC for Oracle};SERVER=" + OracleHostString + ";";
      break;
    case 1:
      connection_string_ = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + AccessDatabaseName +
                           ";Persist Security";
      break;
    case 2:
      if (provider.empty()) provider = kDefaultSqlProvider;
      connection_string_ = "Provider=" + provider + ";Data Source=" + SQLServerServer;
      if (!SQLServerDatabaseName.empty())
        connection_string_ += ";Initial Catalog=" + SQLServerDatabaseName;
      if (!SQLServerUserName.empty()) connection_string_ += ";User ID=" + SQLServerUserName;
      if (!SQLServerPassword.empty()) connection_string_ += ";Password=" + SQLServerPassword;
      connection_string_ += ";";
      break;
    case 3:
      connection_string_ = "Provider=SQLite;Data Source=" + AccessDatabaseName + ";";
      break;
    case 4:
      connection_string_ = "Provider=PostgreSQL;Data Source=" + SQLServerServer +
                           ";Initial Catalog=" + SQLServerDatabaseName;
      if (!SQLServerUserName.empty()) connection_string_ += ";User ID=" + SQLServerUserName;
      if (!SQLServerPassword.empty()) connection_string_ += ";Password=" + SQLServerPassword;
      connection_string_ += ";";
      break;
    default:
      break;
  }
  Trace("Database Type = " + GetDbTypeString() + ", Connection String = " + connection_string_);
}

// Replaces the owned connection by a new one opened with ConnectionString; a
// connection handed out earlier by GetADOConnection stays the old object.
void CDatabaseConnectionObj::OpenNewConnection() {
  connection_ = std::make_shared<dbaccess::Connection>();
  connection_->SetCommandTimeout(kCommandTimeoutSeconds);
  connection_->SetConnectionString(connection_string_);
  connection_->Open();
}

// SQL Server yields NULL for 'text' + NULL unless told otherwise; the
// statements of the system expect the text. A failure here leaves the
// connection usable, so it must not pass for the failure of the attempt: the
// error values of the attempt are kept as they were.
void CDatabaseConnectionObj::RunSessionSetup() {
  const int32_t saved_number = err_number_;
  const std::string saved_description = err_description_;
  std::string error_text;
  int32_t records_affected = 0;
  DoSQL("set concat_null_yields_null off", error_text, records_affected);
  err_number_ = saved_number;
  err_description_ = saved_description;
}

bool CDatabaseConnectionObj::Connect2(int32_t& database_type) {
  if (database_type >= 0) database_type_ = database_type;
  const bool bConnected = Guarded([&] {
    if (connection_ && connection_->IsOpen()) connection_->Close();
    BuildConnectionString(SQLProvider);
    Trace("Connect2: Trying Provider = [" + SQLProvider + "]");
    OpenNewConnection();
    if (database_type_ == dbkind::kSqlServer) RunSessionSetup();
  });
  if (!bConnected) {
    Trace("CDatabaseConnectionObj:Connect2 - failed to connect Error: #" + errNumber() + " - " +
          err_description_);
    return false;
  }
  Trace("CDatabaseConnectionObj:Connect2 - successfully connected");
  return true;
}

// Splits the configured user into domain and user and impersonates it.
// Returns false when the logon failed; errNumber / ErrDescription then say so.
bool CDatabaseConnectionObj::ImpersonateConfiguredUser(AliasAccount& alias) {
  std::string strDomain;
  std::string strUser;
  const auto slash = SQLServerUserName.find('\\');
  if (slash == std::string::npos) {
    const char* user_domain = std::getenv("USERDOMAIN");
    strDomain = user_domain != nullptr ? user_domain : "";
    strUser = SQLServerUserName;
  } else {
    strDomain = SQLServerUserName.substr(0, slash);
    const std::string rest = SQLServerUserName.substr(slash + 1);
    strUser = rest.substr(0, rest.find('\\'));
  }
  alias.Init(strUser, SQLServerPassword, strDomain);
  Trace("Attempting Impersonation for user: " + strDomain + "\\" + strUser);
  if (alias.BeginImpersonation()) {
    Trace("Success.");
    return true;
  }
  Trace("Failed.  Going to back to use the current user account");
  err_number_ = static_cast<int32_t>(alias.LastError());
  err_description_ = MessageText(kMessageFailedLogon) + ": " + strDomain + "\\" + strUser;
  return false;
}

// A failed logon does not end the attempt: as the trace line announces, the
// connection is tried under the process's own account. Ending there would make
// integrated security with a configured user impossible on a platform without
// impersonation. The logon failure stays in errNumber / ErrDescription unless
// the connection then succeeds (cleared) or fails (replaced by its own error).
bool CDatabaseConnectionObj::Connect3() {
  AliasAccount alias([this](const std::string& line) { Trace(line); });
  const bool bLogonFailed = !SQLServerUserName.empty() && !ImpersonateConfiguredUser(alias);
  Trace("Attempting Integrated Security Connection as user:" + CurrentUserName());
  connection_string_ = "Provider=" + SQLProvider + ";Data Source=" + SQLServerServer;
  if (!SQLServerDatabaseName.empty())
    connection_string_ += ";Initial Catalog=" + SQLServerDatabaseName;
  connection_string_ += ";Trusted_Connection=yes";
  const bool bConnected = Guarded([&] {
    OpenNewConnection();
    if (database_type_ == dbkind::kSqlServer) RunSessionSetup();
  });
  alias.EndImpersonation();
  if (!bConnected) {
    Trace("CDatabaseConnectionObj:Connect3 - failed to connect Error: #" + errNumber() + " - " +
          err_description_);
    return false;
  }
  if (bLogonFailed) {
    err_number_ = 0;
    err_description_.clear();
  }
  Trace("CDatabaseConnectionObj:Connect3 - successfully connected (Integrated Security)");
  Trace("ConnectionString = " + connection_string_);
  return true;
}

// ---------------------------------------------------------------------------
// The connection sequence

bool CDatabaseConnectionObj::Connect(int32_t& database_type) {
  m_bFirstTry = true;
  return Connect4(database_type);
}

// At most four attempts for SQL Server: the configured provider, the default
// provider on a second pass, one provider swap, integrated security. The other
// kinds get one attempt.
bool CDatabaseConnectionObj::Connect4(int32_t& database_type) {
  Trace("CDatabaseConnectionObj0:Connect");
  for (;;) {
    if (!m_bFirstTry) Trace("CDatabaseConnectionObj0:Connect - 2nd try");
    err_number_ = 0;
    err_description_.clear();
    if (Connect2(database_type)) {
      Trace("CDatabaseConnectionObj:Connected Successfully");
      return true;
    }
    Trace("CDatabaseConnectionObj1:Connection Error: # " + errNumber() + " - " + err_description_);
    if (database_type_ != dbkind::kSqlServer) return false;
    AppendToError(" (" + SQLProvider + ")");

    switch (err_number_) {
      case dbaccess::kErrInvalidArgument:
      case dbaccess::kErrLoginFailed:
        break;
      case dbaccess::kErrProviderNotFound:
        Trace("CDatabaseConnectionObj5: Handling special case 2 for SqlServer");
        if (!m_bFirstTry) {
          const std::optional<bool> bResult = TryOldProvider(database_type);
          if (bResult.has_value()) return *bResult;
        }
        break;
      case dbaccess::kErrGenericFailure:
        Trace("CDatabaseConnectionObj2: Handling special case 1 for SqlServer");
        if (SQLProvider != kOldSqlProvider) return false;
        if (!m_bProviderSwitched) return TryNewProvider(database_type);
        break;
      default:
        return false;
    }

    // Integrated security comes only after the second pass has failed too.
    if (!m_bFirstTry) return TryIntegratedSecurity();
    SQLProvider = kDefaultSqlProvider;
    m_bFirstTry = false;
  }
}

// The default provider is not installed: try the old one. Returns the result
// when the sequence ends here, nullopt when integrated security comes next.
std::optional<bool> CDatabaseConnectionObj::TryOldProvider(int32_t& database_type) {
  m_bProviderSwitched = true;
  if (SQLProvider != kDefaultSqlProvider) return false;
  Trace("CDatabaseConnectionObj6: tried new provider, try old one before giving up");
  SQLProvider = kOldSqlProvider;
  err_number_ = 0;
  const bool bResult = Connect2(database_type);
  if (err_number_ == 0) {
    Trace("CDatabaseConnectionObj7b: successfully connected");
    return bResult;
  }
  AppendToError(" (" + SQLProvider + ")");
  Trace("CDatabaseConnectionObj7a: error anyway: # " + errNumber() + " - " + err_description_);
  return std::nullopt;
}

// The old provider failed generically: the new one may still reach the server.
bool CDatabaseConnectionObj::TryNewProvider(int32_t& database_type) {
  Trace("CDatabaseConnectionObj3: tried old provider, try new one before giving up");
  SQLProvider = kDefaultSqlProvider;
  err_number_ = 0;
  const bool bResult = Connect2(database_type);
  if (err_number_ == 0) {
    Trace("CDatabaseConnectionObj4b: successfully connected");
  } else {
    AppendToError(" (" + SQLProvider + ")");
    Trace("CDatabaseConnectionObj4a: error anyway: # " + errNumber() + " - " + err_description_);
  }
  return bResult;
}

bool CDatabaseConnectionObj::TryIntegratedSecurity() {
  err_number_ = 0;
  const bool bResult = Connect3();
  if (err_number_ == 0) {
    Trace("CDatabaseConnectionObj8b: successfully connected");
  } else {
    AppendToError(" (Integrated Security)");
    Trace("CDatabaseConnectionObj8a: error anyway: # " + errNumber() + " - " + err_description_);
  }
  return bResult;
}

void CDatabaseConnectionObj::Disconnect() {
  try {
    if (connection_ && connection_->IsOpen()) connection_->Close();
  } catch (...) {
    // Closing drops the engine connection even when the engine complains.
  }
}

// ---------------------------------------------------------------------------
// Statements and transactions

bool CDatabaseConnectionObj::IsConnected() {
  try {
    if (!connection_ || !connection_->IsOpen()) return false;
    connection_->Execute(kProbeStatement);
    return true;
  } catch (...) {
    return false;
  }
}

bool CDatabaseConnectionObj::DoSQL(const std::string& sql, std::string& error_text,
                                   int32_t& records_affected) {
  if (sql.empty()) return true;
  Trace("DoSQL(" + sql + ")");
  int64_t count = 0;
  if (!Guarded([&] { count = connection_->Execute(sql); })) {
    error_text = err_description_;
    return false;
  }
  records_affected = count > std::numeric_limits<int32_t>::max()
                         ? std::numeric_limits<int32_t>::max()
                         : static_cast<int32_t>(count);
  if (count > 0) Trace(sql + "\r\n" + std::to_string(count) + " Records Affected ");
  return true;
}

// The retries stop at the 30th attempt; a caller starting above 30 gets one
// attempt instead of an endless retry.
bool CDatabaseConnectionObj::OpenTransaction(int16_t current_attempt) {
  for (int nCurrentAttempt = current_attempt;; ++nCurrentAttempt) {
    Trace("OpenTransaction: nCurrentAttempt=" + std::to_string(nCurrentAttempt) + " of 30");
    if (Guarded([&] { connection_->BeginTrans(); })) return true;
    Trace("OpenTransaction: failed: err=" + err_description_ + ", waiting 30 seconds to try again");
    if (nCurrentAttempt >= kTransactionAttempts) return false;
    WaitSeconds(30);
  }
}

bool CDatabaseConnectionObj::CommitTransaction(int16_t current_attempt) {
  for (int nCurrentAttempt = current_attempt;; ++nCurrentAttempt) {
    Trace("Committing Transaction");
    if (Guarded([&] { connection_->CommitTrans(); })) {
      Trace("Committed Transaction");
      return true;
    }
    if (nCurrentAttempt >= kTransactionAttempts) return false;
    Trace("Error committing Transaction: #" + errNumber() + " - " + err_description_ +
          ", Going to try again");
    WaitSeconds(10);
  }
}

bool CDatabaseConnectionObj::RollbackTransaction(int16_t current_attempt) {
  for (int nCurrentAttempt = current_attempt;; ++nCurrentAttempt) {
    Trace("Rolling back Transaction");
    if (Guarded([&] { connection_->RollbackTrans(); })) {
      Trace("did Roll back Transaction");
      return true;
    }
    if (nCurrentAttempt >= kTransactionAttempts) return false;
    WaitSeconds(30);
  }
}

// ---------------------------------------------------------------------------
// Names

std::string CDatabaseConnectionObj::GetDbTypeString() const { return DbTypeString(database_type_); }

std::string CDatabaseConnectionObj::GetDatabaseDisplayName() const {
  switch (database_type_) {
    case 0:
      return MessageText(kLabelOracle) + OracleHostString + ":" + OracleUserName;
    case 1:
      return MessageText(kLabelAccess) + " " + AccessDatabaseName;
    case 2:
      return MessageText(kLabelSqlServer) + SQLServerServer + ":" + SQLServerDatabaseName;
    case 3:
      return MessageText(kLabelSqlite) + " " + AccessDatabaseName;
    case 4:
      return MessageText(kLabelPostgreSql) + SQLServerServer + ":" + SQLServerDatabaseName;
    default:
      return "";
  }
}

}  // namespace voltrane
