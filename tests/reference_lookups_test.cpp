// Reference lookups and display texts against the demo plant of every kind,
// and the fixed statement texts of the original kinds.
#include <gtest/gtest.h>

#include <string>

#include "dbaccess/db_error.h"
#include "dbaccess/variant.h"
#include "library/reference/reference_queries.h"
#include "library/reference/upper_case.h"
#include "tests/support/reference_data_fixture.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using testsupport::ReferenceDataTest;

constexpr int32_t kOracle = 0;
constexpr int32_t kAccess = 1;
constexpr int32_t kSqlServer = 2;

TEST(UpperCaseTextTest, UpperCasesLettersBeyondAsciiAndKeepsOtherBytes) {
  EXPECT_EQ(UpperCaseText("flügel-ø'7 é"), "FLÜGEL-Ø'7 É");
  EXPECT_EQ(UpperCaseText("job%_1"), "JOB%_1");
  EXPECT_EQ(UpperCaseText(std::string("a\xff"
                                      "b")),
            std::string("A\xff"
                        "B"));
}

TEST(ReferenceQueriesTest, OriginalKindsGetTheirFixedTexts) {
  EXPECT_EQ(JobIDByNumberQuery(kSqlServer, "j'1"),
            "select * from T_SFC_JOB  with (NOLOCK) where UPPER(JOB_NUMBER) = N'J''1'");
  EXPECT_EQ(OpIDByNumberQuery(kAccess, "op10"),
            "select * from T_SFC_OP  where UCASE(OP_NUMBER) = 'OP10'");
  EXPECT_EQ(DowntimeCodeIDQuery(kSqlServer, "100", 1),
            "select DOWNTIME_CODE_ID from T_SFC_DOWNTIME_CODE  with (NOLOCK) where "
            "DOWNTIME_CODE_NUMBER = N'100' and DOWNTIME_TYPE_CODE IN (1,2)");
  // Two reads carry a hint of their own, with blanks on both sides.
  EXPECT_EQ(DefaultScrapCodeNumberQuery(kSqlServer),
            "select SCRAP_CODE_NUMBER  from T_SFC_SCRAP_CODE  with (NOLOCK)  where "
            "SCRAP_CODE_TYPE_CODE = 1");
  EXPECT_EQ(DefaultScrapCodeNumberQuery(kOracle),
            "select SCRAP_CODE_NUMBER  from T_SFC_SCRAP_CODE  where SCRAP_CODE_TYPE_CODE = 1");
  EXPECT_EQ(PartEventRowQuery(kSqlServer, 4, 6),
            "select * from T_SFC_MACHINE_EVENT  with (NOLOCK)  where MACHINE_ID = 4 and "
            "COMMAND_ID = 6");
  EXPECT_EQ(JobDisplayNameQuery(kOracle, 3),
            "select JOB_NUMBER || ' - ' || CASE WHEN JOB_NAME is NULL THEN '' ELSE JOB_NAME END "
            " as NAME from T_SFC_JOB  WHERE JOB_ID = 3");
}

TEST_P(ReferenceDataTest, NumbersAreFoundWhateverTheCaseTyped) {
  EXPECT_EQ(object_->reference.GetJobIDByNumber("j1001"), 1);
  EXPECT_EQ(object_->reference.GetOpIDByNumber("Op20"), 2);
  dbaccess::Variant part_type;
  EXPECT_EQ(object_->reference.GetPartIDByNumber("flange-200", part_type), 2);
  EXPECT_EQ(part_type.ToLong(), 1);
  EXPECT_EQ(object_->reference.GetPartSerialNoID(3, "sn-0002"), 2);

  EXPECT_EQ(object_->reference.GetJobIDByNumber("J9999"), -1);
  EXPECT_EQ(object_->reference.GetOpIDByNumber("OP99"), -1);
  EXPECT_EQ(object_->reference.GetPartIDByNumber("NO-SUCH-PART", part_type), -1);
  EXPECT_EQ(part_type.ToLong(), -1);
  EXPECT_EQ(object_->reference.GetPartSerialNoID(1, "SN-0002"),
            -1);  // another part's serial number

  // A part without a type keeps its null type.
  Exec("insert into T_SFC_PART (PART_NUMBER, PART_TYPE_ID) values ('BOLT-7', null)");
  EXPECT_GT(object_->reference.GetPartIDByNumber("bolt-7", part_type), 3);
  EXPECT_TRUE(part_type.IsNull());
}

TEST_P(ReferenceDataTest, AJobsFirstPartFollowsTheOrdinalNotTheRowOrder) {
  Exec("insert into T_SFC_JOB (JOB_ID, JOB_NUMBER) values (50, 'J-ORD')");
  Exec("insert into T_SFC_PART_PER_JOB (JOB_ID, PART_ID, ORDINAL) values (50, 2, 3)");
  Exec("insert into T_SFC_PART_PER_JOB (JOB_ID, PART_ID, ORDINAL) values (50, 3, 1)");
  EXPECT_EQ(object_->reference.GetFirstPartNumberForJob("j-ord"), "HOUSING-300");
  EXPECT_EQ(object_->reference.GetFirstPartNumberForJob("J1001"), "SHAFT-100");
  EXPECT_EQ(object_->reference.GetFirstPartNumberForJob("J9999"), "");
}

