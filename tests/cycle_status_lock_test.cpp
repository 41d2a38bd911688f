// The cycle status lock through the processing loop on every database kind:
// options 4 and 5 and the downtime codes' lock values decide which setup,
// teardown, cycle and downtime commands a machine ignores. An ignored
// command leaves no trace and reports no error.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/machine_log_fixture.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using testsupport::kCycle;
using testsupport::kEnd;
using testsupport::kIdle;
using testsupport::kMachineDowntime;
using testsupport::kSetup;
using testsupport::kStart;
using testsupport::kTeardown;

class CycleStatusLockTest : public testsupport::MachineLogTest {
 protected:
  void SetUp() override {
    MachineLogTest::SetUp();
    if (HasFatalFailure()) return;
    GivePart(t0_);
    at_ = t0_;
  }
  // Runs the command a few seconds after the previous one; must not fail.
  void Next(int command, int time_code, const std::string& param = "") {
    at_ = at_.AddSeconds(60);
    Ok(command, time_code, param, at_);
  }
  int64_t Events(int command) {
    return Count("T_SFC_EVENT where COMMAND_ID = " + std::to_string(command));
  }
  void SetDowntimeLock(int code_id, int value) {
    Exec("update T_SFC_DOWNTIME_CODE set CYCLE_STATUS_LOCK = " + std::to_string(value) +
         " where DOWNTIME_CODE_ID = " + std::to_string(code_id));
  }

  dbaccess::DateTime at_;
};

TEST_P(CycleStatusLockTest, SetupLevel1EndsTheSetupOnlyByAnotherStart) {
  SetBoolOption(4, 1);
  Next(kSetup, kStart);
  Next(kCycle, kStart);
  Next(kCycle, kEnd);
  Next(kSetup, kEnd);
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(Events(kCycle), 0);
  EXPECT_EQ(CurrentText("SETUP_START_TIME"), t0_.AddSeconds(60).ToText());
  EXPECT_EQ(CurrentText("IDLE_START_TIME"), "null");
  Next(kTeardown, kStart);
  EXPECT_EQ(Status(), 4);
  EXPECT_NEAR(CurrentNumber("SETUP_TIME"), 240.0 / 3600, 1e-6);
  EXPECT_EQ(CurrentText("SETUP_START_TIME"), "null");
  // Level 1 of the setup says nothing about a teardown.
  Next(kCycle, kStart);
  EXPECT_EQ(Status(), 2);
}

TEST_P(CycleStatusLockTest, SetupLevel2LetsOnlyTheSetupEndThrough) {
  SetBoolOption(4, 2);
  Next(kSetup, kStart);
  Next(kCycle, kStart);
  Next(kTeardown, kStart);
  Next(kMachineDowntime, kStart, "100");
  Next(kCycle, kEnd);
  Next(kIdle, kStart);  // runs the setup end: its own end passes
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Events(kCycle) + Events(kTeardown) + Events(kMachineDowntime), 0);
  EXPECT_EQ(Count("T_SFC_DT_PER_MACHINE_DATA"), 0);
  EXPECT_NEAR(CurrentNumber("SETUP_TIME"), 300.0 / 3600, 1e-6);
}

TEST_P(CycleStatusLockTest, ADowntimeCodeWithLockValue2CannotInterruptASetup) {
  SetDowntimeLock(1, 2);
  Next(kSetup, kStart);
  Next(kMachineDowntime, kStart, "100");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(Events(kMachineDowntime), 0);
  Next(kTeardown, kStart);
  Next(kMachineDowntime, kStart, "100");
  EXPECT_EQ(Status(), 3);
  // Down for that code, a setup start is ignored; a cycle start is not.
  Next(kSetup, kStart);
  EXPECT_EQ(Status(), 3);
  Next(kCycle, kStart);
  EXPECT_EQ(Status(), 2);
}

TEST_P(CycleStatusLockTest, ADowntimeWithLockValue3YieldsOnlyToItsEnd) {
  Next(kMachineDowntime, kStart, "120");  // planned maintenance, lock value 3
  for (int command : {kSetup, kCycle, kTeardown}) {
    Next(command, kStart);
    Next(command, kEnd);
  }
  Next(kMachineDowntime, kStart, "100");
  EXPECT_EQ(Status(), 3);
  EXPECT_EQ(Events(kSetup) + Events(kCycle) + Events(kTeardown), 0);
  EXPECT_EQ(Count("T_SFC_DT_PER_MACHINE_DATA"), 1);
  Next(kMachineDowntime, kEnd);
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Count("T_SFC_DT_PER_MACHINE_DATA where STOP_TIME is null"), 0);
}

TEST_P(CycleStatusLockTest, LockValue5BehavesAs1AndLocksOnlyCycles) {
  SetDowntimeLock(1, 5);
  Next(kMachineDowntime, kStart, "100");
  Next(kCycle, kStart);
  Next(kCycle, kEnd);
  EXPECT_EQ(Status(), 3);
  EXPECT_EQ(Events(kCycle), 0);
  Next(kSetup, kStart);
  EXPECT_EQ(Status(), 1);
}

TEST_P(CycleStatusLockTest, Option4Holding7CountsAsNoLock) {
  SetBoolOption(4, 7);
  Next(kSetup, kStart);
  Next(kCycle, kStart);
  EXPECT_EQ(Status(), 2);
  EXPECT_NEAR(CurrentNumber("SETUP_TIME"), 60.0 / 3600, 1e-6);
}

TEST_P(CycleStatusLockTest, TeardownLevel2IgnoresASetupEnd) {
  SetBoolOption(5, 2);
  Next(kTeardown, kStart);
  Next(kSetup, kEnd);
  Next(kSetup, kStart);
  EXPECT_EQ(Status(), 4);
  Next(kTeardown, kEnd);
  EXPECT_EQ(Status(), 0);
  EXPECT_NEAR(CurrentNumber("TEARDOWN_TIME"), 180.0 / 3600, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, CycleStatusLockTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& test_info) { return test_info.param; });

}  // namespace
