// Good and scrapped part counts fed through the processing loop on every
// database kind: the record's counters, the scrap rows and their codes, the
// count events, option 23 and the part a count needs.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/machine_log_fixture.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using testsupport::kBoth;
using testsupport::kCycle;
using testsupport::kGoodCount;
using testsupport::kPart;
using testsupport::kScrapCount;
using testsupport::kStart;

struct ScrapRow {
  int64_t id;
  std::string qty, code, number, data_start, start;
};

class PartCountHandlersTest : public testsupport::MachineLogTest {
 protected:
  std::vector<ScrapRow> ScrapRows() {
    std::vector<ScrapRow> rows;
    for (auto rs =
             Rows("select * from T_SFC_SCRAP_PER_MACHINE_DATA order by SCRAP_PER_MACHINE_DATA_ID");
         !rs->Eof(); rs->MoveNext()) {
      rows.push_back({rs->Fields("SCRAP_PER_MACHINE_DATA_ID").Value().ToInt64(),
                      Text(rs->Fields("QTY").Value()), Text(rs->Fields("SCRAP_CODE_ID").Value()),
                      Text(rs->Fields("SCRAP_CODE_NUMBER").Value()),
                      Text(rs->Fields("SCRAP_DATA_START_ID").Value()),
                      Text(rs->Fields("START_TIME").Value())});
    }
    return rows;
  }
  int64_t Good() { return static_cast<int64_t>(CurrentNumber("GOOD_COUNT")); }
  int64_t Scrapped() { return static_cast<int64_t>(CurrentNumber("SCRAPPED_COUNT")); }
};

TEST_P(PartCountHandlersTest, GoodCountsRoundHalfToEvenAndNeverGoBelowZero) {
  GivePart(t0_);
  dbaccess::DateTime at = t0_;
  const auto count = [&](const std::string& param) {
    at = at.AddSeconds(5);
    Ok(kGoodCount, kBoth, param, at);
    return Good();
  };
  EXPECT_EQ(count("3"), 3);
  EXPECT_EQ(count("-5"), 0);
  EXPECT_EQ(count("abc"), 1);
  EXPECT_EQ(count(""), 2);
  EXPECT_EQ(count("2.5"), 4);
  EXPECT_EQ(count("3.5"), 8);
  // Each count is an event that starts and ends at once, with the count it stood for.
  auto rs = Rows(
      "select PARAM1, START_TIME, STOP_TIME from T_SFC_EVENT where COMMAND_ID = 13 order "
      "by EVENT_ID");
  ASSERT_EQ(rs->RecordCount(), 6);
  rs->MoveLast();
  EXPECT_EQ(Text(rs->Fields(size_t{0}).Value()), "4");
  EXPECT_EQ(Text(rs->Fields(size_t{1}).Value()), at.ToText());
  EXPECT_EQ(Text(rs->Fields(size_t{2}).Value()), at.ToText());
  EXPECT_EQ(Status(), 0);
}

TEST_P(PartCountHandlersTest, ScrapQuantitiesAndCodes) {
  GivePart(t0_);
  Ok(kGoodCount, kBoth, "10", t0_.AddSeconds(5));
  Ok(kScrapCount, kBoth, "3.S2", t0_.AddSeconds(10));
  EXPECT_EQ(Scrapped(), 3);
  Ok(kScrapCount, kBoth, "", t0_.AddSeconds(20));     // one of the default code S1
  Ok(kScrapCount, kBoth, "2.5", t0_.AddSeconds(30));  // two of code "5", unknown
  Ok(kScrapCount, kBoth, "4.", t0_.AddSeconds(40));   // no code text: the default
  EXPECT_EQ(Scrapped(), 10);
  EXPECT_EQ(Good(), 10);

  const auto rows = ScrapRows();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].qty, "3");
  EXPECT_EQ(rows[0].code, "2");
  EXPECT_EQ(rows[0].number, "null");
  EXPECT_EQ(rows[0].data_start, "null");
  EXPECT_EQ(rows[0].start, t0_.AddSeconds(10).ToText());
  EXPECT_EQ(rows[1].qty, "1");
  EXPECT_EQ(rows[1].code, "1");
  EXPECT_EQ(rows[2].qty, "2");
  EXPECT_EQ(rows[2].code, "null");
  EXPECT_EQ(rows[2].number, "5");
  EXPECT_EQ(rows[2].data_start, std::to_string(rows[2].id));
  EXPECT_EQ(rows[3].qty, "4");
  EXPECT_EQ(rows[3].code, "1");
  // The event keeps the parameter as received.
  EXPECT_EQ(Value("select PARAM1 from T_SFC_EVENT where COMMAND_ID = 14 and START_TIME = " +
                  voltrane::DateTimeLiteral(database_.kind, t0_.AddSeconds(30)))
                .ToText(),
            "2.5");
}

