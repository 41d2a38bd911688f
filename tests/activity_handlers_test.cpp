// Setup, teardown and cycle commands fed through the processing loop on
// every database kind: the periods and counters of the current record, the
// machine's status after every command from every status, and the events.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/machine_log_fixture.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using testsupport::kBoth;
using testsupport::kCycle;
using testsupport::kEnd;
using testsupport::kGoodCount;
using testsupport::kIdle;
using testsupport::kMachineDowntime;
using testsupport::kScrapCount;
using testsupport::kSetup;
using testsupport::kStart;
using testsupport::kTeardown;
using testsupport::kUserDowntime;

class ActivityHandlersTest : public testsupport::MachineLogTest {
 protected:
  // Start and stop of the machine's events of a command, oldest first.
  std::vector<std::string> Events(int command, int machine = 1) {
    std::vector<std::string> events;
    for (auto rs = Rows("select START_TIME, STOP_TIME from T_SFC_EVENT where MACHINE_ID = " +
                        std::to_string(machine) + " and COMMAND_ID = " + std::to_string(command) +
                        " order by EVENT_ID");
         !rs->Eof(); rs->MoveNext()) {
      events.push_back(Text(rs->Fields(size_t{0}).Value()) + " - " +
                       Text(rs->Fields(size_t{1}).Value()));
    }
    return events;
  }
};

TEST_P(ActivityHandlersTest, ASecondCycleStartCutsTheFirstAsUnfinished) {
  GivePart(t0_);
  Ok(kCycle, kStart, "", t0_.AddSeconds(60));
  EXPECT_EQ(Status(), 2);
  Ok(kCycle, kStart, "", t0_.AddSeconds(90));

  EXPECT_NEAR(CurrentNumber("CYCLE_TIME"), 0.5, 1e-6);
  EXPECT_EQ(CurrentNumber("UNFINISHED_CYCLES"), 1);
  EXPECT_EQ(CurrentNumber("FINISHED_CYCLES"), 0);
  EXPECT_EQ(CurrentText("CYCLE_START_TIME"), t0_.AddSeconds(90).ToText());
  // The record began idle; the first cycle ended that after a minute.
  EXPECT_NEAR(CurrentNumber("IDLE_TIME"), 60.0 / 3600, 1e-6);
  EXPECT_EQ(CurrentText("IDLE_START_TIME"), "null");
  EXPECT_EQ(Status(), 2);
  EXPECT_EQ(Events(kCycle), (std::vector<std::string>{
                                t0_.AddSeconds(60).ToText() + " - " + t0_.AddSeconds(90).ToText(),
                                t0_.AddSeconds(90).ToText() + " - null"}));
}

TEST_P(ActivityHandlersTest, ACycleEndCountsAFinishedCycleAndStartsIdle) {
  GivePart(t0_);
  Ok(kCycle, kStart, "", t0_.AddSeconds(10));
  Ok(kCycle, kEnd, "", t0_.AddSeconds(100));
  EXPECT_NEAR(CurrentNumber("CYCLE_TIME"), 1.5, 1e-6);
  EXPECT_EQ(CurrentNumber("FINISHED_CYCLES"), 1);
  EXPECT_EQ(CurrentNumber("UNFINISHED_CYCLES"), 0);
  EXPECT_EQ(CurrentText("CYCLE_START_TIME"), "null");
  EXPECT_EQ(CurrentText("IDLE_START_TIME"), t0_.AddSeconds(100).ToText());
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Events(kCycle), (std::vector<std::string>{t0_.AddSeconds(10).ToText() + " - " +
                                                      t0_.AddSeconds(100).ToText()}));
}

TEST_P(ActivityHandlersTest, ACycleEndWithoutACycleOnlyMakesTheMachineIdle) {
  GivePart(t0_);
  Ok(kSetup, kStart, "", t0_.AddSeconds(60));
  Ok(kCycle, kEnd, "", t0_.AddSeconds(150));
  EXPECT_EQ(CurrentNumber("CYCLE_TIME"), 0);
  EXPECT_EQ(CurrentNumber("FINISHED_CYCLES"), 0);
  EXPECT_EQ(CurrentText("CYCLE_START_TIME"), "null");
  EXPECT_EQ(CurrentText("IDLE_START_TIME"), t0_.AddSeconds(150).ToText());
  EXPECT_EQ(Status(), 0);
  // An end need not match the running activity: the setup period runs on.
  EXPECT_EQ(CurrentText("SETUP_START_TIME"), t0_.AddSeconds(60).ToText());

  // Idle now: a further end is ignored and idle is not restarted.
  Ok(kCycle, kEnd, "", t0_.AddSeconds(200));
  Ok(kSetup, kEnd, "", t0_.AddSeconds(210));
  EXPECT_EQ(CurrentText("IDLE_START_TIME"), t0_.AddSeconds(150).ToText());
  EXPECT_EQ(CurrentText("SETUP_START_TIME"), t0_.AddSeconds(60).ToText());
  EXPECT_EQ(Status(), 0);
}

