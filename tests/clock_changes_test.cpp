// Daylight saving time changes in two zones (Berlin, Sydney) on every
// database kind: the elapsed-time rule itself, cycles and downtimes across
// the autumn and the spring change, a shift end inside the repeated hour, a
// heartbeat falling late across the change, a truly older row still thrown
// out, and the reports' hours matching the rule. Both zones move their clocks
// between 02:00 and 03:00 on a Sunday, when the demo plant has no shift.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "dbaccess/clock.h"
#include "dbaccess/elapsed_time.h"
#include "reports/oee.h"
#include "reports/report_sql.h"
#include "tests/support/clock_change_zones.h"
#include "tests/support/machine_log_fixture.h"
#include "tests/support/machine_monitor_fixture.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using dbaccess::DateTime;
using dbaccess::ElapsedMilliseconds;
using namespace testsupport;  // command and time codes

constexpr int64_t kMinute = 60000;

// The loop's text for a row it threw out as older than what was recorded.
auto OutOfOrder() {
  return testing::HasSubstr("is older than latest previously processed, throwing it out");
}
constexpr int64_t kHour = 60 * kMinute;

DateTime On(const DateTime& day, int hour, int minute) {
  return day.AddMinutes(hour * 60 + minute);
}

// The rule alone, in each zone.
class ElapsedTimeTest : public testing::TestWithParam<ClockChangeZone> {
 protected:
  TimeZoneScope zone_{GetParam().name};
  DateTime Back(int hour, int minute) { return On(GetParam().back, hour, minute); }
  DateTime Forward(int hour, int minute) { return On(GetParam().forward, hour, minute); }
};

TEST_P(ElapsedTimeTest, TheRepeatedHourCountsTwiceWhenPassedOver) {
  EXPECT_EQ(ElapsedMilliseconds(Back(1, 55), Back(3, 5)), 130 * kMinute);
  EXPECT_EQ(ElapsedMilliseconds(Back(2, 55), Back(2, 3)), 8 * kMinute);  // clock went back
  EXPECT_EQ(ElapsedMilliseconds(Back(2, 0), Back(2, 8)), 8 * kMinute);
  EXPECT_EQ(ElapsedMilliseconds(Back(1, 0), Back(6, 0)), 6 * kHour);
  EXPECT_LT(ElapsedMilliseconds(Back(3, 5), Back(2, 30)), 0);
  EXPECT_EQ(dbaccess::MomentsOf(Back(2, 30)).size(), 2u);
  EXPECT_EQ(dbaccess::MomentsOf(Back(2, 30))[1] - dbaccess::MomentsOf(Back(2, 30))[0], kHour);
}

TEST_P(ElapsedTimeTest, TheSkippedHourDoesNotCount) {
  EXPECT_EQ(ElapsedMilliseconds(Forward(1, 55), Forward(3, 5)), 10 * kMinute);
  EXPECT_EQ(ElapsedMilliseconds(Forward(1, 55), Forward(2, 30)), 5 * kMinute);
  EXPECT_EQ(ElapsedMilliseconds(Forward(2, 30), Forward(3, 5)), 5 * kMinute);
  EXPECT_EQ(ElapsedMilliseconds(Forward(0, 0), Forward(24, 0)), 23 * kHour);
  EXPECT_EQ(dbaccess::MomentsOf(Forward(2, 30)), dbaccess::MomentsOf(Forward(3, 0)));
}

TEST_P(ElapsedTimeTest, LongSpansAgreeWithTheInstantsOfTheirEnds) {
  // Over many months the changes in between are summed by offsets, not one
  // by one; both ways must give the instants' difference.
  const DateTime starts[] = {GetParam().back.AddDays(-200), GetParam().forward.AddDays(-40)};
  for (const DateTime& start : starts) {
    for (int days : {30, 100, 400, 4000}) {
      const DateTime stop = start.AddDays(days).AddMinutes(17);
      EXPECT_EQ(ElapsedMilliseconds(start, stop),
                dbaccess::MomentsOf(stop)[0] - dbaccess::MomentsOf(start)[0])
          << start.ToText() << " to " << stop.ToText();
    }
  }
}

// A clock that reads real instants as local wall-clock time, as the system
// clock does, and sleeps by moving its instant on.
class InstantClock : public dbaccess::Clock {
 public:
  explicit InstantClock(int64_t utc_ms) : utc_ms_(utc_ms) {}
  DateTime Now() override {
    const time_t seconds = static_cast<time_t>(utc_ms_ / 1000);
    tm local{};
    localtime_r(&seconds, &local);
    return DateTime::FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                               local.tm_min, local.tm_sec);
  }
  void SleepMilliseconds(int64_t ms) override {
    utc_ms_ += ms;
    slept_ms += ms;
  }
  int64_t slept_ms = 0;

 private:
  int64_t utc_ms_;
};

