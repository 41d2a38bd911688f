// The provider table: which backend serves an ADO-style connection string.
//
// "Provider=SQLite" -> libsqlite3 in-process; "Provider=PostgreSQL" -> ODBC
// driver "PostgreSQL Unicode"; "MSOLEDBSQL" -> "ODBC Driver 18 for SQL Server"
// (else 17); "SQLOLEDB" -> "FreeTDS"; "Microsoft.Jet.OLEDB.4.0" -> "MDBTools";
// a string naming "DRIVER={Microsoft ODBC for Oracle}" -> the installed Oracle
// ODBC driver. The driver names can be overridden in the settings store under
// `Software\Voltrane\MDCService\Providers` (value name = provider). A provider
// whose driver is not installed fails with kErrProviderNotFound (3706).
//
// Tests register extra providers (stub drivers) with RegisterProvider; the
// registry of extra providers is process-wide and guarded by a mutex.
#ifndef VOLTRANE_DBACCESS_PROVIDER_TABLE_H_
#define VOLTRANE_DBACCESS_PROVIDER_TABLE_H_

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dbaccess/backend.h"

namespace dbaccess {

// One item of a connection string: key and value as written (value "" and
// has_equals false for a bare key such as "Persist Security").
struct ConnectionItem {
  std::string key;
  std::string value;
  bool has_equals = true;
};

// Splits on ";" with no quoting; the key is the text before the first "=",
// trimmed of blanks. Empty items are skipped.
std::vector<ConnectionItem> ParseConnectionString(const std::string& text);

// Value of the first item whose key equals `key` without regard to case; "" if absent.
std::string FindConnectionValue(const std::vector<ConnectionItem>& items, const std::string& key);

using BackendFactory =
    std::function<std::unique_ptr<Backend>(const std::vector<ConnectionItem>& items)>;

// Creates the backend for a connection string. Throws DbError:
// kErrProviderNotFound for an unknown provider or a driver that is not
// installed, kErrInvalidArgument for a malformed string (no provider or
// driver, missing data source). Does not open the connection.
std::unique_ptr<Backend> CreateBackend(const std::string& connection_string);

// Makes `provider` (compared without regard to case) create its backend with
// `factory`; replaces an earlier registration. For tests and plug-ins.
void RegisterProvider(const std::string& provider, BackendFactory factory);
void UnregisterProvider(const std::string& provider);

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_PROVIDER_TABLE_H_
