// Downtime timeouts through the processing loop: a downtime whose code has a
// maximum is ended by the first check after it ran out, at the check's time;
// checks run at most once a minute; until the log has been found empty only
// the processed machine's downtimes end, afterwards every machine's; an
// object that started without any maximum never checks; the schedule of the
// checks is the one the committed rows left, for a new object too; a
// collector group's member keeps one for each partition.
#include <gtest/gtest.h>

#include <string>

#include "library/schema/schema_statements.h"
#include "tests/support/machine_monitor_fixture.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using testsupport::kHeartbeatCommand;
using testsupport::kMachineDowntimeCommand;
using testsupport::kToolChangeCode;

class DowntimeTimeoutsTest : public testsupport::MachineMonitorTest {
 protected:
  dbaccess::DateTime DowntimeStop(int machine) {
    const auto events = Events(machine, kMachineDowntimeCommand);
    EXPECT_EQ(events.size(), 1u);
    return events.empty() || events[0].stop.IsNull() ? dbaccess::DateTime()
                                                     : events[0].stop.ToDateTime();
  }
  bool DowntimeOpen(int machine) {
    const auto events = Events(machine, kMachineDowntimeCommand);
    return events.size() == 1 && events[0].stop.IsNull();
  }
};

TEST_P(DowntimeTimeoutsTest, AnOverdueDowntimeEndsAtTheFirstCheckAfterItsMaximum) {
  SetCodeLock(kToolChangeCode, 41);  // locks cycles, at most 10 minutes
  ProcessRow(1, kMachineDowntimeCommand, 0, At(8, 0), "110");
  ProcessRow(1, kHeartbeatCommand, 0, At(8, 9, 50));
  EXPECT_TRUE(DowntimeOpen(1));
  // Overdue, but within a minute of the last check.
  ProcessRow(1, kHeartbeatCommand, 0, At(8, 10, 30));
  EXPECT_TRUE(DowntimeOpen(1));
  ProcessRow(1, kHeartbeatCommand, 0, At(8, 11, 0));
  EXPECT_EQ(DowntimeStop(1), At(8, 11, 0));
  EXPECT_EQ(OpenDowntimeRows(1, kToolChangeCode), 0);
  EXPECT_NE(MachineStatus(1), 3);
}

// Near the database clock, because the drained log's check runs at its time.
TEST_P(DowntimeTimeoutsTest, OnceTheLogIsDrainedEveryMachinesDowntimesEnd) {
  const dbaccess::DateTime base = DatabaseNow().AddMinutes(-40);
  AppendRow(1, kMachineDowntimeCommand, 0, base, "110");
  AppendRow(2, kMachineDowntimeCommand, 0, base, "110");
  AppendRow(3, kMachineDowntimeCommand, 0, base.AddMinutes(20), "110");
  ProcessRows(3);

  ProcessRow(1, kHeartbeatCommand, 0, base.AddMinutes(31));
  EXPECT_EQ(DowntimeStop(1), base.AddMinutes(31));
  EXPECT_TRUE(DowntimeOpen(2));  // overdue, but another machine's
  EXPECT_TRUE(DowntimeOpen(3));

  std::string error;
  const dbaccess::DateTime before_drain = DatabaseNow();
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));
  EXPECT_EQ(error, "");
  ASSERT_TRUE(object_->monitor.LogDrained());
  EXPECT_GE(DowntimeStop(2), before_drain);  // at the database time of the drain
  EXPECT_TRUE(DowntimeOpen(3));              // due at base + 50 minutes

  ProcessRow(1, kHeartbeatCommand, 0, base.AddMinutes(52));
  EXPECT_EQ(DowntimeStop(3), base.AddMinutes(52));
}

TEST_P(DowntimeTimeoutsTest, AnObjectStartedWithoutMaximumsNeverChecks) {
  SetCodeLock(kToolChangeCode, 1);
  ProcessRow(1, kMachineDowntimeCommand, 0, At(8, 0), "110");
  SetCodeLock(kToolChangeCode, 121);
  ProcessRow(1, kHeartbeatCommand, 0, At(9, 0));
  EXPECT_TRUE(DowntimeOpen(1));
  EXPECT_FALSE(sandbox_.Traced("there are downtime timeouts to check"));

  object_ = NewObject();  // the first object ends, committing what it processed
  AppendRow(1, kHeartbeatCommand, 0, At(9, 1));
  ProcessRows(1);
  EXPECT_EQ(DowntimeStop(1), At(9, 1));
}

