// The heartbeat supervision with times passed in: when a machine counts as
// late, the 20-second rule of the late-heartbeat check, one downtime per
// silent machine, the return to the interrupted activity within option 19
// seconds, a missing late-heartbeat downtime code, and the machines of a
// collector group's member. Signs of life come from
// log rows through DoNextItemFromMDCLog or straight from RecordHeartBeat.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "library/com_error.h"
#include "tests/support/machine_monitor_fixture.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using testsupport::kCycleCommand;
using testsupport::kHeartbeatCommand;
using testsupport::kHeartbeatMissingCode;
using testsupport::kMachineDowntimeCommand;

constexpr char kChecking[] = "Checking For Late Heart Beats...";
constexpr char kStartingDowntime[] = "Heartbeat missing post log entry to update machine state";

class HeartBeatMonitorTest : public testsupport::MachineMonitorTest {
 protected:
  void SetUp() override {
    MachineMonitorTest::SetUp();
    SetNumOption(13, kHeartbeatMissingCode);
  }
  bool Check(Components& object, const dbaccess::DateTime& now) {
    std::string error;
    const bool ok = object.monitor.DoCheckForLateHeartBeats(now, error);
    EXPECT_EQ(error, "");
    return ok;
  }
};

TEST_P(HeartBeatMonitorTest, AMachineIsLateOnlyOnceItsTimeoutIsExceeded) {
  Supervise(1, "60");
  std::string error;
  auto on_time = NewObject();
  ASSERT_TRUE(on_time->monitor.RecordHeartBeat(RowOf(1, At(10, 0)), error)) << error;
  EXPECT_TRUE(Check(*on_time, At(10, 1, 0)));
  EXPECT_EQ(sandbox_.CountMessagesStarting(kStartingDowntime), 0u);
  EXPECT_EQ(MachineStatus(1), 0);

  auto late = NewObject();
  ASSERT_TRUE(late->monitor.RecordHeartBeat(RowOf(1, At(10, 0)), error)) << error;
  EXPECT_TRUE(Check(*late, At(10, 1, 1)));
  EXPECT_EQ(MachineStatus(1), 3);
  EXPECT_EQ(OpenDowntimeRows(1, kHeartbeatMissingCode), 1);
  const auto downtimes = Events(1, kMachineDowntimeCommand);
  ASSERT_EQ(downtimes.size(), 1u);
  EXPECT_EQ(downtimes[0].start, At(10, 1, 1));  // the check's time
  EXPECT_TRUE(downtimes[0].stop.IsNull());
  EXPECT_EQ(downtimes[0].param, "190");
}

TEST_P(HeartBeatMonitorTest, ChecksRunAtMostEveryTwentySeconds) {
  Supervise(1, "600");
  std::string error;
  ASSERT_TRUE(object_->monitor.RecordHeartBeat(RowOf(1, At(10, 0)), error)) << error;
  EXPECT_TRUE(Check(*object_, At(10, 0, 10)));
  EXPECT_EQ(sandbox_.CountMessagesStarting(kChecking), 1u);
  EXPECT_TRUE(Check(*object_, At(10, 0, 25)));
  EXPECT_TRUE(sandbox_.Traced("Skipping: 2026-01-05 10:00:25 next check:2026-01-05 10:00:30"));
  EXPECT_EQ(sandbox_.CountMessagesStarting(kChecking), 1u);
  EXPECT_TRUE(Check(*object_, At(10, 0, 30)));
  EXPECT_EQ(sandbox_.CountMessagesStarting(kChecking), 2u);
}

TEST_P(HeartBeatMonitorTest, ASilentMachineGetsOneDowntimeHoweverManyChecksRun) {
  Supervise(1, "60");
  Supervise(2, "600");
  ProcessRow(1, kHeartbeatCommand, 0, At(10, 0));
  ProcessRow(2, kHeartbeatCommand, 0, At(10, 0));
  for (const auto& now : {At(10, 1, 1), At(10, 1, 21), At(10, 5, 0)}) {
    EXPECT_TRUE(Check(*object_, now));
  }
  EXPECT_EQ(Events(1, kMachineDowntimeCommand).size(), 1u);
  EXPECT_EQ(OpenDowntimeRows(1, kHeartbeatMissingCode), 1);
  EXPECT_EQ(sandbox_.CountMessagesStarting(
                "Missing heartbeat for MACHINE_ID = 1 - but the DOWNTIME_CODE_ID of 4 is already "
                "successfully recorded and current status is down"),
            2u);
  // Machine 2 has ten minutes.
  EXPECT_TRUE(Events(2, kMachineDowntimeCommand).empty());
  EXPECT_NE(MachineStatus(2), 3);
}

// A collector group's member supervises only the machines of its partitions;
// one that comes into them gets a full timeout from then, since its signs of
// life went to the member that held it.
TEST_P(HeartBeatMonitorTest, AGroupMemberChecksItsMachinesAndANewcomerGetsAFullTimeout) {
  Supervise(1, "60");
  Supervise(2, "60");
  ProcessRow(1, kHeartbeatCommand, 0, At(10, 0));
  ProcessRow(2, kHeartbeatCommand, 0, At(10, 0));
  testsupport::FakeCheckScope scope;
  scope.partition_of = {{1, 1}, {2, 2}};
  scope.held = {{1, 1}};
  object_->monitor.SetCheckScope(&scope);
  EXPECT_TRUE(Check(*object_, At(10, 1, 1)));
  EXPECT_EQ(MachineStatus(1), 3);
  EXPECT_NE(MachineStatus(2), 3);

  scope.held[2] = 1;
  EXPECT_TRUE(Check(*object_, At(10, 1, 21)));
  EXPECT_NE(MachineStatus(2), 3);
  EXPECT_TRUE(Check(*object_, At(10, 2, 22)));
  EXPECT_EQ(MachineStatus(2), 3);
  object_->monitor.SetCheckScope(nullptr);
}

