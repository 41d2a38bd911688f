// The manager's program without a display: configuring a fresh machine from
// the command line, as an installation script would, and its refusals.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "dbaccess/connection.h"
#include "dbaccess/database_configuration.h"
#include "dbaccess/recordset.h"
#include "settings/reg_settings.h"
#include "manager/host_checks.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/shop_floor_db.h"

namespace {

struct RunResult {
  int status = -1;
  std::string output;
};

// Runs the manager (behind `launcher`, when given) and collects its output.
RunResult RunManager(const std::string& arguments, const std::string& launcher = "") {
  RunResult result;
  FILE* pipe =
      popen((launcher + std::string(MANAGER_PATH) + " " + arguments + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe)) result.output += buffer;
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

class ManagerNoGuiTest : public testing::Test {
 protected:
  void SetUp() override {
    // The manager refuses anyone but root; so does this test.
    if (geteuid() != 0) GTEST_SKIP() << "the manager runs as root only";
    database_ = testsupport::CreateShopFloorDatabase("SQLite", true);
    const std::string prefix = "Data Source=";
    const size_t start = database_.connection_string.find(prefix) + prefix.size();
    path_ = database_.connection_string.substr(
        start, database_.connection_string.find(';', start) - start);
    // A fresh machine: no settings store at all.
    std::filesystem::remove(sandbox_.dir() + "/machine.toml");
    // systemctl's stand-in records what it was asked.
    fake_systemctl_ = sandbox_.dir() + "/systemctl";
    std::ofstream(fake_systemctl_) << "#!/bin/sh\necho \"$@\" >> " << sandbox_.dir()
                                   << "/systemctl.log\n[ \"$1\" != is-active ]\n";
    std::filesystem::permissions(fake_systemctl_, std::filesystem::perms::owner_all);
    setenv("VOLTRANE_SYSTEMCTL", fake_systemctl_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("VOLTRANE_SYSTEMCTL");
    if (!path_.empty()) testsupport::DropTestDatabase(database_);
  }

  void Execute(const std::string& sql) {
    auto connection = std::make_shared<dbaccess::Connection>();
    connection->Open(database_.connection_string);
    connection->Execute(sql);
  }
  std::string DesignatedPc() {
    auto connection = std::make_shared<dbaccess::Connection>();
    connection->Open(database_.connection_string);
    dbaccess::Recordset rs;
    rs.Open("select STRING_VAL from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = 14",
            connection);
    return rs.Eof() ? "<none>" : rs.Fields(size_t{0}).Value().ToText();
  }

  testsupport::SettingsSandbox sandbox_;
  testsupport::TestDatabase database_;
  std::string path_;
  std::string fake_systemctl_;
};

TEST_F(ManagerNoGuiTest, ConfiguresAFreshMachineForSQLiteAndStartsTheService) {
  const RunResult run = RunManager("--no-gui -DBTYPE 3 -DATABASE " + path_);
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("Database connection was successful."), std::string::npos);
  EXPECT_NE(run.output.find("[ok]     Database type SQLite"), std::string::npos) << run.output;

  voltrane::DatabaseConfiguration config;
  ASSERT_EQ(voltrane::ReadConfiguration(config), 0);
  EXPECT_EQ(config.database_type, 3);
  EXPECT_EQ(config.connection_string, "Provider=SQLite;Data Source=" + path_ + ";");
  EXPECT_EQ(config.idle_timeout_ms, 3000);
  // Root writes the store for itself and, where it exists, the service account's group.
  struct stat info {};
  ASSERT_EQ(stat((sandbox_.dir() + "/machine.toml").c_str(), &info), 0);
  const group* service_group = getgrnam(voltrane::kServiceAccountName);
  EXPECT_EQ(info.st_uid, 0u);
  EXPECT_EQ(info.st_mode & 0777, service_group ? 0640 : 0600);
  if (service_group) {
    EXPECT_EQ(info.st_gid, service_group->gr_gid);
  }
  EXPECT_EQ(DesignatedPc(), voltrane::manager::RetrieveComputerName());
  EXPECT_EQ(testsupport::ReadWholeFile(sandbox_.dir() + "/systemctl.log"),
            "is-active --quiet voltrane-collector.service\nstart voltrane-collector.service\n");
}

TEST_F(ManagerNoGuiTest, AnotherDesignatedComputerIsKeptUnlessTakenOver) {
  {
    auto connection = std::make_shared<dbaccess::Connection>();
    connection->Open(database_.connection_string);
    connection->Execute(
        "insert into T_SFC_OPTION (APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, STRING_VAL) "
        "values (2, 14, 2, 'press-shop')");
  }
  const RunResult refused = RunManager("--no-gui --no-start -DBTYPE 3 -DATABASE " + path_);
  EXPECT_EQ(refused.status, 1) << refused.output;
  EXPECT_NE(refused.output.find("only 'press-shop' can run the service"), std::string::npos);
  EXPECT_EQ(DesignatedPc(), "press-shop");
  EXPECT_FALSE(std::filesystem::exists(sandbox_.dir() + "/machine.toml"));

  const RunResult taken =
      RunManager("--no-gui --no-start --take-over -DBTYPE 3 -DATABASE " + path_);
  EXPECT_EQ(taken.status, 0) << taken.output;
  EXPECT_EQ(DesignatedPc(), voltrane::manager::RetrieveComputerName());
  // --no-start: asked whether it runs, never started.
  EXPECT_EQ(testsupport::ReadWholeFile(sandbox_.dir() + "/systemctl.log").find("start voltrane"),
            std::string::npos);
}

TEST_F(ManagerNoGuiTest, TheCollectorGroupIsChosenFromTheCommandLineOrTheDatabase) {
  const std::string base = "--no-gui --no-start -DBTYPE 3 -DATABASE " + path_;
  const RunResult no_group = RunManager(base + " --group");
  EXPECT_EQ(no_group.status, 1);
  EXPECT_NE(no_group.output.find("[failed] Designation: This database has no collector group; "
                                 "\"korvex7 group create NAME\" creates one."),
            std::string::npos)
      << no_group.output;

  for (const std::string& sql : testsupport::GroupStandInStatements("press-line", false)) {
    Execute(sql);
  }
  const RunResult joined = RunManager(base + " --member press-2");
  ASSERT_EQ(joined.status, 0) << joined.output;
  EXPECT_EQ(DesignatedPc(), "group:press-line");
  voltrane::DatabaseConfiguration config;
  ASSERT_EQ(voltrane::ReadConfiguration(config), 0);
  EXPECT_EQ(config.group_name, "press-line");
  EXPECT_EQ(config.group_member, "press-2");

  // Again without a choice: the database's group, with the stored member name.
  const RunResult again = RunManager(base);
  ASSERT_EQ(again.status, 0) << again.output;
  EXPECT_NE(again.output.find("[ok]     Designation: the collector group 'press-line', this "
                              "computer's collector as member 'press-2'"),
            std::string::npos)
      << again.output;

  // This computer ends group mode only when told to.
  const RunResult refused = RunManager(base + " --this-computer");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.output.find("[failed] Designation: this database is processed by the "
                                "collector group 'press-line'; --this-computer ends group mode "
                                "only with --end-group (--group takes part in it)"),
            std::string::npos)
      << refused.output;
  EXPECT_EQ(DesignatedPc(), "group:press-line");
  EXPECT_EQ(RunManager(base + " --end-group").status, 2);
  const RunResult alone = RunManager(base + " --this-computer --end-group");
  ASSERT_EQ(alone.status, 0) << alone.output;
  EXPECT_EQ(DesignatedPc(), voltrane::manager::RetrieveComputerName());
  ASSERT_EQ(voltrane::ReadConfiguration(config), 0);
  EXPECT_EQ(config.group_name, "");

  EXPECT_EQ(RunManager(base + " --this-computer --member x").status, 2);
  const RunResult no_name = RunManager(base + " --member");
  EXPECT_EQ(no_name.status, 2);
  EXPECT_EQ(no_name.output, "--member needs a name (see --help).\n");
}

TEST_F(ManagerNoGuiTest, AMissingDatabaseFileFailsWithoutWritingSettings) {
  const RunResult run = RunManager("--no-gui --no-start -DBTYPE 3 -DATABASE " + path_ + ".missing");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("The file " + path_ + ".missing does not exist."), std::string::npos)
      << run.output;
  EXPECT_FALSE(std::filesystem::exists(sandbox_.dir() + "/machine.toml"));
}

TEST_F(ManagerNoGuiTest, AnyoneButRootIsRefused) {
  const std::string nobody = "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups ";
  if (access("/usr/bin/setpriv", X_OK) != 0 ||
      std::system((nobody + "/usr/bin/test -x " + MANAGER_PATH).c_str()) != 0)
    GTEST_SKIP() << "needs root, setpriv and a build folder others may enter";
  const RunResult as_nobody = RunManager("--no-gui -DBTYPE 3 -DATABASE " + path_, nobody);
  EXPECT_EQ(as_nobody.status, 1);
  EXPECT_EQ(as_nobody.output, "Administrator priveleges required\n");
}

TEST_F(ManagerNoGuiTest, HelpNamesTheKeywords) {
  const RunResult run = RunManager("--help");
  EXPECT_EQ(run.status, 0);
  for (const char* word : {"-DBTYPE", "-DATABASESERVER", "--no-gui", "3 SQLite", "4 PostgreSQL",
                           "--group", "--member NAME", "--this-computer"})
    EXPECT_NE(run.output.find(word), std::string::npos) << word;
}

}  // namespace
