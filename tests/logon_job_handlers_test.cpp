// Logon and job commands fed through the processing loop on every database
// kind: which records they split, what the records hold afterwards, the user
// downtimes a logon closes, and the job options (creation, first part,
// release, finishing with the booked quantities).
#include <gtest/gtest.h>

#include <string>

#include "tests/support/machine_state_fixture.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using testsupport::kEnd;
using testsupport::kJob;
using testsupport::kLogon;
using testsupport::kPart;
using testsupport::kStart;
using testsupport::Row;

constexpr int kOptJobStartsPart = 1;
constexpr int kOptCreateJobs = 9;
constexpr int kOptJobEndFinishes = 24;
constexpr int kOptJobStartReleases = 26;

class LogonJobHandlersTest : public testsupport::MachineStateTest {
 protected:
  void AddUserDowntime(int machine, int type, const dbaccess::DateTime& at) {
    Exec(
        "insert into T_SFC_DT_PER_MACHINE_DATA (MACHINE_DATA_ID, DOWNTIME_CODE_ID, "
        "DOWNTIME_TYPE_CODE, START_TIME, DURATION) values (" +
        std::to_string(CurrentRecordID(machine)) + ", " + (type == 1 ? "5" : "1") + ", " +
        std::to_string(type) + ", " + Literal(at) + ", 0)");
  }
};

TEST_P(LogonJobHandlersTest, AnUnknownUserLoggingOnTwiceSplitsOnce) {
  Ok(1, kLogon, kStart, "jsmith", t(0));
  Ok(1, kLogon, kStart, "Stranger", t(60));
  Ok(1, kLogon, kStart, "Stranger", t(120));

  const auto records = Records(1);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].Long("USER_ID"), 1);
  EXPECT_EQ(records[0].Text("STOP_TIME"), t(60).ToText());
  EXPECT_EQ(records[0].Long("STATUS_CODE"), 2);
  EXPECT_TRUE(records[1].IsNull("USER_ID"));
  EXPECT_EQ(records[1].Text("USER_NAME"), "Stranger");  // as received, not upper-cased
  EXPECT_EQ(records[1].Long("LOGON_DATA_START_ID"), records[1].Long("MACHINE_DATA_ID"));
  EXPECT_EQ(records[1].Text("STOP_TIME"), "null");
  EXPECT_EQ(CurrentRecordID(1), records[1].Long("MACHINE_DATA_ID"));
  // Every logon is an event, the repeated one included.
  EXPECT_EQ(Events(1, kLogon).size(), 3u);

  // Names are compared exactly: another spelling is another user.
  Ok(1, kLogon, kStart, "STRANGER", t(180));
  EXPECT_EQ(Records(1).size(), 3u);
}

TEST_P(LogonJobHandlersTest, AnAnonymousLogonIsAnUnresolvedEmptyName) {
  Ok(1, kLogon, kStart, "jsmith", t(0));
  Ok(1, kLogon, kStart, "", t(60));
  Ok(1, kLogon, kEnd, "", t(120));

  const auto records = Records(1);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_TRUE(records[1].IsNull("USER_ID"));
  EXPECT_EQ(records[1].Long("LOGON_DATA_START_ID"), records[1].Long("MACHINE_DATA_ID"));
  EXPECT_EQ(records[1].Text("STOP_TIME"), t(120).ToText());
  // Closed, but not complete: nobody can be credited with it.
  EXPECT_EQ(records[1].Long("STATUS_CODE"), 1);
  EXPECT_TRUE(sandbox_.Traced("invalid user name"));
  EXPECT_TRUE(records[2].IsNull("USER_ID"));
  EXPECT_TRUE(records[2].IsNull("LOGON_DATA_START_ID"));
}

TEST_P(LogonJobHandlersTest, ALogonAtTheRecordsStartTimeTakesOverTheRecord) {
  Ok(1, kLogon, kStart, "jsmith", t(0));
  Ok(1, kLogon, kStart, "kobrien", t(0));

  const auto records = Records(1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].Long("USER_ID"), 3);
  EXPECT_TRUE(records[0].IsNull("USER_NAME"));
  EXPECT_TRUE(records[0].IsNull("LOGON_DATA_START_ID"));
  EXPECT_EQ(records[0].Text("STOP_TIME"), "null");
  EXPECT_FALSE(records[0].IsNull("CHART_DATE"));
}

