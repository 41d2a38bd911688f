// Reading the collector's settings into the wizard at load (with the
// command-line values on top) and writing them back at Finish.
#include "cipher/mod_crypto.h"
#include "dbaccess/sql_dialect.h"
#include "manager/admin_wizard_rules.h"
#include "manager/kind_pages.h"
#include "settings/reg_settings.h"

namespace voltrane::manager {
namespace {

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
  const KindPage& page = KindPageOf(state.database_kind);
  switch (DialectOf(state.database_kind).connection_form) {
    case ConnectionForm::kOracleHost:
      take(values.database, state.oracle_host);
      take(values.database_user, state.oracle_user);
      take(values.database_password, state.oracle_password);
      break;
    case ConnectionForm::kFilePath:
      take(values.database, state.*page.file_path);
      break;
    case ConnectionForm::kServer: {
      ServerFields& fields = state.*page.server;
      take(values.database, fields.database);
      take(values.database_user, fields.user);
      take(values.database_password, fields.password);
      take(values.database_server, fields.server);
      break;
    }
    case ConnectionForm::kNone:
      break;
  }
}

// Parses the stored connection string of `k` into the fields of its form.
void ReadStoredFields(int32_t k, ConnectionState& state) {
  const Dialect& dialect = DialectOf(k);
  const KindPage& page = KindPageOf(k);
  const std::string& stored = state.stored[k];
  switch (dialect.connection_form) {
    case ConnectionForm::kOracleHost: {
      const OracleConnectionFields oracle = ReadOracleConnectionString(stored);
      state.oracle_user = oracle.user;
      state.oracle_password = oracle.password;
      state.oracle_host = oracle.host;
      break;
    }
    case ConnectionForm::kFilePath:
      state.*page.file_path = ReadAccessDatabasePath(stored);
      break;
    case ConnectionForm::kServer: {
      // Only a kind whose user picks the provider keeps the stored one.
      const bool picked_provider = dialect.fixed_provider[0] == '\0';
      state.*page.server = ServerFieldsOf(stored, picked_provider ? &state.sql_provider : nullptr);
      break;
    }
    case ConnectionForm::kNone:
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
    if (type_name == DialectOf(k).settings_name) connection.database_kind = k;
  }
  for (int32_t k = 0; k < kind::kCount; ++k) {
    connection.stored[k] =
        settings.GetMachineStringValue(kServiceKey, DialectOf(k).connection_string_value, "");
  }
  connection.timeout_seconds = settings.GetMachineDWORDValue(kServiceKey, "Timeout", 3000) / 1000;
  for (int32_t k = 0; k < kind::kCount; ++k) ReadStoredFields(k, connection);
  designation.member_name = settings.GetMachineStringValue(kServiceKey, "GroupMember", "");
  if (connection.sql_provider.empty()) connection.sql_provider = kDefaultSqlProvider;

  ApplyCommandLine(values, connection);
  connection.selected_kind = connection.database_kind;
  db_.builder_state()->database_kind = connection.database_kind;
  options.timeout_text = std::to_string(connection.timeout_seconds);
}

bool CAdminWizardRules::SaveSettings() {
  CRegSettings settings;
  const int32_t current = connection.database_kind;
  if (DialectOf(current).settings_name[0] == '\0') return false;
  if (!settings.SaveMachineStringValue(kServiceKey, "DatabaseType",
                                       DialectOf(current).settings_name))
    return false;
  for (int32_t k = 0; k < kind::kCount; ++k) {
    if (!settings.SaveMachineStringValue(kServiceKey, DialectOf(k).connection_string_value,
                                         connection.stored[k]))
      return false;
  }
  if (!settings.SaveMachineDWORDValue(kServiceKey, "Timeout", connection.timeout_seconds * 1000))
    return false;
  if (designation.use_group) {
    if (!settings.SaveMachineStringValue(kServiceKey, "GroupName", designation.group_name) ||
        !settings.SaveMachineStringValue(kServiceKey, "GroupMember", designation.member_name))
      return false;
  } else {
    // A value that is not there fails to delete; either way it is gone.
    settings.DeleteMachineItem(kServiceKey, "GroupName");
    settings.DeleteMachineItem(kServiceKey, "GroupMember");
  }
  return settings.SaveMachineDWORDValue(kServiceKey, "EnableIcon", 0);
}

}  // namespace voltrane::manager