// A run that starts again (after a crash or a stop) does not check at once:
// it continues from the check committed with the rows already processed.
TEST_P(DowntimeTimeoutsTest, ANewObjectContinuesTheScheduleOfTheCommittedChecks) {
  Exec("drop table T_SFC_MDC_CHECK_TIME");  // a database from before: created on first need
  SetCodeLock(kToolChangeCode, 41);
  ProcessRow(1, kMachineDowntimeCommand, 0, At(8, 0), "110");
  ProcessRow(1, kHeartbeatCommand, 0, At(8, 10));  // checks; due only after 8:10
  object_ = NewObject();
  ProcessRow(1, kHeartbeatCommand, 0, At(8, 10, 30));
  EXPECT_TRUE(DowntimeOpen(1));
  ProcessRow(1, kHeartbeatCommand, 0, At(8, 11, 1));
  EXPECT_EQ(DowntimeStop(1), At(8, 11, 1));
}

TEST_P(DowntimeTimeoutsTest, ARolledBackBatchDoesNotKeepItsCheckTime) {
  SetCodeLock(kToolChangeCode, 41);
  ProcessRow(1, kMachineDowntimeCommand, 0, At(8, 0), "110");
  AppendRow(2, kHeartbeatCommand, 0, At(8, 10));
  AppendRow(2, kHeartbeatCommand, 0, At(8, 10, 10));
  ProcessRows(1);  // checks at 8:10 in a batch that stays open
  ASSERT_TRUE(object_->session.BatchOpen());
  object_->session.AbandonBatch();
  Exec("delete from T_SFC_MDC_LOG");
  // The committed check was at 8:00: this row checks, and the downtime is overdue.
  ProcessRow(1, kHeartbeatCommand, 0, At(8, 10, 30));
  EXPECT_EQ(DowntimeStop(1), At(8, 10, 30));
}

// A collector group's member keeps one schedule per partition it holds,
// continued from what is stored for the fence it holds it at; a row's check
// ends its own machine's downtimes, and its partition's other machines' once
// the partition was found drained; machines of partitions not held are left.
TEST_P(DowntimeTimeoutsTest, AGroupMemberKeepsAScheduleForEachPartition) {
  SetCodeLock(kToolChangeCode, 41);
  testsupport::FakeCheckScope scope;
  scope.partition_of = {{1, 10}, {2, 10}, {3, 20}};
  scope.held = {{10, 1}};
  object_->monitor.SetCheckScope(&scope);
  for (int machine = 1; machine <= 3; ++machine) {
    ProcessRow(machine, kMachineDowntimeCommand, 0, At(8, 0), "110");
  }
  ProcessRow(3, kHeartbeatCommand, 0, At(8, 11));
  EXPECT_TRUE(DowntimeOpen(3));
  ProcessRow(1, kHeartbeatCommand, 0, At(8, 11, 10));
  EXPECT_EQ(DowntimeStop(1), At(8, 11, 10));
  EXPECT_TRUE(DowntimeOpen(2));
  EXPECT_EQ(scope.stored[10], At(8, 11, 10));

  scope.held[20] = 1;  // never checked: due at once, whatever partition 10's time
  ProcessRow(3, kHeartbeatCommand, 0, At(8, 11, 20));
  EXPECT_EQ(DowntimeStop(3), At(8, 11, 20));

  scope.drained.insert(10);
  ProcessRow(1, kHeartbeatCommand, 0, At(8, 12, 0));
  EXPECT_TRUE(DowntimeOpen(2));
  ProcessRow(1, kHeartbeatCommand, 0, At(8, 12, 11));
  EXPECT_EQ(DowntimeStop(2), At(8, 12, 11));

  // Another member held partition 20 meanwhile and checked it at 8:25:50.
  ProcessRow(3, kMachineDowntimeCommand, 0, At(8, 15), "110");
  scope.held[20] = 2;
  scope.stored[20] = At(8, 25, 50);
  ProcessRow(3, kHeartbeatCommand, 0, At(8, 26, 10));
  EXPECT_TRUE(Events(3, kMachineDowntimeCommand).back().stop.IsNull());
  ProcessRow(3, kHeartbeatCommand, 0, At(8, 26, 51));
  EXPECT_EQ(Events(3, kMachineDowntimeCommand).back().stop.ToDateTime(), At(8, 26, 51));
  object_->monitor.SetCheckScope(nullptr);
}

// Keeping the time is bookkeeping: a database that refuses it fails no row,
// and the check goes on with the time it holds.
TEST_P(DowntimeTimeoutsTest, ACheckTimeTheDatabaseRefusesFailsNoRow) {
  Exec("drop table T_SFC_MDC_CHECK_TIME");
  Exec("create table T_SFC_MDC_CHECK_TIME (CHECK_CODE integer, LAST_CHECK " +
       GetColumnTypeName(database_.kind, columnkind::kDateTime) + ", REQUIRED integer not null)");
  SetCodeLock(kToolChangeCode, 41);
  ProcessRow(1, kMachineDowntimeCommand, 0, At(8, 0), "110");
  ProcessRow(1, kHeartbeatCommand, 0, At(8, 10, 30));
  EXPECT_EQ(DowntimeStop(1), At(8, 10, 30));
  EXPECT_GT(sandbox_.CountMessagesStarting("The time of the check could not be stored"), 0u);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, DowntimeTimeoutsTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