TEST_P(LogonJobHandlersTest, ALogonEndWithNobodyLoggedOnStillClosesTheUserDowntime) {
  Ok(1, kJob, kStart, "J1001", t(0));
  AddUserDowntime(1, 1, t(0));
  AddUserDowntime(1, 0, t(0));  // a machine downtime: not the logon's business
  Ok(1, kLogon, kEnd, "", t(5400));

  ASSERT_EQ(Records(1).size(), 1u);
  const auto downtimes =
      Rows("select * from T_SFC_DT_PER_MACHINE_DATA order by DOWNTIME_TYPE_CODE");
  ASSERT_EQ(downtimes.size(), 2u);
  EXPECT_EQ(downtimes[0].Text("STOP_TIME"), "null");
  EXPECT_EQ(downtimes[1].Text("STOP_TIME"), t(5400).ToText());
  EXPECT_NEAR(downtimes[1].Double("DURATION"), 1.5, 1e-6);
}

TEST_P(LogonJobHandlersTest, ALogonSplitClosesTheUserDowntimeInsteadOfCarryingIt) {
  Ok(1, kLogon, kStart, "jsmith", t(0));
  AddUserDowntime(1, 1, t(0));
  Ok(1, kLogon, kStart, "mgarcia", t(1800));

  const auto downtimes = Rows("select * from T_SFC_DT_PER_MACHINE_DATA");
  ASSERT_EQ(downtimes.size(), 1u);
  EXPECT_EQ(downtimes[0].Text("STOP_TIME"), t(1800).ToText());
  EXPECT_NEAR(downtimes[0].Double("DURATION"), 0.5, 1e-6);
  EXPECT_EQ(Records(1).at(1).Long("USER_ID"), 2);
}

TEST_P(LogonJobHandlersTest, ALogonOlderThanTheRecordsLeavesNothingBehind) {
  Ok(1, kLogon, kStart, "jsmith", t(0));
  Ok(1, kLogon, kStart, "kobrien", t(120));
  const std::string error = Run(1, kLogon, kStart, "mgarcia", t(60));
  EXPECT_EQ(error.rfind("HandleExpiredShifts: Error log entry (", 0), 0u) << error;

  const auto records = Records(1);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].Long("USER_ID"), 3);
  EXPECT_EQ(records[1].Text("STOP_TIME"), "null");
  EXPECT_EQ(Events(1, kLogon).size(), 2u);
}

TEST_P(LogonJobHandlersTest, AFailureAfterTheSplitRollsTheWholeCommandBack) {
  SetBoolOption(kOptJobStartsPart, true);
  Ok(1, kLogon, kStart, "jsmith", t(0));
  const int64_t current = CurrentRecordID(1);
  Exec("ALTER TABLE T_SFC_PART RENAME TO T_SFC_PART_AWAY");  // the first part cannot be read
  EXPECT_NE(Run(1, kJob, kStart, "J1001", t(60)), "");
  Exec("ALTER TABLE T_SFC_PART_AWAY RENAME TO T_SFC_PART");

  const auto records = Records(1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].Text("STOP_TIME"), "null");
  EXPECT_TRUE(records[0].IsNull("JOB_ID"));
  EXPECT_EQ(CurrentRecordID(1), current);
  EXPECT_TRUE(Events(1, kJob).empty());
}

TEST_P(LogonJobHandlersTest, AnUnknownLowerCaseJobWithoutAPartStaysUnresolved) {
  SetBoolOption(kOptCreateJobs, true);
  Ok(1, kLogon, kStart, "jsmith", t(0));
  Ok(1, kJob, kStart, "j2001", t(60));

  const auto records = Records(1);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(records[1].IsNull("JOB_ID"));
  EXPECT_EQ(records[1].Text("JOB_NUMBER"), "J2001");
  EXPECT_EQ(records[1].Long("JOB_DATA_START_ID"), records[1].Long("MACHINE_DATA_ID"));
  EXPECT_EQ(Value("select count(*) from T_SFC_JOB").ToInt64(), 2);  // nothing created

  // The same number in another case is the same job: no split.
  Ok(1, kJob, kStart, "J2001", t(120));
  EXPECT_EQ(Records(1).size(), 2u);
  // Ending it leaves a record that cannot complete.
  Ok(1, kJob, kEnd, "", t(180));
  EXPECT_EQ(Records(1).at(1).Long("STATUS_CODE"), 1);
  EXPECT_TRUE(sandbox_.Traced("invalid job number"));
}

