// The machine data record lifecycle on a real database of every kind: the
// next record continuing running periods and open downtimes, the old one's
// times in hours and minutes, a missing chart date, validation stopping at
// its first failure, and the split sequence of the reference handlers.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/records_fixture.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using dbaccess::DateTime;
using testsupport::At;

class MachineDataRecordsTest : public testsupport::RecordsTest {
 protected:
  double Number(int64_t id, const std::string& column) {
    return RecordField(id, column).ToDouble();
  }
  bool IsNull(int64_t id, const std::string& column) { return RecordField(id, column).IsNull(); }
  DateTime Time(int64_t id, const std::string& column) {
    return RecordField(id, column).ToDateTime();
  }
};

TEST_P(MachineDataRecordsTest, RunningPeriodsEndInTheOldRecordAndContinueInTheNew) {
  const int64_t old_id = InsertCurrentRecord(
      At(7, 10), ", SETUP_START_TIME, CYCLE_START_TIME, CHART_DATE, JOB_ID, PART_ID, SHIFT_ID",
      ", " + Literal(At(7, 10)) + ", " + Literal(At(7, 10)) + ", " + Literal(At(7, 0)) +
          ", 1, 1, 1");
  const DateTime split = At(7, 10, 1, 30);
  const int64_t new_id =
      object_->records.CreateNextMachineDataRecord({}, old_id, MachineDataSplitKind::Job, split);
  object_->records.PrepareMachineDataRecordForCompletion(old_id, split);

  EXPECT_NEAR(Number(old_id, "SETUP_TIME"), 0.025, 1e-6);  // hours
  EXPECT_NEAR(Number(old_id, "CYCLE_TIME"), 1.5, 1e-6);    // minutes
  EXPECT_TRUE(IsNull(old_id, "SETUP_START_TIME"));
  EXPECT_TRUE(IsNull(old_id, "CYCLE_START_TIME"));
  EXPECT_EQ(Number(old_id, "STATUS_CODE"), 1);

  EXPECT_EQ(Time(new_id, "START_TIME"), split);
  EXPECT_EQ(Time(new_id, "SETUP_START_TIME"), split);
  EXPECT_EQ(Time(new_id, "CYCLE_START_TIME"), split);
  EXPECT_TRUE(IsNull(new_id, "IDLE_START_TIME"));
  EXPECT_EQ(Number(new_id, "CYCLE_TIME"), 0);
  EXPECT_EQ(Number(new_id, "STATUS_CODE"), 0);
  EXPECT_TRUE(IsNull(new_id, "STOP_TIME"));
  // The job is what the split replaces; the part and the shift carry on.
  EXPECT_TRUE(IsNull(new_id, "JOB_ID"));
  EXPECT_EQ(Number(new_id, "PART_ID"), 1);
  EXPECT_EQ(Number(new_id, "SHIFT_ID"), 1);
  EXPECT_EQ(Time(new_id, "CHART_DATE"), At(7, 0));
  EXPECT_EQ(Number(new_id, "MACHINE_ID"), 1);
}

