// Machine and user downtimes fed through the processing loop on every
// database kind: the downtime rows and their code triples, the machine's
// status and periods, the anonymous logon, and the query the heartbeat
// monitor uses to find a machine's current downtime.
#include <gtest/gtest.h>

#include <string>

#include "dbaccess/command.h"
#include "tests/support/machine_log_fixture.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using testsupport::kCycle;
using testsupport::kEnd;
using testsupport::kLogon;
using testsupport::kMachineDowntime;
using testsupport::kSetup;
using testsupport::kStart;
using testsupport::kUserDowntime;

struct DowntimeRow {
  int64_t id, record;
  std::string code, number, data_start, type, start, stop;
  double duration;
};

class DowntimeHandlersTest : public testsupport::MachineLogTest {
 protected:
  // The machine's downtime rows, in key order.
  std::vector<DowntimeRow> Downtimes() {
    std::vector<DowntimeRow> rows;
    for (auto rs = Rows("select d.* from T_SFC_DT_PER_MACHINE_DATA d, T_SFC_MACHINE_DATA md where "
                        "d.MACHINE_DATA_ID = md.MACHINE_DATA_ID and md.MACHINE_ID = 1 order by "
                        "d.DT_PER_MACHINE_DATA_ID");
         !rs->Eof(); rs->MoveNext()) {
      rows.push_back(
          {rs->Fields("DT_PER_MACHINE_DATA_ID").Value().ToInt64(),
           rs->Fields("MACHINE_DATA_ID").Value().ToInt64(),
           Text(rs->Fields("DOWNTIME_CODE_ID").Value()), Text(rs->Fields("DT_NUMBER").Value()),
           Text(rs->Fields("DT_DATA_START_ID").Value()),
           Text(rs->Fields("DOWNTIME_TYPE_CODE").Value()), Text(rs->Fields("START_TIME").Value()),
           Text(rs->Fields("STOP_TIME").Value()), Number(rs->Fields("DURATION").Value())});
    }
    return rows;
  }
};

TEST_P(DowntimeHandlersTest, ASecondMachineDowntimeClosesTheFirst) {
  GivePart(t0_);
  Ok(kCycle, kStart, "", t0_.AddSeconds(60));
  Ok(kMachineDowntime, kStart, "100", t0_.AddSeconds(120));
  EXPECT_EQ(Status(), 3);
  // The cut cycle counts as unfinished; a downtime starts no period.
  EXPECT_EQ(CurrentNumber("UNFINISHED_CYCLES"), 1);
  EXPECT_EQ(CurrentText("CYCLE_START_TIME"), "null");
  EXPECT_EQ(CurrentText("IDLE_START_TIME"), "null");
  Ok(kMachineDowntime, kStart, "120", t0_.AddSeconds(1920));
  EXPECT_EQ(Status(), 3);

  const auto rows = Downtimes();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].code, "1");
  EXPECT_EQ(rows[0].number, "null");
  EXPECT_EQ(rows[0].data_start, "null");
  EXPECT_EQ(rows[0].type, "0");
  EXPECT_EQ(rows[0].stop, t0_.AddSeconds(1920).ToText());
  EXPECT_NEAR(rows[0].duration, 0.5, 1e-6);
  EXPECT_EQ(rows[1].code, "3");
  EXPECT_EQ(rows[1].start, t0_.AddSeconds(1920).ToText());
  EXPECT_EQ(rows[1].stop, "null");
  EXPECT_EQ(rows[1].duration, 0);
  EXPECT_EQ(Count("T_SFC_EVENT where COMMAND_ID = 11 and STOP_TIME is null"), 1);

  // The end closes the open row and makes the machine idle.
  Ok(kMachineDowntime, kEnd, "", t0_.AddSeconds(2100));
  EXPECT_EQ(Downtimes()[1].stop, t0_.AddSeconds(2100).ToText());
  EXPECT_NEAR(Downtimes()[1].duration, 0.05, 1e-6);
  EXPECT_EQ(CurrentText("IDLE_START_TIME"), t0_.AddSeconds(2100).ToText());
  EXPECT_EQ(Status(), 0);
}

TEST_P(DowntimeHandlersTest, AnUnknownCodeIsItsOwnDataStartAcrossASplit) {
  GivePart(t0_);
  Ok(kMachineDowntime, kStart, "999", t0_.AddSeconds(60));
  auto rows = Downtimes();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].code, "null");
  EXPECT_EQ(rows[0].number, "999");
  EXPECT_EQ(rows[0].data_start, std::to_string(rows[0].id));

  // The day shift ends at 14:00: the next row splits the record, and the open
  // downtime continues in the new record with the first row as data start.
  const int64_t first_record = CurrentID();
  Ok(kSetup, kEnd, "", dbaccess::DateTime::FromParts(2026, 1, 5, 14, 30, 0));
  rows = Downtimes();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].record, first_record);
  EXPECT_EQ(rows[0].stop, dbaccess::DateTime::FromParts(2026, 1, 5, 14, 0, 0).ToText());
  EXPECT_NE(rows[1].record, first_record);
  EXPECT_EQ(rows[1].number, "999");
  EXPECT_EQ(rows[1].data_start, std::to_string(rows[0].id));
  EXPECT_EQ(rows[1].stop, "null");
  // The setup end while down made the machine idle but left the downtime open.
  EXPECT_EQ(Status(), 0);
}

