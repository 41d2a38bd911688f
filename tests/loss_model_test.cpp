// The loss model and its figures without a database, against hand-worked
// hours. One day, 2026-03-02; At(h, m, s) is a moment of it.
#include <gtest/gtest.h>

#include "reports/loss_figures.h"
#include "reports/loss_model.h"

namespace {

using dbaccess::DateTime;
using reports::LossHours;
using reports::LossSettings;
using reports::MachineStates;
using reports::StateSpan;

DateTime At(int hour, int minute = 0, int second = 0) {
  return DateTime::FromParts(2026, 3, 2, hour, minute).AddSeconds(second);
}

StateSpan Span(const DateTime& start, const DateTime& stop, bool planned = false) {
  return {start, stop, planned};
}

constexpr double kMinute = 1.0 / 60;
constexpr double kSecond = 1.0 / 3600;

void ExpectHours(const LossHours& hours, const LossHours& expected) {
  EXPECT_NEAR(hours.planned_stop, expected.planned_stop, 1e-9);
  EXPECT_NEAR(hours.unplanned_downtime, expected.unplanned_downtime, 1e-9);
  EXPECT_NEAR(hours.changeover, expected.changeover, 1e-9);
  EXPECT_NEAR(hours.running, expected.running, 1e-9);
  EXPECT_NEAR(hours.operator_stop, expected.operator_stop, 1e-9);
  EXPECT_NEAR(hours.minor_stop, expected.minor_stop, 1e-9);
  EXPECT_NEAR(hours.waiting, expected.waiting, 1e-9);
}

// 06:00-14:00: JAM 06:00-06:30, planned maintenance 06:30-07:00, setup to
// 07:45, cycles to 10:00 (an operator call 09:00-09:30 beside them), idle one
// minute, cycles to 12:00, idle to 13:00 with an operator call 12:10-12:40,
// cycles to 13:30, then idle in a planned break to 14:00.
TEST(LossModelTest, EachInstantFallsIntoOneCategoryByPrecedence) {
  MachineStates states;
  states.records = {Span(At(6), At(14))};
  states.machine_downtimes = {Span(At(6), At(6, 30)), Span(At(6, 30), At(7), true)};
  states.changeovers = {Span(At(7), At(7, 45))};
  states.cycles = {Span(At(7, 45), At(10)), Span(At(10, 1), At(12)), Span(At(13), At(13, 30))};
  states.user_downtimes = {Span(At(9), At(9, 30)), Span(At(12, 10), At(12, 40)),
                           Span(At(13, 30), At(14), true)};
  const auto hours = reports::ClassifyMachineTime(states, LossSettings{});
  ASSERT_EQ(hours.size(), 1u);
  LossHours expected;
  expected.planned_stop = 0.5 + 0.5;
  expected.unplanned_downtime = 0.5;
  expected.changeover = 0.75;
  expected.running = 2.25 + (2 - kMinute) + 0.5;
  expected.minor_stop = kMinute;
  expected.operator_stop = 0.5;
  expected.waiting = 0.5;  // the rest of the hour-long stretch the call stood in
  ExpectHours(hours[0], expected);
  EXPECT_NEAR(hours[0].Scheduled(), 8.0, 1e-9);
}

// A shift change at 14:00 splits the records but not the idle stretch:
// 13:59:30-14:01 (90 s in all) is a minor stop on both sides, as is
// 15:00-15:01:30; 13:59-14:01:30 (150 s) is waiting on both sides; and the
// limit is the one the settings give.
TEST(LossModelTest, IdleStretchIsMeasuredAcrossRecordSplits) {
  MachineStates states;
  states.records = {Span(At(6), At(14)), Span(At(14), At(22))};
  states.cycles = {Span(At(6), At(13, 59, 30)), Span(At(14, 1), At(15)),
                   Span(At(15, 1, 30), At(22))};
  MachineStates long_stretch = states;
  long_stretch.cycles = {Span(At(6), At(13, 59)), Span(At(14, 1, 30), At(22))};

  auto hours = reports::ClassifyMachineTime(states, LossSettings{});
  EXPECT_NEAR(hours[0].minor_stop, 30 * kSecond, 1e-9);
  EXPECT_NEAR(hours[1].minor_stop, (60 + 90) * kSecond, 1e-9);
  EXPECT_NEAR(hours[1].waiting, 0, 1e-9);

  hours = reports::ClassifyMachineTime(long_stretch, LossSettings{});
  EXPECT_NEAR(hours[0].waiting, 60 * kSecond, 1e-9);
  EXPECT_NEAR(hours[1].waiting, 90 * kSecond, 1e-9);
  EXPECT_NEAR(hours[0].minor_stop + hours[1].minor_stop, 0, 1e-9);

  hours = reports::ClassifyMachineTime(states, LossSettings{60, false});
  EXPECT_NEAR(hours[0].waiting, 30 * kSecond, 1e-9);
  EXPECT_NEAR(hours[1].waiting, (60 + 90) * kSecond, 1e-9);
}

// Time no record covers counts nothing and ends an idle stretch; a machine
// downtime outranks a setup, a setup outranks a cycle.
TEST(LossModelTest, UncoveredTimeCountsNothingAndStatesOverlapByPrecedence) {
  MachineStates states;
  states.records = {Span(At(6), At(7)), Span(At(8), At(9))};
  states.cycles = {Span(At(5), At(6, 59)), Span(At(8, 1), At(9))};
  states.changeovers = {Span(At(6, 30), At(6, 40))};
  states.machine_downtimes = {Span(At(6, 35), At(6, 50))};
  const auto hours = reports::ClassifyMachineTime(states, LossSettings{});
  LossHours first;
  first.running = 30 * kMinute + 9 * kMinute;
  first.changeover = 5 * kMinute;
  first.unplanned_downtime = 15 * kMinute;
  first.minor_stop = kMinute;  // 06:59-07:00, the gap to 08:00 ends it
  ExpectHours(hours[0], first);
  LossHours second;
  second.running = 59 * kMinute;
  second.minor_stop = kMinute;
  ExpectHours(hours[1], second);
}

// A record with a standard time of 2 min and one without, 1 h run each.
TEST(LossFiguresTest, PerformanceCountsOnlyTheRunTimeOfRecordsWithAStandard) {
  LossHours covered;
  covered.running = 0.9;
  covered.minor_stop = 0.1;
  covered.changeover = 0.5;
  covered.planned_stop = 0.5;
  LossHours uncovered;
  uncovered.running = 1.0;
  reports::LossSums sums = reports::LossSums::OfRecord(covered, 24, 1, 2.0);
  sums.Add(reports::LossSums::OfRecord(uncovered, 10, 0, 0));

  const reports::LossFigures figures = reports::ComputeLossFigures(sums, LossSettings{});
  EXPECT_NEAR(figures.planned_production_h, 2.5, 1e-9);
  EXPECT_NEAR(figures.run_h, 2.0, 1e-9);
  EXPECT_NEAR(*figures.availability, 0.8, 1e-9);
  EXPECT_NEAR(*figures.performance, 50.0 / 60, 1e-9);  // 25 parts x 2 min in 60 min
  EXPECT_NEAR(figures.standard_coverage, 0.5, 1e-9);
  EXPECT_NEAR(*figures.quality, 34.0 / 35, 1e-9);
  EXPECT_NEAR(figures.fully_productive_h, 48.0 / 60, 1e-9);
  EXPECT_NEAR(figures.scrap_loss_h, 2.0 / 60, 1e-9);
  EXPECT_NEAR(figures.speed_loss_h, 10.0 / 60, 1e-9);

  // Counted as planned, the changeover leaves planned production time.
  const auto planned = reports::ComputeLossFigures(sums, LossSettings{120, true});
  EXPECT_NEAR(planned.planned_production_h, 2.0, 1e-9);
  EXPECT_NEAR(*planned.availability, 1.0, 1e-9);
}

TEST(LossFiguresTest, EmptyFiguresWithoutDenominators) {
  LossHours idle;
  idle.waiting = 1;
  const auto figures =
      reports::ComputeLossFigures(reports::LossSums::OfRecord(idle, 0, 0, 0), LossSettings{});
  EXPECT_NEAR(*figures.availability, 0, 1e-9);
  EXPECT_FALSE(figures.performance);
  EXPECT_FALSE(figures.quality);
  EXPECT_FALSE(figures.oee);
  EXPECT_EQ(figures.standard_coverage, 0);
  const auto nothing = reports::ComputeLossFigures(reports::LossSums{}, LossSettings{});
  EXPECT_FALSE(nothing.availability);
}

}  // namespace
