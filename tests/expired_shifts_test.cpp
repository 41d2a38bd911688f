// Expired shift handling on a real database of every kind: inside a handler's
// transaction (GetCurrentMachineDataID) and for refresh requests going
// through the processing loop, which commit record by record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/com_error.h"
#include "library/core/out_of_order.h"
#include "tests/support/records_fixture.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using dbaccess::DateTime;
using testsupport::At;
using testsupport::kMachine1;

struct Record {
  DateTime start;
  int64_t shift;  // -1 for none
  DateTime chart_date;
};

class ExpiredShiftsTest : public testsupport::RecordsTest {
 protected:
  // The current record of machine 1 in `shift` ending at `end`.
  int64_t CurrentInShift(const DateTime& start, int shift, const DateTime& end,
                         const std::string& columns = "", const std::string& values = "") {
    return InsertCurrentRecord(start,
                               ", CHART_DATE, SHIFT_ID, SHIFT_END, IDLE_START_TIME" + columns,
                               ", " + Literal(start.DatePart()) + ", " + std::to_string(shift) +
                                   ", " + Literal(end) + ", " + Literal(start) + values);
  }
  std::vector<Record> Records(int machine = 1) {
    dbaccess::Recordset rs;
    rs.Open("select START_TIME, SHIFT_ID, CHART_DATE from T_SFC_MACHINE_DATA where MACHINE_ID = " +
                std::to_string(machine) + " order by START_TIME",
            object_->session.connection());
    std::vector<Record> records;
    for (; !rs.Eof(); rs.MoveNext()) {
      const dbaccess::Variant shift = rs.Fields("SHIFT_ID").Value();
      records.push_back({rs.Fields("START_TIME").Value().ToDateTime(),
                         shift.IsNull() ? -1 : shift.ToInt64(),
                         rs.Fields("CHART_DATE").Value().ToDateTime()});
    }
    return records;
  }
  void ExpectRecord(const Record& record, const DateTime& start, int64_t shift,
                    const DateTime& chart_date) {
    EXPECT_EQ(record.start, start) << record.start.ToText();
    EXPECT_EQ(record.shift, shift) << record.start.ToText();
    EXPECT_EQ(record.chart_date, chart_date) << record.start.ToText();
  }
  // A refresh request (a log row without command) for machine 1.
  void AppendRefresh(const DateTime& time) {
    Exec(
        "insert into T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, "
        "COMMAND_TIME_CODE, TIME_STAMP) values (null, 1, 1, 1, 1, 0, " +
        Literal(time) + ")");
  }
  // Runs the loop until the log is empty or a call fails; the last error.
  std::string Drain() {
    std::string error;
    for (int i = 0; i < 10; ++i) {
      error.clear();
      const bool did_work = object_->log.DoNextItemFromMDCLog(error);
      if (error.rfind(" Note: Using ", 0) == 0) continue;
      if (!did_work) break;
    }
    return error;
  }
  int64_t LogRows() { return Count("T_SFC_MDC_LOG"); }
};

TEST_P(ExpiredShiftsTest, ACommandInsideTheShiftChangesNothing) {
  const int64_t id = CurrentInShift(At(7, 6), 1, At(7, 14));
  EXPECT_EQ(object_->records.GetCurrentMachineDataID(kMachine1, At(7, 10)), id);
  EXPECT_EQ(object_->records.GetCurrentMachineDataID(kMachine1, At(7, 14)), id);  // the end itself
  EXPECT_EQ(Records().size(), 1u);
}

TEST_P(ExpiredShiftsTest, AMachinesFirstRecordStartsAtTheRefreshWithItsShift) {
  AppendRefresh(At(7, 10));
  EXPECT_EQ(Drain(), "");
  const std::vector<Record> records = Records();
  ASSERT_EQ(records.size(), 1u);
  ExpectRecord(records[0], At(7, 10), 1, At(7, 0));
  const int64_t id = CurrentRecord(1);
  EXPECT_EQ(RecordField(id, "SHIFT_END").ToDateTime(), At(7, 14));
  EXPECT_EQ(RecordField(id, "IDLE_START_TIME").ToDateTime(), At(7, 10));
  EXPECT_EQ(RecordField(id, "DEPT_ID").ToInt64(), 1);
  EXPECT_EQ(LogRows(), 0);
}

TEST_P(ExpiredShiftsTest, ARefreshAfterTheShiftEndClosesTheRecordThere) {
  const int64_t old_id = CurrentInShift(At(7, 6), 1, At(7, 14));
  AppendRefresh(At(7, 15));
  EXPECT_EQ(Drain(), "");
  EXPECT_EQ(RecordField(old_id, "STOP_TIME").ToDateTime(), At(7, 14));
  EXPECT_EQ(RecordField(old_id, "STATUS_CODE").ToInt64(), 2);
  EXPECT_NEAR(RecordField(old_id, "IDLE_TIME").ToDouble(), 8.0, 1e-5);
  const std::vector<Record> records = Records();
  ASSERT_EQ(records.size(), 2u);
  ExpectRecord(records[1], At(7, 14), -1, At(7, 0));  // no shift until 22:00
  EXPECT_EQ(CurrentRecord(1), old_id + 1);
  EXPECT_EQ(RecordField(old_id + 1, "IDLE_START_TIME").ToDateTime(), At(7, 14));
}

