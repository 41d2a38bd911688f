// Reading the collector's settings into the wizard at load (with the
// command-line values on top) and writing them back at Finish.
#include <array>

#include "cipher/mod_crypto.h"
#include "settings/reg_settings.h"
#include "manager/admin_wizard_rules.h"

namespace voltrane::manager {
namespace {

// Settings-store names of the kinds and of their connection-string values.
constexpr std::array<const char*, kind::kCount> kKindNames{"Oracle", "Access", "SQLServer",
                                                           "SQLite", "PostgreSQL"};
constexpr std::array<const char*, kind::kCount> kStringValues{
    "OracleConnectionString", "AccessConnectionString", "SQLServerConnectionString",
    "SQLiteConnectionString", "PostgreSQLConnectionString"};

ServerFields ServerFieldsOf(const std::string& stored, std::string* provider) {
  const SqlServerConnectionFields read = ReadSqlServerConnectionString(stored);
  if (provider) *provider = read.provider;
  return {read.user, read.password, read.server, read.database};
}

void ApplyCommandLine(const CommandLineValues& values, ConnectionState& state) {
  if (values.db_type.empty()) return;
  try {
    state.database_kind = std::stoi(values.db_type);
  } catch (const std::exception&) {
    state.database_kind = 0;
  }
  const auto take = [](const std::string& value, std::string& member) {
    if (!value.empty()) member = value;
  };
  switch (state.database_kind) {
    case kind::kOracle:
      take(values.database, state.oracle_host);
      take(values.database_user, state.oracle_user);
      take(values.database_password, state.oracle_password);
      break;
    case kind::kAccess:
      take(values.database, state.access_path);
      break;
    case kind::kSqlite:
      take(values.database, state.sqlite_path);
      break;
    case kind::kSqlServer:
    case kind::kPostgreSql: {
      ServerFields& fields =
          state.database_kind == kind::kSqlServer ? state.sql_server : state.postgresql;
      take(values.database, fields.database);
      take(values.database_user, fields.user);
      take(values.database_password, fields.password);
      take(values.database_server, fields.server);
      break;
    }
    default:
      break;
  }
}

}  // namespace

void CAdminWizardRules::LoadSettings(const CommandLineValues& values) {
  CRegSettings settings;
  const std::string type_name =
      settings.GetMachineStringValue(kServiceKey, "DatabaseType", "Oracle");
  connection.database_kind = kind::kOracle;
  for (int32_t k = 0; k < kind::kCount; ++k) {
    if (type_name == kKindNames[k]) connection.database_kind = k;
  }
  for (int32_t k = 0; k < kind::kCount; ++k)
    connection.stored[k] = settings.GetMachineStringValue(kServiceKey, kStringValues[k], "");
  connection.timeout_seconds = settings.GetMachineDWORDValue(kServiceKey, "Timeout", 3000) / 1000;

  const OracleConnectionFields oracle =
      ReadOracleConnectionString(connection.stored[kind::kOracle]);
  connection.oracle_user = oracle.user;
  connection.oracle_password = oracle.password;
  connection.oracle_host = oracle.host;
  connection.access_path = ReadAccessDatabasePath(connection.stored[kind::kAccess]);
  connection.sqlite_path = ReadAccessDatabasePath(connection.stored[kind::kSqlite]);
  connection.sql_server =
      ServerFieldsOf(connection.stored[kind::kSqlServer], &connection.sql_provider);
  if (connection.sql_provider.empty()) connection.sql_provider = kDefaultSqlProvider;
  connection.postgresql = ServerFieldsOf(connection.stored[kind::kPostgreSql], nullptr);

  ApplyCommandLine(values, connection);
  connection.selected_kind = connection.database_kind;
  db_.builder_state()->database_kind = connection.database_kind;
  options.timeout_text = std::to_string(connection.timeout_seconds);
}

bool CAdminWizardRules::SaveSettings() {
  CRegSettings settings;
  const int32_t current = connection.database_kind;
  if (current < 0 || current >= kind::kCount) return false;
  if (!settings.SaveMachineStringValue(kServiceKey, "DatabaseType", kKindNames[current]))
    return false;
  for (int32_t k = 0; k < kind::kCount; ++k) {
    if (!settings.SaveMachineStringValue(kServiceKey, kStringValues[k], connection.stored[k]))
      return false;
  }
  if (!settings.SaveMachineDWORDValue(kServiceKey, "Timeout", connection.timeout_seconds * 1000))
    return false;
  return settings.SaveMachineDWORDValue(kServiceKey, "EnableIcon", 0);
}

}  // namespace voltrane::manager