// Machines 1 to 3 run a cycle and go silent; each comes back differently.
TEST_P(HeartBeatMonitorTest, AMachineBackWithinOptionNineteenResumesItsCycle) {
  for (int machine = 1; machine <= 3; ++machine) {
    Supervise(machine, "60");
    AppendRow(machine, kCycleCommand, 0, At(10, 0));
  }
  ProcessRows(3);
  EXPECT_TRUE(Check(*object_, At(10, 1, 1)));
  for (int machine = 1; machine <= 3; ++machine) ASSERT_EQ(MachineStatus(machine), 3);

  // Three minutes after the downtime began, within the demo's 240 seconds.
  ProcessRow(1, kHeartbeatCommand, 0, At(10, 4, 1));
  auto cycles = Events(1, kCycleCommand);
  ASSERT_EQ(cycles.size(), 2u);
  EXPECT_EQ(cycles[0].stop.ToDateTime(), At(10, 1, 1));
  EXPECT_EQ(cycles[1].start, At(10, 4, 1));
  EXPECT_TRUE(cycles[1].stop.IsNull());
  EXPECT_EQ(MachineStatus(1), 2);
  EXPECT_EQ(OpenDowntimeRows(1, kHeartbeatMissingCode), 0);

  // Five minutes after: the downtime simply ends.
  ProcessRow(2, kHeartbeatCommand, 0, At(10, 6, 1));
  EXPECT_EQ(Events(2, kCycleCommand).size(), 1u);
  EXPECT_EQ(Events(2, kMachineDowntimeCommand).at(0).stop.ToDateTime(), At(10, 6, 1));
  EXPECT_EQ(OpenDowntimeRows(2, kHeartbeatMissingCode), 0);
  EXPECT_NE(MachineStatus(2), 3);

  // Option 19 at 0: ended even after a short silence.
  SetNumOption(19, 0);
  ProcessRow(3, kHeartbeatCommand, 0, At(10, 2, 1));
  EXPECT_EQ(Events(3, kCycleCommand).size(), 1u);
  EXPECT_EQ(Events(3, kMachineDowntimeCommand).at(0).stop.ToDateTime(), At(10, 2, 1));
  EXPECT_NE(MachineStatus(3), 3);
}

TEST_P(HeartBeatMonitorTest, WithoutTheDowntimeCodeCommandsDoNotCountAndChecksFail) {
  Exec("delete from T_SFC_OPTION where OPTION_CODE = 13");
  Supervise(1, "60");
  std::string error;
  ASSERT_TRUE(object_->monitor.RecordHeartBeat(RowOf(1, At(10, 0)), error)) << error;
  ASSERT_TRUE(object_->monitor.RecordHeartBeat(RowOf(1, At(10, 0, 50)), error))
      << error;  // not counted
  const std::string failure =
      "invalid heartbeat configuration, no such downtimecode id=-1 - looking up "
      "Dept,Location,Group ID's from MACHINE_ID=1";
  EXPECT_FALSE(object_->monitor.DoCheckForLateHeartBeats(At(10, 1, 1), error));
  EXPECT_EQ(error, failure);
  // A failed pass does not count: the next one runs at once.
  error.clear();
  EXPECT_FALSE(object_->monitor.DoCheckForLateHeartBeats(At(10, 1, 5), error));
  EXPECT_EQ(error, failure);
  EXPECT_EQ(sandbox_.CountMessagesStarting("Skipping: "), 0u);
  EXPECT_EQ(MachineStatus(1), 0);
}

TEST_P(HeartBeatMonitorTest, OnlyEnabledMachinesWithATimeoutAreSupervised) {
  Supervise(1, "60", 0);
  Supervise(2, "null");
  EXPECT_TRUE(Check(*object_, At(10, 0)));
  EXPECT_TRUE(Check(*object_, At(11, 0)));
  EXPECT_TRUE(sandbox_.Traced("m_bCheckHeartbeats off"));
  EXPECT_EQ(sandbox_.CountMessagesStarting(kStartingDowntime), 0u);
  std::string error;
  EXPECT_TRUE(object_->monitor.RecordHeartBeat(RowOf(1, At(11, 0)), error));
  EXPECT_EQ(error, "");
}

TEST_P(HeartBeatMonitorTest, CommandListsNameTheCommandsOfTheTypes) {
  Exec("update T_SFC_COMMAND set COMMAND_ID = 30 where COMMAND_ID = 10");
  EXPECT_EQ(object_->monitor.GetCommandIDList({8, 9, 10, 16}), "8,9,30,16");
  Exec("delete from T_SFC_COMMAND where COMMAND_TYPE_CODE = 12");
  EXPECT_ANY_THROW(object_->monitor.GetCommandIDList({9, 12}));
}

INSTANTIATE_TEST_SUITE_P(AllKinds, HeartBeatMonitorTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