TEST_P(LogonJobHandlersTest, AnUnknownJobWithoutCreationStoresNothing) {
  Ok(1, kLogon, kStart, "jsmith", t(0));
  EXPECT_EQ(Run(1, kJob, kStart, "J9999", t(60)), "");

  const auto records = Records(1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_TRUE(records[0].IsNull("JOB_NUMBER"));
  EXPECT_TRUE(Events(1, kJob).empty());
  // The row counts as processed: it is not read again.
  Ok(1, kLogon, kStart, "kobrien", t(120));
  EXPECT_TRUE(Events(1, kJob).empty());
  EXPECT_EQ(Value("select count(*) from T_SFC_MDC_LOG where COMMAND_ID = 5").ToInt64(), 0);
}

TEST_P(LogonJobHandlersTest, AJobWithoutPartListStillStartsAnEmptyPartUnderOption1) {
  SetBoolOption(kOptJobStartsPart, true);
  Exec("insert into T_SFC_JOB (JOB_ID, JOB_NUMBER, STATUS_CODE) values (3, 'J1003', 1)");
  Ok(1, kLogon, kStart, "jsmith", t(0));
  Ok(1, kJob, kStart, "J1003", t(60));

  const auto records = Records(1);
  ASSERT_EQ(records.size(), 2u);  // the part start wrote into the record the job began
  EXPECT_EQ(records[1].Long("JOB_ID"), 3);
  EXPECT_TRUE(records[1].IsNull("PART_ID"));
  EXPECT_EQ(records[1].Long("PART_DATA_START_ID"), records[1].Long("MACHINE_DATA_ID"));
  const auto parts = Events(1, kPart);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_TRUE(parts[0].IsNull("PARAM1"));
}

TEST_P(LogonJobHandlersTest, AJobStartWithOption1StartsTheFirstPartOfItsList) {
  SetBoolOption(kOptJobStartsPart, true);
  Ok(1, kLogon, kStart, "jsmith", t(0));
  Ok(1, kJob, kStart, "j1001", t(60));

  const auto records = Records(1);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].Long("JOB_ID"), 1);
  EXPECT_EQ(records[1].Long("PART_ID"), 1);  // SHAFT-100, ordinal 0
  EXPECT_NEAR(records[1].Double("STANDARD_TIME"), 2.5, 1e-6);

  // Its end ends the part first, then the job.
  Ok(1, kJob, kEnd, "", t(120));
  const auto after = Records(1);
  ASSERT_EQ(after.size(), 4u);
  EXPECT_TRUE(after[2].IsNull("PART_ID"));
  EXPECT_EQ(after[2].Long("JOB_ID"), 1);
  EXPECT_TRUE(after[3].IsNull("JOB_ID"));
  EXPECT_EQ(Events(1, kPart).at(0).Text("STOP_TIME"), t(120).ToText());
}

