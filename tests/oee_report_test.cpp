// OEE of the small plant of report_plant_fixture.h with its machines' state
// events (AddStateEvents), against values worked out by hand:
//
//   101 Day 03-02 (06:00-14:00, 5 min standard, 60 good + 4 scrap):
//     MAINT 06:00-06:30 and BREAK idle 12:00-12:05, 12:10-12:15: planned 0.667 h;
//     setup 06:30-07:00: changeover 0.5 h; JAM 10:00-10:45 and the uncoded
//     13:00-13:15: unplanned 1 h; idle 09:00-09:01: a minor stop; idle
//     12:15-12:30 (its stretch began 12:10): waiting 0.25 h; idle from
//     13:59:30 on runs into the next record: waiting 30 s; the rest running,
//     an operator call 09:30-09:40 beside a cycle included: 5.558 h.
//     Run 5.575 h of 7.333 h planned production: A 0.7602; P 320 min /
//     334.5 min = 0.9567; Q 0.9375; OEE 0.6818 = 5 h fully productive / 7.333 h.
//   101 Swing: cycles 22:00-02:00 across midnight and 03:00-06:00, JAM
//     02:00-03:00; the evening record has no standard time, so 5 of the 7 run
//     hours are covered: P 240 min / 300 min = 0.8; A 0.875; OEE 0.7.
//   101 no shift (14:00-22:00): idle throughout, waiting 8 h, A 0.
//   102 Day: JAM 08:00-10:00, an uncoded operator call 11:00-11:30 while idle
//     (operator stop), the rest waiting; no run, so P empty.
//   103 Day: open since 06:00, cycles 06:00-08:00, a setup open since 08:00,
//     the open JAM since 09:00 outranking it; at 10:00: 4 h.
#include <gtest/gtest.h>

#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "reports/loss_settings.h"
#include "reports/oee.h"
#include "reports/oee_format.h"
#include "tests/support/report_plant_fixture.h"