TEST_P(ElapsedTimeTest, AWaitAcrossTheAutumnChangeLastsItsRealTime) {
  InstantClock clock(dbaccess::MomentsOf(Back(2, 59).AddSeconds(50))[0]);
  dbaccess::WaitWholeSeconds(clock, 30000, 1000);
  EXPECT_EQ(clock.slept_ms, 30000);
}

INSTANTIATE_TEST_SUITE_P(Zones, ElapsedTimeTest, testing::ValuesIn(ClockChangeZones()),
                         [](const auto& zone) { return std::string(zone.param.label); });

// The processing loop in each zone on each kind.
class ClockChangeLogTest : public MachineLogTest {
 protected:
  void SetUp() override {
    zone_.emplace(ZoneOf(GetParam()));
    MachineLogTest::SetUp();
  }
  void TearDown() override {
    MachineLogTest::TearDown();
    zone_.reset();
  }
  std::string KindName() const override { return KindOf(GetParam()); }
  const ClockChangeZone& Zone() const { return ClockChangeZoneNamed(ZoneOf(GetParam())); }
  DateTime Back(int hour, int minute) { return On(Zone().back, hour, minute); }
  DateTime Forward(int hour, int minute) { return On(Zone().forward, hour, minute); }

  // One cycle with a good part at its end.
  void Cycle(const DateTime& start, const DateTime& stop) {
    Ok(kCycle, kStart, "", start);
    Ok(kCycle, kEnd, "", stop);
    Ok(kGoodCount, kBoth, "1", stop);
  }
  double Sum(const char* column) {
    return Number(Value(std::string("select sum(") + column +
                        ") from T_SFC_MACHINE_DATA where MACHINE_ID = 1"));
  }
  static std::string ClockText(const dbaccess::Variant& value) {
    const std::string text = Text(value);
    return text == "null" ? text : text.substr(11, 5);
  }
  std::vector<double> DowntimeHours() {
    std::vector<double> hours;
    for (auto rs = Rows("select DURATION from T_SFC_DT_PER_MACHINE_DATA order by START_TIME");
         !rs->Eof(); rs->MoveNext()) {
      hours.push_back(Number(rs->Fields("DURATION").Value()));
    }
    return hours;
  }

  std::optional<TimeZoneScope> zone_;
};

TEST_P(ClockChangeLogTest, CyclesAcrossTheAutumnChangeKeepEveryRowAndTheirRealMinutes) {
  GivePart(Back(1, 0));
  Cycle(Back(2, 30), Back(2, 38));
  Cycle(Back(2, 40), Back(2, 48));
  Cycle(Back(2, 55), Back(2, 3));  // the clock went back during this one
  Cycle(Back(2, 10), Back(2, 18));
  Cycle(Back(2, 20), Back(2, 28));
  Cycle(Back(3, 0), Back(3, 8));
  EXPECT_EQ(Sum("FINISHED_CYCLES"), 6);
  EXPECT_EQ(Sum("GOOD_COUNT"), 6);
  EXPECT_FLOAT_EQ(static_cast<float>(Sum("CYCLE_TIME")), 48.0f);
}

TEST_P(ClockChangeLogTest, ACycleAcrossTheSpringChangeLastsItsRealMinutes) {
  GivePart(Forward(1, 0));
  Cycle(Forward(1, 55), Forward(3, 5));
  EXPECT_EQ(Sum("FINISHED_CYCLES"), 1);
  EXPECT_FLOAT_EQ(static_cast<float>(Sum("CYCLE_TIME")), 10.0f);
}

TEST_P(ClockChangeLogTest, ADowntimeSpanningEitherChangeLastsItsRealHours) {
  const bool forward_first = Zone().forward < Zone().back;
  const DateTime first = forward_first ? Zone().forward : Zone().back;
  const DateTime second = forward_first ? Zone().back : Zone().forward;
  for (const DateTime& day : {first, second}) {
    Ok(kMachineDowntime, kStart, "100", On(day, 1, 30));
    Ok(kMachineDowntime, kEnd, "", On(day, 3, 30));
  }
  const std::vector<double> hours = DowntimeHours();
  ASSERT_EQ(hours.size(), 2u);
  EXPECT_DOUBLE_EQ(hours[forward_first ? 0 : 1], 1.0);
  EXPECT_DOUBLE_EQ(hours[forward_first ? 1 : 0], 3.0);
}

