// OEE of the small plant of report_plant_fixture.h, against values worked out
// by hand (see the fixture for the rows):
//
//   101 Day 03-02:  8 h scheduled; planned 0.5 + 0.25 = 0.75 h; unplanned
//                   0.75 + 0.25 (uncoded) = 1 h; run 6.25 h; availability
//                   6.25 / 7.25 = 0.8621; performance 5 min x 64 / 375 min =
//                   0.8533; quality 60 / 64 = 0.9375; OEE 0.6897.
//   101 Swing 03-02: 2 h + 6 h across midnight; JAM 1 h; run 7 h; the evening
//                   record has no standard time, so only 4 min x 60 counts:
//                   240 / 420 = 0.5714; quality 1; OEE 0.875 x 0.5714 = 0.5.
//   101 no shift:   8 h, nothing else: availability 1, the rest empty.
//   102 Day 03-02:  no parts: performance 0, quality and OEE empty.
//   103 Day 03-02:  open since 06:00, at 10:00: 4 h, the open JAM 1 h.
#include <gtest/gtest.h>

#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "reports/oee.h"
#include "reports/oee_format.h"
#include "tests/support/report_plant_fixture.h"

namespace {

using reports::OeeGrouping;
using reports::OeeQuery;
using testsupport::PlantAt;

class OeeReportTest : public testsupport::ReportPlantTest {
 protected:
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

TEST_P(OeeReportTest, PerShiftCsvMatchesHandWorkedValues) {
  EXPECT_EQ(Csv(Query(2, 2, {"101", "102", "103"})),
            "machine,chart_date,shift_id,shift_name,scheduled_h,planned_downtime_h,"
            "unplanned_downtime_h,run_h,good,scrap,availability,performance,quality,oee\r\n"
            "101,2026-03-02,1,Day,8.000,0.750,1.000,6.250,60,4,0.8621,0.8533,0.9375,0.6897\r\n"
            "101,2026-03-02,2,Swing,8.000,0.000,1.000,7.000,70,0,0.8750,0.5714,1.0000,0.5000\r\n"
            "101,2026-03-02,,,8.000,0.000,0.000,8.000,0,0,1.0000,,,\r\n"
            "102,2026-03-02,1,Day,8.000,0.000,2.000,6.000,0,0,0.7500,0.0000,,\r\n"
            "103,2026-03-02,1,Day,4.000,0.000,1.000,3.000,100,0,0.7500,1.1111,1.0000,0.8333\r\n");
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
  EXPECT_DOUBLE_EQ(day["planned_downtime_h"].get<double>(), 0.75);
  EXPECT_DOUBLE_EQ(day["unplanned_downtime_h"].get<double>(), 1.0);
  EXPECT_DOUBLE_EQ(day["run_h"].get<double>(), 6.25);
  EXPECT_EQ(day["good"], 60);
  EXPECT_EQ(day["scrap"], 4);
  EXPECT_DOUBLE_EQ(day["availability"].get<double>(), 0.8621);
  EXPECT_DOUBLE_EQ(day["performance"].get<double>(), 0.8533);
  EXPECT_DOUBLE_EQ(day["quality"].get<double>(), 0.9375);
  EXPECT_DOUBLE_EQ(day["oee"].get<double>(), 0.6897);
  EXPECT_EQ(day.size(), reports::OeeColumns().size());
  const nlohmann::json& none = rows[2];
  EXPECT_TRUE(none["shift_id"].is_null());
  EXPECT_TRUE(none["shift_name"].is_null());
  EXPECT_DOUBLE_EQ(none["availability"].get<double>(), 1.0);
  EXPECT_TRUE(none["performance"].is_null());
  EXPECT_TRUE(none["quality"].is_null());
  EXPECT_TRUE(none["oee"].is_null());
}

// Larger groups sum before dividing: 101 over the whole chart date is
// 24 h, 0.75 h planned, 2 h unplanned, 560 standard minutes, 130 good, 4 scrap.
TEST_P(OeeReportTest, DayAndMachineGroupsSumBeforeDividing) {
  EXPECT_EQ(Csv(Query(2, 2, {"101"}, OeeGrouping::kDay)),
            "machine,chart_date,shift_id,shift_name,scheduled_h,planned_downtime_h,"
            "unplanned_downtime_h,run_h,good,scrap,availability,performance,quality,oee\r\n"
            "101,2026-03-02,,,24.000,0.750,2.000,21.250,130,4,0.9140,0.4392,0.9701,0.3895\r\n");
  // 102 over two days: 16 h, 2 h down, 3 min x 40 / 840 min, all good.
  const auto rows = Query(2, 3, {"102"}, OeeGrouping::kMachine);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_FALSE(rows[0].chart_date);
  EXPECT_DOUBLE_EQ(rows[0].scheduled_h, 16.0);
  EXPECT_DOUBLE_EQ(*rows[0].availability, 0.875);
  EXPECT_NEAR(*rows[0].performance, 120.0 / 840.0, 1e-9);
  EXPECT_NEAR(*rows[0].oee, 0.125, 1e-9);
}

TEST_P(OeeReportTest, SelectsChartDatesInclusiveAndNamedMachines) {
  const auto rows = Query(1, 1, {});
  ASSERT_EQ(rows.size(), 1u);  // only 101's record charted on 03-01
  EXPECT_EQ(rows[0].machine, "101");
  EXPECT_EQ(rows[0].good, 99);
  EXPECT_TRUE(Query(2, 3, {"999"}).empty());
  EXPECT_EQ(Query(3, 3, {}).size(), 1u);  // 102's day shift on 03-03
}

// An open record is not counted past its shift end, nor its open downtime.
TEST_P(OeeReportTest, OpenRecordCountsUpToNowButNotPastItsShiftEnd) {
  const auto at_noon = Query(2, 2, {"103"}, OeeGrouping::kShift, PlantAt(2, 12));
  ASSERT_EQ(at_noon.size(), 1u);
  EXPECT_NEAR(at_noon[0].scheduled_h, 6.0, 1e-6);
  EXPECT_NEAR(at_noon[0].unplanned_downtime_h, 3.0, 1e-6);
  const auto evening = Query(2, 2, {"103"}, OeeGrouping::kShift, PlantAt(2, 18));
  EXPECT_NEAR(evening[0].scheduled_h, 8.0, 1e-6);
  EXPECT_NEAR(evening[0].unplanned_downtime_h, 5.0, 1e-6);
  EXPECT_NEAR(*evening[0].availability, 0.375, 1e-6);
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
            (std::vector<std::string>{"86.2%", "85.3%", "93.8%", "69.0%"}))
      << out.str();
}

INSTANTIATE_TEST_SUITE_P(AllKinds, OeeReportTest, testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& param_info) { return param_info.param; });

}  // namespace
