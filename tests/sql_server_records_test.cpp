// What a record split sends to SQL Server: the next record is inserted by one
// batch that sets the month-first date format and returns the new identity,
// listing only the columns that have a value; a failed batch fails the split
// with the error's text. Runs against a fake provider that records the
// statements.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "dbaccess/backend.h"
#include "dbaccess/clock.h"
#include "library/components.h"
#include "tests/support/fake_provider.h"
#include "tests/support/settings_sandbox.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using dbaccess::DateTime;
using dbaccess::Variant;

// The previous record: machine 3 with a running cycle, a resolved part and an
// unresolved job O'NEIL-1, on the day shift.
dbaccess::ResultTable PreviousRecord() {
  const std::vector<std::pair<std::string, Variant>> values = {
      {"MACHINE_DATA_ID", 41},
      {"DEPT_ID", 1},
      {"LOCATION_ID", 2},
      {"GROUP_ID", 3},
      {"MACHINE_ID", 3},
      {"SETUP_START_TIME", Variant::Null()},
      {"TEARDOWN_START_TIME", Variant::Null()},
      {"CYCLE_START_TIME", DateTime::FromParts(2026, 3, 7, 6, 30)},
      {"IDLE_START_TIME", Variant::Null()},
      {"SHIFT_ID", 1},
      {"SHIFT_END", DateTime::FromParts(2026, 3, 7, 14)},
      {"CHART_DATE", DateTime::FromParts(2026, 3, 7)},
      {"JOB_ID", Variant::Null()},
      {"JOB_NUMBER", "O'NEIL-1"},
      {"JOB_DATA_START_ID", 40},
      {"PART_TYPE_ID", 1},
      {"PART_ID", 2},
      {"PART_NUMBER", Variant::Null()},
      {"PART_DATA_START_ID", Variant::Null()},
      {"USER_ID", 5},
      {"USER_NAME", Variant::Null()},
      {"LOGON_DATA_START_ID", Variant::Null()},
      {"OP_ID", Variant::Null()},
      {"OP_NUMBER", Variant::Null()},
      {"OP_DATA_START_ID", Variant::Null()},
      {"STD_CYCLE_TIME", 2.5},
  };
  dbaccess::ResultTable table;
  table.rows.emplace_back();
  for (const auto& [name, value] : values) {
    dbaccess::ColumnInfo column;
    column.name = name;
    table.columns.push_back(column);
    table.rows.back().push_back(value);
  }
  return table;
}

dbaccess::ResultTable Identity(int id) {
  dbaccess::ResultTable table;
  dbaccess::ColumnInfo column;
  column.name = "SCOPE_IDENTITY";
  table.columns.push_back(column);
  table.rows.push_back({Variant(id)});
  return table;
}

class SqlServerRecordsTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(
        object_->session.ConnectToDatabase("Provider=FakeSqlRecords;Data Source=srv;", 2, error))
        << error;
    script_->query_results["md left join T_SFC_MACHINE_PPH"] = PreviousRecord();
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
  testsupport::FakeProviderRegistration registration_{"FakeSqlRecords", script_};
  std::shared_ptr<dbaccess::ManualClock> clock_ = std::make_shared<dbaccess::ManualClock>();
  std::unique_ptr<Components> object_ = std::make_unique<Components>(clock_);
};

TEST_F(SqlServerRecordsTest, TheNextRecordIsInsertedByOneBatchReturningItsIdentity) {
  script_->query_results["SCOPE_IDENTITY"] = Identity(42);
  const int32_t id = object_->records.CreateNextMachineDataRecord(
      {}, 41, MachineDataSplitKind::Part, DateTime::FromParts(2026, 3, 7, 9, 5, 7));
  EXPECT_EQ(id, 42);
  EXPECT_EQ(InsertBatch(),
            "SET NOCOUNT ON; SET DATEFORMAT MDY; INSERT INTO T_SFC_MACHINE_DATA (START_TIME, "
            "DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, STATUS_CODE, IS_MANUAL, CYCLE_START_TIME, "
            "SETUP_TIME, TEARDOWN_TIME, CYCLE_TIME, IDLE_TIME, FINISHED_CYCLES, UNFINISHED_CYCLES, "
            "GOOD_COUNT, SCRAPPED_COUNT, SHIFT_ID, SHIFT_END, CHART_DATE, JOB_NUMBER, "
            "JOB_DATA_START_ID, USER_ID) VALUES ('03/07/2026 09:05:07', 1, 2, 3, 3, 0, 0, "
            "'03/07/2026 09:05:07', 0, 0, 0, 0, 0, 0, 0, 0, 1, '03/07/2026 14:00:00', "
            "'03/07/2026 00:00:00', N'O''NEIL-1', 40, 5); SELECT SCOPE_IDENTITY() AS "
            "[SCOPE_IDENTITY]; SET NOCOUNT OFF;");
  // Open downtimes of the previous record are read with the table hint.
  EXPECT_TRUE(
      std::any_of(script_->executed.begin(), script_->executed.end(), [](const std::string& sql) {
        return sql.find(
                   "T_SFC_DT_PER_MACHINE_DATA  with (NOLOCK)  where "
                   "MACHINE_DATA_ID = 41 and STOP_TIME IS NULL") != std::string::npos;
      }));
}

TEST_F(SqlServerRecordsTest, AFailedInsertFailsTheSplitWithItsText) {
  script_->fail_sql_containing = "INSERT INTO T_SFC_MACHINE_DATA";
  script_->execute_failure = {static_cast<int32_t>(0x80040E14u), "Invalid column name 'X'."};
  try {
    object_->records.CreateNextMachineDataRecord({}, 41, MachineDataSplitKind::Job,
                                                 DateTime::FromParts(2026, 3, 7, 9));
    FAIL() << "the split went on without its record";
  } catch (const std::exception& error) {
    EXPECT_NE(std::string(error.what()).find("Invalid column name 'X'."), std::string::npos)
        << error.what();
  }
}

}  // namespace
