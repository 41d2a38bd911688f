// The loss model on a simulated week of machine 101 of the demo plant,
// written with plant time stamps and processed by the library: every hour
// the records cover lands in exactly one category, and with one standard time
// on every record each shift's OEE equals its fully productive hours over its
// planned production hours.
#include <gtest/gtest.h>

#include "dbaccess/dialect.h"
#include "reports/oee.h"
#include "reports/oee_format.h"
#include "tests/support/machine_log_fixture.h"
#include "tools/plant_day_writer.h"
#include "tools/plant_simulator.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using dbaccess::DateTime;

constexpr uint32_t kSeed = 5;
constexpr int kDays = 7;
const DateTime kMonday = DateTime::FromParts(2026, 1, 5);

PlantProfile Machine101() {
  PlantProfile profile = DemoPlantProfile();
  profile.machines.resize(1);  // 101
  profile.machines[0].cycle_minutes = 40;
  profile.heartbeat_interval_ms = 60 * 60 * 1000;
  return profile;
}

class OeeIdentitiesTest : public testsupport::MachineLogTest {
 protected:
  void SetUp() override {
    MachineLogTest::SetUp();
    PlantSimulator simulator(Machine101(), kSeed);
    PlantDayWriter writer(object_->session.connection(), database_.kind);
    const PlantDayResult written = writer.Write(simulator, kMonday, kDays);
    ASSERT_TRUE(written.written) << written.refusal;
    std::string error;
    for (int calls = 0; calls < 1000000; ++calls) {
      if (!object_->log.DoNextItemFromMDCLog(error) && error.empty()) break;
      ASSERT_EQ(error, "");
    }
    ASSERT_EQ(Count("T_SFC_MDC_LOG"), 0);
  }
  std::vector<reports::OeeRow> Week() {
    reports::OeeQuery query;
    query.from = kMonday;
    query.to = kMonday.AddDays(kDays - 1);
    query.now = kMonday.AddDays(kDays);  // where the writer's refresh closed the records
    return reports::QueryOee(object_->session.connection(), database_.kind, query,
                             reports::LossSettings{});
  }
};

TEST_P(OeeIdentitiesTest, CategoriesAddUpToTheScheduledTimeOfTheRecords) {
  // The records' own hours, summed by the database; a record still open
  // counts up to the end of the week, the report's `now`.
  const std::string end = voltrane::DateTimeLiteral(database_.kind, kMonday.AddDays(kDays));
  const std::string stop = "coalesce(STOP_TIME, " + end + ")";
  const std::string hours = database_.kind == voltrane::dbkind::kSqlite
                                ? "(julianday(" + stop + ") - julianday(START_TIME)) * 24"
                                : "extract(epoch from (" + stop + " - START_TIME)) / 3600";
  const double recorded_h =
      Value("select sum(" + hours + ") from T_SFC_MACHINE_DATA where START_TIME < " + end)
          .ToDouble();

  double scheduled_h = 0;
  double kinds_seen[7] = {};
  for (const reports::OeeRow& row : Week()) {
    const double categories[7] = {row.planned_downtime_h, row.unplanned_downtime_h,
                                  row.changeover_h,       row.operator_stop_h,
                                  row.waiting_h,          row.minor_stop_h,
                                  row.running_h};
    double sum = 0;
    for (int i = 0; i < 7; ++i) {
      EXPECT_GE(categories[i], 0) << row.shift_name << " " << i;
      sum += categories[i];
      kinds_seen[i] += categories[i];
    }
    EXPECT_NEAR(sum, row.scheduled_h, 1e-9);
    EXPECT_NEAR(row.running_h + row.minor_stop_h, row.run_h, 1e-9);
    scheduled_h += row.scheduled_h;
  }
  EXPECT_NEAR(scheduled_h, recorded_h, 1e-3);
  EXPECT_GT(scheduled_h, 24.0 * (kDays - 1));
  EXPECT_GT(kinds_seen[2], 0);  // the simulator sets up
  EXPECT_GT(kinds_seen[6], 0);  // and runs
}

TEST_P(OeeIdentitiesTest, WithOneStandardTimeOeeIsFullyProductiveOverPlannedProduction) {
  Exec("update T_SFC_MACHINE_DATA set STANDARD_TIME = 4");
  int checked = 0;
  for (const reports::OeeRow& row : Week()) {
    if (!row.oee) continue;
    EXPECT_NEAR(row.standard_coverage, 1.0, 1e-12);
    EXPECT_NEAR(*row.oee, row.fully_productive_h / row.planned_production_h, 1e-9)
        << reports::DateText(row.chart_date) << " " << row.shift_name;
    ++checked;
  }
  EXPECT_GE(checked, kDays);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, OeeIdentitiesTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& param_info) { return param_info.param; });

}  // namespace
