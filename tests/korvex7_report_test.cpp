// The built korvex7 program's `report` subcommands on the report plant of
// every available kind: the csv of `report oee` is the hand-worked one, the
// pareto's json parses, timeline and html write self-contained files, and
// bad dates and options are refused with a message that names them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/report_plant_fixture.h"

namespace {

struct RunResult {
  int exit_code = -1;
  std::string output;  // standard output and standard error
};

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

class ReportToolTest : public testsupport::ReportPlantTest {
 protected:
  void SetUp() override {
    ReportPlantTest::SetUp();
    AddStateEvents();
    dir_ = testsupport::MakeTempDir();
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    ReportPlantTest::TearDown();
  }
  RunResult Run(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "report");
    for (const std::string& argument : {std::string("--connection"), database_.connection_string,
                                        std::string("--dbtype"), database_.name}) {
      arguments.push_back(argument);
    }
    std::string command = ShellQuote(KORVEX7_TOOL_PATH);
    for (const std::string& argument : arguments) command += " " + ShellQuote(argument);
    RunResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) result.output += buffer;
    const int status = pclose(pipe);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
  }
  std::string dir_;
};

TEST_P(ReportToolTest, OeeCsvAndParetoJson) {
  const RunResult oee = Run({"oee", "--from", "2026-03-02", "--to", "2026-03-02", "--machine",
                             "101", "--machine", "102", "--format", "csv"});
  ASSERT_EQ(oee.exit_code, 0) << oee.output;
  EXPECT_EQ(oee.output,
            "machine,chart_date,shift_id,shift_name,scheduled_h,planned_downtime_h,"
            "unplanned_downtime_h,run_h,good,scrap,availability,performance,quality,oee,"
            "changeover_h,operator_stop_h,waiting_h,minor_stop_h,running_h,standard_coverage,"
            "fully_productive_h,speed_loss_h,scrap_loss_h\r\n"
            "101,2026-03-02,1,Day,8.000,0.667,1.000,5.575,60,4,0.7602,0.9567,0.9375,0.6818,"
            "0.500,0.000,0.258,0.017,5.558,1.0000,5.000,0.242,0.333\r\n"
            "101,2026-03-02,2,Swing,8.000,0.000,1.000,7.000,70,0,0.8750,0.8000,1.0000,0.7000,"
            "0.000,0.000,0.000,0.000,7.000,0.7143,4.000,1.000,0.000\r\n"
            "101,2026-03-02,,,8.000,0.000,0.000,0.000,0,0,0.0000,,,,"
            "0.000,0.000,8.000,0.000,0.000,0.0000,0.000,0.000,0.000\r\n"
            "102,2026-03-02,1,Day,8.000,0.000,2.000,0.000,0,0,0.0000,,,,"
            "0.000,0.500,5.500,0.000,0.000,0.0000,0.000,0.000,0.000\r\n");
  const RunResult pareto = Run({"downtimes", "--from", "2026-03-02", "--to", "2026-03-02",
                                "--machine", "101", "--format", "json"});
  ASSERT_EQ(pareto.exit_code, 0) << pareto.output;
  const nlohmann::json rows = nlohmann::json::parse(pareto.output);
  ASSERT_EQ(rows.size(), 5u);  // MAINT, JAM, BREAK, XYZ and the operator's CALL
  EXPECT_EQ(rows[0]["code"], "JAM");
  EXPECT_DOUBLE_EQ(rows[0]["hours"].get<double>(), 1.75);
}

// Without --format the figures come first, then the loss columns, each table
// no wider than 160 columns.
TEST_P(ReportToolTest, OeeTextShowsTheFiguresThenTheLosses) {
  const RunResult oee =
      Run({"oee", "--from", "2026-03-02", "--to", "2026-03-02", "--machine", "101"});
  ASSERT_EQ(oee.exit_code, 0) << oee.output;
  std::istringstream lines(oee.output);
  std::vector<std::string> headers;
  for (std::string line; std::getline(lines, line);) {
    EXPECT_LE(line.size(), 160u) << line;
    if (line.rfind("machine", 0) == 0) headers.push_back(line);
  }
  ASSERT_EQ(headers.size(), 2u) << oee.output;
  EXPECT_NE(headers[0].find("OEE"), std::string::npos);
  for (const char* column : {"changeover h", "oper stop h", "waiting h", "minor h", "running h",
                             "std cover", "fully prod h", "speed h", "scrap h"}) {
    EXPECT_NE(headers[1].find(column), std::string::npos) << column;
  }
}

