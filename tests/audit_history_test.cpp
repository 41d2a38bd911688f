// History lines of T_SFC_HISTORY written by the library, on every kind.
#include <gtest/gtest.h>

#include <string>

#include "dbaccess/database_clock.h"
#include "dbaccess/date_time.h"
#include "dbaccess/db_error.h"
#include "dbaccess/variant.h"
#include "tests/support/reference_data_fixture.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using testsupport::ReferenceDataTest;

class AuditHistoryTest : public ReferenceDataTest {
 protected:
  dbaccess::RecordsetPtr Line(int32_t history_id) {
    return Row("select * from T_SFC_HISTORY where HISTORY_ID = " + std::to_string(history_id));
  }
};

TEST_P(AuditHistoryTest, EveryArgumentLandsInItsColumnAtTheServersTime) {
  const auto before = voltrane::GetDatabaseDateTime(database_.kind, object_->session.connection());
  ASSERT_TRUE(before.has_value());
  int32_t history_id = 0;
  object_->reference.WriteHistory(7, 50, 56, "jsmith - John Smith released Job J1001", "J1001",
                                  "ECN-4'2", 1, 2, 3, 4, 5, 6, 7, 8, 9, history_id);
  auto line = Line(history_id);
  ASSERT_FALSE(line->Eof());
  EXPECT_EQ(line->Fields("TARGET_ID").Value().ToLong(), 7);
  EXPECT_EQ(line->Fields("TABLE_CODE").Value().ToLong(), 50);
  EXPECT_EQ(line->Fields("ACTION_CODE").Value().ToLong(), 56);
  EXPECT_EQ(line->Fields("NOTES").Value().ToText(),
            "jsmith - John Smith released Job J1001 via MDC Service.");
  EXPECT_EQ(line->Fields("COMPONENT_NAME").Value().ToText(), "J1001");
  EXPECT_EQ(line->Fields("ECN").Value().ToText(), "ECN-4'2");
  EXPECT_EQ(line->Fields("APP_CODE").Value().ToLong(), 2);
  const char* ids[] = {"DEPT_ID", "LOCATION_ID",  "GROUP_ID", "MACHINE_ID", "USER2_ID",
                       "JOB_ID",  "PART_TYPE_ID", "PART_ID",  "USER_ID"};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(line->Fields(ids[i]).Value().ToLong(), i + 1) << ids[i];
  // The server's clock, not the caller's: between two reads of it.
  const dbaccess::DateTime written = line->Fields("HISTORY_DATE").Value().ToDateTime();
  const auto after = voltrane::GetDatabaseDateTime(database_.kind, object_->session.connection());
  EXPECT_GE(written, before->WithoutMilliseconds());
  EXPECT_LE(written, *after);

  int32_t second_id = 0;
  object_->reference.WriteHistory(7, 50, 40, "x", "J1001", "", -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                  second_id);
  EXPECT_NE(second_id, history_id);
}

TEST_P(AuditHistoryTest, EmptyTextsAndMinusOneIdsAreStoredAsNull) {
  int32_t history_id = 0;
  object_->reference.WriteHistory(3, 72, 15, "", "", "", -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                  history_id);
  auto line = Line(history_id);
  ASSERT_FALSE(line->Eof());
  EXPECT_TRUE(line->Fields("NOTES").Value().IsNull());
  EXPECT_TRUE(line->Fields("ECN").Value().IsNull());
  for (const char* column : {"DEPT_ID", "LOCATION_ID", "GROUP_ID", "MACHINE_ID", "USER2_ID",
                             "JOB_ID", "PART_TYPE_ID", "PART_ID", "USER_ID"}) {
    EXPECT_TRUE(line->Fields(column).Value().IsNull()) << column;
  }
}

TEST_P(AuditHistoryTest, TheComponentNameIsCutToNinetyCharactersNotBytes) {
  std::string name;
  for (int i = 0; i < 100; ++i) name += (i % 2 == 0) ? "Ä" : "b";
  int32_t history_id = 0;
  object_->reference.WriteHistory(1, 72, 15, "n", name, "", -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                  history_id);
  const std::string stored = Line(history_id)->Fields("COMPONENT_NAME").Value().ToText();
  std::string expected;
  for (int i = 0; i < 90; ++i) expected += (i % 2 == 0) ? "Ä" : "b";
  EXPECT_EQ(stored, expected);
}

TEST_P(AuditHistoryTest, ADatabaseErrorReachesTheCaller) {
  Exec("drop table T_SFC_HISTORY");
  int32_t history_id = 0;
  EXPECT_THROW(object_->reference.WriteHistory(1, 72, 15, "n", "c", "", -1, -1, -1, -1, -1, -1, -1,
                                               -1, -1, history_id),
               dbaccess::DbError);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, AuditHistoryTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
