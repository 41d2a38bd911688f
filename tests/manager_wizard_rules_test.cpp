// The wizard's rules that need no database: texts, command-line keywords, the
// settings store round trip, the page flow up to the connection pages and the
// field checks.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <set>

#include "dbaccess/database_configuration.h"
#include "settings/reg_settings.h"
#include "manager/admin_wizard_rules.h"
#include "manager/command_line_values.h"
#include "manager/string_resources.h"
#include "tests/manager_fakes.h"
#include "tests/support/settings_sandbox.h"

namespace {

using namespace voltrane::manager;

TEST(ManagerTextsTest, ArgumentsReplaceFirstOccurrenceOnlyAndEmptyArgumentsKeepTheMarker) {
  EXPECT_EQ(LoadResText(res::kIntegerRange, {"1", "600"}),
            "Please enter a positive integer between 1 and 600 for the timeout value.");
  EXPECT_EQ(LoadResText(res::kIntegerRange, {"", "600"}),
            "Please enter a positive integer between %1 and 600 for the timeout value.");
  EXPECT_EQ(LoadResText(res::kRegistryWriteFailed, {kAppTitle}).substr(0, 46),
            "Voltrane MDC Service Manager was unable to wri");
  EXPECT_EQ(LoadResText(res::kFailedLogon), "Failed Logon");
  EXPECT_EQ(LoadResText(99999), "###STRING RESOURCE ERROR###");
}

TEST(ManagerCommandLineTest, KeywordsAreFoundInAnyCaseAndValuesKeepTheirOwn) {
  const CommandLineValues values = ReadCommandLineValues(
      "-dbtype 2 -DATABASESERVER \"Plant Server\" -DATABASE Mdc_Prod -DatabaseUser Ops");
  EXPECT_EQ(values.db_type, "2");
  EXPECT_EQ(values.database_server, "Plant Server");
  EXPECT_EQ(values.database, "Mdc_Prod");  // not the server's value
  EXPECT_EQ(values.database_user, "Ops");
  EXPECT_EQ(values.database_password, "");
}

TEST(ManagerCommandLineTest, DatabaseAloneDoesNotTakeTheLongerKeywordsValue) {
  EXPECT_EQ(ReadCommandLineValues("-DATABASESERVER db1").database, "");
  EXPECT_EQ(ReadCommandLineValues(JoinCommandLine({"-DATABASE", "/srv/My Plant/mdc.db"})).database,
            "/srv/My Plant/mdc.db");
}

TEST(ManagerNumberCheckTest, RangesAndRounding) {
  int32_t value = 7;
  EXPECT_FALSE(ParseWholeNumberInRange("0", 1, 600, value));
  EXPECT_FALSE(ParseWholeNumberInRange("601", 1, 600, value));
  EXPECT_FALSE(ParseWholeNumberInRange("abc", 1, 600, value));
  EXPECT_FALSE(ParseWholeNumberInRange("", 1, 600, value));
  EXPECT_EQ(value, 7);
  EXPECT_TRUE(ParseWholeNumberInRange("2.6", 1, 600, value));
  EXPECT_EQ(value, 3);
  EXPECT_TRUE(ParseWholeNumberInRange("365", 0, 365, value));
}

class ManagerRulesTest : public testing::Test {
 protected:
  void WriteService(const std::string& values) { sandbox_.WriteHives(values, ""); }
  CAdminWizardRules& Rules() {
    if (!rules_) {
      HostChecks host;
      host.computer_name = [] { return std::string("plant-pc-1"); };
      host.file_exists = [this](const std::string& path) {
        return existing_files_.count(path) > 0;
      };
      host.on_network_file_system = [this](const std::string& path) {
        return network_files_.count(path) > 0;
      };
      rules_ = std::make_unique<CAdminWizardRules>(connection_, prompts_, service_, host);
    }
    return *rules_;
  }

