// Automatic creation of jobs, parts, operations and serial numbers on the
// demo plant of every kind: the options that allow it, the rows written
// (upper-case numbers, asset rows pointing both ways, history lines) and the
// failures that create nothing.
#include <gtest/gtest.h>

#include <string>

#include "dbaccess/date_time.h"
#include "dbaccess/variant.h"
#include "tests/support/reference_data_fixture.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using dbaccess::DateTime;
using testsupport::ReferenceDataTest;

constexpr const char* kInvalidPartType = "Invalid PartTypeID specified for auto creation of parts";
constexpr const char* kNoCurrentPart = "AutoJobCreate: No currently selected part for this machine";

class AutoCreateTest : public ReferenceDataTest {
 protected:
  int64_t RowsOfAllCreatedTables() {
    return Count("T_SFC_JOB") + Count("T_SFC_PART") + Count("T_SFC_OP") +
           Count("T_SFC_PART_SERIAL_NO") + Count("T_SFC_PART_PER_JOB") + Count("T_SFC_ASSET") +
           Count("T_SFC_HISTORY");
  }

  // The record's ASSET_ID names an asset row that points back with the table code.
  void ExpectAsset(const std::string& table, const std::string& key_column, int32_t key,
                   int table_code) {
    const dbaccess::Variant asset_id = Value("select ASSET_ID from " + table + " where " +
                                             key_column + " = " + std::to_string(key));
    ASSERT_FALSE(asset_id.IsNull()) << table;
    auto asset =
        Row("select TARGET_ID, TABLE_CODE from T_SFC_ASSET where ASSET_ID = " + asset_id.ToText());
    ASSERT_FALSE(asset->Eof()) << table;
    EXPECT_EQ(asset->Fields("TARGET_ID").Value().ToLong(), key);
    EXPECT_EQ(asset->Fields("TABLE_CODE").Value().ToLong(), table_code);
    EXPECT_EQ(Value("select count(*) from T_SFC_ASSET where TARGET_ID = " + std::to_string(key) +
                    " and TABLE_CODE = " + std::to_string(table_code))
                  .ToInt64(),
              1);
  }

  // The single "record added" history line of a created record.
  void ExpectAddedHistory(int32_t key, int table_code, const std::string& notes,
                          const std::string& component, const std::string& user_id) {
    auto line = Row("select * from T_SFC_HISTORY where TARGET_ID = " + std::to_string(key) +
                    " and TABLE_CODE = " + std::to_string(table_code));
    ASSERT_FALSE(line->Eof());
    EXPECT_EQ(line->Fields("ACTION_CODE").Value().ToLong(), 15);
    EXPECT_EQ(line->Fields("NOTES").Value().ToText(), notes);
    EXPECT_EQ(line->Fields("COMPONENT_NAME").Value().ToText(), component);
    EXPECT_EQ(line->Fields("APP_CODE").Value().ToLong(), 2);
    EXPECT_TRUE(line->Fields("ECN").Value().IsNull());
    EXPECT_FALSE(line->Fields("HISTORY_DATE").Value().IsNull());
    EXPECT_TRUE(line->Fields("MACHINE_ID").Value().IsNull());
    EXPECT_TRUE(line->Fields("PART_ID").Value().IsNull());
    const dbaccess::Variant stored_user = line->Fields("USER_ID").Value();
    if (user_id == "null") {
      EXPECT_TRUE(stored_user.IsNull());
    } else {
      EXPECT_EQ(stored_user.ToText(), user_id);
    }
    line->MoveNext();
    EXPECT_TRUE(line->Eof()) << "one history line per created record";
  }
};

TEST_P(AutoCreateTest, NothingIsCreatedWhileTheOptionsAreOff) {
  GiveCurrentRecord(1, "1", "1");
  SetBoolOption(9, 0);  // present but off; 6 and 11 are missing
  const int64_t rows = RowsOfAllCreatedTables();
  std::string error = "untouched";
  int32_t id = -1;
  dbaccess::Variant part_type = -1;
  EXPECT_FALSE(object_->reference.AutoPartCreate("P-NEW", id, part_type, 1, error));
  EXPECT_FALSE(object_->reference.AutoOpCreate("OP-NEW", id, 1, error));
  int32_t part_id = -1;
  EXPECT_EQ(object_->reference.AutoJobCreate(DateTime::FromParts(2026, 3, 4, 8), "J-NEW", id, 1,
                                             error, part_id),
            JobCreation::kNotCreated);
  EXPECT_EQ(object_->reference.GetPartSerialNoID(1, "SN-NEW"), -1);
  EXPECT_EQ(error, "untouched");
  EXPECT_EQ(id, -1);
  EXPECT_EQ(RowsOfAllCreatedTables(), rows);
}

