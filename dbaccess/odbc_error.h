// The system's error numbers for ODBC failures.
//
// The first diagnostic record of the failing handle decides: its SQLSTATE
// through ErrorNumberForSqlState (odbc_backend.h), corrected by what the
// SQLSTATE alone cannot tell: a connection the driver reports dead or whose
// text says it broke, psqlODBC's refused password (08001 with the server's
// "password authentication failed"), psqlODBC's query timeout (57014 from the
// server's statement_timeout), unixODBC's missing driver (01000 "Can't open
// lib") and sqliteodbc's missing table (HY000 "no such table"). The DbError carries the driver's
// text and the SQLSTATE as its native code. Thread-safe (no state).
#ifndef VOLTRANE_DBACCESS_ODBC_ERROR_H_
#define VOLTRANE_DBACCESS_ODBC_ERROR_H_

#include <sql.h>
#include <sqlext.h>

#include <string>

#include "dbaccess/db_error.h"

namespace dbaccess {

// The error number for a SQLSTATE and the driver's text of it.
int32_t ErrorNumberForDiagnostic(const std::string& sqlstate, const std::string& text);

// The DbError for the first diagnostic record of a handle; `connection`, when
// given, is asked whether the failure lost the connection (0x80004005).
DbError ErrorFromDiagnostics(SQLSMALLINT handle_type, SQLHANDLE handle, SQLHDBC connection);

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_ODBC_ERROR_H_