  testsupport::SettingsSandbox sandbox_;
  testsupport::ScriptedPrompts prompts_;
  testsupport::FakeServiceControl service_;
  voltrane::CDatabaseConnectionObj connection_;
  std::set<std::string> existing_files_, network_files_;
  std::unique_ptr<CAdminWizardRules> rules_;
};

TEST_F(ManagerRulesTest, TimeoutOf3500IsShownAs3AndWrittenBackAs3000WithAllKindsStrings) {
  WriteService(
      "DatabaseType = \"SQLite\"\nSQLiteConnectionString = \"Provider=SQLite;Data "
      "Source=/srv/mdc.db;\"\nSQLServerConnectionString = \"Provider=SQLOLEDB;Data "
      "Source=db1;Initial Catalog=MDC;\"\nTimeout = 3500\n");
  Rules().LoadSettings({});
  EXPECT_EQ(Rules().connection.database_kind, 3);
  EXPECT_EQ(Rules().connection.sqlite_path, "/srv/mdc.db");
  EXPECT_EQ(Rules().connection.sql_provider, "SQLOLEDB");
  EXPECT_EQ(Rules().options.timeout_text, "3");
  ASSERT_TRUE(Rules().SaveSettings());

  voltrane::CRegSettings settings;
  EXPECT_EQ(settings.GetMachineDWORDValue(voltrane::kServiceKey, "Timeout", 0), 3000);
  EXPECT_EQ(settings.GetMachineDWORDValue(voltrane::kServiceKey, "EnableIcon", -1), 0);
  EXPECT_EQ(settings.GetMachineStringValue(voltrane::kServiceKey, "SQLServerConnectionString", ""),
            "Provider=SQLOLEDB;Data Source=db1;Initial Catalog=MDC;");
  struct stat info {};
  ASSERT_EQ(stat((sandbox_.dir() + "/machine.toml").c_str(), &info), 0);
  // Connection strings: no one but the owner and the service account's group reads them.
  EXPECT_EQ(info.st_mode & 0027, 0u);
  voltrane::DatabaseConfiguration config;
  ASSERT_EQ(voltrane::ReadConfiguration(config), 0);
  EXPECT_EQ(config.database_type, 3);
  EXPECT_EQ(config.connection_string, "Provider=SQLite;Data Source=/srv/mdc.db;");
}

TEST_F(ManagerRulesTest, KindNamesAreReadCaseSensitivelyAndUnknownNamesGiveOracle) {
  WriteService("DatabaseType = \"sqlite\"\n");
  Rules().LoadSettings({});
  EXPECT_EQ(Rules().connection.database_kind, 0);
}

TEST_F(ManagerRulesTest, CommandLineOverridesTheStoreOnlyWithDbType) {
  WriteService(
      "DatabaseType = \"PostgreSQL\"\nPostgreSQLConnectionString = "
      "\"Provider=PostgreSQL;Data Source=old:5432;Initial Catalog=old;\"\n");
  Rules().LoadSettings(ReadCommandLineValues("-DATABASESERVER newhost"));
  EXPECT_EQ(Rules().connection.postgresql.server, "old:5432");

  Rules().LoadSettings(ReadCommandLineValues(
      "-DBTYPE 4 -DATABASESERVER \"pg host:5433\" -DATABASE plant -DATABASEUSER mdc"));
  EXPECT_EQ(Rules().connection.database_kind, 4);
  EXPECT_EQ(Rules().connection.postgresql.server, "pg host:5433");
  EXPECT_EQ(Rules().connection.postgresql.database, "plant");
  EXPECT_EQ(Rules().connection.postgresql.user, "mdc");
  EXPECT_EQ(Rules().connection.selected_kind, 4);
}

TEST_F(ManagerRulesTest, PageZeroGoesToTheConnectionPageOfTheChosenKind) {
  WriteService("DatabaseType = \"SQLServer\"\n");
  Rules().Load({});
  EXPECT_EQ(service_.stops, 1);
  EXPECT_EQ(Rules().CurrentPage(), 0);
  EXPECT_EQ(Rules().WindowTitle(), "Voltrane Collector Service Manager - Select a Database Type");
  EXPECT_FALSE(Rules().Buttons().back);
  EXPECT_TRUE(Rules().Buttons().next);
  EXPECT_FALSE(Rules().Buttons().finish);

  Rules().connection.selected_kind = 1;  // Access
  ASSERT_TRUE(Rules().Next());
  EXPECT_EQ(Rules().CurrentPage(), 2);
  EXPECT_FALSE(Rules().Buttons().next);  // no path yet
  ASSERT_TRUE(Rules().Back());
  EXPECT_EQ(Rules().CurrentPage(), 0);

  Rules().connection.selected_kind = 3;
  ASSERT_TRUE(Rules().Next());
  EXPECT_EQ(Rules().CurrentPage(), 2);
  EXPECT_EQ(Rules().WindowTitle(),
            "Voltrane Collector Service Manager - Enter SQLite Connection Information");
  Rules().Back();
  Rules().connection.selected_kind = 4;
  Rules().Next();
  EXPECT_EQ(Rules().CurrentPage(), 3);
  Rules().Back();
  Rules().connection.selected_kind = 0;
  Rules().Next();
  EXPECT_EQ(Rules().CurrentPage(), 1);
}

TEST_F(ManagerRulesTest, ChangingTheKindShowsThatKindsOwnFields) {
  WriteService(
      "DatabaseType = \"Access\"\nAccessConnectionString = "
      "\"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/srv/old.mdb;Persist Security\"\n"
      "SQLiteConnectionString = \"Provider=SQLite;Data Source=/srv/mdc.db;\"\n");
  Rules().Load({});
  Rules().Next();
  EXPECT_EQ(Rules().FilePath(), "/srv/old.mdb");
  Rules().FilePath() = "/srv/typed.mdb";
  Rules().Back();
  Rules().connection.selected_kind = 3;
  Rules().Next();
  EXPECT_EQ(Rules().FilePath(), "/srv/mdc.db");
  Rules().Back();
  Rules().connection.selected_kind = 1;
  Rules().Next();
  EXPECT_EQ(Rules().FilePath(), "/srv/typed.mdb");
}

TEST_F(ManagerRulesTest, FileChecksRefuseMissingFilesAndNetworkFileSystems) {
  WriteService("DatabaseType = \"SQLite\"\n");
  Rules().Load(ReadCommandLineValues("-DBTYPE 3 -DATABASE /mnt/nfs/mdc.db"));
  Rules().Next();
  EXPECT_FALSE(Rules().Next());
  EXPECT_TRUE(prompts_.Shown("The file /mnt/nfs/mdc.db does not exist."));
  existing_files_.insert("/mnt/nfs/mdc.db");
  network_files_.insert("/mnt/nfs/mdc.db");
  EXPECT_FALSE(Rules().Next());
  EXPECT_EQ(Rules().CurrentPage(), 2);
  EXPECT_TRUE(prompts_.Shown(LoadResText(res::kNetworkDrive, {"/mnt/nfs/mdc.db"})));
}

TEST_F(ManagerRulesTest, TimeoutAndLogDaysChecksResetToTheLastAcceptedValue) {
  WriteService("Timeout = 45000\n");
  Rules().LoadSettings({});
  for (const char* refused : {"0", "601", "abc"}) {
    Rules().options.timeout_text = refused;
    EXPECT_FALSE(Rules().AcceptTimeoutText()) << refused;
    EXPECT_EQ(Rules().options.timeout_text, "45");
  }
  EXPECT_TRUE(
      prompts_.Shown("Please enter a positive integer between 1 and 600 for the timeout "
                     "value."));
  Rules().options.timeout_text = "600";
  EXPECT_TRUE(Rules().AcceptTimeoutText());
  EXPECT_EQ(Rules().connection.timeout_seconds, 600);

  Rules().options.log_days_text = "30";
  EXPECT_TRUE(Rules().AcceptLogDaysText());
  Rules().options.log_days_text = "366";
  EXPECT_FALSE(Rules().AcceptLogDaysText());
  EXPECT_EQ(Rules().options.log_days_text, "30");
  EXPECT_TRUE(
      prompts_.Shown("Please enter a positive integer between 0 and 365 for the timeout "
                     "value."));
}

TEST_F(ManagerRulesTest, CancelRestartsOnlyAServiceTheWizardStopped) {
  service_.running = true;
  Rules().Load({});
  EXPECT_TRUE(Rules().service_was_running());
  Rules().Cancel();
  EXPECT_EQ(service_.starts, 1);

  testsupport::FakeServiceControl stopped;
  CAdminWizardRules second(connection_, prompts_, stopped);
  second.Load({});
  second.Cancel();
  EXPECT_EQ(stopped.starts, 0);
}

}  // namespace