TEST_P(ExpiredShiftsTest, TheSwingShiftIsSplitAtMidnightBothHalvesOnTheEvening) {
  CurrentInShift(At(7, 6), 1, At(7, 14));
  object_->records.GetCurrentMachineDataID(kMachine1, At(8, 1));
  const std::vector<Record> records = Records();
  ASSERT_EQ(records.size(), 4u);
  ExpectRecord(records[2], At(7, 22), 2, At(7, 0));
  ExpectRecord(records[3], At(8, 0), 2, At(7, 0));
  const int64_t evening = CurrentRecord(1) - 1;
  EXPECT_EQ(RecordField(evening, "STOP_TIME").ToDateTime(), At(8, 0));
  EXPECT_EQ(RecordField(evening, "SHIFT_END").ToDateTime(), At(8, 6));
  EXPECT_EQ(RecordField(CurrentRecord(1), "SHIFT_END").ToDateTime(), At(8, 6));
}

TEST_P(ExpiredShiftsTest, AWeekendIsCaughtUpRecordByRecord) {
  CurrentInShift(At(11, 6), 1, At(11, 14));  // Friday's day shift
  object_->records.GetCurrentMachineDataID(kMachine1, At(14, 7));
  const std::vector<Record> records = Records();
  ASSERT_EQ(records.size(), 8u);
  ExpectRecord(records[0], At(11, 6), 1, At(11, 0));
  ExpectRecord(records[1], At(11, 14), -1, At(11, 0));
  ExpectRecord(records[2], At(11, 22), 2, At(11, 0));  // Friday's swing shift
  ExpectRecord(records[3], At(12, 0), 2, At(11, 0));
  ExpectRecord(records[4], At(12, 6), -1, At(12, 0));  // Saturday
  ExpectRecord(records[5], At(13, 0), -1, At(13, 0));  // Sunday
  ExpectRecord(records[6], At(14, 0), -1, At(14, 0));
  ExpectRecord(records[7], At(14, 6), 1, At(14, 0));  // Monday's day shift
  EXPECT_EQ(Count("T_SFC_MACHINE_DATA where STATUS_CODE = 2"), 7);
}

TEST_P(ExpiredShiftsTest, ARecordStartingAtItsBoundaryIsReused) {
  const int64_t id = CurrentInShift(At(7, 6), 2, At(7, 6));
  EXPECT_EQ(object_->records.GetCurrentMachineDataID(kMachine1, At(7, 7)), id);
  EXPECT_EQ(Records().size(), 1u);
  EXPECT_EQ(RecordField(id, "SHIFT_ID").ToInt64(), 1);
  EXPECT_EQ(RecordField(id, "SHIFT_END").ToDateTime(), At(7, 14));
  EXPECT_TRUE(RecordField(id, "STOP_TIME").IsNull());
}

TEST_P(ExpiredShiftsTest, EqualTimesPassAndEarlierTimesAreThrownOut) {
  CurrentInShift(At(7, 6), 1, At(7, 14), ", CYCLE_START_TIME",
                 ", " + Literal(At(7, 10, 0, 5).AddMilliseconds(300)));
  EXPECT_NO_THROW(object_->records.GetCurrentMachineDataID(kMachine1, At(7, 10, 0, 5)));
  try {
    object_->records.GetCurrentMachineDataID(kMachine1, At(7, 10, 0, 4).AddMilliseconds(999));
    FAIL() << "an earlier time was accepted";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), kErrOutOfOrder);
    EXPECT_EQ(error.description(), kOutOfOrderText);
  }
  // Through the loop the row is removed and nothing is recorded for it.
  AppendRefresh(At(7, 9));
  Drain();
  EXPECT_EQ(LogRows(), 0);
  EXPECT_EQ(Records().size(), 1u);
}

// A catch-up that fails part of the way keeps the records it had committed;
// the row stays and the next pass goes on from there.
TEST_P(ExpiredShiftsTest, ALongCatchUpCommitsRecordByRecord) {
  CurrentInShift(At(11, 6), 1, At(11, 14));
  const std::string cutoff = Literal(At(13, 0));
  if (database_.kind == 4) {
    Exec(
        "create function refuse_sunday() returns trigger language plpgsql as $$ begin "
        "if new.START_TIME >= " +
        cutoff +
        " then raise exception 'refused'; end if; "
        "return new; end $$");
    Exec(
        "create trigger refuse_sunday before insert on T_SFC_MACHINE_DATA for each row "
        "execute function refuse_sunday()");
  } else {
    Exec(
        "create trigger refuse_sunday before insert on T_SFC_MACHINE_DATA when new.START_TIME >= " +
        cutoff + " begin select raise(abort, 'refused'); end");
  }
  AppendRefresh(At(14, 7));
  EXPECT_NE(Drain(), "");
  EXPECT_EQ(LogRows(), 1);

  Components reader;
  std::string error;
  ASSERT_TRUE(reader.session.ConnectToDatabase(database_.connection_string, database_.kind, error));
  dbaccess::Recordset rs;
  rs.Open("select count(*) from T_SFC_MACHINE_DATA", reader.session.connection());
  EXPECT_EQ(rs.Fields(size_t{0}).Value().ToInt64(), 5);  // up to Saturday 06:00

  Exec(database_.kind == 4 ? "drop trigger refuse_sunday on T_SFC_MACHINE_DATA"
                           : "drop trigger refuse_sunday");
  EXPECT_EQ(Drain(), "");
  EXPECT_EQ(LogRows(), 0);
  EXPECT_EQ(Records().size(), 8u);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, ExpiredShiftsTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
