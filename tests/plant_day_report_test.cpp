// A simulated plant day written with plant time stamps, processed by the
// library and read back by the reports: machine 101 of the demo plant on
// Monday 2026-01-05 (day shift 06:00-14:00, swing 22:00-06:00, no shift
// before 06:00 on a Monday). What the reports show must add up with what was
// simulated: the shifts' scheduled hours, the part counts of the stream, and
// a timeline that covers the day from the machine's first row on.
#include <gtest/gtest.h>

#include "reports/oee.h"
#include "reports/timeline.h"
#include "tests/support/machine_log_fixture.h"
#include "tools/plant_day_writer.h"
#include "tools/plant_simulator.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using dbaccess::DateTime;

constexpr uint32_t kSeed = 11;
const DateTime kDay = DateTime::FromParts(2026, 1, 5);

// Long cycles and an hourly heartbeat keep the day to a few hundred rows.
PlantProfile Machine101() {
  PlantProfile profile = DemoPlantProfile();
  profile.machines.resize(1);  // 101
  profile.machines[0].standard_minutes.clear();
  profile.machines[0].cycle_minutes = 40;
  profile.heartbeat_interval_ms = 60 * 60 * 1000;
  return profile;
}

class PlantDayReportTest : public testsupport::MachineLogTest {
 protected:
  PlantDayResult WriteDay() {
    PlantSimulator simulator(Machine101(), kSeed);
    PlantDayWriter writer(object_->session.connection(), database_.kind);
    return writer.Write(simulator, kDay, 1);
  }
  void Drain() {
    std::string error;
    for (int calls = 0; calls < 100000; ++calls) {
      if (!object_->log.DoNextItemFromMDCLog(error) && error.empty()) return;
      ASSERT_EQ(error, "");
    }
  }
};

TEST_P(PlantDayReportTest, ReportsAddUpWithTheSimulatedDay) {
  const PlantDayResult written = WriteDay();
  ASSERT_TRUE(written.written) << written.refusal;
  // The stream again, for what it holds.
  PlantSimulator simulator(Machine101(), kSeed);
  int64_t first_ms = -1;
  int64_t good = 0;
  int64_t scrap = 0;
  for (SimulatedCommand command = simulator.Next(); command.at_ms < 24LL * 3600 * 1000;
       command = simulator.Next()) {
    if (first_ms < 0) first_ms = command.at_ms;
    if (command.command_type_code == 13) good += std::stoll(command.param);
    if (command.command_type_code == 14) ++scrap;  // "1.<code>": one part each
  }
  EXPECT_EQ(Value("select min(TIME_STAMP) from T_SFC_MDC_LOG").ToDateTime(),
            kDay.AddMilliseconds(first_ms));
  EXPECT_EQ(Value("select max(TIME_STAMP) from T_SFC_MDC_LOG").ToDateTime(), kDay.AddDays(1));
  Drain();
  EXPECT_EQ(Count("T_SFC_MDC_LOG"), 0);

  reports::OeeQuery query;
  query.from = query.to = kDay;
  query.now = kDay.AddDays(2);
  const auto shifts = reports::QueryOee(object_->session.connection(), database_.kind, query);
  ASSERT_EQ(shifts.size(), 3u);
  EXPECT_EQ(shifts[0].shift_name, "Day");
  EXPECT_NEAR(shifts[0].scheduled_h, 8.0, 1e-6);
  EXPECT_EQ(shifts[1].shift_name, "Swing");
  EXPECT_NEAR(shifts[1].scheduled_h, 2.0, 1e-6);  // 22:00 to midnight
  EXPECT_FALSE(shifts[2].shift_id);
  EXPECT_NEAR(shifts[2].scheduled_h, 14.0 - first_ms / 3600000.0, 1e-6);
  int64_t counted_good = 0;
  int64_t counted_scrap = 0;
  for (const auto& row : shifts) {
    counted_good += row.good;
    counted_scrap += row.scrap;
    EXPECT_TRUE(row.availability) << row.shift_name;
  }
  EXPECT_EQ(counted_good, good);
  EXPECT_EQ(counted_scrap, scrap);

  const auto timelines = reports::QueryTimelines(object_->session.connection(), database_.kind,
                                                 kDay, {"101"}, kDay.AddDays(2));
  ASSERT_EQ(timelines.size(), 1u);
  int64_t covered_ms = 0;
  for (const auto& span : timelines[0].status) {
    covered_ms += span.stop.MillisecondsSinceEpoch() - span.start.MillisecondsSinceEpoch();
  }
  EXPECT_EQ(covered_ms, 24LL * 3600 * 1000 - first_ms);
  EXPECT_EQ(timelines[0].good, good);
  EXPECT_EQ(timelines[0].shift_boundaries.size(), 3u);  // 06:00 Day, 14:00 none, 22:00 Swing
}

TEST_P(PlantDayReportTest, RefusesADayItsMachinesHaveAlreadyPassed) {
  ASSERT_TRUE(WriteDay().written);
  const int64_t rows = Count("T_SFC_MDC_LOG");
  const PlantDayResult again = WriteDay();
  EXPECT_FALSE(again.written);
  EXPECT_NE(again.refusal.find("Machine 101 already has rows waiting up to 2026-01-06 00:00:00"),
            std::string::npos)
      << again.refusal;
  EXPECT_EQ(Count("T_SFC_MDC_LOG"), rows);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, PlantDayReportTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& param_info) { return param_info.param; });

}  // namespace