TEST_P(DowntimeHandlersTest, AMachineDowntimeEndWhileIdleIsIgnored) {
  GivePart(t0_);
  Ok(kMachineDowntime, kStart, "100", t0_.AddSeconds(60));
  Ok(kSetup, kEnd, "", t0_.AddSeconds(120));  // any end makes the machine idle
  ASSERT_EQ(Status(), 0);
  EXPECT_EQ(Run(kMachineDowntime, kEnd, "", t0_.AddSeconds(180)), "");
  EXPECT_EQ(Downtimes().at(0).stop, "null");
  EXPECT_EQ(Count("T_SFC_EVENT where COMMAND_ID = 11 and STOP_TIME is null"), 1);
  EXPECT_EQ(Status(), 0);
}

TEST_P(DowntimeHandlersTest, AUserDowntimeRunsBesideTheMachine) {
  GivePart(t0_);
  HadLogon();
  Ok(kCycle, kStart, "", t0_.AddSeconds(60));
  Ok(kUserDowntime, kStart, "200", t0_.AddSeconds(120));
  Ok(kUserDowntime, kStart, "100", t0_.AddSeconds(480));  // a machine code: unknown here
  EXPECT_EQ(Status(), 2);
  EXPECT_EQ(CurrentText("CYCLE_START_TIME"), t0_.AddSeconds(60).ToText());
  EXPECT_EQ(CurrentNumber("UNFINISHED_CYCLES"), 0);

  auto rows = Downtimes();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].type, "1");
  EXPECT_EQ(rows[0].code, "5");
  EXPECT_EQ(rows[0].stop, t0_.AddSeconds(480).ToText());
  EXPECT_NEAR(rows[0].duration, 0.1, 1e-6);
  EXPECT_EQ(rows[1].code, "null");
  EXPECT_EQ(rows[1].number, "100");
  EXPECT_EQ(rows[1].data_start, std::to_string(rows[1].id));

  // A machine downtime neither closes nor is closed by it.
  Ok(kMachineDowntime, kStart, "100", t0_.AddSeconds(600));
  Ok(kMachineDowntime, kEnd, "", t0_.AddSeconds(660));
  EXPECT_EQ(Downtimes()[1].stop, "null");
  Ok(kUserDowntime, kEnd, "", t0_.AddSeconds(720));
  rows = Downtimes();
  EXPECT_EQ(rows[1].stop, t0_.AddSeconds(720).ToText());
  EXPECT_EQ(rows[2].stop, t0_.AddSeconds(660).ToText());
  // The machine had a logon event before: no anonymous logon.
  EXPECT_EQ(Count("T_SFC_EVENT where COMMAND_ID = " + std::to_string(kLogon)), 0);
}

TEST_P(DowntimeHandlersTest, AUserDowntimeOnAMachineThatNeverLoggedOnLogsOnAnonymously) {
  GivePart(t0_);
  const std::string error = Run(kUserDowntime, kStart, "200", t0_.AddSeconds(60));
  if (error.find("not available in this build") != std::string::npos) {
    GTEST_SKIP() << "the logon handler is not part of this build: " << error;
  }
  ASSERT_EQ(error, "");
  EXPECT_EQ(
      Count("T_SFC_EVENT where COMMAND_ID = " + std::to_string(kLogon) + " and MACHINE_ID = 1"), 1);
  EXPECT_EQ(Count("T_SFC_DT_PER_MACHINE_DATA where DOWNTIME_TYPE_CODE = 1 and STOP_TIME is "
                  "null and DOWNTIME_CODE_ID = 5"),
            1);
  // Once is enough: the machine now has its logon event row.
  Ok(kUserDowntime, kStart, "200", t0_.AddSeconds(120));
  EXPECT_EQ(Count("T_SFC_EVENT where COMMAND_ID = " + std::to_string(kLogon)), 1);
}

TEST_P(DowntimeHandlersTest, TheMonitorsQueryFindsTheOpenDowntimeOfTheCode) {
  GivePart(t0_);
  Ok(kMachineDowntime, kStart, "110", t0_.AddSeconds(60));
  const std::string sql = object_->handlers.activity.CurrentDowntimeQueryText();
  EXPECT_EQ(sql,
            "select DOWNTIME_CODE_ID , m.STATUS_DATE from T_SFC_DT_PER_MACHINE_DATA dtpmd , "
            "T_SFC_MACHINE_DATA md, T_SFC_MACHINE m Where md.MACHINE_DATA_ID = "
            "dtpmd.MACHINE_DATA_ID and md.MACHINE_DATA_ID = m.MACHINE_DATA_ID and m.MACHINE_ID = "
            "@MachineID and dtpmd.DOWNTIME_CODE_ID = @DowntimeCodeID and m.STATUS_CODE = 3 and "
            "dtpmd.STOP_TIME IS NULL");
  const auto find = [&](int machine, int code) {
    std::string text = sql;
    text.replace(text.find("@MachineID"), 10, std::to_string(machine));
    text.replace(text.find("@DowntimeCodeID"), 15, std::to_string(code));
    return Rows(text);
  };
  auto rs = find(1, 2);
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(Text(rs->Fields(size_t{1}).Value()), t0_.AddSeconds(60).ToText());
  EXPECT_TRUE(find(1, 1)->Eof());
  Ok(kMachineDowntime, kEnd, "", t0_.AddSeconds(120));
  EXPECT_TRUE(find(1, 2)->Eof());
}

INSTANTIATE_TEST_SUITE_P(AllKinds, DowntimeHandlersTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& test_info) { return test_info.param; });

}  // namespace
