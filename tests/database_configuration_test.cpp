#include "dbaccess/database_configuration.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "dbaccess/computer_name.h"
#include "settings/reg_settings.h"

namespace voltrane {
namespace {

namespace fs = std::filesystem;

class DatabaseConfigurationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "dbconfig.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    setenv("VOLTRANE_MACHINE_STORE", (root_ / "registry.toml").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("VOLTRANE_MACHINE_STORE");
    fs::remove_all(root_);
  }
  void Save(const std::string& name, const std::string& value) {
    ASSERT_TRUE(settings_.SaveMachineStringValue(kServiceKey, name, value));
  }
  void Save(const std::string& name, int32_t value) {
    ASSERT_TRUE(settings_.SaveMachineDWORDValue(kServiceKey, name, value));
  }

  CRegSettings settings_;
  fs::path root_;
  DatabaseConfiguration config_;
};

TEST_F(DatabaseConfigurationTest, KindNameIgnoresCaseAndSelectsItsString) {
  Save("DatabaseType", "sqlserver");
  Save("OracleConnectionString", "eUID=00;SERVER=o;");
  Save("SQLServerConnectionString", "Provider=SQLOLEDB;Data Source=s;eUser ID=270E;");
  Save("Timeout", 5000);
  EXPECT_EQ(ReadConfiguration(config_), 0);
  EXPECT_EQ(config_.database_type, 2);
  EXPECT_EQ(config_.connection_string, "Provider=SQLOLEDB;Data Source=s;eUser ID=270E;");
  EXPECT_EQ(config_.idle_timeout_ms, 5000);
}

TEST_F(DatabaseConfigurationTest, TheNewKindsReadTheirOwnStrings) {
  Save("SQLiteConnectionString", "Provider=SQLite;Data Source=/var/lib/voltrane/mdc.db;");
  Save("PostgreSQLConnectionString", "Provider=PostgreSQL;Data Source=db:5432;");
  Save("DatabaseType", "SQLite");
  EXPECT_EQ(ReadConfiguration(config_), 0);
  EXPECT_EQ(config_.database_type, 3);
  EXPECT_EQ(config_.connection_string, "Provider=SQLite;Data Source=/var/lib/voltrane/mdc.db;");
  Save("DatabaseType", "POSTGRESQL");
  EXPECT_EQ(ReadConfiguration(config_), 0);
  EXPECT_EQ(config_.database_type, 4);
  EXPECT_EQ(config_.connection_string, "Provider=PostgreSQL;Data Source=db:5432;");
}