TEST_P(MachineDataRecordsTest, AnOpenDowntimeIsClosedInTheOldRecordAndReopenedInTheNew) {
  const int64_t old_id = InsertCurrentRecord(At(7, 10), ", CHART_DATE", ", " + Literal(At(7, 0)));
  Exec(
      "insert into T_SFC_DT_PER_MACHINE_DATA (MACHINE_DATA_ID, DOWNTIME_CODE_ID, "
      "DOWNTIME_TYPE_CODE, START_TIME, DURATION) values (" +
      std::to_string(old_id) + ", 2, 0, " + Literal(At(7, 10)) + ", 0)");
  Exec(
      "insert into T_SFC_DT_PER_MACHINE_DATA (MACHINE_DATA_ID, DT_NUMBER, DT_DATA_START_ID, "
      "DOWNTIME_TYPE_CODE, START_TIME, STOP_TIME, DURATION) values (" +
      std::to_string(old_id) + ", '999', 1, 0, " + Literal(At(7, 10)) + ", " +
      Literal(At(7, 10, 30)) + ", 0.5)");  // already closed: not carried
  const DateTime split = At(7, 11, 30);
  const int64_t new_id =
      object_->records.CreateNextMachineDataRecord({}, old_id, MachineDataSplitKind::User, split);
  object_->records.PrepareMachineDataRecordForCompletion(old_id, split);

  const std::string old_rows =
      "from T_SFC_DT_PER_MACHINE_DATA where MACHINE_DATA_ID = " + std::to_string(old_id) +
      " and DOWNTIME_CODE_ID = 2";
  EXPECT_NEAR(Value("select DURATION " + old_rows).ToDouble(), 1.5, 1e-6);
  EXPECT_EQ(Value("select STOP_TIME " + old_rows).ToDateTime(), split);
  const std::string new_rows =
      "from T_SFC_DT_PER_MACHINE_DATA where MACHINE_DATA_ID = " + std::to_string(new_id);
  EXPECT_EQ(Value("select count(*) " + new_rows).ToInt64(), 1);
  EXPECT_EQ(Value("select DOWNTIME_CODE_ID " + new_rows).ToInt64(), 2);
  EXPECT_EQ(Value("select DURATION " + new_rows).ToDouble(), 0);
  EXPECT_EQ(Value("select START_TIME " + new_rows).ToDateTime(), split);
  EXPECT_TRUE(Value("select STOP_TIME " + new_rows).IsNull());
}

TEST_P(MachineDataRecordsTest, AMissingChartDateBecomesTheSplitsDate) {
  const int64_t old_id = InsertCurrentRecord(At(7, 10));
  const int64_t new_id = object_->records.CreateNextMachineDataRecord(
      {}, old_id, MachineDataSplitKind::Op, At(8, 1, 15));
  EXPECT_EQ(Time(new_id, "CHART_DATE"), At(8, 0));
  EXPECT_TRUE(sandbox_.Traced("NULL CHART DATE"));
}

TEST_P(MachineDataRecordsTest, ValidationStopsAtItsFirstFailureAndKeepsTheRecordClosed) {
  const int64_t id =
      InsertCurrentRecord(At(7, 10), ", CHART_DATE, JOB_NUMBER, JOB_DATA_START_ID, STOP_TIME",
                          ", " + Literal(At(7, 0)) + ", 'J-UNKNOWN', 1, " + Literal(At(7, 11)));
  Exec("update T_SFC_MACHINE_DATA set STATUS_CODE = 1, GOOD_COUNT = 3 where MACHINE_DATA_ID = " +
       std::to_string(id));
  EXPECT_TRUE(object_->records.ValidateMachineDataRecord(id));
  EXPECT_TRUE(sandbox_.Traced("invalid job number"));
  EXPECT_FALSE(sandbox_.Traced("good part count but no part number"));
  object_->records.CompleteMachineDataRecord(id);
  EXPECT_EQ(Number(id, "STATUS_CODE"), 1);
  EXPECT_TRUE(sandbox_.Traced("Error, invalid record: " + std::to_string(id)));

  // Repairing the job uncovers the counts booked without a part.
  Exec("update T_SFC_MACHINE_DATA set JOB_DATA_START_ID = null, JOB_NUMBER = null");
  EXPECT_TRUE(object_->records.ValidateMachineDataRecord(id));
  EXPECT_TRUE(sandbox_.Traced("good part count but no part number"));

  Exec("update T_SFC_MACHINE_DATA set PART_ID = 1");
  EXPECT_FALSE(object_->records.ValidateMachineDataRecord(id));
  object_->records.CompleteMachineDataRecord(id);
  EXPECT_EQ(Number(id, "STATUS_CODE"), 2);
}

TEST_P(MachineDataRecordsTest, UnresolvedDowntimeAndScrapCodesMakeARecordInvalid) {
  const int64_t id = InsertCurrentRecord(At(7, 10), ", CHART_DATE", ", " + Literal(At(7, 0)));
  Exec(
      "insert into T_SFC_SCRAP_PER_MACHINE_DATA (MACHINE_DATA_ID, START_TIME, QTY, "
      "SCRAP_DATA_START_ID) values (" +
      std::to_string(id) + ", " + Literal(At(7, 10, 5)) + ", 1, 7)");
  EXPECT_TRUE(object_->records.ValidateMachineDataRecord(id));
  EXPECT_TRUE(sandbox_.Traced("invalid scrap code number"));
  Exec(
      "insert into T_SFC_DT_PER_MACHINE_DATA (MACHINE_DATA_ID, DT_NUMBER, DT_DATA_START_ID, "
      "DOWNTIME_TYPE_CODE, START_TIME, DURATION) values (" +
      std::to_string(id) + ", '999', 1, 0, " + Literal(At(7, 10)) + ", 0)");
  EXPECT_TRUE(object_->records.ValidateMachineDataRecord(id));
  EXPECT_TRUE(sandbox_.Traced("invalid downtime code number"));
}

