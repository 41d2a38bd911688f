// The heartbeat supervision as the collector service sees it, through
// DoNextItemFromMDCLog alone: a supervised machine that goes silent is put
// into the configured downtime while the log is idle, at the database time,
// and goes back to its cycle when it speaks again through the intake.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/machine_monitor_fixture.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using testsupport::kCycleCommand;
using testsupport::kHeartbeatMissingCode;
using testsupport::kMachineDowntimeCommand;

class LateHeartBeatCollectorTest : public testsupport::MachineMonitorTest {};

TEST_P(LateHeartBeatCollectorTest, ASilentMachineIsDownWhileTheLogIsIdleAndBackWhenItSpeaks) {
  SetNumOption(13, kHeartbeatMissingCode);
  Supervise(1, "60");
  Supervise(2, "3600");
  const dbaccess::DateTime started = DatabaseNow().AddMinutes(-2);
  AppendRow(1, kCycleCommand, 0, started);
  AppendRow(2, kCycleCommand, 0, started);
  ProcessRows(2);

  // The log is idle: machine 1 has been silent for two minutes.
  std::string error;
  const dbaccess::DateTime idle = DatabaseNow();
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));
  EXPECT_EQ(error, "");
  ASSERT_EQ(MachineStatus(1), 3);
  EXPECT_EQ(OpenDowntimeRows(1, kHeartbeatMissingCode), 1);
  const auto downtimes = Events(1, kMachineDowntimeCommand);
  ASSERT_EQ(downtimes.size(), 1u);
  EXPECT_GE(downtimes[0].start, idle);
  EXPECT_EQ(Events(1, kCycleCommand).at(0).stop.ToDateTime(), downtimes[0].start);
  EXPECT_EQ(MachineStatus(2), 2);  // within its hour

  // The machine speaks again, within option 19's four minutes.
  ASSERT_TRUE(object_->intake.AppendItemToMDCLog2("101", 15, "", 0, error)) << error;
  ProcessRows(1);
  EXPECT_EQ(MachineStatus(1), 2);
  EXPECT_EQ(OpenDowntimeRows(1, kHeartbeatMissingCode), 0);
  const auto cycles = Events(1, kCycleCommand);
  ASSERT_EQ(cycles.size(), 2u);
  EXPECT_TRUE(cycles[1].stop.IsNull());
}

INSTANTIATE_TEST_SUITE_P(AllKinds, LateHeartBeatCollectorTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