namespace {

using reports::OeeGrouping;
using reports::OeeQuery;
using testsupport::PlantAt;

class OeeReportTest : public testsupport::ReportPlantTest {
 protected:
  void SetUp() override {
    ReportPlantTest::SetUp();
    AddStateEvents();
  }
  std::vector<reports::OeeRow> Query(int from_day, int to_day, std::vector<std::string> machines,
                                     OeeGrouping grouping = OeeGrouping::kShift,
                                     dbaccess::DateTime now = PlantAt(2, 10)) {
    OeeQuery query;
    query.from = PlantAt(from_day, 0);
    query.to = PlantAt(to_day, 0);
    query.machines = std::move(machines);
    query.grouping = grouping;
    query.now = now;
    return reports::QueryOee(connection_, kind(), query);
  }
  std::string Csv(const std::vector<reports::OeeRow>& rows) {
    std::ostringstream out;
    reports::WriteOeeCsv(out, rows);
    return out.str();
  }
};

const char* const kCsvHeader =
    "machine,chart_date,shift_id,shift_name,scheduled_h,planned_downtime_h,"
    "unplanned_downtime_h,run_h,good,scrap,availability,performance,quality,oee,changeover_h,"
    "operator_stop_h,waiting_h,minor_stop_h,running_h,standard_coverage,fully_productive_h,"
    "speed_loss_h,scrap_loss_h\r\n";

TEST_P(OeeReportTest, PerShiftCsvMatchesHandWorkedValues) {
  EXPECT_EQ(Csv(Query(2, 2, {"101", "102", "103"})),
            std::string(kCsvHeader) +
                "101,2026-03-02,1,Day,8.000,0.667,1.000,5.575,60,4,0.7602,0.9567,0.9375,0.6818,"
                "0.500,0.000,0.258,0.017,5.558,1.0000,5.000,0.242,0.333\r\n"
                "101,2026-03-02,2,Swing,8.000,0.000,1.000,7.000,70,0,0.8750,0.8000,1.0000,0.7000,"
                "0.000,0.000,0.000,0.000,7.000,0.7143,4.000,1.000,0.000\r\n"
                "101,2026-03-02,,,8.000,0.000,0.000,0.000,0,0,0.0000,,,,"
                "0.000,0.000,8.000,0.000,0.000,0.0000,0.000,0.000,0.000\r\n"
                "102,2026-03-02,1,Day,8.000,0.000,2.000,0.000,0,0,0.0000,,,,"
                "0.000,0.500,5.500,0.000,0.000,0.0000,0.000,0.000,0.000\r\n"
                "103,2026-03-02,1,Day,4.000,0.000,1.000,2.000,100,0,0.5000,1.6667,1.0000,0.8333,"
                "1.000,0.000,0.000,0.000,2.000,1.0000,3.333,-1.333,0.000\r\n");
}

TEST_P(OeeReportTest, JsonCarriesTheSameFieldsWithNullForEmpty) {
  std::ostringstream out;
  reports::WriteOeeJson(out, Query(2, 2, {"101"}));
  const nlohmann::json rows = nlohmann::json::parse(out.str());
  ASSERT_EQ(rows.size(), 3u);
  const nlohmann::json& day = rows[0];
  EXPECT_EQ(day["machine"], "101");
  EXPECT_EQ(day["chart_date"], "2026-03-02");
  EXPECT_EQ(day["shift_id"], 1);
  EXPECT_EQ(day["shift_name"], "Day");
  EXPECT_DOUBLE_EQ(day["scheduled_h"].get<double>(), 8.0);
  EXPECT_DOUBLE_EQ(day["planned_downtime_h"].get<double>(), 0.667);
  EXPECT_DOUBLE_EQ(day["run_h"].get<double>(), 5.575);
  EXPECT_EQ(day["scrap"], 4);
  EXPECT_DOUBLE_EQ(day["oee"].get<double>(), 0.6818);
  EXPECT_DOUBLE_EQ(day["minor_stop_h"].get<double>(), 0.017);
  EXPECT_DOUBLE_EQ(day["speed_loss_h"].get<double>(), 0.242);
  EXPECT_EQ(day.size(), reports::OeeColumns().size());
  const nlohmann::json& none = rows[2];
  EXPECT_TRUE(none["shift_id"].is_null());
  EXPECT_TRUE(none["shift_name"].is_null());
  EXPECT_DOUBLE_EQ(none["availability"].get<double>(), 0.0);
  EXPECT_TRUE(none["performance"].is_null());
  EXPECT_TRUE(none["quality"].is_null());
  EXPECT_TRUE(none["oee"].is_null());
  EXPECT_DOUBLE_EQ(none["standard_coverage"].get<double>(), 0.0);
}

// Larger groups sum before dividing: 101 over the whole chart date is 24 h
// with 12.575 h run of 23.333 h planned, 10.575 h of it covered by 560
// standard minutes, 130 good, 4 scrap.
TEST_P(OeeReportTest, DayAndMachineGroupsSumBeforeDividing) {
  EXPECT_EQ(Csv(Query(2, 2, {"101"}, OeeGrouping::kDay)),
            std::string(kCsvHeader) +
                "101,2026-03-02,,,24.000,0.667,2.000,12.575,130,4,0.5389,0.8826,0.9701,0.4615,"
                "0.500,0.000,8.258,0.017,12.558,0.8410,9.000,1.242,0.333\r\n");
  // 102 over two days: 16 h, 8 h run, 3 min x 40 in 8 h, all good.
  const auto rows = Query(2, 3, {"102"}, OeeGrouping::kMachine);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_FALSE(rows[0].chart_date);
  EXPECT_DOUBLE_EQ(rows[0].scheduled_h, 16.0);
  EXPECT_DOUBLE_EQ(*rows[0].availability, 0.5);
  EXPECT_NEAR(*rows[0].performance, 0.25, 1e-9);
  EXPECT_NEAR(*rows[0].oee, 0.125, 1e-9);
}

// Stored in the database, the settings steer every report that does not
// bring its own: changeovers counted as planned leave 6.833 h of planned
// production on 101's day shift, and a 30 s limit makes its one-minute idle
// a wait.
TEST_P(OeeReportTest, StoredLossSettingsSteerTheReport) {
  EXPECT_EQ(reports::ReadLossSettings(connection_, kind()), reports::LossSettings{});
  reports::WriteLossSettings(connection_, kind(), {30, true});
  reports::WriteLossSettings(connection_, kind(), {30, true});  // updates, adds no second row
  EXPECT_EQ(reports::ReadLossSettings(connection_, kind()), (reports::LossSettings{30, true}));
  const auto rows = Query(2, 2, {"101"});
  EXPECT_NEAR(rows[0].planned_production_h, 8 - 2.0 / 3 - 0.5, 1e-9);
  EXPECT_NEAR(*rows[0].availability, (5.575 - 1.0 / 60) / (8 - 2.0 / 3 - 0.5), 1e-9);
  EXPECT_NEAR(rows[0].minor_stop_h, 0, 1e-9);
  EXPECT_NEAR(rows[0].waiting_h, 0.25 + 1.0 / 60 + 30.0 / 3600, 1e-9);
}

// By part over every machine: a record's PART_ID names its part, else the
// text it keeps; 101's day and morning records run SHAFT, 10.575 h covered
// by 560 standard minutes.
TEST_P(OeeReportTest, PartGroupsGatherTheRecordsOfEachPart) {
  Exec("insert into T_SFC_PART (PART_ID, PART_NUMBER) values (7, 'SHAFT')");
  Exec("update T_SFC_MACHINE_DATA set PART_ID = 7 where MACHINE_DATA_ID in (1, 4)");
  Exec("update T_SFC_MACHINE_DATA set PART_NUMBER = 'RAW' where MACHINE_DATA_ID = 3");
  const auto rows = Query(2, 2, {"101"}, OeeGrouping::kPart);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].part, "");
  EXPECT_EQ(rows[1].part, "RAW");
  EXPECT_EQ(rows[1].good, 10);
  EXPECT_FALSE(rows[1].performance);
  EXPECT_EQ(rows[2].part, "SHAFT");
  EXPECT_EQ(rows[2].machine, "");
  EXPECT_NEAR(rows[2].run_h, 10.575, 1e-9);
  EXPECT_NEAR(*rows[2].performance, 560.0 / 60 / 10.575, 1e-9);
  EXPECT_EQ(rows[2].good, 120);
}