TEST_P(ClockChangeLogTest, ARecordSplitsAtAShiftEndInsideTheRepeatedHourOnce) {
  // On Sundays the day shift runs 00:00-02:30, the swing shift 02:30-12:00.
  Exec("insert into T_SFC_INTERVAL (INTERVAL_ID, START_TIME, STOP_TIME, IS_SWING) values (3, " +
       voltrane::DateTimeLiteral(database_.kind, DateTime::FromParts(1970, 1, 1, 0)) + ", " +
       voltrane::DateTimeLiteral(database_.kind, DateTime::FromParts(1970, 1, 1, 2, 30)) +
       ", 0), (4, " +
       voltrane::DateTimeLiteral(database_.kind, DateTime::FromParts(1970, 1, 1, 2, 30)) + ", " +
       voltrane::DateTimeLiteral(database_.kind, DateTime::FromParts(1970, 1, 1, 12)) + ", 0)");
  Exec("update T_SFC_SHIFT set SUN_INTERVAL_ID = SHIFT_ID + 2");
  GivePart(Back(1, 0));
  Cycle(Back(2, 10), Back(2, 18));  // first pass, day shift
  Cycle(Back(2, 25), Back(2, 3));   // across the shift end and the clock change
  Cycle(Back(2, 10), Back(2, 18));  // second pass, swing shift
  Cycle(Back(2, 40), Back(2, 48));
  auto rs = Rows(
      "select SHIFT_ID, START_TIME, STOP_TIME, FINISHED_CYCLES, CYCLE_TIME from "
      "T_SFC_MACHINE_DATA where MACHINE_ID = 1 and SHIFT_ID is not null order by "
      "MACHINE_DATA_ID");
  std::vector<std::string> records;
  for (; !rs->Eof(); rs->MoveNext()) {
    records.push_back(Text(rs->Fields("SHIFT_ID").Value()) + " " +
                      ClockText(rs->Fields("START_TIME").Value()) + "-" +
                      ClockText(rs->Fields("STOP_TIME").Value()) + " " +
                      Text(rs->Fields("FINISHED_CYCLES").Value()) + " cycles " +
                      std::to_string(Number(rs->Fields("CYCLE_TIME").Value())));
  }
  // 8 + 5 minutes before the shift end, 38 - 5 + 8 + 8 after it.
  EXPECT_EQ(records, (std::vector<std::string>{"1 01:00-02:30 1 cycles 13.000000",
                                               "2 02:30-null 3 cycles 49.000000"}));
}

TEST_P(ClockChangeLogTest, ATrulyOlderRowInTheRepeatedHourIsStillThrownOut) {
  // The record begins in the first pass, so a later reading that looks older
  // than its start is known to be of the second pass.
  GivePart(Back(2, 45));
  Cycle(Back(2, 50), Back(2, 58));  // first pass
  Cycle(Back(2, 5), Back(2, 15));   // second pass
  Ok(kCycle, kStart, "", Back(2, 20));
  // Older than the second pass's 02:20, and the first pass's 02:10 is older still.
  EXPECT_THAT(Run(kCycle, kEnd, "", Back(2, 10)), OutOfOrder());
  Ok(kCycle, kEnd, "", Back(2, 28));
  // After the repeated hour no reading of it is new.
  Cycle(Back(3, 5), Back(3, 7));
  EXPECT_THAT(Run(kGoodCount, kBoth, "1", Back(2, 59)), OutOfOrder());
  EXPECT_EQ(Sum("FINISHED_CYCLES"), 4);
  EXPECT_EQ(Sum("GOOD_COUNT"), 3);
  EXPECT_FLOAT_EQ(static_cast<float>(Sum("CYCLE_TIME")), 8.0f + 10.0f + 8.0f + 2.0f);
}

TEST_P(ClockChangeLogTest, ReportHoursFollowTheElapsedTimeRule) {
  const dbaccess::DateTime days[] = {Zone().back, Zone().forward};
  for (const DateTime& day : days) {
    const reports::ClockChanges changes = reports::ReportClockChanges(day, day);
    ASSERT_EQ(changes.size(), 1u) << day.ToText();
    const std::pair<int, int> pairs[][2] = {
        {{1, 55}, {3, 5}},  {{2, 55}, {2, 3}}, {{2, 10}, {2, 40}}, {{1, 30}, {2, 30}},
        {{2, 30}, {3, 30}}, {{0, 0}, {24, 0}}, {{4, 0}, {1, 0}}};
    for (const auto& [from, to] : pairs) {
      const DateTime a = On(day, from.first, from.second);
      const DateTime b = On(day, to.first, to.second);
      const std::string sql =
          "select " +
          reports::HoursBetweenExpr(database_.kind, voltrane::DateTimeLiteral(database_.kind, a),
                                    voltrane::DateTimeLiteral(database_.kind, b), changes);
      EXPECT_NEAR(Number(Value(sql)), ElapsedMilliseconds(a, b) / 3600000.0, 1e-9)
          << a.ToText() << " to " << b.ToText();
    }
  }
}

