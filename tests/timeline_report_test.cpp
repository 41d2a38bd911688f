// Machine timelines from events and records, and their SVG: machine 104 of
// the report plant on 2026-03-02, looked at 16:00. Its rows:
//   machine downtime JAM from 03-01 23:00 to 06:00 (open at the day's start);
//   logon ANNA and job J1 at 06:00, part P1 at 06:05;
//   setup 06:00-06:30, cycle 06:30-08:00, machine downtime MAINT (planned)
//   08:00-08:30, cycle 08:30-09:30, a cycle begun at 15:00 and still open;
//   user downtimes BREAK (planned) 09:00-09:15 and SMOKE (no code) 10:00-10:10;
//   records: the day shift 06:00-14:00 (3 cycles, 5 good, 1 scrap), then one
//   without shift, open since 14:00.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "reports/timeline.h"
#include "reports/timeline_svg.h"
#include "tests/support/report_plant_fixture.h"

namespace {

using reports::SpanKind;
using testsupport::PlantAt;

class TimelineReportTest : public testsupport::ReportPlantTest {
 protected:
  void SetUp() override {
    ReportPlantTest::SetUp();
    AddRecord({100, 4, PlantAt(2, 6), PlantAt(2, 14), 2, 1, PlantAt(2, 14), "2", 5, 1, 3});
    AddRecord({101, 4, PlantAt(2, 14), std::nullopt, 2, std::nullopt, std::nullopt, "null", 0, 0});
    AddEvent(4, 11, PlantAt(1, 23), PlantAt(2, 6), "JAM");
    AddEvent(4, 4, PlantAt(2, 6), std::nullopt, "ANNA");
    AddEvent(4, 5, PlantAt(2, 6), std::nullopt, "J1");
    AddEvent(4, 6, PlantAt(2, 6, 5), std::nullopt, "P1");
    AddEvent(4, 8, PlantAt(2, 6), PlantAt(2, 6, 30));
    AddEvent(4, 9, PlantAt(2, 6, 30), PlantAt(2, 8));
    AddEvent(4, 11, PlantAt(2, 8), PlantAt(2, 8, 30), "maint");
    AddEvent(4, 9, PlantAt(2, 8, 30), PlantAt(2, 9, 30));
    AddEvent(4, 12, PlantAt(2, 9), PlantAt(2, 9, 15), "BREAK");
    AddEvent(4, 12, PlantAt(2, 10), PlantAt(2, 10, 10), "SMOKE");
    AddEvent(4, 9, PlantAt(2, 15), std::nullopt);
    // The machine event rows the collector keeps per machine and command.
    Exec(
        "insert into T_SFC_MACHINE_EVENT (MACHINE_ID, COMMAND_ID) values (4, 4), (4, 5), (4, 6), "
        "(4, 8), (4, 9), (4, 11), (4, 12)");
  }
  reports::MachineTimeline Saw() {
    const auto timelines =
        reports::QueryTimelines(connection_, kind(), PlantAt(2, 0), {"104"}, PlantAt(2, 16));
    EXPECT_EQ(timelines.size(), 1u);
    return timelines.empty() ? reports::MachineTimeline{} : timelines[0];
  }
};

struct ExpectedSpan {
  int from_minute;
  int to_minute;
  SpanKind kind;
};

const std::vector<ExpectedSpan> kStatus = {
    {0, 6 * 60, SpanKind::kMachineDowntime},      {6 * 60, 6 * 60 + 30, SpanKind::kSetup},
    {6 * 60 + 30, 8 * 60, SpanKind::kCycle},      {8 * 60, 8 * 60 + 30, SpanKind::kPlannedDowntime},
    {8 * 60 + 30, 9 * 60 + 30, SpanKind::kCycle}, {9 * 60 + 30, 15 * 60, SpanKind::kIdle},
    {15 * 60, 16 * 60, SpanKind::kCycle}};
const std::vector<ExpectedSpan> kUser = {{9 * 60, 9 * 60 + 15, SpanKind::kPlannedDowntime},
                                         {10 * 60, 10 * 60 + 10, SpanKind::kUserDowntime}};

TEST_P(TimelineReportTest, SpansMarksBoundariesAndCountsComeFromEventsAndRecords) {
  const reports::MachineTimeline saw = Saw();
  ASSERT_EQ(saw.status.size(), kStatus.size());
  for (size_t i = 0; i < kStatus.size(); ++i) {
    EXPECT_EQ(saw.status[i].start, PlantAt(2, 0).AddMinutes(kStatus[i].from_minute)) << i;
    EXPECT_EQ(saw.status[i].stop, PlantAt(2, 0).AddMinutes(kStatus[i].to_minute)) << i;
    EXPECT_EQ(saw.status[i].kind, kStatus[i].kind) << i;
  }
  EXPECT_EQ(saw.status[0].code, "JAM");
  ASSERT_EQ(saw.user_downtimes.size(), kUser.size());
  EXPECT_EQ(saw.user_downtimes[1].code, "SMOKE");
  ASSERT_EQ(saw.shift_boundaries.size(), 1u);
  EXPECT_EQ(saw.shift_boundaries[0].at, PlantAt(2, 14));
  EXPECT_EQ(saw.shift_boundaries[0].shift_name, "");
  ASSERT_EQ(saw.marks.size(), 3u);
  EXPECT_EQ(saw.marks[2].kind, reports::MarkKind::kPart);
  EXPECT_EQ(saw.marks[2].text, "P1");
  EXPECT_EQ(saw.cycles, 3);
  EXPECT_EQ(saw.good, 5);
  EXPECT_EQ(saw.scrap, 1);
}

// Three days later only the cycle begun on 03-02 15:00, still open, shows.
TEST_P(TimelineReportTest, LaterDayShowsOnlyWhatIsStillOpen) {
  const auto timelines =
      reports::QueryTimelines(connection_, kind(), PlantAt(5, 0), {}, PlantAt(5, 12));
  ASSERT_EQ(timelines.size(), 4u);
  for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(timelines[i].status.empty()) << timelines[i].machine;
  ASSERT_EQ(timelines[3].status.size(), 1u);
  EXPECT_EQ(timelines[3].status[0].kind, SpanKind::kCycle);
  EXPECT_EQ(timelines[3].status[0].start, PlantAt(5, 0));
  EXPECT_EQ(timelines[3].status[0].stop, PlantAt(5, 12));
  EXPECT_TRUE(timelines[3].marks.empty());
}

// 24 hours over the 860 units from x = 130 to 990.
double X(int minute) { return 130.0 + 860.0 * minute / (24 * 60); }

TEST_P(TimelineReportTest, SvgHasOneRectPerSpanWithItsExtentAndColour) {
  const std::string svg = reports::RenderTimelineSvg(Saw());
  pugi::xml_document document;
  ASSERT_TRUE(document.load_string(svg.c_str())) << svg;
  std::vector<pugi::xml_node> rects;
  for (const pugi::xpath_node& node :
       document.select_nodes("//rect[starts-with(@class, 'span ')]")) {
    rects.push_back(node.node());
  }
  ASSERT_EQ(rects.size(), kStatus.size() + kUser.size());
  std::vector<ExpectedSpan> expected = kStatus;
  expected.insert(expected.end(), kUser.begin(), kUser.end());
  for (size_t i = 0; i < expected.size(); ++i) {
    const pugi::xml_node rect = rects[i];
    EXPECT_EQ(std::string(rect.attribute("class").value()),
              std::string("span ") + reports::SpanKindName(expected[i].kind));
    EXPECT_NEAR(rect.attribute("x").as_double(), X(expected[i].from_minute), 0.01) << i;
    EXPECT_NEAR(rect.attribute("width").as_double(),
                X(expected[i].to_minute) - X(expected[i].from_minute), 0.02)
        << i;
    EXPECT_EQ(std::string(rect.attribute("fill").value()), reports::SpanColour(expected[i].kind));
  }
  // Status bands share one row, user downtimes another, thinner one below it.
  EXPECT_LT(rects[0].attribute("y").as_double(), rects.back().attribute("y").as_double());
  EXPECT_EQ(document.select_nodes("//line[@class='shift-boundary']").size(), 1u);
  EXPECT_EQ(document.select_nodes("//g[starts-with(@class, 'mark ')]").size(), 3u);
  EXPECT_EQ(document.select_nodes("//g[@class='legend']/rect").size(), 7u);
  EXPECT_EQ(svg.find("href"), std::string::npos);  // nothing loaded from elsewhere
}

TEST_P(TimelineReportTest, SvgEscapesTextsFromTheRecords) {
  reports::MachineTimeline timeline = Saw();
  timeline.machine_name = "A&B <Saw>";
  timeline.marks[0].text = "O'Neil \"Jr\"";
  pugi::xml_document document;
  EXPECT_TRUE(document.load_string(reports::RenderTimelineSvg(timeline).c_str()));
}

INSTANTIATE_TEST_SUITE_P(AllKinds, TimelineReportTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& param_info) { return param_info.param; });

}  // namespace