// The waterfall's steps add up to the scheduled hours (see oee_report_test.cpp).
TEST_P(ReportToolTest, LossesCsvIsTheWaterfallPerMachineAndShift) {
  const RunResult losses = Run({"losses", "--from", "2026-03-02", "--to", "2026-03-02", "--machine",
                                "101", "--by", "shift", "--format", "csv"});
  ASSERT_EQ(losses.exit_code, 0) << losses.output;
  std::istringstream lines(losses.output);
  std::string header, day;
  std::getline(lines, header);
  std::getline(lines, day);
  EXPECT_EQ(header,
            "machine,chart_date,shift_id,shift_name,scheduled_h,planned_stop_h,"
            "unplanned_downtime_h,changeover_h,operator_stop_h,waiting_h,no_standard_h,"
            "speed_loss_h,scrap_loss_h,fully_productive_h,oee\r");
  EXPECT_EQ(day,
            "101,2026-03-02,1,Day,8.000,0.667,1.000,0.500,0.000,0.258,0.000,0.242,0.333,"
            "5.000,0.6818\r");
}

// The settings are stored in the database: a later call, and the reports,
// see what an earlier one set.
TEST_P(ReportToolTest, SettingsAreReadAndWrittenInTheDatabase) {
  EXPECT_EQ(Run({"settings"}).output, "MicroStopSeconds=120\nChangeoverIsPlanned=off\n");
  const RunResult set =
      Run({"settings", "--micro-stop-seconds", "30", "--changeover-is-planned", "on"});
  ASSERT_EQ(set.exit_code, 0) << set.output;
  EXPECT_EQ(set.output, "MicroStopSeconds=30\nChangeoverIsPlanned=on\n");
  EXPECT_EQ(Run({"settings", "--changeover-is-planned", "off"}).output,
            "MicroStopSeconds=30\nChangeoverIsPlanned=off\n");
  EXPECT_NE(Run({"settings", "--micro-stop-seconds", "-1"}).exit_code, 0);
}

TEST_P(ReportToolTest, TimelineAndHtmlAreSelfContainedFiles) {
  const std::string svg = dir_ + "/saw.svg";
  const RunResult timeline =
      Run({"timeline", "--day", "2026-03-02", "--machine", "104", "--output", svg});
  ASSERT_EQ(timeline.exit_code, 0) << timeline.output;
  EXPECT_EQ(ReadFile(svg).rfind("<svg xmlns=", 0), 0u);
  const std::string page = dir_ + "/report.html";
  const RunResult html =
      Run({"html", "--from", "2026-03-01", "--to", "2026-03-02", "--output", page});
  ASSERT_EQ(html.exit_code, 0) << html.output;
  EXPECT_NE(html.output.find(page), std::string::npos);
  const std::string text = ReadFile(page);
  for (const char* part : {"<!DOCTYPE html>", "OEE per machine and shift", "class=\"pareto\"",
                           "class=\"losses\"", "class=\"oee-trend\"", "OEE per part",
                           "Machine timelines 2026-03-02", "class=\"timeline\""}) {
    EXPECT_NE(text.find(part), std::string::npos) << part;
  }
  EXPECT_EQ(text.find("src="), std::string::npos);
  EXPECT_EQ(text.find("href"), std::string::npos);
}

TEST_P(ReportToolTest, RefusesBadDatesAndOptions) {
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"oee", "--from", "2026-3-2", "--to", "2026-03-02"}, "is not a date of the form YYYY-MM-DD"},
      {{"oee", "--from", "2026-02-30", "--to", "2026-03-02"}, "is not a date"},
      {{"oee", "--from", "2026-03-03", "--to", "2026-03-02"},
       "2026-03-03 is after --to 2026-03-02"},
      {{"oee", "--from", "2026-03-02", "--to", "2026-03-02", "--by", "week"}, "--by"},
      {{"downtimes", "--from", "2026-03-02", "--to", "2026-03-02", "--format", "xml"}, "--format"},
      {{"timeline", "--day", "2026-03-02", "--output", dir_ + "/x.png"}, ".svg or .html"},
      {{"html", "--from", "2026-03-02", "--to", "2026-03-02", "--output", dir_ + "/no/x.html"},
       "Could not write"},
  };
  for (const Case& c : cases) {
    const RunResult run = Run(c.arguments);
    EXPECT_NE(run.exit_code, 0) << c.arguments[0];
    EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
  }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, ReportToolTest, testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& param_info) { return param_info.param; });

}  // namespace