TEST_P(MachineDataRecordsTest, ASplitPointsTheMachineAtTheNewRecordAndCompletesTheOld) {
  const int64_t old_id =
      InsertCurrentRecord(At(7, 10), ", CHART_DATE, USER_ID, IDLE_START_TIME",
                          ", " + Literal(At(7, 0)) + ", 1, " + Literal(At(7, 10)));
  dbaccess::RecordsetPtr current = object_->records.OpenMachineDataRecord(old_id);
  const int64_t new_id = object_->records.SplitMachineDataRecord(
      1, *current, MachineDataSplitKind::User, At(7, 12),
      [](dbaccess::Recordset& rs) { rs.Fields("USER_ID") = 2; });
  EXPECT_EQ(CurrentRecord(1), new_id);
  EXPECT_EQ(Time(old_id, "STOP_TIME"), At(7, 12));
  EXPECT_EQ(Number(old_id, "STATUS_CODE"), 2);
  EXPECT_NEAR(Number(old_id, "IDLE_TIME"), 2.0, 1e-6);
  EXPECT_EQ(Number(new_id, "USER_ID"), 2);
  EXPECT_EQ(Time(new_id, "IDLE_START_TIME"), At(7, 12));
}

TEST_P(MachineDataRecordsTest, StatusAndOpenDowntimeAreReadTogether) {
  const int64_t id = InsertCurrentRecord(At(7, 10), ", CHART_DATE", ", " + Literal(At(7, 0)));
  int32_t code = -7;
  EXPECT_EQ(object_->records.GetMachineStatusAndDowntime(1, code), 0);
  EXPECT_EQ(code, -7);  // no open downtime: left unchanged
  Exec("update T_SFC_MACHINE set STATUS_CODE = 3 where MACHINE_ID = 1");
  Exec(
      "insert into T_SFC_DT_PER_MACHINE_DATA (MACHINE_DATA_ID, DOWNTIME_CODE_ID, "
      "DOWNTIME_TYPE_CODE, START_TIME, DURATION) values (" +
      std::to_string(id) + ", 3, 0, " + Literal(At(7, 10)) + ", 0)");
  EXPECT_EQ(object_->records.GetMachineStatusAndDowntime(1, code), 3);
  EXPECT_EQ(code, 3);
}

TEST_P(MachineDataRecordsTest, TheNewRecordKeepsThePreviousPartsStandardTimeAndSerial) {
  std::string announce;
  object_->log.DoNextItemFromMDCLog(announce);  // learns that serial numbers exist
  const int64_t old_id = InsertCurrentRecord(At(7, 10), ", CHART_DATE, PART_ID, PART_SERIAL_NO_ID",
                                             ", " + Literal(At(7, 0)) + ", 1, 1");
  const int64_t by_part = object_->records.CreateNextMachineDataRecord(
      {}, old_id, MachineDataSplitKind::Part, At(7, 11));
  EXPECT_NEAR(Number(by_part, "STANDARD_TIME"), 2.5, 1e-6);  // machine 1, part 1
  EXPECT_TRUE(IsNull(by_part, "PART_ID"));
  EXPECT_EQ(Number(by_part, "PART_SERIAL_NO_ID"), 1);
  const int64_t by_serial = object_->records.CreateNextMachineDataRecord(
      {}, old_id, MachineDataSplitKind::SerialNo, At(7, 11));
  EXPECT_TRUE(IsNull(by_serial, "PART_SERIAL_NO_ID"));
  EXPECT_EQ(Number(by_serial, "PART_ID"), 1);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, MachineDataRecordsTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