TEST_F(DatabaseConfigurationTest, UnknownKindOrMissingStringFailsWithNoKind) {
  Save("DatabaseType", "Access");
  Save("AccessConnectionString", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/a.mdb;");
  ASSERT_EQ(ReadConfiguration(config_), 0);
  ASSERT_EQ(config_.database_type, 1);

  Save("DatabaseType", "Sybase");
  EXPECT_EQ(ReadConfiguration(config_), 161);
  EXPECT_EQ(config_.database_type, -1);

  Save("DatabaseType", "Oracle");  // no OracleConnectionString
  EXPECT_EQ(ReadConfiguration(config_), 161);
  EXPECT_EQ(config_.database_type, -1);

  Save("OracleConnectionString", 5);  // there, but not text
  EXPECT_EQ(ReadConfiguration(config_), 161);
  EXPECT_EQ(config_.database_type, -1);

  Save("DatabaseType", 2);  // a number is no kind name
  EXPECT_EQ(ReadConfiguration(config_), 161);
}

TEST_F(DatabaseConfigurationTest, MissingStoreKeyOrTypeIsNotFound) {
  EXPECT_EQ(ReadConfiguration(config_), 2);  // no hive file
  ASSERT_TRUE(settings_.SaveMachineStringValue("Software\\Voltrane\\Paths", "", "/x"));
  EXPECT_EQ(ReadConfiguration(config_), 2);  // no key
  Save("SQLiteConnectionString", "Provider=SQLite;");
  EXPECT_EQ(ReadConfiguration(config_), 2);  // no DatabaseType
  EXPECT_EQ(config_.database_type, -1);

  std::ofstream(root_ / "registry.toml") << "[Software.Voltrane.MDCService\n";
  EXPECT_EQ(ReadConfiguration(config_), kRegBadDatabase);
}

TEST_F(DatabaseConfigurationTest, TimeoutIsTakenOnlyWhenPresentAsANumber) {
  Save("DatabaseType", "SQLite");
  Save("SQLiteConnectionString", "");  // empty but present is a connection string
  EXPECT_EQ(ReadConfiguration(config_), 0);
  EXPECT_EQ(config_.connection_string, "");
  EXPECT_EQ(config_.idle_timeout_ms, 3000);

  Save("Timeout", 0);
  EXPECT_EQ(ReadConfiguration(config_), 0);
  EXPECT_EQ(config_.idle_timeout_ms, 0);

  // Missing or of the wrong type: the previous value stays.
  config_.idle_timeout_ms = 7000;
  ASSERT_TRUE(settings_.DeleteMachineItem(kServiceKey, "Timeout"));
  EXPECT_EQ(ReadConfiguration(config_), 0);
  EXPECT_EQ(config_.idle_timeout_ms, 7000);
  Save("Timeout", "4000");
  EXPECT_EQ(ReadConfiguration(config_), 0);
  EXPECT_EQ(config_.idle_timeout_ms, 7000);
}

TEST_F(DatabaseConfigurationTest, GroupMembershipIsReadAtEveryReadAndDefaultsToTheComputer) {
  Save("DatabaseType", "PostgreSQL");
  Save("PostgreSQLConnectionString", "Provider=PostgreSQL;Data Source=db:5432;");
  ASSERT_EQ(ReadConfiguration(config_), 0);
  EXPECT_EQ(config_.group_name, "");
  EXPECT_EQ(config_.group_member, ComputerName());
  ASSERT_FALSE(ComputerName().empty());

  Save("GroupName", "press-line");
  Save("GroupMember", "press-2");
  ASSERT_EQ(ReadConfiguration(config_), 0);
  EXPECT_EQ(config_.group_name, "press-line");
  EXPECT_EQ(config_.group_member, "press-2");

  // Removed or emptied: the record the worker keeps does not remember the old values.
  ASSERT_TRUE(settings_.DeleteMachineItem(kServiceKey, "GroupName"));
  Save("GroupMember", "");
  ASSERT_EQ(ReadConfiguration(config_), 0);
  EXPECT_EQ(config_.group_name, "");
  EXPECT_EQ(config_.group_member, ComputerName());
}

TEST_F(DatabaseConfigurationTest, GroupSettingsOfAnotherTypeMakeTheConfigurationUnusable) {
  Save("DatabaseType", "PostgreSQL");
  Save("PostgreSQLConnectionString", "Provider=PostgreSQL;Data Source=db:5432;");
  Save("GroupName", 7);
  EXPECT_EQ(ReadConfiguration(config_), kConfigurationInvalid);
  EXPECT_EQ(config_.database_type, -1);
  EXPECT_EQ(config_.problem,
            "The collector setting GroupName of Software\\Voltrane\\MDCService is not text.");

  Save("GroupName", "press-line");
  Save("GroupMember", 2);
  EXPECT_EQ(ReadConfiguration(config_), kConfigurationInvalid);
  EXPECT_NE(config_.problem.find("GroupMember"), std::string::npos);

  Save("GroupMember", "press-2");
  EXPECT_EQ(ReadConfiguration(config_), 0);
  EXPECT_EQ(config_.problem, "");
}

TEST(DatabaseKindFromNameTest, FiveNamesAnyCase) {
  EXPECT_EQ(DatabaseKindFromName("Oracle"), 0);
  EXPECT_EQ(DatabaseKindFromName("ACCESS"), 1);
  EXPECT_EQ(DatabaseKindFromName("sqlserver"), 2);
  EXPECT_EQ(DatabaseKindFromName("SqLite"), 3);
  EXPECT_EQ(DatabaseKindFromName("postgresql"), 4);
  EXPECT_FALSE(DatabaseKindFromName("SQL Server").has_value());
  EXPECT_FALSE(DatabaseKindFromName("").has_value());
  EXPECT_FALSE(DatabaseKindFromName("Postgres").has_value());
}

}  // namespace
}  // namespace voltrane
