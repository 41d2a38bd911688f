// `korvex7 mtconnect` replaying the recorded lathe stream into the demo plant
// on every available database: each appended command (kind, time code,
// time, parameter), then the machine after processing (cycles, counts, part,
// status) with the second recording's older rows thrown out; and the tool's
// refusals of what it cannot run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/recordset.h"
#include "library/korvex7.h"
#include "tests/support/child_process.h"
#include "tests/support/log_queries.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/shop_floor_db.h"

namespace {

const std::string kRecording =
    std::string(VOLTRANE_SOURCE_DIR) + "/tests/data/mtconnect/okuma-lathe-part1.shdr";

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct RunResult {
  int exit_code = -1;
  std::string output;  // standard output and standard error
};

RunResult RunTool(const std::vector<std::string>& arguments) {
  std::string command = ShellQuote(KORVEX7_TOOL_PATH);
  for (const std::string& argument : arguments) command += " " + ShellQuote(argument);
  RunResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) result.output += buffer;
  const int status = pclose(pipe);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

class MtconnectReplayTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    // The recording is UTC; the log holds the wall-clock time of Berlin (summer time).
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    sandbox_.WriteHives(testsupport::SettingsSandbox::BaseFolderKey(sandbox_.dir()), "");
    database_ = testsupport::CreateShopFloorDatabase(GetParam(), true);
    connection_ = std::make_shared<dbaccess::Connection>();
    connection_->Open(database_.connection_string);
  }
  void TearDown() override {
    connection_.reset();
    testsupport::DropTestDatabase(database_);
    unsetenv("TZ");
    tzset();
  }

  RunResult Bridge(const std::vector<std::string>& arguments) {
    std::vector<std::string> all = {"--connection", database_.connection_string, "--dbtype",
                                    database_.name, "mtconnect"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return RunTool(all);
  }
  std::string WriteConfig(const std::string& text) {
    const std::string path = sandbox_.dir() + "/mtconnect.toml";
    std::ofstream(path) << text;
    return path;
  }
  std::vector<std::string> Rows(const std::string& sql) {
    return testsupport::QueryRows(connection_, sql);
  }
  void ProcessLog() { testsupport::ProcessWholeLog(database_); }

  testsupport::SettingsSandbox sandbox_;
  testsupport::TestDatabase database_;
  std::shared_ptr<dbaccess::Connection> connection_;
};

TEST_P(MtconnectReplayTest, TheRecordedLatheBecomesItsCommandsAndRecords) {
  const std::string config = WriteConfig(
      "[[machine]]\n"
      "number = 101\n"
      "replay = \"" +
      kRecording +
      "\"\n"
      "speed = 0\n"
      "items = { execution = \"pexecution\", part_count = \"ppartcount\", program = \"pprogram\","
      " operator = \"MachineOperator\", availability = \"avail\", estop = \"estop\" }\n"
      "downtime_code = \"100\"\n");
  const RunResult run = Bridge({"--config", config});
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_NE(run.output.find("Machine 101: 6327 lines (6096 data, 228 skipped asset lines, 0 "
                            "malformed), 15949 observations (15929 of unmapped items), 8 commands "
                            "appended, 0 refused"),
            std::string::npos)
      << run.output;

  // Two program runs; the second recording begins before the first ended,
  // and its rows keep their own (older) times.
  EXPECT_EQ(Rows("select c.COMMAND_TYPE_CODE, l.COMMAND_TIME_CODE, l.TIME_STAMP, l.PARAM1 "
                 "from T_SFC_MDC_LOG l, T_SFC_COMMAND c, T_SFC_MACHINE m "
                 "where c.COMMAND_ID = l.COMMAND_ID and m.MACHINE_ID = l.MACHINE_ID "
                 "and m.MACHINE_NUMBER = '101' order by l.MDC_LOG_ID"),
            (std::vector<std::string>{
                "6|0|2022-08-08 15:51:34.716|IMTS-2022-2-HOB.MIN",
                "9|0|2022-08-08 15:51:36.771|null",
                "9|1|2022-08-08 15:54:43.500|null",
                "13|2|2022-08-08 15:54:43.828|1",
                "6|0|2022-08-08 15:37:18.850|IMTS-2022-1E-mm.MIN",
                "9|0|2022-08-08 15:37:22.795|null",
                "9|1|2022-08-08 15:47:27.758|null",
                "13|2|2022-08-08 15:47:27.836|1",
            }));

  ProcessLog();
  EXPECT_EQ(
      Rows("select FINISHED_CYCLES, UNFINISHED_CYCLES, GOOD_COUNT, SCRAPPED_COUNT, "
           "PART_NUMBER, round(CYCLE_TIME * 60) from T_SFC_MACHINE_DATA where MACHINE_ID = 1"),
      std::vector<std::string>{"1|0|1|0|IMTS-2022-2-HOB.MIN|187"});
  EXPECT_EQ(Rows("select STATUS_CODE, STATUS_DATE from T_SFC_MACHINE where MACHINE_ID = 1"),
            std::vector<std::string>{"0|2022-08-08 15:54:43.500"});
  // The four rows of the second recording were older than what the machine
  // had recorded: thrown out and written down.
  std::ifstream diagnostic(sandbox_.dir() + "/MDCService.log");
  std::stringstream text;
  text << diagnostic.rdbuf();
  size_t refused = 0;
  for (size_t at = 0;
       (at = text.str().find("prior to a previously recorded entry", at)) != std::string::npos;
       ++at) {
    ++refused;
  }
  EXPECT_EQ(refused, 4u) << text.str();
}