TEST_P(ReferenceDataTest, NamesAndCodeNumbersAreComparedAsStored) {
  EXPECT_EQ(object_->reference.GetUserIDByName("kobrien"), 3);
  EXPECT_EQ(object_->reference.GetUserIDByName("nobody"), -1);
  EXPECT_EQ(object_->reference.GetScrapCodeID("S2"), 2);
  EXPECT_EQ(object_->reference.GetScrapCodeID("S9"), -1);
  EXPECT_EQ(object_->reference.GetDefaultScrapCodeNumber(), "S1");
  Exec("update T_SFC_SCRAP_CODE set SCRAP_CODE_TYPE_CODE = 0");
  EXPECT_EQ(object_->reference.GetDefaultScrapCodeNumber(), "-1");
}

TEST_P(ReferenceDataTest, DowntimeCodesMatchTheirOwnTypeOrBoth) {
  EXPECT_EQ(object_->reference.GetDowntimeCodeID("100", 0), 1);
  EXPECT_EQ(object_->reference.GetDowntimeCodeID("100", 1), -1);
  EXPECT_EQ(object_->reference.GetDowntimeCodeID("200", 1), 5);
  EXPECT_EQ(object_->reference.GetDowntimeCodeID("200", 0), -1);
  EXPECT_EQ(object_->reference.GetDowntimeCodeID("210", 0), 6);
  EXPECT_EQ(object_->reference.GetDowntimeCodeID("210", 1), 6);
  EXPECT_EQ(object_->reference.GetDowntimeCodeID("999", 0), -1);
}

TEST_P(ReferenceDataTest, ApostrophesAndLettersBeyondAsciiAreFoundUnchanged) {
  Exec("insert into T_SFC_JOB (JOB_NUMBER) values ('O''NEIL-ÄØ%')");
  Exec("insert into T_SFC_USER (USER_NAME) values ('d''angelo; drop table T_SFC_USER')");
  Exec("insert into T_SFC_SCRAP_CODE (SCRAP_CODE_NUMBER) values ('S''4')");
  Exec(
      "insert into T_SFC_DOWNTIME_CODE (DOWNTIME_CODE_NUMBER, DOWNTIME_TYPE_CODE) "
      "values ('Ü''1', 1)");
  EXPECT_GT(object_->reference.GetJobIDByNumber("o'neil-äø%"), 2);
  EXPECT_EQ(object_->reference.GetJobIDByNumber("o'neil-ä"), -1);  // no pattern matching
  EXPECT_GT(object_->reference.GetUserIDByName("d'angelo; drop table T_SFC_USER"), 3);
  EXPECT_GT(object_->reference.GetScrapCodeID("S'4"), 3);
  EXPECT_GT(object_->reference.GetDowntimeCodeID("Ü'1", 1), 6);
  EXPECT_EQ(Count("T_SFC_USER"), 4);
}

TEST_P(ReferenceDataTest, EmptyTextsGiveMinusOneWithoutADatabase) {
  object_->session.connection()->Close();
  EXPECT_EQ(object_->reference.GetUserIDByName(""), -1);
  EXPECT_EQ(object_->reference.GetPartSerialNoID(3, ""), -1);
  EXPECT_EQ(object_->reference.GetDowntimeCodeID("", 0), -1);
  // Any other lookup needs the database, and its failure reaches the caller.
  EXPECT_THROW(object_->reference.GetScrapCodeID(""), dbaccess::DbError);
  EXPECT_THROW(object_->reference.GetJobIDByNumber("J1001"), dbaccess::DbError);
}

TEST_P(ReferenceDataTest, APartEventRowCountsForItsMachineOnly) {
  EXPECT_FALSE(object_->reference.HasPartEventRow(1));
  // An ended part event leaves its row with a null EVENT_ID; it still counts.
  Exec("insert into T_SFC_MACHINE_EVENT (COMMAND_ID, MACHINE_ID, EVENT_ID) values (6, 1, null)");
  Exec("insert into T_SFC_MACHINE_EVENT (COMMAND_ID, MACHINE_ID, EVENT_ID) values (9, 2, 44)");
  EXPECT_TRUE(object_->reference.HasPartEventRow(1));
  EXPECT_FALSE(object_->reference.HasPartEventRow(2));
}

TEST_P(ReferenceDataTest, DisplayTextsNameTheMachinesUserAndTheJob) {
  int32_t user_id = 0;
  EXPECT_EQ(object_->reference.GetMachineUserDisplay(1, user_id), "<No User>");
  EXPECT_EQ(user_id, -1);
  GiveCurrentRecord(1, "3", "null");
  GiveCurrentRecord(2, "null", "1");
  EXPECT_EQ(object_->reference.GetMachineUserDisplay(1, user_id), "kobrien - Kate O'Brien");
  EXPECT_EQ(user_id, 3);
  EXPECT_EQ(object_->reference.GetMachineUserDisplay(2, user_id), "<No User>");
  EXPECT_EQ(user_id, -1);

  EXPECT_EQ(object_->reference.GetJobDisplayName(1), "J1001 - Shafts and flanges for order 4711");
  Exec("update T_SFC_JOB set JOB_NAME = null where JOB_ID = 2");
  EXPECT_EQ(object_->reference.GetJobDisplayName(2), "J1002 - ");
  EXPECT_EQ(object_->reference.GetJobDisplayName(77), "");
}

INSTANTIATE_TEST_SUITE_P(AllKinds, ReferenceDataTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
