// One machine's working day fed through the processing loop on every
// database kind: logon, job and part, a setup, cycles with good and scrap
// counts, a cut cycle, a machine downtime, a teardown, the end of the day
// shift at 14:00 and the logoff. The records, downtime and scrap rows and the
// events are checked against values worked out by hand (times in the
// comments; the day shift runs 06:00-14:00).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/machine_log_fixture.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using namespace testsupport;  // command and time codes
using dbaccess::DateTime;

DateTime At(int hour, int minute, int second = 0) {
  return DateTime::FromParts(2026, 1, 5, hour, minute, second);
}

class MachineDayTest : public MachineLogTest {
 protected:
  // Runs the day; false, with the reason in missing_, when a handler of the
  // day is not part of this build.
  bool RunDay() {
    struct Row {
      int command, time_code;
      const char* param;
      DateTime at;
    };
    const std::vector<Row> day = {
        {kLogon, kStart, "jsmith", At(7, 0)},
        {kJob, kStart, "J1001", At(7, 5)},
        {kPart, kStart, "SHAFT-100", At(7, 6)},
        {kSetup, kStart, "", At(7, 10)},
        {kSetup, kEnd, "", At(7, 40)},  // setup 30 min
        {kCycle, kStart, "", At(7, 45)},
        {kCycle, kEnd, "", At(7, 47)},  // 2 min
        {kGoodCount, kBoth, "1", At(7, 47, 30)},
        {kCycle, kStart, "", At(7, 50)},
        {kCycle, kEnd, "", At(7, 52, 30)},  // 2.5 min
        {kScrapCount, kBoth, "1.S2", At(7, 53)},
        {kCycle, kStart, "", At(7, 55)},
        {kMachineDowntime, kStart, "100", At(7, 56)},  // cuts the cycle after 1 min
        {kMachineDowntime, kEnd, "", At(8, 26)},       // down 30 min
        {kCycle, kStart, "", At(8, 30)},
        {kCycle, kEnd, "", At(8, 32)},  // 2 min
        {kGoodCount, kBoth, "2", At(8, 32, 30)},
        {kTeardown, kStart, "", At(13, 0)},
        {kTeardown, kEnd, "", At(13, 30)},  // teardown 30 min
        {kLogon, kEnd, "", At(14, 30)},     // after the shift end
    };
    for (const Row& row : day) {
      const std::string error = Run(row.command, row.time_code, row.param, row.at);
      if (error.find("not available in this build") != std::string::npos) {
        missing_ = error;
        return false;
      }
      EXPECT_EQ(error, "") << row.command << "/" << row.time_code << " at " << row.at.ToText();
    }
    return true;
  }
  double Sum(const std::string& column) {
    return Number(Value("select sum(" + column + ") from T_SFC_MACHINE_DATA where MACHINE_ID = 1"));
  }

  std::string missing_;
};

TEST_P(MachineDayTest, TheDaysRecordsAddUp) {
  if (!RunDay()) GTEST_SKIP() << missing_;

  // Idle runs 07:00-07:10, 07:40-07:45, 07:47-07:50, 07:52:30-07:55,
  // 08:26-08:30, 08:32-13:00 and 13:30-14:30: 352.5 minutes; the last
  // record's idle period (from 14:30) is still running.
  EXPECT_NEAR(Sum("IDLE_TIME"), 352.5 / 60, 1e-4);
  EXPECT_NEAR(Sum("SETUP_TIME"), 0.5, 1e-5);
  EXPECT_NEAR(Sum("TEARDOWN_TIME"), 0.5, 1e-5);
  EXPECT_NEAR(Sum("CYCLE_TIME"), 7.5, 1e-4);
  EXPECT_EQ(Sum("FINISHED_CYCLES"), 3);
  EXPECT_EQ(Sum("UNFINISHED_CYCLES"), 1);
  EXPECT_EQ(Sum("GOOD_COUNT"), 3);
  EXPECT_EQ(Sum("SCRAPPED_COUNT"), 1);
  // Every closed record validated: the machine had a user throughout and a
  // part whenever it produced.
  EXPECT_EQ(Count("T_SFC_MACHINE_DATA where MACHINE_ID = 1 and STOP_TIME is not null and "
                  "STATUS_CODE <> 2"),
            0);
  EXPECT_EQ(Count("T_SFC_MACHINE_DATA where MACHINE_ID = 1 and STOP_TIME is null"), 1);
}