TEST_P(MtconnectReplayTest, AnOperatorAProgramAndAnOutageReachTheRecords) {
  // A Monday morning in winter: UTC + 1 in Berlin, inside the day shift.
  const std::string recording = sandbox_.dir() + "/shift.shdr";
  std::ofstream(recording)
      << "2026-01-05T07:00:00Z|avail|AVAILABLE|estop|ARMED|operator|Ann|program|SHAFT-100|"
         "execution|READY|part_count|10\n"
         "2026-01-05T07:01:00Z|execution|ACTIVE\n"
         "2026-01-05T07:03:00Z|execution|READY|part_count|12\n"
         "this line is no SHDR\n"
         "2026-01-05T07:04:00Z|avail|UNAVAILABLE\n"
         "2026-01-05T07:10:00Z|avail|AVAILABLE\n";
  const RunResult run =
      Bridge({"--machine", "102", "--replay", recording, "--speed", "0", "--items",
              "availability=avail,estop=estop", "--downtime-code", "100"});
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_NE(run.output.find("Machine 102: malformed SHDR line 4 skipped: no UTC time stamp"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(Rows("select c.COMMAND_TYPE_CODE, l.COMMAND_TIME_CODE, l.TIME_STAMP, l.PARAM1 "
                 "from T_SFC_MDC_LOG l, T_SFC_COMMAND c "
                 "where c.COMMAND_ID = l.COMMAND_ID order by l.MDC_LOG_ID"),
            (std::vector<std::string>{
                "4|0|2026-01-05 08:00:00.000|Ann",
                "6|0|2026-01-05 08:00:00.000|SHAFT-100",
                "9|0|2026-01-05 08:01:00.000|null",
                "9|1|2026-01-05 08:03:00.000|null",
                "13|2|2026-01-05 08:03:00.000|2",
                "11|0|2026-01-05 08:04:00.000|100",
                "11|1|2026-01-05 08:10:00.000|null",
            }));
  ProcessLog();
  EXPECT_EQ(Rows("select d.USER_NAME, d.PART_ID from T_SFC_MACHINE m, "
                 "T_SFC_MACHINE_DATA d where d.MACHINE_DATA_ID = m.MACHINE_DATA_ID and "
                 "m.MACHINE_ID = 2"),
            std::vector<std::string>{"Ann|1"});
  EXPECT_EQ(Rows("select sum(FINISHED_CYCLES), sum(GOOD_COUNT) from T_SFC_MACHINE_DATA "
                 "where MACHINE_ID = 2"),
            std::vector<std::string>{"1|2"});
  // Downtime code "100" is the demo plant's code 1.
  EXPECT_EQ(
      Rows("select t.DOWNTIME_CODE_ID, t.START_TIME, t.STOP_TIME from T_SFC_DT_PER_MACHINE_DATA t, "
           "T_SFC_MACHINE_DATA d where d.MACHINE_DATA_ID = t.MACHINE_DATA_ID and "
           "d.MACHINE_ID = 2"),
      std::vector<std::string>{"1|2026-01-05 08:04:00.000|2026-01-05 08:10:00.000"});
  EXPECT_EQ(Rows("select STATUS_CODE, STATUS_DATE from T_SFC_MACHINE where MACHINE_ID = 2"),
            std::vector<std::string>{"0|2026-01-05 08:10:00.000"});
}

TEST_P(MtconnectReplayTest, MachinesOfOneConfigurationRunSideBySide) {
  std::string config;
  for (const char* number : {"101", "102", "201"}) {
    config += std::string("[[machine]]\nnumber = \"") + number + "\"\nreplay = \"" + kRecording +
              "\"\nspeed = 0\nitems = { execution = \"pexecution\", part_count = \"ppartcount\" "
              "}\n";
  }
  const RunResult run = Bridge({"--config", WriteConfig(config)});
  ASSERT_EQ(run.exit_code, 0) << run.output;
  // Each machine's rows carry their own observations' times, however the
  // three writers interleaved.
  for (const char* number : {"101", "102", "201"}) {
    EXPECT_EQ(Rows(std::string("select l.TIME_STAMP from T_SFC_MDC_LOG l, T_SFC_MACHINE m "
                               "where m.MACHINE_ID = l.MACHINE_ID and m.MACHINE_NUMBER = '") +
                   number + "' order by l.MDC_LOG_ID"),
              (std::vector<std::string>{"2022-08-08 15:51:36.771", "2022-08-08 15:54:43.500",
                                        "2022-08-08 15:54:43.828", "2022-08-08 15:37:22.795",
                                        "2022-08-08 15:47:27.758", "2022-08-08 15:47:27.836"}))
        << number;
  }
}

TEST_P(MtconnectReplayTest, SigtermEndsALiveBridge) {
  testsupport::ChildProcess bridge(
      {KORVEX7_TOOL_PATH, "--connection", database_.connection_string, "--dbtype", database_.name,
       "mtconnect", "--machine", "101", "--adapter", "127.0.0.1:1"},
      {}, sandbox_.dir() + "/bridge.out");
  ASSERT_TRUE(testsupport::WaitFor(
      [&] { return bridge.Output().find("reconnecting in") != std::string::npos; }, 20000))
      << bridge.Output();
  bridge.Signal(SIGTERM);
  EXPECT_EQ(bridge.WaitForExit(10000), 0) << bridge.Output();
  EXPECT_NE(bridge.Output().find("Stopping on signal 15"), std::string::npos) << bridge.Output();
}

TEST_P(MtconnectReplayTest, RefusesWhatItCannotRunWithAClearMessage) {
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const std::string bad_key = WriteConfig("[[machine]]\nnumber = \"101\"\nadress = \"x:1\"\n");
  const std::vector<Case> cases = {
      {{"--machine", "101"}, "machine 101: give exactly one source"},
      {{"--replay", kRecording}, "machine 1: no machine number"},
      {{"--machine", "101", "--adapter", "plc-7"}, "\"plc-7\" is not HOST:PORT"},
      {{"--machine", "101", "--agent", "http://agent:5000"}, "an agent needs the device's name"},
      {{"--machine", "101", "--replay", kRecording, "--items", "spindle=S1"},
       "Unknown item key \"spindle\""},
      {{"--config", bad_key}, "machine 1: unknown key \"adress\""},
      {{"--config", bad_key, "--machine", "101"}, "Give either --config or one machine's"},
      {{"--machine", "999", "--replay", "/nonexistent.shdr"}, "cannot read /nonexistent.shdr"},
  };
  for (const Case& c : cases) {
    const RunResult run = Bridge(c.arguments);
    EXPECT_EQ(run.exit_code, 1) << run.output;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
  }
  // A machine the plant does not know: each command is refused, the run goes on.
  const RunResult unknown = Bridge({"--machine", "999", "--replay", kRecording, "--speed", "0",
                                    "--items", "execution=pexecution"});
  EXPECT_EQ(unknown.exit_code, 0) << unknown.output;
  EXPECT_NE(unknown.output.find("Machine 999: cycle start at 2022-08-08 15:51:36.771 not "
                                "appended: No such machine: 999"),
            std::string::npos)
      << unknown.output;
}

INSTANTIATE_TEST_SUITE_P(AllKinds, MtconnectReplayTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
