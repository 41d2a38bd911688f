// The downtime Pareto of the report plant's chart date 2026-03-02 at 10:00,
// with a JAM carried over 101's midnight split (23:30-00:00 and 00:00-00:30):
//   unplanned: JAM 0.75 + 1 + 2 + 1 (open since 09:00) + 0.5 + 0.5 = 5.75 h,
//              5 times (the carried row is the same downtime); XYZ (unknown
//              code) 0.25 h once; 6 h in all.
//   planned:   MAINT 0.5 h (begun at the record's start, counted), BREAK
//              (user) 0.25 h.
#include "reports/downtime_pareto.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/support/report_plant_fixture.h"

namespace {

using testsupport::PlantAt;

class DowntimeParetoTest : public testsupport::ReportPlantTest {
 protected:
  void SetUp() override {
    ReportPlantTest::SetUp();
    AddDowntime(3, "2", "", 0, PlantAt(2, 23, 30), PlantAt(3, 0), "0.5");
    AddDowntime(4, "2", "", 0, PlantAt(3, 0), PlantAt(3, 0, 30), "0.5");
  }
  std::vector<reports::DowntimeParetoRow> Pareto(reports::ParetoOrder order) {
    reports::DowntimeParetoQuery query;
    query.from = query.to = PlantAt(2, 0);
    query.order = order;
    query.now = PlantAt(2, 10);
    return reports::QueryDowntimePareto(connection_, kind(), query);
  }
};

TEST_P(DowntimeParetoTest, CodesLargestFirstPlannedApart) {
  std::ostringstream out;
  reports::WriteParetoCsv(out, Pareto(reports::ParetoOrder::kHours));
  EXPECT_EQ(out.str(),
            "planned,type,code,name,hours,count,hours_share,count_share,cumulative_share\r\n"
            "0,machine,JAM,Jam,5.750,5,0.9583,0.8333,0.9583\r\n"
            "0,machine,XYZ,,0.250,1,0.0417,0.1667,1.0000\r\n"
            "1,machine,MAINT,Maintenance,0.500,1,0.6667,0.5000,0.6667\r\n"
            "1,user,BREAK,Break,0.250,1,0.3333,0.5000,1.0000\r\n");
}

TEST_P(DowntimeParetoTest, ByCountRanksByCountAndJsonCarriesTheFields) {
  const auto rows = Pareto(reports::ParetoOrder::kCount);
  ASSERT_EQ(rows.size(), 4u);
  // MAINT and BREAK tie on count; hours decide.
  EXPECT_EQ(rows[2].code, "MAINT");
  EXPECT_DOUBLE_EQ(rows[2].cumulative_share, 0.5);
  std::ostringstream out;
  reports::WriteParetoJson(out, rows);
  const nlohmann::json json = nlohmann::json::parse(out.str());
  EXPECT_EQ(json[0]["code"], "JAM");
  EXPECT_EQ(json[0]["planned"], false);
  EXPECT_EQ(json[0]["type"], "machine");
  EXPECT_EQ(json[0]["count"], 5);
  EXPECT_DOUBLE_EQ(json[0]["hours"].get<double>(), 5.75);
  EXPECT_DOUBLE_EQ(json[0]["cumulative_share"].get<double>(), 0.8333);
  EXPECT_EQ(json[3]["type"], "user");
}

INSTANTIATE_TEST_SUITE_P(AllKinds, DowntimeParetoTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& param_info) { return param_info.param; });

}  // namespace