TEST_P(LogonJobHandlersTest, AReleasedJobKeepsAnActualStartItAlreadyHad) {
  SetBoolOption(kOptJobStartReleases, true);
  Ok(1, kLogon, kStart, "kobrien", t(0));
  Ok(1, kJob, kStart, "J1002", t(60));

  auto job = Rows("select * from T_SFC_JOB where JOB_ID = 2").at(0);
  EXPECT_EQ(job.Long("STATUS_CODE"), 1);
  EXPECT_EQ(job.Text("ACTUAL_START"), t(60).ToText());
  const auto history = Rows("select * from T_SFC_HISTORY where ACTION_CODE = 56");
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0].Long("TARGET_ID"), 2);
  EXPECT_EQ(history[0].Long("USER_ID"), 3);
  EXPECT_EQ(history[0].Text("NOTES"),
            "kobrien - Kate O'Brien released Job J1002 - Housing prototypes to the Shop Floor via "
            "MDC Service.");

  // Back to pending and started again: released again, the first start stays.
  Exec("update T_SFC_JOB set STATUS_CODE = 0 where JOB_ID = 2");
  Ok(1, kJob, kStart, "J1001", t(120));
  Ok(1, kJob, kStart, "J1002", t(180));
  job = Rows("select * from T_SFC_JOB where JOB_ID = 2").at(0);
  EXPECT_EQ(job.Long("STATUS_CODE"), 1);
  EXPECT_EQ(job.Text("ACTUAL_START"), t(60).ToText());
  EXPECT_EQ(Rows("select * from T_SFC_HISTORY where ACTION_CODE = 56").size(), 2u);
  // A job already in process is not released again.
  Ok(1, kJob, kStart, "J1002", t(240));
  EXPECT_EQ(Rows("select * from T_SFC_HISTORY where ACTION_CODE = 56").size(), 2u);
}

TEST_P(LogonJobHandlersTest, AJobEndBooksThisMachinesTotalsAndFinishesTheJob) {
  SetBoolOption(kOptJobEndFinishes, true);
  // Another machine's production of the same job and part does not count.
  Ok(2, kJob, kStart, "J1001", t(0));
  Ok(2, kPart, kStart, "SHAFT-100", t(0));
  Exec("update T_SFC_MACHINE_DATA set GOOD_COUNT = 50 where MACHINE_ID = 2");

  Ok(1, kLogon, kStart, "jsmith", t(0));
  Ok(1, kJob, kStart, "J1001", t(60));
  Ok(1, kPart, kStart, "SHAFT-100", t(60));
  Exec("update T_SFC_MACHINE_DATA set GOOD_COUNT = 7, SCRAPPED_COUNT = 2 where MACHINE_DATA_ID = " +
       std::to_string(CurrentRecordID(1)));
  Ok(1, kLogon, kStart, "kobrien", t(120));
  Exec("update T_SFC_MACHINE_DATA set GOOD_COUNT = 3 where MACHINE_DATA_ID = " +
       std::to_string(CurrentRecordID(1)));
  Ok(1, kJob, kEnd, "", t(180));

  const auto lines = Rows("select * from T_SFC_PART_PER_JOB where JOB_ID = 1 order by ORDINAL");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].Long("ACTUAL_QTY"), 10);
  EXPECT_EQ(lines[0].Long("SCRAPPED_QTY"), 2);
  EXPECT_EQ(lines[1].Long("ACTUAL_QTY"), 0);  // no production of the flange here
  const auto job = Rows("select * from T_SFC_JOB where JOB_ID = 1").at(0);
  EXPECT_EQ(job.Long("STATUS_CODE"), 2);
  EXPECT_EQ(job.Text("ACTUAL_STOP"), t(180).ToText());
  const auto history = Rows("select * from T_SFC_HISTORY where ACTION_CODE = 40");
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0].Text("NOTES"),
            "kobrien - Kate O'Brien finished Job J1001 - Shafts and flanges for order 4711 via "
            "MDC Service.");
  EXPECT_TRUE(Records(1).back().IsNull("JOB_ID"));
}

TEST_P(LogonJobHandlersTest, AJobEndWithoutAResolvedJobFinishesNothing) {
  SetBoolOption(kOptJobEndFinishes, true);
  SetBoolOption(kOptCreateJobs, true);
  Ok(1, kLogon, kStart, "jsmith", t(0));
  Ok(1, kJob, kStart, "J5555", t(60));  // unresolved: no part to create it for
  Ok(1, kJob, kEnd, "", t(120));

  EXPECT_EQ(Records(1).size(), 3u);
  EXPECT_TRUE(Rows("select * from T_SFC_HISTORY").empty());
  EXPECT_EQ(Value("select count(*) from T_SFC_JOB where STATUS_CODE = 2").ToInt64(), 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, LogonJobHandlersTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& test_info) { return test_info.param; });

}  // namespace
