// The built korvex7 program on a fresh database of every available kind:
// `schema init --demo` twice, then `append` of every demo command for one
// machine, and the rows that stand in the log afterwards.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "tests/support/test_databases.h"
#include "tests/support/tool_fixture.h"

namespace {

using testsupport::RunResult;
using testsupport::ShellQuote;

class ToolTest : public testsupport::ToolFixture {
 protected:
  dbaccess::DateTime DatabaseNow() {
    dbaccess::Recordset rs;
    rs.Open("select " + voltrane::SysDateExpr(database_.kind) +
                voltrane::FromDualClause(database_.kind),
            Connection());
    return rs.Fields(size_t{0}).Value().ToDateTime();
  }
};

TEST_P(ToolTest, SchemaInitTwiceThenAppendEveryDemoCommand) {
  RunResult run = Run({"schema", "init", "--demo"});
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_NE(run.output.find("Loaded the demo plant."), std::string::npos) << run.output;
  EXPECT_EQ(Count("T_SFC_MACHINE"), 5);
  EXPECT_EQ(Count("T_SFC_COMMAND"), 16);

  run = Run({"schema", "init", "--demo"});
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_NE(run.output.find("already in place; nothing changed"), std::string::npos) << run.output;
  EXPECT_EQ(Count("T_SFC_MACHINE"), 5);
  EXPECT_EQ(Count("T_SFC_COMMAND"), 16);

  // Demo commands: key = type code for 4 to 17; the custom ones are 18 (type
  // 0) and 19 (type 20). Machine 201 is machine 3 in group 2, location 1.
  std::map<int, int> command_of_type = {{0, 18}, {20, 19}};
  for (int type = 4; type <= 17; ++type) command_of_type[type] = type;
  const dbaccess::DateTime before = DatabaseNow();
  for (const auto& [type, command] : command_of_type) {
    run = Run({"append", "--machine", "201", "--type", std::to_string(type), "--param",
               "p" + std::to_string(type), "--time-code", std::to_string(type % 3)});
    ASSERT_EQ(run.exit_code, 0) << "type " << type << ": " << run.output;
  }
  const dbaccess::DateTime after = DatabaseNow();

  dbaccess::Recordset rs;
  rs.Open(
      "select COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, COMMAND_TIME_CODE, "
      "TIME_STAMP, PARAM1 from T_SFC_MDC_LOG order by MDC_LOG_ID",
      Connection());
  ASSERT_EQ(rs.RecordCount(), static_cast<int64_t>(command_of_type.size()));
  for (const auto& [type, command] : command_of_type) {
    SCOPED_TRACE("type " + std::to_string(type));
    EXPECT_EQ(rs.Fields("COMMAND_ID").Value().ToLong(), command);
    EXPECT_EQ(rs.Fields("DEPT_ID").Value().ToLong(), 1);
    EXPECT_EQ(rs.Fields("LOCATION_ID").Value().ToLong(), 1);
    EXPECT_EQ(rs.Fields("GROUP_ID").Value().ToLong(), 2);
    EXPECT_EQ(rs.Fields("MACHINE_ID").Value().ToLong(), 3);
    EXPECT_EQ(rs.Fields("COMMAND_TIME_CODE").Value().ToLong(), type % 3);
    EXPECT_EQ(rs.Fields("PARAM1").Value().ToText(), "p" + std::to_string(type));
    const dbaccess::DateTime stamp = rs.Fields("TIME_STAMP").Value().ToDateTime();
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);
    rs.MoveNext();
  }
}

TEST_P(ToolTest, BadInputIsRefusedWithTheLibrarysText) {
  ASSERT_EQ(Run({"schema", "init", "--demo"}).exit_code, 0);
  RunResult run = Run({"append", "--machine", "101", "--type", "9", "--time-code", "3"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.output.find("CommandTypeCode must be 0 - start, 1 - end, or 2 - both"),
            std::string::npos)
      << run.output;
  run = Run({"append", "--machine", "10'1", "--type", "9"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.output.find("No such machine: 10'1"), std::string::npos) << run.output;
  run = Run({"append", "--machine", "101", "--type", "9", "--param", std::string(256, 'x')});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.output.find("PARAM1 holds at most 255"), std::string::npos) << run.output;
  EXPECT_EQ(Count("T_SFC_MDC_LOG"), 0);
}

TEST_P(ToolTest, SchemaInitWithoutTheDemoLeavesThePlantEmptyAndRepairsAMissingIndex) {
  const RunResult run = Run({"schema", "init"});
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_NE(run.output.find("Created 31 tables"), std::string::npos) << run.output;
  EXPECT_EQ(Count("T_SFC_MACHINE"), 0);
  EXPECT_EQ(Count("T_VMES_PTYPE"), 0);

  // A missing index is made good; the demo's fixed keys stay out of a
  // database that already holds the plant's tables.
  Connection()->Execute("DROP INDEX K_SFC_MA_VOID");
  connection_.Close();
  const RunResult repair = Run({"schema", "init", "--demo"});
  ASSERT_EQ(repair.exit_code, 0) << repair.output;
  EXPECT_NE(repair.output.find("Created 0 tables and 1 index"), std::string::npos) << repair.output;
  EXPECT_NE(repair.output.find("demo plant was not loaded"), std::string::npos) << repair.output;
  EXPECT_EQ(Count("T_SFC_MACHINE"), 0);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, ToolTest, testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const testing::TestParamInfo<std::string>& test_info) {
                           return test_info.param;
                         });

TEST(ToolSchemaInit, OtherKindsAreReferredToTheSchemaFiles) {
  const std::string command = std::string("'") + KORVEX7_TOOL_PATH +
                              "' schema init --connection 'Provider=SQLOLEDB;Data Source=x;' "
                              "--dbtype SQLServer 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  const int status = pclose(pipe);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(output.find("supports SQLite and PostgreSQL only"), std::string::npos) << output;
  EXPECT_NE(output.find("schema/sqlserver.sql"), std::string::npos) << output;
}

// A person at a terminal is told what the tool waits for and gets the
// library's error after a short wait, instead of five silent minutes.
TEST(ToolConnect, AnUnreachableDatabaseIsGivenUpAfterAShortWaitWithTheLibrarysText) {
  const std::string store_dir = testsupport::MakeTempDir();
  setenv("VOLTRANE_MACHINE_STORE", (store_dir + "/machine.toml").c_str(), 1);
  setenv("VOLTRANE_USER_STORE", (store_dir + "/user.toml").c_str(), 1);
  const std::string database = store_dir + "/no such folder/mdc.db";
  for (const char* subcommand : {"connect", "count"}) {
    const std::string command =
        ShellQuote(KORVEX7_TOOL_PATH) + " " + subcommand + " --dbtype SQLite --connection " +
        ShellQuote("Provider=SQLite;Data Source=" + database + ";") + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    const int status = pclose(pipe);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1) << output;
    EXPECT_NE(output.find("Waiting for the SQLITE database " + database + " to answer"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("0x80004005: unable to open database file"), std::string::npos) << output;
  }
  std::filesystem::remove_all(store_dir);
}

}  // namespace
