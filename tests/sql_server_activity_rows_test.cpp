// What the downtime and scrap handlers send to SQL Server for a new row: one
// batch that sets the month-first date format, inserts the row and returns
// its identity. Runs against a fake provider that records the statements.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dbaccess/backend.h"
#include "dbaccess/clock.h"
#include "library/components.h"
#include "tests/support/fake_provider.h"
#include "tests/support/settings_sandbox.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using dbaccess::DateTime;
using dbaccess::Variant;

dbaccess::ResultTable Identity(int id) {
  dbaccess::ResultTable table;
  dbaccess::ColumnInfo column;
  column.name = "SCOPE_IDENTITY";
  table.columns.push_back(column);
  table.rows.push_back({Variant(id)});
  return table;
}

class SqlServerActivityRowsTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(
        object_->session.ConnectToDatabase("Provider=FakeSqlRows;Data Source=srv;", 2, error))
        << error;
    script_->query_results["SCOPE_IDENTITY"] = Identity(77);
    script_->executed.clear();
  }
  std::string InsertBatch() const {
    for (const std::string& sql : script_->executed) {
      if (sql.rfind("SET NOCOUNT ON;", 0) == 0) return sql;
    }
    return "";
  }

  testsupport::SettingsSandbox sandbox_;
  std::shared_ptr<testsupport::FakeScript> script_ = std::make_shared<testsupport::FakeScript>();
  testsupport::FakeProviderRegistration registration_{"FakeSqlRows", script_};
  std::shared_ptr<dbaccess::ManualClock> clock_ = std::make_shared<dbaccess::ManualClock>();
  std::unique_ptr<Components> object_ = std::make_unique<Components>(clock_);
  DateTime at_ = DateTime::FromParts(2026, 3, 7, 9, 5, 7);
};

TEST_F(SqlServerActivityRowsTest, AScrapRowOfAKnownCodeIsOneBatch) {
  object_->handlers.activity.AddScrapRow(41, -3, 2, "S2", at_);
  EXPECT_EQ(InsertBatch(),
            "SET NOCOUNT ON; SET DATEFORMAT MDY; INSERT INTO T_SFC_SCRAP_PER_MACHINE_DATA "
            "(MACHINE_DATA_ID, START_TIME, QTY, SCRAP_CODE_ID) VALUES (41, '03/07/2026 09:05:07', "
            "3, 2); SELECT SCOPE_IDENTITY() AS [SCOPE_IDENTITY]; SET NOCOUNT OFF;");
}

TEST_F(SqlServerActivityRowsTest, AnUnknownScrapCodeIsInsertedByItsNumber) {
  try {
    object_->handlers.activity.AddScrapRow(41, 1, -1, "O'9", at_);
  } catch (...) {
    // Setting the data start on the row afterwards is beyond the fake.
  }
  EXPECT_EQ(InsertBatch(),
            "SET NOCOUNT ON; SET DATEFORMAT MDY; INSERT INTO T_SFC_SCRAP_PER_MACHINE_DATA "
            "(MACHINE_DATA_ID, START_TIME, QTY, SCRAP_CODE_NUMBER) VALUES (41, '03/07/2026 "
            "09:05:07', 1, N'O''9'); SELECT SCOPE_IDENTITY() AS [SCOPE_IDENTITY]; SET NOCOUNT "
            "OFF;");
}

TEST_F(SqlServerActivityRowsTest, ADowntimeRowIsInsertedOpenAndThenGivenItsCode) {
  try {
    object_->handlers.activity.AddDowntimeRow(41, 1, 5, "200", at_);
  } catch (...) {
    // Writing the code triple into the row afterwards is beyond the fake.
  }
  EXPECT_EQ(InsertBatch(),
            "SET NOCOUNT ON; SET DATEFORMAT MDY; INSERT INTO T_SFC_DT_PER_MACHINE_DATA "
            "(MACHINE_DATA_ID, START_TIME, DOWNTIME_TYPE_CODE, DURATION) VALUES (41, '03/07/2026 "
            "09:05:07', 1, 0); SELECT SCOPE_IDENTITY() AS [SCOPE_IDENTITY]; SET NOCOUNT OFF;");
  bool reopened = false;
  for (const std::string& sql : script_->executed) {
    reopened = reopened || sql.find(
                               "T_SFC_DT_PER_MACHINE_DATA  with (NOLOCK)  where "
                               "DT_PER_MACHINE_DATA_ID = 77") != std::string::npos;
  }
  EXPECT_TRUE(reopened);
}

TEST_F(SqlServerActivityRowsTest, AFailedBatchFailsWithItsText) {
  script_->fail_sql_containing = "INSERT INTO T_SFC_DT_PER_MACHINE_DATA";
  script_->execute_failure = {static_cast<int32_t>(0x80040E14u), "Invalid column name 'X'."};
  try {
    object_->handlers.activity.AddDowntimeRow(41, 0, 1, "100", at_);
    FAIL() << "the downtime went on without its row";
  } catch (const std::exception& error) {
    EXPECT_NE(std::string(error.what()).find("Invalid column name 'X'."), std::string::npos)
        << error.what();
  }
}

}  // namespace