TEST_P(PartCountHandlersTest, NegativeScrapBooksGoodPartsAsScrap) {
  GivePart(t0_);
  Ok(kGoodCount, kBoth, "1", t0_.AddSeconds(5));
  Ok(kScrapCount, kBoth, "-2.S3", t0_.AddSeconds(10));
  EXPECT_EQ(Scrapped(), 2);
  EXPECT_EQ(Good(), -1);  // no lower bound here
  const auto rows = ScrapRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].qty, "2");
  EXPECT_EQ(rows[0].code, "3");
}

TEST_P(PartCountHandlersTest, WithoutADefaultScrapCodeTheNumberIsMinusOne) {
  GivePart(t0_);
  Exec("update T_SFC_SCRAP_CODE set SCRAP_CODE_TYPE_CODE = 0");
  Ok(kScrapCount, kBoth, "2", t0_.AddSeconds(10));
  const auto rows = ScrapRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].code, "null");
  EXPECT_EQ(rows[0].number, "-1");
  EXPECT_EQ(rows[0].data_start, std::to_string(rows[0].id));
}

TEST_P(PartCountHandlersTest, WithOption23ACountEndsTheCycleEventAndStartsTheNext) {
  SetBoolOption(23, 1);
  GivePart(t0_);
  Ok(kGoodCount, kBoth, "1", t0_.AddSeconds(5));  // no cycle event open: none started
  EXPECT_EQ(Count("T_SFC_EVENT where COMMAND_ID = 9"), 0);
  Ok(kCycle, kStart, "", t0_.AddSeconds(10));
  Ok(kGoodCount, kBoth, "1", t0_.AddSeconds(70));
  Ok(kScrapCount, kBoth, "1", t0_.AddSeconds(130));
  EXPECT_EQ(Count("T_SFC_EVENT where COMMAND_ID = 9"), 3);
  EXPECT_EQ(Count("T_SFC_EVENT where COMMAND_ID = 9 and STOP_TIME is null and START_TIME = " +
                  voltrane::DateTimeLiteral(database_.kind, t0_.AddSeconds(130))),
            1);
  // The record's cycle period is not touched by the events.
  EXPECT_EQ(CurrentText("CYCLE_START_TIME"), t0_.AddSeconds(10).ToText());
}

TEST_P(PartCountHandlersTest, WithoutOption23CountsLeaveTheCycleEventAlone) {
  GivePart(t0_);
  Ok(kCycle, kStart, "", t0_.AddSeconds(10));
  Ok(kGoodCount, kBoth, "1", t0_.AddSeconds(70));
  EXPECT_EQ(Count("T_SFC_EVENT where COMMAND_ID = 9"), 1);
  EXPECT_EQ(Count("T_SFC_EVENT where COMMAND_ID = 9 and STOP_TIME is null"), 1);
}

TEST_P(PartCountHandlersTest, ACountOnAMachineWithoutAPartStartsOneFirst) {
  const std::string error = Run(kGoodCount, kBoth, "2", t0_);
  if (error.find("not available in this build") != std::string::npos) {
    GTEST_SKIP() << "the part handler is not part of this build: " << error;
  }
  ASSERT_EQ(error, "");
  EXPECT_EQ(Count("T_SFC_EVENT where MACHINE_ID = 1 and COMMAND_ID = " + std::to_string(kPart)), 1);
  EXPECT_EQ(Good(), 2);
  // The count belongs to a part record: resolved or unresolved, never none.
  auto current = Current();
  EXPECT_FALSE(current->Fields("PART_ID").Value().IsNull() &&
               current->Fields("PART_DATA_START_ID").Value().IsNull());
}

INSTANTIATE_TEST_SUITE_P(AllKinds, PartCountHandlersTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& test_info) { return test_info.param; });

}  // namespace