TEST_P(AutoCreateTest, APartIsStoredInUpperCaseWithItsAssetAndHistory) {
  GiveCurrentRecord(1, "3", "null");
  SetBoolOption(6, -1);
  SetOption(7, 1, "NUM_VAL", "2");
  SetOption(8, 2, "STRING_VAL", "'rév''a'");
  std::string error;
  int32_t part_id = -1;
  dbaccess::Variant part_type = -1;
  ASSERT_TRUE(object_->reference.AutoPartCreate("zahnrad-ö'1", part_id, part_type, 1, error))
      << error;
  EXPECT_EQ(error, "");
  EXPECT_EQ(part_type.ToLong(), 2);

  auto part = Row("select * from T_SFC_PART where PART_ID = " + std::to_string(part_id));
  ASSERT_FALSE(part->Eof());
  EXPECT_EQ(part->Fields("PART_NUMBER").Value().ToText(), "ZAHNRAD-Ö'1");
  EXPECT_EQ(part->Fields("PART_TYPE_ID").Value().ToLong(), 2);
  EXPECT_EQ(part->Fields("REV").Value().ToText(), "rév'a");  // revisions keep their case
  ExpectAsset("T_SFC_PART", "PART_ID", part_id, 72);
  ExpectAddedHistory(part_id, 72, "kobrien - Kate O'Brien added Part ZAHNRAD-Ö'1 via MDC Service.",
                     "ZAHNRAD-Ö'1", "3");
  dbaccess::Variant found_type;
  EXPECT_EQ(object_->reference.GetPartIDByNumber("Zahnrad-Ö'1", found_type), part_id);
}

TEST_P(AutoCreateTest, AnUnusablePartTypeCreatesNothing) {
  SetBoolOption(6, 1);
  RemoveOption(7);
  const int64_t rows = RowsOfAllCreatedTables();
  std::string error;
  int32_t part_id = -1;
  dbaccess::Variant part_type = -1;
  EXPECT_FALSE(object_->reference.AutoPartCreate("P-NEW", part_id, part_type, 1, error));
  EXPECT_EQ(error, kInvalidPartType);

  SetOption(7, 1, "NUM_VAL", "99");  // names no part type
  error.clear();
  part_type = 1;
  EXPECT_FALSE(object_->reference.AutoPartCreate("P-NEW", part_id, part_type, 1, error));
  EXPECT_EQ(error, kInvalidPartType);
  EXPECT_EQ(part_type.ToLong(), 99);
  EXPECT_EQ(part_id, -1);
  EXPECT_EQ(RowsOfAllCreatedTables(), rows);

  // Without option 7 the caller's part type is used.
  RemoveOption(7);
  part_type = 1;
  EXPECT_TRUE(object_->reference.AutoPartCreate("P-NEW", part_id, part_type, 1, error));
  EXPECT_EQ(Value("select PART_TYPE_ID from T_SFC_PART where PART_ID = " + std::to_string(part_id))
                .ToLong(),
            1);
}

TEST_P(AutoCreateTest, AnOperationIsCreatedWithItsRevision) {
  SetBoolOption(11, 1);
  SetOption(12, 2, "STRING_VAL", "'B'");
  std::string error;
  int32_t op_id = -1;
  ASSERT_TRUE(object_->reference.AutoOpCreate("op-55", op_id, 4, error)) << error;
  auto op = Row("select * from T_SFC_OP where OP_ID = " + std::to_string(op_id));
  EXPECT_EQ(op->Fields("OP_NUMBER").Value().ToText(), "OP-55");
  EXPECT_EQ(op->Fields("REV").Value().ToText(), "B");
  ExpectAsset("T_SFC_OP", "OP_ID", op_id, 69);
  // Machine 4 has no current record, so no user.
  ExpectAddedHistory(op_id, 69, "<No User> added Op OP-55 via MDC Service.", "OP-55", "null");
  EXPECT_EQ(object_->reference.GetOpIDByNumber("OP-55"), op_id);
}

