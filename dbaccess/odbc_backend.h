// The ODBC backend: server databases through unixODBC.
//
// The provider table builds the ODBC connection string (driver, server,
// database, credentials); this backend connects with it, maps SQLSTATEs to
// the system's error numbers and reports the engine from SQL_DBMS_NAME.
#ifndef VOLTRANE_DBACCESS_ODBC_BACKEND_H_
#define VOLTRANE_DBACCESS_ODBC_BACKEND_H_

#include <memory>
#include <string>

#include "dbaccess/backend.h"

namespace dbaccess {

// `odbc_connection_string` is handed to SQLDriverConnect unchanged.
std::unique_ptr<Backend> MakeOdbcBackend(const std::string& odbc_connection_string);

// Whether unixODBC knows a driver of that name (odbcinst.ini).
bool OdbcDriverInstalled(const std::string& driver_name);

// The system's error number for an ODBC SQLSTATE (see error mapping rules):
// 08xxx -> kErrGenericFailure, 28xxx -> kErrLoginFailed, 42S02/42P01 ->
// kErrTableNotFound, IM002/IM003 -> kErrProviderNotFound, HYT00/HYT01 -> kErrTimeout,
// anything else kErrCommandFailed.
int32_t ErrorNumberForSqlState(const std::string& sqlstate);

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_ODBC_BACKEND_H_
