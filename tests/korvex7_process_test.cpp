// The built korvex7 program draining the MDC log: `process` works through
// custom commands behind a failing row and gives up when no row goes
// through; `count` prints what is left.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "dbaccess/ascii_case.h"
#include "dbaccess/connection.h"
#include "dbaccess/recordset.h"
#include "tests/support/test_databases.h"
#include "tests/support/tool_fixture.h"

namespace {

using testsupport::RunResult;

class ProcessToolTest : public testsupport::ToolFixture {
 protected:
  void SetUp() override {
    ToolFixture::SetUp();
    InitDemoPlant();
  }

  void Append(const std::string& machine, const std::string& type, const std::string& time_code) {
    const RunResult run =
        Run({"append", "--machine", machine, "--type", type, "--time-code", time_code});
    ASSERT_EQ(run.exit_code, 0) << run.output;
  }
  int64_t Events() {
    dbaccess::Connection connection;
    connection.Open(database_.connection_string);
    dbaccess::Recordset rs;
    rs.Open("select count(*) from T_SFC_EVENT", {&connection, [](dbaccess::Connection*) {}});
    return rs.Fields(size_t{0}).Value().ToInt64();
  }
};

TEST_P(ProcessToolTest, DrainsTheLogAndSaysHowMany) {
  Append("101", "20", "0");
  Append("102", "0", "2");
  Append("101", "20", "1");
  EXPECT_EQ(Run({"count"}).output, "3\n");
  const RunResult run = Run({"process"});
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_NE(run.output.find("Note: Using "), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Processed 3 rows in "), std::string::npos) << run.output;
  EXPECT_EQ(Run({"count"}).output, "0\n");
  EXPECT_EQ(Events(), 2);
}

TEST_P(ProcessToolTest, RowsBehindAFailingRowGoThroughBeforeItGivesUp) {
  // A setup start fails without its downtime table.
  {
    dbaccess::Connection connection;
    connection.Open(database_.connection_string);
    connection.Execute("ALTER TABLE T_SFC_DT_PER_MACHINE_DATA RENAME TO T_SFC_DT_AWAY");
  }
  Append("101", "8", "0");
  Append("102", "20", "0");
  Append("201", "20", "2");
  const RunResult run = Run({"process", "--max-idle-calls", "4"});
  EXPECT_EQ(run.exit_code, 2) << run.output;
  EXPECT_NE(dbaccess::Lower(run.output).find("t_sfc_dt_per_machine_data"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("Giving up: 4 calls in a row processed no row (2 rows processed "
                            "before)."),
            std::string::npos)
      << run.output;
  EXPECT_EQ(Run({"count"}).output, "1\n");
  EXPECT_EQ(Events(), 2);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, ProcessToolTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
