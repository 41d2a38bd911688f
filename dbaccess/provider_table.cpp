#include "dbaccess/provider_table.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

#include "base/ascii_case.h"
#include "dbaccess/db_error.h"
#include "dbaccess/odbc_backend.h"
#include "settings/reg_settings.h"
#include "dbaccess/sqlite_backend.h"

namespace dbaccess {
namespace {

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<std::string, BackendFactory>& ExtraProviders() {
  static std::map<std::string, BackendFactory> providers;
  return providers;
}

// The ODBC driver name for a provider: the settings store may rename it.
std::string DriverAlias(const std::string& provider, const std::string& fallback) {
  voltrane::CRegSettings settings;
  return settings.GetMachineStringValue(std::string(voltrane::kServiceKey) + "\\Providers",
                                        provider, fallback);
}

[[noreturn]] void ThrowProviderNotFound(const std::string& what) {
  throw DbError(kErrProviderNotFound, std::string(kTextProviderNotFound) + " (" + what + ")");
}

std::string RequireDriver(const std::string& driver) {
  if (!OdbcDriverInstalled(driver)) ThrowProviderNotFound("ODBC driver " + driver);
  return driver;
}

// Appends "key=value;" to an ODBC string. Only a value that needs it is
// braced (";", braces, blanks at either end): psqlODBC keeps the braces of
// most keys as part of the value ("{5432}" is no port).
void AppendOdbc(std::string& out, const std::string& key, const std::string& value) {
  if (value.empty()) return;
  const bool needs_braces = value.find_first_of(";{}") != std::string::npos ||
                            std::isspace(static_cast<unsigned char>(value.front())) ||
                            std::isspace(static_cast<unsigned char>(value.back()));
  if (!needs_braces) {
    out += key + "=" + value + ";";
    return;
  }
  std::string escaped;
  for (char c : value) {
    escaped += c;
    if (c == '}') escaped += '}';
  }
  out += key + "={" + escaped + "};";
}

void SplitHostPort(const std::string& data_source, std::string* host, std::string* port) {
  const auto colon = data_source.rfind(':');
  if (colon != std::string::npos && colon + 1 < data_source.size() &&
      std::all_of(data_source.begin() + colon + 1, data_source.end(),
                  [](unsigned char c) { return std::isdigit(c); })) {
    *host = data_source.substr(0, colon);
    *port = data_source.substr(colon + 1);
  } else {
    *host = data_source;
    port->clear();
  }
}

std::unique_ptr<Backend> PostgreSqlBackend(const std::vector<ConnectionItem>& items) {
  const std::string driver = RequireDriver(DriverAlias("PostgreSQL", "PostgreSQL Unicode"));
  const std::string data_source = FindConnectionValue(items, "Data Source");
  if (data_source.empty()) {
    throw DbError(kErrInvalidArgument, "The connection string names no Data Source.");
  }
  std::string host, port;
  SplitHostPort(data_source, &host, &port);
  std::string odbc = "Driver={" + driver + "};";
  AppendOdbc(odbc, "Server", host);
  AppendOdbc(odbc, "Port", port);
  AppendOdbc(odbc, "Database", FindConnectionValue(items, "Initial Catalog"));
  AppendOdbc(odbc, "Uid", FindConnectionValue(items, "User ID"));
  AppendOdbc(odbc, "Pwd", FindConnectionValue(items, "Password"));
  // psqlODBC otherwise reports boolean columns as text "1"/"0".
  odbc += "BoolsAsChar=0;";
  // Statements with parameters go as one simple query with the values written
  // in, so the driver's per-statement savepoint (which keeps a failed
  // statement from aborting the transaction, as the library expects) travels
  // in the same round trip instead of one of its own.
  odbc += "UseServerSidePrepare=0;";
  return MakeOdbcBackend(odbc);
}

std::string SqlServerDriver(const std::string& provider) {
  if (base::Lower(provider) == "sqloledb") return RequireDriver(DriverAlias("SQLOLEDB", "FreeTDS"));
  const std::string configured = DriverAlias("MSOLEDBSQL", "");
  if (!configured.empty()) return RequireDriver(configured);
  if (OdbcDriverInstalled("ODBC Driver 18 for SQL Server")) return "ODBC Driver 18 for SQL Server";
  return RequireDriver("ODBC Driver 17 for SQL Server");
}

std::unique_ptr<Backend> SqlServerBackend(const std::string& provider,
                                          const std::vector<ConnectionItem>& items) {
  std::string odbc = "Driver={" + SqlServerDriver(provider) + "};";
  AppendOdbc(odbc, "Server", FindConnectionValue(items, "Data Source"));
  AppendOdbc(odbc, "Database", FindConnectionValue(items, "Initial Catalog"));
  AppendOdbc(odbc, "Uid", FindConnectionValue(items, "User ID"));
  AppendOdbc(odbc, "Pwd", FindConnectionValue(items, "Password"));
  if (base::Lower(FindConnectionValue(items, "Trusted_Connection")) == "yes") {
    odbc += "Trusted_Connection=yes;";
  }
  return MakeOdbcBackend(odbc);
}

std::unique_ptr<Backend> AccessBackend(const std::vector<ConnectionItem>& items) {
  std::string odbc =
      "Driver={" + RequireDriver(DriverAlias("Microsoft.Jet.OLEDB.4.0", "MDBTools")) + "};";
  AppendOdbc(odbc, "DBQ", FindConnectionValue(items, "Data Source"));
  return MakeOdbcBackend(odbc);
}

std::unique_ptr<Backend> OracleBackend(const std::vector<ConnectionItem>& items) {
  std::string odbc = "Driver={" + RequireDriver(DriverAlias("Oracle", "Oracle ODBC Driver")) + "};";
  AppendOdbc(odbc, "DBQ", FindConnectionValue(items, "SERVER"));
  AppendOdbc(odbc, "UID", FindConnectionValue(items, "UID"));
  AppendOdbc(odbc, "PWD", FindConnectionValue(items, "PWD"));
  return MakeOdbcBackend(odbc);
}

}  // namespace

std::vector<ConnectionItem> ParseConnectionString(const std::string& text) {
  std::vector<ConnectionItem> items;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    const std::string item = text.substr(start, end - start);
    if (!Trim(item).empty()) {
      const auto equals = item.find('=');
      if (equals == std::string::npos) {
        items.push_back({Trim(item), "", false});
      } else {
        items.push_back({Trim(item.substr(0, equals)), item.substr(equals + 1), true});
      }
    }
    start = end + 1;
  }
  return items;
}