TEST_P(ActivityHandlersTest, SetupAndTeardownAccumulateHours) {
  GivePart(t0_);
  Ok(kSetup, kStart, "", t0_.AddSeconds(30));
  Ok(kSetup, kEnd, "", t0_.AddSeconds(120));  // 90 seconds
  EXPECT_NEAR(CurrentNumber("SETUP_TIME"), 0.025, 1e-6);
  EXPECT_NEAR(CurrentNumber("IDLE_TIME"), 30.0 / 3600, 1e-6);
  Ok(kTeardown, kStart, "", t0_.AddSeconds(300));
  Ok(kSetup, kStart, "", t0_.AddSeconds(480));   // a setup start ends the teardown
  Ok(kTeardown, kEnd, "", t0_.AddSeconds(500));  // ends nothing that runs, starts idle
  EXPECT_NEAR(CurrentNumber("TEARDOWN_TIME"), 0.05, 1e-6);
  EXPECT_NEAR(CurrentNumber("IDLE_TIME"), 210.0 / 3600, 1e-6);
  EXPECT_EQ(CurrentText("SETUP_START_TIME"), t0_.AddSeconds(480).ToText());
  EXPECT_EQ(CurrentText("IDLE_START_TIME"), t0_.AddSeconds(500).ToText());
  EXPECT_EQ(Events(kTeardown), (std::vector<std::string>{t0_.AddSeconds(300).ToText() + " - " +
                                                         t0_.AddSeconds(480).ToText()}));
  EXPECT_EQ(Events(kSetup).back(), t0_.AddSeconds(480).ToText() + " - null");
}

TEST_P(ActivityHandlersTest, TheMachineStatusAfterEveryCommandFromEveryStatus) {
  GivePart(t0_);
  HadLogon();
  struct Command {
    int command, time_code;
    std::string param;
    int expected;  // -1: the status is unchanged
  };
  const std::vector<Command> commands = {
      {kSetup, kStart, "", 1},
      {kCycle, kStart, "", 2},
      {kTeardown, kStart, "", 4},
      {kMachineDowntime, kStart, "100", 3},
      {kSetup, kEnd, "", 0},
      {kCycle, kEnd, "", 0},
      {kTeardown, kEnd, "", 0},
      {kMachineDowntime, kEnd, "", 0},
      {kIdle, kStart, "", 0},
      {kUserDowntime, kStart, "200", -1},
      {kUserDowntime, kEnd, "", -1},
      {kGoodCount, kBoth, "2", -1},
      {kScrapCount, kBoth, "1.S2", -1},
  };
  // The command that puts the machine into each status.
  const std::vector<Command> into = {{kIdle, kStart, "", 0},
                                     {kSetup, kStart, "", 1},
                                     {kCycle, kStart, "", 2},
                                     {kMachineDowntime, kStart, "100", 3},
                                     {kTeardown, kStart, "", 4}};
  dbaccess::DateTime at = t0_;
  for (const Command& command : commands) {
    for (const Command& from : into) {
      at = at.AddSeconds(10);
      Ok(from.command, from.time_code, from.param, at);
      ASSERT_EQ(Status(), from.expected);
      at = at.AddSeconds(10);
      Ok(command.command, command.time_code, command.param, at);
      EXPECT_EQ(Status(), command.expected == -1 ? from.expected : command.expected)
          << "command " << command.command << "/" << command.time_code << " from status "
          << from.expected;
    }
  }
}

TEST_P(ActivityHandlersTest, IdleStartRunsTheEndOfTheRunningActivity) {
  GivePart(t0_);
  Ok(kCycle, kStart, "", t0_.AddSeconds(60));
  Ok(kIdle, kStart, "", t0_.AddSeconds(120));
  EXPECT_EQ(CurrentNumber("FINISHED_CYCLES"), 1);
  EXPECT_NEAR(CurrentNumber("CYCLE_TIME"), 1.0, 1e-6);
  EXPECT_EQ(CurrentText("IDLE_START_TIME"), t0_.AddSeconds(120).ToText());
  EXPECT_EQ(Status(), 0);

  // While idle nothing happens and no error is reported.
  const double idle_time = CurrentNumber("IDLE_TIME");
  EXPECT_EQ(Run(kIdle, kStart, "", t0_.AddSeconds(180)), "");
  EXPECT_EQ(CurrentText("IDLE_START_TIME"), t0_.AddSeconds(120).ToText());
  EXPECT_EQ(CurrentNumber("IDLE_TIME"), idle_time);
  EXPECT_EQ(Status(), 0);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, ActivityHandlersTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& test_info) { return test_info.param; });

}  // namespace