TEST_P(AutoCreateTest, AJobTakesTheMachinesPartAndEndsOnItsStartDay) {
  GiveCurrentRecord(1, "1", "2");
  SetBoolOption(9, 1);
  SetBoolOption(10, 1);
  const DateTime stamp = DateTime::FromParts(2026, 3, 4, 13, 45, 12, 345);
  std::string error;
  int32_t job_id = -1;
  int32_t part_id = -1;
  ASSERT_EQ(object_->reference.AutoJobCreate(stamp, "j-new", job_id, 1, error, part_id),
            JobCreation::kCreated)
      << error;
  EXPECT_EQ(part_id, 2);

  auto job = Row("select * from T_SFC_JOB where JOB_ID = " + std::to_string(job_id));
  EXPECT_EQ(job->Fields("JOB_NUMBER").Value().ToText(), "J-NEW");
  EXPECT_EQ(job->Fields("STATUS_CODE").Value().ToLong(), 1);
  EXPECT_EQ(job->Fields("TARGET_START").Value().ToDateTime(), stamp);
  EXPECT_EQ(job->Fields("TARGET_STOP").Value().ToDateTime(), DateTime::FromParts(2026, 3, 4));
  ExpectAsset("T_SFC_JOB", "JOB_ID", job_id, 50);
  ExpectAddedHistory(job_id, 50, "jsmith - John Smith added Job J-NEW via MDC Service.", "J-NEW",
                     "1");

  auto list = Row("select * from T_SFC_PART_PER_JOB where JOB_ID = " + std::to_string(job_id));
  ASSERT_FALSE(list->Eof());
  EXPECT_EQ(list->Fields("PART_ID").Value().ToLong(), 2);
  EXPECT_EQ(list->Fields("TARGET_QTY").Value().ToLong(), 1);
  EXPECT_EQ(list->Fields("ORDINAL").Value().ToLong(), 0);
  list->MoveNext();
  EXPECT_TRUE(list->Eof());
  EXPECT_EQ(object_->reference.GetFirstPartNumberForJob("J-NEW"), "FLANGE-200");
}

TEST_P(AutoCreateTest, AJobNeedsAPart) {
  SetBoolOption(9, 1);
  const int64_t rows = RowsOfAllCreatedTables();
  std::string error;
  int32_t job_id = -1;
  int32_t part_id = -1;
  // Machine 2 has no current record; machine 3's record has no part.
  EXPECT_EQ(object_->reference.AutoJobCreate(DateTime::FromParts(2026, 3, 4, 8), "J-A", job_id, 2,
                                             error, part_id),
            JobCreation::kNoCurrentPart);
  EXPECT_EQ(error, kNoCurrentPart);
  GiveCurrentRecord(3, "1", "null");
  error.clear();
  part_id = -1;
  EXPECT_EQ(object_->reference.AutoJobCreate(DateTime::FromParts(2026, 3, 4, 8), "J-A", job_id, 3,
                                             error, part_id),
            JobCreation::kNoCurrentPart);
  EXPECT_EQ(error, kNoCurrentPart);
  EXPECT_EQ(RowsOfAllCreatedTables(), rows);

  // Given a part, the machine's record is not consulted; without option 10
  // the job is pending.
  error.clear();
  part_id = 3;
  ASSERT_EQ(object_->reference.AutoJobCreate(DateTime::FromParts(2026, 3, 4, 8), "J-A", job_id, 2,
                                             error, part_id),
            JobCreation::kCreated)
      << error;
  EXPECT_EQ(part_id, 3);
  EXPECT_EQ(Value("select PART_ID from T_SFC_PART_PER_JOB where JOB_ID = " + std::to_string(job_id))
                .ToLong(),
            3);
  EXPECT_EQ(
      Value("select STATUS_CODE from T_SFC_JOB where JOB_ID = " + std::to_string(job_id)).ToLong(),
      0);
}

TEST_P(AutoCreateTest, SerialNumbersAreCreatedUnderOptionSixWithoutHistory) {
  SetBoolOption(6, 1);
  const int64_t history = Count("T_SFC_HISTORY");
  const int32_t serial_id = object_->reference.GetPartSerialNoID(1, "sn-ä'9");
  ASSERT_GT(serial_id, 2);
  auto serial = Row("select * from T_SFC_PART_SERIAL_NO where PART_SERIAL_NO_ID = " +
                    std::to_string(serial_id));
  EXPECT_EQ(serial->Fields("SERIAL_NO").Value().ToText(), "SN-Ä'9");
  EXPECT_EQ(serial->Fields("PART_ID").Value().ToLong(), 1);
  ExpectAsset("T_SFC_PART_SERIAL_NO", "PART_SERIAL_NO_ID", serial_id, 140);
  EXPECT_EQ(Count("T_SFC_HISTORY"), history);
  EXPECT_EQ(object_->reference.GetPartSerialNoID(1, "SN-Ä'9"), serial_id);
  EXPECT_EQ(Count("T_SFC_PART_SERIAL_NO"), 3);
}

TEST_P(AutoCreateTest, AFailureIsReportedAndKeepsWhatWasAdded) {
  SetBoolOption(11, 1);
  Exec("drop table T_SFC_ASSET");
  std::string error;
  int32_t op_id = -1;
  EXPECT_FALSE(object_->reference.AutoOpCreate("OP-77", op_id, 1, error));
  EXPECT_NE(error, "");
  // The operation row was added before the asset failed; the caller's
  // transaction decides about it.
  EXPECT_EQ(Value("select count(*) from T_SFC_OP where OP_NUMBER = 'OP-77'").ToInt64(), 1);
  // The serial number creation lets the same failure reach its caller.
  SetBoolOption(6, 1);
  EXPECT_THROW(object_->reference.GetPartSerialNoID(1, "SN-X"), dbaccess::DbError);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, AutoCreateTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