std::string FindConnectionValue(const std::vector<ConnectionItem>& items, const std::string& key) {
  const std::string wanted = base::Lower(key);
  for (const ConnectionItem& item : items) {
    if (base::Lower(item.key) == wanted) return item.value;
  }
  return "";
}

std::unique_ptr<Backend> CreateBackend(const std::string& connection_string) {
  const std::vector<ConnectionItem> items = ParseConnectionString(connection_string);
  const std::string provider = Trim(FindConnectionValue(items, "Provider"));
  const std::string key = base::Lower(provider);
  BackendFactory extra;
  {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    auto found = ExtraProviders().find(key);
    if (found != ExtraProviders().end()) extra = found->second;
  }
  // Called outside the lock: a provider may wrap another one's backend.
  if (extra) return extra(items);
  if (key == "sqlite") return MakeSqliteBackend(items);
  if (key == "postgresql") return PostgreSqlBackend(items);
  if (key == "msoledbsql" || key == "sqloledb") return SqlServerBackend(provider, items);
  if (key == "microsoft.jet.oledb.4.0") return AccessBackend(items);
  if (key.empty()) {
    if (base::Lower(FindConnectionValue(items, "DRIVER")) == "{microsoft odbc for oracle}") {
      return OracleBackend(items);
    }
    throw DbError(kErrInvalidArgument,
                  "The connection string names no provider (expected Provider=... or DRIVER=...).");
  }
  ThrowProviderNotFound("provider " + provider);
}

void RegisterProvider(const std::string& provider, BackendFactory factory) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  ExtraProviders()[base::Lower(provider)] = std::move(factory);
}

void UnregisterProvider(const std::string& provider) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  ExtraProviders().erase(base::Lower(provider));
}

}  // namespace dbaccess
