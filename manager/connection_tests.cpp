// The connection tests of pages 1 to 3, with the database version check and
// the designation check every test runs, and the server page's database list.
#include "cipher/mod_crypto.h"
#include "dbaccess/db_error.h"
#include "dbaccess/sql_dialect.h"
#include "manager/admin_wizard_rules.h"
#include "manager/string_resources.h"

namespace voltrane::manager {
namespace {

constexpr int kDesignatedPCOption = 14;

std::string Enciphered(int role, const std::string& plain) {
  return CryptCredential(kEncipher, role, plain);
}

std::string CredentialItems(const ServerFields& fields) {
  std::string items;
  if (!fields.user.empty()) items += ";eUser ID=" + Enciphered(kUserNameKeyRole, fields.user);
  if (!fields.password.empty())
    items += ";ePassword=" + Enciphered(kPasswordKeyRole, fields.password);
  return items;
}

}  // namespace

bool CAdminWizardRules::ConnectionChecksPass() {
  if (!CheckDatabaseVersion() || !CheckDesignatedPC()) return false;
  prompts_.ShowMessage(LoadResText(res::kConnectionSuccessful));
  page_loaded_[5] = false;
  return true;
}

bool CAdminWizardRules::TestOracleConnection() {
  if (connection_.IsConnected()) connection_.Disconnect();
  connection_.OracleUserName = connection.oracle_user;
  connection_.OraclePassword = connection.oracle_password;
  connection_.OracleHostString = connection.oracle_host;
  int32_t database_kind = kind::kOracle;
  if (connection_.Connect(database_kind)) {
    connection.stored[kind::kOracle] =
        "eUID=" + Enciphered(kUserNameKeyRole, connection.oracle_user) +
        ";ePWD=" + Enciphered(kPasswordKeyRole, connection.oracle_password) +
        ";DRIVER={Microsoft ODBC for Oracle};SERVER=" + connection.oracle_host + ";";
    if (ConnectionChecksPass()) return true;
  }
  prompts_.ShowMessage(LoadResText(res::kConnectionNotValid));
  return false;
}

bool CAdminWizardRules::TestFileConnection() {
  const std::string path = FilePath();
  if (!host_.file_exists(path)) {
    prompts_.ShowMessage(LoadResText(res::kFileMissing, {path}));
    return false;
  }
  // The mapped-drive refusal: on a network file system the database file's
  // locking cannot be trusted by several processes.
  if (host_.on_network_file_system(path)) {
    prompts_.ShowMessage(LoadResText(res::kNetworkDrive, {path}));
    return false;
  }
  if (connection_.IsConnected()) connection_.Disconnect();
  connection_.AccessDatabaseName = path;
  int32_t database_kind = connection.database_kind;
  if (connection_.Connect(database_kind)) {
    connection.stored[connection.database_kind] =
        DialectOf(connection.database_kind).FileConnectionString(path);
    if (ConnectionChecksPass()) return true;
  }
  prompts_.ShowMessage(LoadResText(res::kConnectionNotValid));
  return false;
}

bool CAdminWizardRules::ConnectServer(bool with_database) {
  const ServerFields& fields = Server();
  const Dialect& dialect = DialectOf(connection.database_kind);
  const bool picked_provider = dialect.fixed_provider[0] == '\0';
  if (connection_.IsConnected()) connection_.Disconnect();
  if (picked_provider) connection_.SQLProvider = connection.sql_provider;
  connection_.SQLServerUserName = fields.user;
  connection_.SQLServerPassword = fields.password;
  connection_.SQLServerServer = fields.server;
  connection_.SQLServerDatabaseName =
      with_database ? fields.database : dialect.maintenance_database;
  int32_t database_kind = connection.database_kind;
  const bool connected = connection_.Connect(database_kind);
  if (picked_provider) connection.sql_provider = connection_.SQLProvider;
  return connected;
}

bool CAdminWizardRules::TestServerConnection() {
  const char* fixed_provider = DialectOf(connection.database_kind).fixed_provider;
  const ServerFields fields = Server();
  bool passed = false;
  if (ConnectServer(true)) {
    const std::string provider =
        fixed_provider[0] != '\0' ? fixed_provider : connection.sql_provider;
    connection.stored[connection.database_kind] =
        "Provider=" + provider + ";Data Source=" + fields.server +
        ";Initial Catalog=" + fields.database + CredentialItems(fields) + ";";
    passed = ConnectionChecksPass();
    if (!passed) prompts_.ShowMessage(LoadResText(res::kConnectionNotValid));
  } else {
    prompts_.ShowMessage(connection_.ErrDescription());
  }
  if (passed) return true;
  connection.database_list_loaded = false;
  connection.database_list_retry_requested = true;
  return false;
}

bool CAdminWizardRules::CheckDatabaseVersion() {
  int64_t current = -1;
  auto rs = std::make_shared<dbaccess::Recordset>();
  try {
    db_.RsOpen(*rs, "select * from T_SFC_DB_ITEM  where DB_ITEM_CODE = 1", true);
    if (!rs->Eof()) current = rs->Fields("DB_ITEM_VALUE").Value().ToInt64();
  } catch (const dbaccess::DbError&) {
    current = -1;
  }
  db_.RsClose(rs);
  const int64_t required = DialectOf(connection.database_kind).oldest_schema_version;
  if (current >= required) return true;
  prompts_.ShowMessage(current < 0 ? "The selected Database is not a valid Voltrane Database"
                                   : "The selected Database must be updated before continuing. "
                                     "Please run the Voltrane MDC Application to update the "
                                     "database and then try again.");
  return false;
}

bool CAdminWizardRules::CheckDesignatedPC() {
  computer_name_ = host_.computer_name();
  if (computer_name_.empty()) {
    prompts_.ShowMessage("Error: Failed to determine PCNAME.");
    return false;
  }
  const std::string designated = db_.ReadDBOptionStr(kDesignatedPCOption).value_or("");
  ReadDesignation(designated);
  if (designation.use_group) {
    // A group has no computer to take over: this computer's collector joins it.
    prompts_.ShowMessage(
        "This database is processed by the collector group '" + designation.group_name +
        "'. This computer's collector will take part in it as member '" + designation.member_name +
        "' (the member name can be changed on the last page).");
    return true;
  }
  if (designated.empty() || designated == computer_name_) return true;
  if (!prompts_.AskYesNo("This is not the PC designated to run the service, only '" + designated +
                         "' can run the service. Would you like to change this and deginate "
                         "this pc to run the service?"))
    return false;
  if (!prompts_.AskOkCancel("Please affirm that the MDC service on PC '" + designated +
                            "' is shutdown and disabled"))
    return false;
  db_.UpdateDBOptionStr(kDesignatedPCOption, "");
  prompts_.ShowMessage("OK, the MDC service designation has been reset");
  return true;
}

void CAdminWizardRules::ReadDesignation(const std::string& option14) {
  designation.use_group = option14.rfind(kGroupDesignationPrefix, 0) == 0;
  if (designation.use_group) {
    designation.group_name = option14.substr(std::string(kGroupDesignationPrefix).size());
  } else {
    // A database from before group mode has no such table: no group.
    designation.group_name = db_.GetFieldText(
        "select GROUP_NAME from T_SFC_MDC_GROUP" + db_.Builder().NoLock() + " order by GROUP_NAME",
        0);
  }
  designation.designated_group = designation.use_group ? designation.group_name : "";
  if (designation.member_name.empty()) designation.member_name = computer_name_;
}

bool CAdminWizardRules::ConfirmEndOfGroupMode() {
  if (!designation.EndsGroupMode() || designation.end_group_confirmed) return true;
  const std::string& group = designation.designated_group;
  if (!prompts_.AskYesNo("This database is processed by the collector group '" + group +
                         "'. Designating this pc to run the service ends group mode: the "
                         "group's members are refused from then on. Would you like to end group "
                         "mode and designate this pc to run the service?"))
    return false;
  if (!prompts_.AskOkCancel("Please affirm that every member of the collector group '" + group +
                            "' is shutdown and disabled"))
    return false;
  designation.end_group_confirmed = true;
  return true;
}

void CAdminWizardRules::ServerFieldsChanged() {
  connection.database_list_loaded = false;
  connection.database_list_failed = false;
}

void CAdminWizardRules::DatabaseListFocused() {
  if (connection.database_list_loaded) return;
  if (connection.database_list_failed) {
    connection.database_list_failed = false;
    return;
  }
  TryLoadSQLDatabases();
}

void CAdminWizardRules::TryLoadSQLDatabases() {
  connection.database_list_retry_requested = false;
  if (connection.database_list_loaded) return;
  if (trace_) trace_("TryLoadSQLDatabases...");
  if (ConnectServer(false)) {
    if (trace_) trace_("Database connection was successful.");
    connection.database_list_loaded = true;
    LoadSQLDatabases();
  } else {
    if (trace_)
      trace_("TryLoadSQLDatabases-Unreported Error: " + connection_.errNumber() + " - " +
             connection_.ErrDescription());
    connection.database_list_failed = true;
  }
}

void CAdminWizardRules::LoadSQLDatabases() {
  connection.database_list.clear();
  const std::string sql = DialectOf(connection.database_kind).database_list_query;
  dbaccess::RecordsetPtr rs;
  try {
    rs = db_.GetRecordset(sql);
    for (; !rs->Eof(); rs->MoveNext())
      connection.database_list.push_back(rs->Fields(size_t{0}).Value().ToText());
  } catch (const dbaccess::DbError& error) {
    if (trace_) trace_("LoadSQLDatabases: " + error.description());
  }
  db_.RsClose(rs);
}

}  // namespace voltrane::manager