TEST_P(MachineDayTest, TheShiftEndAndTheLogoffSplitTheRecord) {
  if (!RunDay()) GTEST_SKIP() << missing_;

  // The record of the morning's work ends at the shift end.
  auto morning = Rows("select * from T_SFC_MACHINE_DATA where MACHINE_ID = 1 and STOP_TIME = " +
                      voltrane::DateTimeLiteral(database_.kind, At(14, 0)));
  ASSERT_FALSE(morning->Eof());
  const DateTime start = morning->Fields("START_TIME").Value().ToDateTime();
  ASSERT_LE(start, At(7, 6));  // the part is running from 07:06 at the latest
  EXPECT_NEAR(Number(morning->Fields("SETUP_TIME").Value()), 0.5, 1e-5);
  EXPECT_NEAR(Number(morning->Fields("CYCLE_TIME").Value()), 7.5, 1e-4);
  EXPECT_EQ(Number(morning->Fields("FINISHED_CYCLES").Value()), 3);
  EXPECT_EQ(Number(morning->Fields("UNFINISHED_CYCLES").Value()), 1);
  EXPECT_EQ(Number(morning->Fields("GOOD_COUNT").Value()), 3);
  EXPECT_EQ(Number(morning->Fields("SCRAPPED_COUNT").Value()), 1);
  EXPECT_NEAR(Number(morning->Fields("TEARDOWN_TIME").Value()), 0.5, 1e-5);
  // Idle from the record's start to 07:10 and 312.5 minutes after that.
  EXPECT_NEAR(Number(morning->Fields("IDLE_TIME").Value()),
              (start.SecondsUntil(At(7, 10)) / 60.0 + 312.5) / 60, 1e-4);
  EXPECT_EQ(Text(morning->Fields("USER_ID").Value()), "1");
  EXPECT_EQ(Text(morning->Fields("JOB_ID").Value()), "1");
  EXPECT_EQ(Text(morning->Fields("PART_ID").Value()), "1");

  // 14:00-14:30: idle, same user, job and part.
  auto afternoon = Rows("select * from T_SFC_MACHINE_DATA where MACHINE_ID = 1 and START_TIME = " +
                        voltrane::DateTimeLiteral(database_.kind, At(14, 0)));
  ASSERT_FALSE(afternoon->Eof());
  EXPECT_EQ(Text(afternoon->Fields("STOP_TIME").Value()), At(14, 30).ToText());
  EXPECT_NEAR(Number(afternoon->Fields("IDLE_TIME").Value()), 0.5, 1e-5);
  EXPECT_EQ(Number(afternoon->Fields("CYCLE_TIME").Value()), 0);
  EXPECT_EQ(Text(afternoon->Fields("USER_ID").Value()), "1");
  EXPECT_EQ(Text(afternoon->Fields("PART_ID").Value()), "1");

  // After the logoff: no user, job and part go on, idle from 14:30.
  EXPECT_EQ(CurrentText("START_TIME"), At(14, 30).ToText());
  EXPECT_EQ(CurrentText("USER_ID"), "null");
  EXPECT_EQ(CurrentText("JOB_ID"), "1");
  EXPECT_EQ(CurrentText("PART_ID"), "1");
  EXPECT_EQ(CurrentText("IDLE_START_TIME"), At(14, 30).ToText());
  EXPECT_EQ(Status(), 0);
}

TEST_P(MachineDayTest, TheDowntimeScrapAndEventRowsOfTheDay) {
  if (!RunDay()) GTEST_SKIP() << missing_;

  auto downtime = Rows("select * from T_SFC_DT_PER_MACHINE_DATA");
  ASSERT_EQ(downtime->RecordCount(), 1);
  EXPECT_EQ(Text(downtime->Fields("DOWNTIME_CODE_ID").Value()), "1");
  EXPECT_EQ(Text(downtime->Fields("START_TIME").Value()), At(7, 56).ToText());
  EXPECT_EQ(Text(downtime->Fields("STOP_TIME").Value()), At(8, 26).ToText());
  EXPECT_NEAR(Number(downtime->Fields("DURATION").Value()), 0.5, 1e-5);

  auto scrap = Rows("select * from T_SFC_SCRAP_PER_MACHINE_DATA");
  ASSERT_EQ(scrap->RecordCount(), 1);
  EXPECT_EQ(Text(scrap->Fields("QTY").Value()), "1");
  EXPECT_EQ(Text(scrap->Fields("SCRAP_CODE_ID").Value()), "2");

  const auto events = [&](int command) {
    std::vector<std::string> texts;
    for (auto rs = Rows("select START_TIME, STOP_TIME from T_SFC_EVENT where COMMAND_ID = " +
                        std::to_string(command) + " order by EVENT_ID");
         !rs->Eof(); rs->MoveNext()) {
      texts.push_back(Text(rs->Fields(size_t{0}).Value()).substr(11, 8) + "-" +
                      Text(rs->Fields(size_t{1}).Value()).substr(11, 8));
    }
    return texts;
  };
  using Texts = std::vector<std::string>;
  EXPECT_EQ(events(kLogon), Texts{"07:00:00-14:30:00"});
  EXPECT_EQ(events(kSetup), Texts{"07:10:00-07:40:00"});
  EXPECT_EQ(events(kCycle), (Texts{"07:45:00-07:47:00", "07:50:00-07:52:30", "07:55:00-07:56:00",
                                   "08:30:00-08:32:00"}));
  EXPECT_EQ(events(kMachineDowntime), Texts{"07:56:00-08:26:00"});
  EXPECT_EQ(events(kTeardown), Texts{"13:00:00-13:30:00"});
  EXPECT_EQ(events(kGoodCount), (Texts{"07:47:30-07:47:30", "08:32:30-08:32:30"}));
  EXPECT_EQ(events(kScrapCount), Texts{"07:53:00-07:53:00"});
}

INSTANTIATE_TEST_SUITE_P(AllKinds, MachineDayTest, testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& test_info) { return test_info.param; });

}  // namespace