// Every category adds up to the scheduled time, row by row.
TEST_P(OeeReportTest, CategoriesAddUpToTheScheduledTime) {
  for (const auto& row : Query(2, 3, {})) {
    EXPECT_NEAR(row.planned_downtime_h + row.unplanned_downtime_h + row.changeover_h +
                    row.operator_stop_h + row.waiting_h + row.minor_stop_h + row.running_h,
                row.scheduled_h, 1e-9)
        << row.machine << " " << row.shift_name;
  }
}

TEST_P(OeeReportTest, SelectsChartDatesInclusiveAndNamedMachines) {
  const auto rows = Query(1, 1, {});
  ASSERT_EQ(rows.size(), 1u);  // only 101's record charted on 03-01
  EXPECT_EQ(rows[0].machine, "101");
  EXPECT_EQ(rows[0].good, 99);
  EXPECT_TRUE(Query(2, 3, {"999"}).empty());
  EXPECT_EQ(Query(3, 3, {}).size(), 1u);  // 102's day shift on 03-03
}

// An open record is not counted past its shift end, nor its open events and
// downtime.
TEST_P(OeeReportTest, OpenRecordCountsUpToNowButNotPastItsShiftEnd) {
  const auto at_noon = Query(2, 2, {"103"}, OeeGrouping::kShift, PlantAt(2, 12));
  ASSERT_EQ(at_noon.size(), 1u);
  EXPECT_NEAR(at_noon[0].scheduled_h, 6.0, 1e-6);
  EXPECT_NEAR(at_noon[0].unplanned_downtime_h, 3.0, 1e-6);
  EXPECT_NEAR(at_noon[0].changeover_h, 1.0, 1e-6);
  const auto evening = Query(2, 2, {"103"}, OeeGrouping::kShift, PlantAt(2, 18));
  EXPECT_NEAR(evening[0].scheduled_h, 8.0, 1e-6);
  EXPECT_NEAR(evening[0].unplanned_downtime_h, 5.0, 1e-6);
  EXPECT_NEAR(*evening[0].availability, 0.25, 1e-6);
}

TEST_P(OeeReportTest, WithoutGivenTimeUsesTheDatabaseClock) {
  const dbaccess::DateTime now = reports::DatabaseNow(connection_, kind());
  Exec(
      "insert into T_SFC_MACHINE_DATA (MACHINE_DATA_ID, MACHINE_ID, START_TIME, CHART_DATE, "
      "SHIFT_END) values (20, 4, " +
      Lit(now.AddMinutes(-90)) + ", " + Lit(now.AddMinutes(-90).DatePart()) + ", " +
      Lit(now.AddDays(1)) + ")");
  OeeQuery query;
  query.from = query.to = now.AddMinutes(-90);
  query.machines = {"104"};
  const auto rows = reports::QueryOee(connection_, kind(), query);
  ASSERT_EQ(rows.size(), 1u);
  // From 90 minutes ago up to the database's clock, unless midnight came between.
  if (now.AddMinutes(-90).DatePart() == now.DatePart()) {
    EXPECT_NEAR(rows[0].scheduled_h, 1.5, 0.02);
  }
}

TEST_P(OeeReportTest, TableShowsPercentagesWithOneDecimal) {
  std::ostringstream out;
  reports::WriteOeeTable(out, Query(2, 2, {"101"}));
  std::istringstream lines(out.str());
  std::string header, rule, day;
  std::getline(lines, header);
  std::getline(lines, rule);
  std::getline(lines, day);
  std::istringstream cells(day);
  std::vector<std::string> words{std::istream_iterator<std::string>(cells), {}};
  EXPECT_EQ(std::vector<std::string>(words.end() - 4, words.end()),
            (std::vector<std::string>{"76.0%", "95.7%", "93.8%", "68.2%"}))
      << out.str();
}

INSTANTIATE_TEST_SUITE_P(AllKinds, OeeReportTest, testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& param_info) { return param_info.param; });

}  // namespace
