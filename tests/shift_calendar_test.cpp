// The shift calendar on the demo plant's week: the shift in force at a
// moment with its chart date, overlapping shifts, machines limited to some
// shifts or left with none, and the next shift boundary after a moment.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/records_fixture.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using dbaccess::DateTime;
using testsupport::At;

struct ShiftInfo {
  DateTime chart_date, start, stop;
  int32_t shift = 0;
  bool swing = false;
};

class ShiftCalendarTest : public testsupport::RecordsTest {
 protected:
  ShiftInfo Determine(const DateTime& t, int machine = 1, const std::string& user = "",
                      bool inclusive = false) {
    ShiftInfo info;
    object_->records.DetermineChartDateAndShiftInfo(t, machine, user, inclusive, info.chart_date,
                                                    info.shift, info.swing, info.start, info.stop);
    return info;
  }
  DateTime Next(const DateTime& t, int machine, int32_t& shift) {
    bool swing = false;
    shift = 0;
    return object_->records.GetNextShiftStart(t, machine, shift, swing);
  }
  // Shift 3 runs 05:00-13:00 on Mondays and overlaps the day shift.
  void AddEarlyShift() {
    Exec("insert into T_SFC_INTERVAL (INTERVAL_ID, START_TIME, STOP_TIME, IS_SWING) values (3, " +
         Literal(DateTime::FromParts(1970, 1, 1, 5)) + ", " +
         Literal(DateTime::FromParts(1970, 1, 1, 13)) + ", 0)");
    Exec("insert into T_SFC_SHIFT (SHIFT_ID, SHIFT_NAME, MON_INTERVAL_ID) values (3, 'Early', 3)");
  }
};

TEST_P(ShiftCalendarTest, TheDayShiftIsInForceDuringItsInterval) {
  const ShiftInfo info = Determine(At(7, 10));
  EXPECT_EQ(info.shift, 1);
  EXPECT_FALSE(info.swing);
  EXPECT_EQ(info.start, At(7, 6));
  EXPECT_EQ(info.stop, At(7, 14));
  EXPECT_EQ(info.chart_date, At(7, 0));
}

TEST_P(ShiftCalendarTest, TheSwingShiftSeenNextMorningIsChartedOnTheEvening) {
  const ShiftInfo info = Determine(At(8, 3));
  EXPECT_EQ(info.shift, 2);
  EXPECT_TRUE(info.swing);
  EXPECT_EQ(info.start, At(7, 22));
  EXPECT_EQ(info.stop, At(8, 6));
  EXPECT_EQ(info.chart_date, At(7, 0));
  // Its evening part: the stop lies on the next day.
  const ShiftInfo evening = Determine(At(7, 23));
  EXPECT_EQ(evening.shift, 2);
  EXPECT_EQ(evening.stop, At(8, 6));
  EXPECT_EQ(evening.chart_date, At(7, 0));
}

TEST_P(ShiftCalendarTest, TheSwingShiftsStopCountsOnlyWhenInclusive) {
  EXPECT_EQ(Determine(At(8, 6), 1, "", false).shift, 1);
  const ShiftInfo inclusive = Determine(At(8, 6), 1, "", true);
  EXPECT_EQ(inclusive.shift, 2);
  EXPECT_EQ(inclusive.chart_date, At(7, 0));
}

TEST_P(ShiftCalendarTest, TheOperatorsOwnShiftWinsAmongOverlappingShifts) {
  AddEarlyShift();
  EXPECT_EQ(Determine(At(7, 10)).shift, 3);                // the earlier start
  EXPECT_EQ(Determine(At(7, 10), 1, "jsmith").shift, 1);   // works the day shift
  EXPECT_EQ(Determine(At(7, 10), 1, "mgarcia").shift, 3);  // own shift not in force
  EXPECT_EQ(Determine(At(7, 10), 1, "nobody").shift, 3);
}

TEST_P(ShiftCalendarTest, AMachineLimitedToOneShiftIgnoresTheOthers) {
  EXPECT_EQ(Determine(At(8, 3), 1).shift, 2);
  const ShiftInfo limited = Determine(At(8, 3), 5);
  EXPECT_EQ(limited.shift, -1);
  EXPECT_EQ(limited.chart_date, At(8, 0));
  EXPECT_EQ(limited.start, DateTime::FromParts(1970, 1, 1, 9));
  EXPECT_EQ(limited.stop, DateTime::FromParts(1970, 1, 1, 17));
}

TEST_P(ShiftCalendarTest, TheNextShiftStartIsTheEarliestStartAtOrAfterTheMoment) {
  Exec("insert into T_SFC_INTERVAL (INTERVAL_ID, START_TIME, STOP_TIME, IS_SWING) values (3, " +
       Literal(DateTime::FromParts(1970, 1, 1, 14)) + ", " +
       Literal(DateTime::FromParts(1970, 1, 1, 22)) + ", 0)");
  Exec("insert into T_SFC_SHIFT (SHIFT_ID, SHIFT_NAME, MON_INTERVAL_ID) values (3, 'Late', 3)");
  int32_t shift = 0;
  EXPECT_EQ(Next(At(7, 10), 1, shift), At(7, 14));
  EXPECT_EQ(shift, 3);
  EXPECT_EQ(Next(At(7, 15), 1, shift), At(7, 22));
  EXPECT_EQ(shift, 2);
  EXPECT_EQ(Next(At(7, 6), 1, shift), At(7, 6));  // exactly at a start
  EXPECT_EQ(shift, 1);
}

TEST_P(ShiftCalendarTest, WithoutAStartLeftThatDayTheBoundaryIsMidnight) {
  int32_t shift = 0;
  EXPECT_EQ(Next(At(7, 10), 5, shift), At(8, 0));
  EXPECT_EQ(shift, -1);
  EXPECT_EQ(Next(At(7, 15), 5, shift), At(8, 0));
  EXPECT_EQ(shift, -1);
  // Friday's swing shift ends Saturday morning; Saturday has no shift.
  EXPECT_EQ(Next(At(12, 10), 1, shift), At(13, 0));
  EXPECT_EQ(shift, -1);
  EXPECT_EQ(Determine(At(12, 3), 1).shift, 2);
}

TEST_P(ShiftCalendarTest, AMachineWithoutAnyShiftHasMidnightBoundaries) {
  Exec(
      "insert into T_SFC_MACHINE_SHIFT (MACHINE_SHIFT_ID, MACHINE_ID, SHIFT_ID) values (2, 2, 99)");
  int32_t shift = 0;
  EXPECT_EQ(Next(At(7, 10), 2, shift), At(8, 0));
  EXPECT_EQ(shift, -1);
  EXPECT_EQ(Determine(At(7, 10), 2).shift, -1);
  // The same for a plant without a shift calendar.
  Exec("delete from T_SFC_MACHINE_SHIFT");
  Exec("delete from T_SFC_SHIFT");
  EXPECT_EQ(Next(At(9, 23, 59, 59), 1, shift), At(10, 0));
  EXPECT_EQ(shift, -1);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, ShiftCalendarTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
