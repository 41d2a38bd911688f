// The built korvex7 program draining the MDC log: `process` works through
// custom commands behind a failing row and gives up when no row goes
// through, prints each failing row once with its identity, takes rows removed as out of order as progress, and stops between
// rows on SIGTERM with every processed row out of the log; `count` prints
// what is left.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/ascii_case.h"
#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "tests/support/child_process.h"
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
  int64_t Rows(const std::string& table) {
    dbaccess::Connection connection;
    connection.Open(database_.connection_string);
    dbaccess::Recordset rs;
    rs.Open("select count(*) from " + table, {&connection, [](dbaccess::Connection*) {}});
    return rs.Fields(size_t{0}).Value().ToInt64();
  }
  int64_t Events() { return Rows("T_SFC_EVENT"); }
  // A setup start then fails without its downtime table.
  void HideDowntimeTable() {
    dbaccess::Connection connection;
    connection.Open(database_.connection_string);
    connection.Execute("ALTER TABLE T_SFC_DT_PER_MACHINE_DATA RENAME TO T_SFC_DT_AWAY");
  }
  // Queues `count` rows of one command for machine 101 (key 1) straight into
  // the log, a second apart from `first`.
  void QueueRows(int count, int command_id, int time_code, const dbaccess::DateTime& first) {
    dbaccess::Connection connection;
    connection.Open(database_.connection_string);
    connection.BeginTrans();
    for (int i = 0; i < count; ++i) {
      connection.Execute(
          "insert into T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, "
          "COMMAND_TIME_CODE, TIME_STAMP, PARAM1) values (" +
          std::to_string(command_id) + ", 1, 1, 1, 1, " + std::to_string(time_code) + ", " +
          voltrane::DateTimeLiteral(database_.kind, first.AddSeconds(i)) + ", '')");
    }
    connection.CommitTrans();
  }
  std::vector<std::string> ToolArguments(const std::vector<std::string>& arguments) {
    std::vector<std::string> all{KORVEX7_TOOL_PATH};
    all.insert(all.end(), arguments.begin(), arguments.end());
    all.insert(all.end(),
               {"--connection", database_.connection_string, "--dbtype", database_.name});
    return all;
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
  HideDowntimeTable();
  Append("101", "8", "0");
  Append("102", "20", "0");
  Append("201", "20", "2");
  const RunResult run = Run({"process", "--max-idle-calls", "4"});
  EXPECT_EQ(run.exit_code, 2) << run.output;
  EXPECT_NE(base::Lower(run.output).find("t_sfc_dt_per_machine_data"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("Giving up: 4 calls in a row processed no row (2 rows processed "
                            "before)."),
            std::string::npos)
      << run.output;
  EXPECT_EQ(Run({"count"}).output, "1\n");
  EXPECT_EQ(Events(), 2);
}

TEST_P(ProcessToolTest, AFailingRowIsReportedOnceAndListedWithItsAttempts) {
  EXPECT_EQ(Run({"count", "--failing"}).output, "No row of the MDC log has failed.\n");
  HideDowntimeTable();
  Append("101", "8", "0");
  Append("102", "20", "0");
  const RunResult run = Run({"process", "--max-idle-calls", "5"});
  EXPECT_EQ(run.exit_code, 2) << run.output;
  const std::string output = base::Lower(run.output);
  const size_t listed_at = output.find("rows that failed:");
  ASSERT_NE(listed_at, std::string::npos) << run.output;
  const std::string reports = output.substr(0, listed_at);
  const size_t first = reports.find("t_sfc_dt_per_machine_data");
  ASSERT_NE(first, std::string::npos) << run.output;
  EXPECT_EQ(reports.find("t_sfc_dt_per_machine_data", first + 1), std::string::npos) << run.output;
  EXPECT_NE(output.find("101         setup start", listed_at), std::string::npos) << run.output;

  const RunResult listed = Run({"count", "--failing"});
  EXPECT_EQ(listed.exit_code, 0) << listed.output;
  const std::string list = base::Lower(listed.output);
  EXPECT_NE(list.find("attempts"), std::string::npos) << listed.output;
  EXPECT_NE(list.find("t_sfc_dt_per_machine_data"), std::string::npos) << listed.output;
  EXPECT_NE(list.find("101"), std::string::npos) << listed.output;
  // The first attempt, then once in each of the five calls that made no progress.
  EXPECT_NE(list.find("       6  "), std::string::npos) << listed.output;
}

TEST_P(ProcessToolTest, EachFailingRowIsPrintedOnceWithItsIdentityThoughTheTextsAgree) {
  HideDowntimeTable();
  Append("101", "8", "0");
  Append("102", "8", "0");
  const RunResult run = Run({"process", "--max-idle-calls", "6"});
  EXPECT_EQ(run.exit_code, 2) << run.output;
  const std::string output = base::Lower(run.output);
  const std::string reports = output.substr(0, output.find("rows that failed:"));
  std::vector<std::string> lines;
  for (size_t at = reports.find("mdc log row "); at != std::string::npos;
       at = reports.find("mdc log row ", at + 1)) {
    lines.push_back(reports.substr(at, reports.find('\n', at) - at));
  }
  ASSERT_EQ(lines.size(), 2u) << run.output;
  EXPECT_NE(lines[0].find("(machine 101, command "), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("(machine 102, command "), std::string::npos) << lines[1];
  for (const std::string& line : lines) {
    EXPECT_NE(line.find(" start, attempt 1): "), std::string::npos) << line;
    EXPECT_NE(line.find("t_sfc_dt_per_machine_data"), std::string::npos) << line;
  }
}

TEST_P(ProcessToolTest, SigtermStopsBetweenRowsWithEveryProcessedRowOutOfTheLog) {
  constexpr int kRows = 4000;
  // A custom command with time code 2 makes one event per row.
  QueueRows(kRows, 20, 2, dbaccess::DateTime::FromParts(2026, 1, 5, 7, 0, 0));
  const std::string output_path = store_dir_ + "/process.out";
  testsupport::ChildProcess child(ToolArguments({"process"}), {}, output_path);
  ASSERT_TRUE(testsupport::WaitFor([&] { return Events() > 0; }, 60000)) << child.Output();
  child.Signal(SIGTERM);
  const std::optional<int> status = child.WaitForExit(60000);
  ASSERT_TRUE(status.has_value()) << child.Output();
  EXPECT_EQ(*status, 143) << child.Output();
  const std::string output = child.Output();
  const std::string said = "Stopped after processing ";
  const size_t at = output.find(said);
  ASSERT_NE(at, std::string::npos) << output;
  const int64_t processed = std::stoll(output.substr(at + said.size()));
  EXPECT_LT(processed, kRows) << "the signal came too late to test anything";
  // Nothing applied without leaving the log, nothing left the log unapplied.
  EXPECT_EQ(Events(), processed);
  EXPECT_EQ(Rows("T_SFC_MDC_LOG"), kRows - processed);
}

TEST_P(ProcessToolTest, RowsRemovedAsOutOfOrderAreProgress) {
  const dbaccess::DateTime noon = dbaccess::DateTime::FromParts(2026, 1, 5, 12, 0, 0);
  QueueRows(1, 9, 0, noon);
  ASSERT_EQ(Run({"process"}).exit_code, 0);
  // More older rows than the give-up limit, as a monitor replaying old data sends them.
  QueueRows(60, 9, 0, noon.AddSeconds(-3600));
  const RunResult run = Run({"process"});
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_NE(run.output.find("60 rows removed as out of order"), std::string::npos) << run.output;
  EXPECT_EQ(Rows("T_SFC_MDC_LOG"), 0);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, ProcessToolTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