TEST_P(ClockChangeLogTest, TheOeeReportCountsTheRealHoursOfTheChangeDays) {
  struct Day {
    DateTime day;
    double scheduled_h;  // 01:00 to midnight
    double downtime_h;   // 01:30 to 03:30
  };
  const Day days[] = {{Zone().back, 24.0, 3.0}, {Zone().forward, 22.0, 1.0}};
  for (int machine = 1; machine <= 2; ++machine) {
    const Day& day = days[machine - 1];
    Ok(kUserDowntime, kEnd, "", On(day.day, 1, 0), machine);
    Ok(kMachineDowntime, kStart, "100", On(day.day, 1, 30), machine);
    Ok(kMachineDowntime, kEnd, "", On(day.day, 3, 30), machine);
    reports::OeeQuery query;
    query.from = query.to = day.day;
    query.machines = {"10" + std::to_string(machine)};
    query.now = On(day.day, 24, 30);  // the open record counts up to midnight
    const std::vector<reports::OeeRow> rows =
        reports::QueryOee(object_->session.connection(), database_.kind, query);
    ASSERT_EQ(rows.size(), 1u) << day.day.ToText();
    EXPECT_NEAR(rows[0].scheduled_h, day.scheduled_h, 1e-6) << day.day.ToText();
    EXPECT_NEAR(rows[0].planned_downtime_h + rows[0].unplanned_downtime_h, day.downtime_h, 1e-6)
        << day.day.ToText();
  }
}

INSTANTIATE_TEST_SUITE_P(KindsAndZones, ClockChangeLogTest, testing::ValuesIn(KindsWithZones()),
                         [](const auto& param) { return KindWithZoneName(param.param); });

// The heartbeat and downtime-timeout monitor in each zone on each kind.
class ClockChangeMonitorTest : public MachineMonitorTest {
 protected:
  void SetUp() override {
    zone_.emplace(ZoneOf(GetParam()));
    MachineMonitorTest::SetUp();
    SetNumOption(13, kHeartbeatMissingCode);
    // Checks on an empty log run at the database's time: it must read the
    // same zone as this process.
    ASSERT_LT(std::llabs(dbaccess::ElapsedSeconds(DatabaseNow(), DateTime::Now())), 60)
        << "database clock " << DatabaseNow().ToText() << ", local " << DateTime::Now().ToText();
  }
  void TearDown() override {
    MachineMonitorTest::TearDown();
    zone_.reset();
  }
  std::string KindName() const override { return KindOf(GetParam()); }
  DateTime Back(int hour, int minute) {
    return On(ClockChangeZoneNamed(ZoneOf(GetParam())).back, hour, minute);
  }
  void Check(const DateTime& now) {
    std::string error;
    EXPECT_TRUE(object_->monitor.DoCheckForLateHeartBeats(now, error));
    EXPECT_EQ(error, "");
  }

  std::optional<TimeZoneScope> zone_;
};

TEST_P(ClockChangeMonitorTest, AHeartbeatFallsLateAcrossTheAutumnChange) {
  Supervise(1, "600");
  std::string error;
  ASSERT_TRUE(object_->monitor.RecordHeartBeat(RowOf(1, Back(2, 55)), error)) << error;
  Check(Back(2, 58));
  Check(Back(2, 4));  // nine minutes after the beat: the clock went back
  EXPECT_EQ(MachineStatus(1), 0);
  EXPECT_EQ(OpenDowntimeRows(1, kHeartbeatMissingCode), 0);
  Check(Back(2, 6));  // eleven minutes
  EXPECT_EQ(MachineStatus(1), 3);
  EXPECT_EQ(OpenDowntimeRows(1, kHeartbeatMissingCode), 1);
}

TEST_P(ClockChangeMonitorTest, ADowntimeTimesOutAfterItsRealMinutesAcrossTheAutumnChange) {
  SetCodeLock(kToolChangeCode, 41);  // locks cycles, at most 10 minutes
  ProcessRow(1, kMachineDowntimeCommand, 0, Back(2, 55), "110");
  ProcessRow(1, kHeartbeatCommand, 0, Back(2, 4));  // nine minutes: the clock went back
  EXPECT_EQ(OpenDowntimeRows(1, kToolChangeCode), 1);
  ProcessRow(1, kHeartbeatCommand, 0, Back(2, 6));
  EXPECT_EQ(OpenDowntimeRows(1, kToolChangeCode), 0);
}

INSTANTIATE_TEST_SUITE_P(KindsAndZones, ClockChangeMonitorTest, testing::ValuesIn(KindsWithZones()),
                         [](const auto& param) { return KindWithZoneName(param.param); });

}  // namespace
