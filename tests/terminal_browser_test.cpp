// The operator terminal in a real browser: tests/browser/terminal_shift.mjs
// drives Debian's headless chromium through puppeteer-core against a running
// server on every available kind. An operator's shift clicked through gives
// the log rows, records and events the same commands give through the
// library's plain append; actions made while the intake does not answer
// wait through a reload and are then sent once each, in order, with the
// times they were made. Screenshots go to the build folder
// (terminal-screenshots/). Skipped when chromium, node or the npm packages
// (scripts/setup-deps.sh) are missing.
#include <fmt/format.h>
#include <fmt/ranges.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/board_server_fixture.h"

namespace {

using json = nlohmann::json;

std::string MissingTool() {
  if (std::system("command -v node >/dev/null 2>&1") != 0) return "node is not installed";
  if (!std::filesystem::exists("/usr/bin/chromium")) return "/usr/bin/chromium is not installed";
  if (!std::filesystem::exists(std::string(BROWSER_TEST_DIR) + "/node_modules/puppeteer-core"))
    return "puppeteer-core is not installed (scripts/setup-deps.sh runs npm ci in tests/browser)";
  return "";
}

struct ScriptRun {
  int status = -1;
  std::string output;  // standard output and error
};

ScriptRun RunScript(const std::string& arguments) {
  const std::string command = "cd '" + std::string(BROWSER_TEST_DIR) +
                              "' && timeout 90 node terminal_shift.mjs " + arguments + " 2>&1";
  ScriptRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer{};
  size_t read = 0;
  while ((read = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    run.output.append(buffer.data(), read);
  run.status = pclose(pipe);
  return run;
}

// Every row of `sql` as one line of its columns, "<null>" for null.
std::vector<std::string> Rows(const dbaccess::ConnectionPtr& connection, const std::string& sql) {
  dbaccess::Recordset rows;
  rows.Open(sql, connection);
  std::vector<std::string> lines;
  for (; !rows.Eof(); rows.MoveNext()) {
    std::string line;
    for (size_t i = 0; i < rows.FieldCount(); ++i) {
      const dbaccess::Variant& value = rows.Fields(i).Value();
      line += (i == 0 ? "" : "|") + (value.IsNull() ? std::string("<null>") : value.ToText());
    }
    lines.push_back(line);
  }
  return lines;
}

// What processing made of machine 101's commands, without the times.
std::vector<std::string> Outcome(const dbaccess::ConnectionPtr& connection) {
  std::vector<std::string> lines;
  for (const char* sql :
       {"select e.COMMAND_ID, e.PARAM1, case when e.STOP_TIME is null then 1 else 0 end "
        "from T_SFC_EVENT e where e.MACHINE_ID = 1 order by e.EVENT_ID",
        "select STATUS_CODE, FINISHED_CYCLES, UNFINISHED_CYCLES, GOOD_COUNT, SCRAPPED_COUNT, "
        "USER_ID, USER_NAME, JOB_ID, JOB_NUMBER, PART_ID, PART_NUMBER, OP_ID "
        "from T_SFC_MACHINE_DATA where MACHINE_ID = 1 order by MACHINE_DATA_ID",
        "select d.DT_NUMBER, d.DOWNTIME_TYPE_CODE, d.DOWNTIME_CODE_ID from "
        "T_SFC_DT_PER_MACHINE_DATA d "
        "order by d.DT_PER_MACHINE_DATA_ID",
        "select QTY, SCRAP_CODE_NUMBER, SCRAP_CODE_ID from T_SFC_SCRAP_PER_MACHINE_DATA "
        "order by SCRAP_PER_MACHINE_DATA_ID"}) {
    for (std::string& line : Rows(connection, sql)) lines.push_back(std::move(line));
    lines.push_back("--");
  }
  return lines;
}

// The log rows in key order: type code, time code, parameter.
constexpr const char* kLoggedCommands =
    "select c.COMMAND_TYPE_CODE, l.COMMAND_TIME_CODE, l.PARAM1 from T_SFC_MDC_LOG l "
    "join T_SFC_COMMAND c on c.COMMAND_ID = l.COMMAND_ID order by l.MDC_LOG_ID";

class TerminalBrowserTest : public testsupport::BoardServerTest {
 protected:
  void SetUp() override {
    missing_ = MissingTool();
    if (!missing_.empty()) GTEST_SKIP() << missing_ << ": the terminal is not checked in a browser";
    BoardServerTest::SetUp();
    StartServer();
  }

  void TearDown() override {
    if (missing_.empty()) BoardServerTest::TearDown();
  }

  std::string Arguments(const std::string& mode, const std::string& shots = "") {
    return mode + " http://127.0.0.1:" + std::to_string(server_->port()) + " " + token_ + " 101" +
           (shots.empty() ? "" : " '" + shots + "'");
  }

  std::string missing_;
};

TEST_P(TerminalBrowserTest, AnOperatorsShiftGivesWhatTheSameCommandsGiveThroughTheLibrary) {
  const std::string shots = std::string(SCREENSHOT_DIR) + "/" + GetParam();
  std::filesystem::create_directories(shots);
  const ScriptRun run = RunScript(Arguments("shift", shots));
  ASSERT_EQ(run.status, 0) << run.output;

  const std::vector<std::string> expected = {
      "4|0|jsmith", "5|0|J1001", "6|0|SHAFT-100", "8|0|<null>", "8|1|<null>", "9|0|<null>",
      "9|1|<null>", "11|0|110",  "11|1|<null>",   "14|2|2.S2",  "13|2|5",     "4|1|<null>"};
  ASSERT_EQ(Rows(reads_, kLoggedCommands), expected);
  const std::vector<std::string> times =
      Rows(reads_, "select TIME_STAMP from T_SFC_MDC_LOG order by MDC_LOG_ID");
  ASSERT_EQ(times.size(), expected.size());
  ProcessLog();

  // The same commands with the same times through the library's append, on
  // a database of their own.
  const testsupport::TestDatabase twin = testsupport::CreateShopFloorDatabase(GetParam(), true);
  {
    _CKorvex7Obj* raw = nullptr;
    ASSERT_EQ(Korvex7CreateObject(kKorvex7ProgId, kKorvex7Obj3InterfaceId, &raw), 0);
    std::unique_ptr<_CKorvex7Obj, void (*)(_CKorvex7Obj*)> object(raw, Korvex7ReleaseObject);
    auto& appender = static_cast<_CKorvex7Obj3&>(*object);
    std::string error;
    ASSERT_TRUE(object->ConnectToDatabase(twin.connection_string, twin.kind, error)) << error;
    for (size_t i = 0; i < expected.size(); ++i) {
      const std::string& row = expected[i];
      const size_t first = row.find('|');
      const size_t second = row.find('|', first + 1);
      const std::string param = row.substr(second + 1);
      const korvex7::AppendResult result = appender.AppendCommand(
          {"101", std::stoi(row.substr(0, first)), param == "<null>" ? "" : param,
           std::stoi(row.substr(first + 1, second - first - 1)),
           dbaccess::DateTime::Parse(times[i]), ""});
      ASSERT_EQ(result.status, korvex7::AppendStatus::kAppended) << result.text;
    }
  }
  ProcessLogOf(twin);
  auto twin_reads = std::make_shared<dbaccess::Connection>();
  twin_reads->Open(voltrane::DecipherConnectionString(twin.connection_string));
  const std::vector<std::string> outcome = Outcome(reads_);
  EXPECT_EQ(outcome, Outcome(twin_reads));
  twin_reads.reset();
  testsupport::DropTestDatabase(twin);
  // Not empty by accident: the shift's counts and reasons are in the records
  // (a finished cycle, 5 good, 2 scrapped by jsmith on J1001's SHAFT-100;
  // downtime code 110 and scrap code S2 by key).
  const std::string all = fmt::format("{}", fmt::join(outcome, "\n"));
  EXPECT_NE(all.find("|1|0|5|2|1|<null>|1|<null>|1|"), std::string::npos) << all;
  EXPECT_NE(all.find("\n<null>|0|2\n"), std::string::npos) << all;
  EXPECT_NE(all.find("\n2|<null>|2\n"), std::string::npos) << all;

  // The screenshots show a machine with a state: an operator on, a downtime open.
  ASSERT_EQ(Post(json::array({{{"machine", "101"}, {"type", 4}, {"param", "kobrien"}},
                              {{"machine", "101"}, {"type", 11}, {"param", "130"}}})
                     .dump(),
                 token_)
                ->status,
            201);
  ProcessLog();
  const ScriptRun shots_run = RunScript(Arguments("shots", shots));
  EXPECT_EQ(shots_run.status, 0) << shots_run.output;
}

TEST_P(TerminalBrowserTest, ActionsMadeOfflineAreSentOnceInOrderWithTheirTimesAfterAReload) {
  const std::string shots = std::string(SCREENSHOT_DIR) + "/" + GetParam();
  std::filesystem::create_directories(shots);
  const ScriptRun run = RunScript(Arguments("offline", shots));
  ASSERT_EQ(run.status, 0) << run.output;
  const json queued = json::parse(run.output.substr(run.output.rfind('[')));
  ASSERT_EQ(queued.size(), 3u) << run.output;
  std::vector<std::string> expected;
  for (const json& command : queued) {
    std::string time = command["time"];
    time[10] = ' ';
    expected.push_back(fmt::format(
        "{}|{}|{}|{}", command["type"].get<int>(), command["time_code"].get<int>(),
        command["param"].get<std::string>().empty() ? "<null>"
                                                    : command["param"].get<std::string>(),
        time));
  }
  const std::vector<std::string> logged =
      Rows(reads_,
           "select c.COMMAND_TYPE_CODE, l.COMMAND_TIME_CODE, l.PARAM1, l.TIME_STAMP from "
           "T_SFC_MDC_LOG l join T_SFC_COMMAND c on c.COMMAND_ID = l.COMMAND_ID order by "
           "l.MDC_LOG_ID");
  ASSERT_EQ(logged.size(), 3u);
  for (size_t i = 0; i < logged.size(); ++i) {
    const std::string time =
        dbaccess::DateTime::Parse(logged[i].substr(logged[i].rfind('|') + 1))->ToText();
    EXPECT_EQ(logged[i].substr(0, logged[i].rfind('|') + 1) + time, expected[i]);
  }
  EXPECT_EQ(expected[0].substr(0, 5), "8|0|<");
  EXPECT_EQ(expected[2].substr(0, 7), "13|2|3|");
}

INSTANTIATE_TEST_SUITE_P(AllKinds, TerminalBrowserTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                           return param_info.param;
                         });

}  // namespace
