// The log history, the delete queue and the diagnostic log: history copies
// on SQLite and PostgreSQL (created on first use, copied once, trimmed by
// age, off without option 15), the delete queue's single statement (counted
// in the extended error log), and the diagnostic log file in the base folder
// of a temporary settings store.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "settings/reg_settings.h"
#include "library/com_error.h"
#include "library/components.h"
#include "library/session/extended_error_log.h"
#include "tests/support/row_triggers.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/shop_floor_db.h"

using namespace korvex7::internal;  // the library's internals

namespace {

namespace fs = std::filesystem;
using dbaccess::DateTime;

using testsupport::ReadWholeFile;
using TempStore = testsupport::SettingsSandbox;

class LogUpkeepTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    database_ = testsupport::CreateShopFloorDatabase(GetParam(), false);
    Connect();
    Exec("delete from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = 15");
  }
  void TearDown() override {
    object_.reset();
    testsupport::DropTestDatabase(database_);
  }
  void Connect() {
    object_ = std::make_unique<Components>();
    std::string error;
    ASSERT_TRUE(
        object_->session.ConnectToDatabase(database_.connection_string, database_.kind, error))
        << error;
  }

  void Exec(const std::string& sql) { object_->session.connection()->Execute(sql); }
  std::vector<std::string> Rows(const std::string& sql) {
    dbaccess::Recordset rs;
    rs.Open(sql, object_->session.connection());
    std::vector<std::string> rows;
    for (; !rs.Eof(); rs.MoveNext()) {
      std::string row;
      for (size_t i = 0; i < rs.FieldCount(); ++i) {
        row += (i > 0 ? "|" : "") + rs.Fields(i).Value().Describe();
      }
      rows.push_back(row);
    }
    return rows;
  }
  std::string Scalar(const std::string& sql) {
    const auto rows = Rows(sql);
    return rows.empty() ? "" : rows.front();
  }
  std::string Literal(const DateTime& value) {
    return voltrane::DateTimeLiteral(database_.kind, value);
  }
  void SetHistoryDays(const std::string& days) {
    Exec(
        "insert into T_SFC_OPTION (APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, NUM_VAL) "
        "values (2, 15, 1, " +
        days + ")");
  }
  // Appends a log row and returns its key.
  int32_t AddLogRow(const DateTime& time_stamp, const std::string& param = "") {
    Exec(
        "insert into T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, "
        "COMMAND_TIME_CODE, TIME_STAMP, PARAM1) values (9, 1, 2, 3, 4, 0, " +
        Literal(time_stamp) + ", " +
        (param.empty() ? std::string("null") : voltrane::QuotedStr(database_.kind, param)) + ")");
    return std::stoi(Scalar("select max(MDC_LOG_ID) from T_SFC_MDC_LOG"));
  }
  void AddHistoryRow(const DateTime& time_stamp, int32_t log_id) {
    Exec(
        "insert into T_SFC_MDC_LOG_HIST (COMMAND_ID, MACHINE_ID, TIME_STAMP, MDC_LOG_ID) "
        "values (9, 4, " +
        Literal(time_stamp) + ", " + std::to_string(log_id) + ")");
  }
  std::vector<std::string> HistoryLogIDs() {
    return Rows("select MDC_LOG_ID from T_SFC_MDC_LOG_HIST order by MDC_LOG_ID");
  }

  const DateTime time_stamp_ = DateTime::FromParts(2021, 3, 15, 6, 30, 5, 250);
  TempStore store_;
  testsupport::TestDatabase database_;
  std::unique_ptr<Components> object_;
};

constexpr const char* kLogColumns =
    "COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, COMMAND_TIME_CODE, TIME_STAMP, "
    "PARAM1, MDC_LOG_ID";

TEST_P(LogUpkeepTest, WithoutOption15NothingIsCopiedAndNoTableCreated) {
  for (const char* days : {"", "0", "-3"}) {
    Connect();  // the retention is read once per object
    Exec("delete from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = 15");
    if (*days != '\0') SetHistoryDays(days);
    const int32_t key = AddLogRow(time_stamp_);
    EXPECT_EQ(object_->log.CopyLogEntryToHistory(key, time_stamp_), "") << days;
    int32_t retention = -5;
    EXPECT_FALSE(object_->log.MDCLogHistoryEnabled(retention));
    EXPECT_EQ(retention, 0);
    EXPECT_FALSE(object_->schema.TableExists("T_SFC_MDC_LOG_HIST")) << days;
  }
}

TEST_P(LogUpkeepTest, FirstCopyCreatesTheTableAndIndexAndCopiesTheRowOnce) {
  SetHistoryDays("30");
  const int32_t key = AddLogRow(time_stamp_, "O'Brien 100% Prüfung");
  AddLogRow(time_stamp_, "another row");
  ASSERT_FALSE(object_->schema.TableExists("T_SFC_MDC_LOG_HIST"));

  EXPECT_EQ(object_->log.CopyLogEntryToHistory(key, time_stamp_), "");
  EXPECT_TRUE(object_->schema.TableExists("T_SFC_MDC_LOG_HIST"));
  EXPECT_TRUE(object_->schema.IndexExists("MDC_LOG_HIST", "MDC_LOG_ID"));
  const std::string where = " where MDC_LOG_ID = " + std::to_string(key);
  const auto copied = Rows(std::string("select ") + kLogColumns + " from T_SFC_MDC_LOG_HIST");
  ASSERT_EQ(copied.size(), 1u);
  EXPECT_EQ(copied[0],
            Scalar(std::string("select ") + kLogColumns + " from T_SFC_MDC_LOG" + where));
  EXPECT_NE(copied[0].find("O'Brien 100% Prüfung"), std::string::npos) << copied[0];

  // Processed a second time (after a failed handler): no second copy.
  EXPECT_EQ(object_->log.CopyLogEntryToHistory(key, time_stamp_), "");
  EXPECT_EQ(Scalar("select count(*) from T_SFC_MDC_LOG_HIST"), "1");
  EXPECT_EQ(store_.CountMessagesStarting("INSERT INTO T_SFC_MDC_LOG_HIST"), 1u);
  int32_t retention = 0;
  EXPECT_TRUE(object_->log.MDCLogHistoryEnabled(retention));
  EXPECT_EQ(retention, 30);
}

TEST_P(LogUpkeepTest, HistoryOlderThanTheRetentionBeforeTheCopiedRowIsDeleted) {
  SetHistoryDays("30");
  int32_t retention = 0;
  ASSERT_TRUE(object_->log.MDCLogHistoryEnabled(retention));
  AddHistoryRow(time_stamp_.AddDays(-31), 101);
  AddHistoryRow(time_stamp_.AddDays(-30).AddMilliseconds(-1), 102);
  AddHistoryRow(time_stamp_.AddDays(-30), 103);  // exactly the retention: kept
  AddHistoryRow(time_stamp_.AddDays(-29), 104);
  AddHistoryRow(time_stamp_.AddDays(2), 105);  // later than the row: kept
  const int32_t key = AddLogRow(time_stamp_);

  // Counted from the row's time stamp (years ago), not from the clock.
  EXPECT_EQ(object_->log.CopyLogEntryToHistory(key, time_stamp_), "");
  EXPECT_EQ(HistoryLogIDs(), (std::vector<std::string>{std::to_string(key), "103", "104", "105"}));
}

TEST_P(LogUpkeepTest, AFailedCreationIsRaisedOnceAndLeavesHistoryOff) {
  SetHistoryDays("30");
  // A view of that name: the table cannot be created (SQLite) or indexed (PostgreSQL).
  Exec("create view T_SFC_MDC_LOG_HIST as select MDC_LOG_ID, TIME_STAMP from T_SFC_MDC_LOG");
  const int32_t key = AddLogRow(time_stamp_);
  try {
    object_->log.CopyLogEntryToHistory(key, time_stamp_);
    ADD_FAILURE() << "no error raised";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), -1);
    EXPECT_EQ(error.source(), "MDCLogHistoryEnabled");
    EXPECT_EQ(error.description().rfind("Error # ", 0), 0u) << error.description();
  }
  EXPECT_EQ(object_->log.CopyLogEntryToHistory(key, time_stamp_), "");
  int32_t retention = 7;
  EXPECT_FALSE(object_->log.MDCLogHistoryEnabled(retention));
  EXPECT_EQ(retention, 0);
}

// A count that cannot be read must not let the row pass without its copy.
TEST_P(LogUpkeepTest, ACopyThatCannotCheckTheHistoryReportsAnError) {
  SetHistoryDays("30");
  int32_t retention = 0;
  ASSERT_TRUE(object_->log.MDCLogHistoryEnabled(retention));
  Exec("drop table T_SFC_MDC_LOG_HIST");
  const std::string error = object_->log.CopyLogEntryToHistory(AddLogRow(time_stamp_), time_stamp_);
  EXPECT_EQ(error.rfind("Error # ", 0), 0u) << error;
}

TEST_P(LogUpkeepTest, TrimmingGivesUpAfterTenShrinkingAttempts) {
  SetHistoryDays("30");
  int32_t retention = 0;
  ASSERT_TRUE(object_->log.MDCLogHistoryEnabled(retention));
  AddHistoryRow(time_stamp_.AddDays(-100), 999);  // old enough for every attempt
  for (const std::string& sql : testsupport::RowTriggerStatements(
           database_, "keep_history", "T_SFC_MDC_LOG_HIST", "delete", "history is archived")) {
    Exec(sql);
  }
  const int32_t key = AddLogRow(time_stamp_);

  const std::string error = object_->log.CopyLogEntryToHistory(key, time_stamp_);
  // 30, 31, 33, 36, ... : the tenth attempt keeps 30 + 1 + 2 + ... + 9 = 75 days.
  const std::string last =
      "delete from T_SFC_MDC_LOG_HIST where TIME_STAMP < " + Literal(time_stamp_.AddDays(-75));
  EXPECT_EQ(error.rfind("Error # ", 0), 0u) << error;
  EXPECT_NE(error.find("history is archived"), std::string::npos) << error;
  EXPECT_TRUE(error.ends_with(" - delete failed 10 tries: (" + last + ")")) << error;
  EXPECT_EQ(store_.CountMessagesStarting("delete from T_SFC_MDC_LOG_HIST"), 10u);
  EXPECT_EQ(Scalar("select count(*) from T_SFC_MDC_LOG_HIST"), "2");
  // Retried, the row is already in the history: no copy, no trimming.
  EXPECT_EQ(object_->log.CopyLogEntryToHistory(key, time_stamp_), "");
  EXPECT_EQ(store_.CountMessagesStarting("delete from T_SFC_MDC_LOG_HIST"), 10u);
}

TEST_P(LogUpkeepTest, AnEmptyDeleteQueueExecutesNothing) {
  std::string error;
  EXPECT_TRUE(object_->log.FlushDeleteQueue(error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(store_.CountMessagesStarting("FlushDeleteQueue Count=0"), 1u);
  EXPECT_EQ(store_.CountMessagesStarting("delete from"), 0u);
}

TEST_P(LogUpkeepTest, OneStatementDeletesEveryQueuedRow) {
  std::vector<int32_t> keys;
  for (int i = 0; i < 12; ++i) keys.push_back(AddLogRow(time_stamp_.AddSeconds(i)));
  ASSERT_EQ(keys.front(), 1);
  for (int32_t key : {2, 9, 10, 12, 9}) object_->log.QueueLogRowForDeletion(key);
  EXPECT_EQ(object_->log.DeleteQueueCount(), 4u);

  std::string error;
  EXPECT_TRUE(object_->log.FlushDeleteQueue(error)) << error;
  EXPECT_EQ(Rows("select MDC_LOG_ID from T_SFC_MDC_LOG order by MDC_LOG_ID"),
            (std::vector<std::string>{"1", "3", "4", "5", "6", "7", "8", "11"}));
  EXPECT_EQ(object_->log.DeleteQueueCount(), 0u);
  EXPECT_EQ(store_.CountMessagesStarting("FlushDeleteQueue Count=4"), 1u);
  const auto messages = store_.Messages();
  std::vector<std::string> deletes;
  std::copy_if(messages.begin(), messages.end(), std::back_inserter(deletes),
               [](const std::string& m) { return m.rfind("delete from T_SFC_MDC_LOG ", 0) == 0; });
  EXPECT_EQ(deletes,
            std::vector<std::string>{"delete from T_SFC_MDC_LOG where MDC_LOG_ID in ( 2,9,10,12)"});
}

TEST_P(LogUpkeepTest, AFailedFlushKeepsEveryKeyForTheNextOne) {
  const int32_t first = AddLogRow(time_stamp_);
  const int32_t second = AddLogRow(time_stamp_);
  object_->log.QueueLogRowForDeletion(first);
  object_->log.QueueLogRowForDeletion(second);
  object_->session.connection()->Close();

  std::string error;
  EXPECT_FALSE(object_->log.FlushDeleteQueue(error));
  EXPECT_EQ(error.rfind("Error # ", 0), 0u) << error;
  EXPECT_EQ(object_->log.DeleteQueueCount(), 2u);

  ASSERT_TRUE(
      object_->session.ConnectToDatabase(database_.connection_string, database_.kind, error));
  EXPECT_TRUE(object_->log.FlushDeleteQueue(error)) << error;
  EXPECT_EQ(Scalar("select count(*) from T_SFC_MDC_LOG"), "0");
}

INSTANTIATE_TEST_SUITE_P(AllKinds, LogUpkeepTest, testing::ValuesIn(testsupport::AvailableKinds()));

// ---- The diagnostic log ----

class DiagnosticLogTest : public testing::Test {
 protected:
  TempStore store_;
  Components object_;
  const std::string statement_ =
      "INSERT INTO T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, "
      "COMMAND_TIME_CODE, TIME_STAMP, PARAM1 )\r\n VALUES (9,1,2,3,4,0,'2021-03-15 "
      "06:30:05.250', 'x') -- MDC_LOG_ID = 17";
  const std::string entry_ =
      "Failed to process the following mdc_log entry because it was prior to a previously "
      "recorded entry\r\n" +
      statement_ + "\r\n";
};

TEST_F(DiagnosticLogTest, EachDiscardedRowAddsItsLinesInTheUsersBaseFolder) {
  const std::string user_base = store_.dir() + "/user base";
  const std::string machine_base = store_.dir() + "/machine base";
  fs::create_directories(user_base);
  fs::create_directories(machine_base);
  store_.WriteHives(TempStore::BaseFolderKey(machine_base), TempStore::BaseFolderKey(user_base));
  ReadExtendedErrorLogSetting();

  std::string path;
  ASSERT_TRUE(object_.log.WriteDiagnosticLog(statement_, path)) << path;
  EXPECT_EQ(path, user_base + "/MDCService.log");
  ASSERT_TRUE(object_.log.WriteDiagnosticLog(statement_, path)) << path;
  EXPECT_EQ(ReadWholeFile(path), entry_ + entry_);
  EXPECT_FALSE(fs::exists(machine_base + "/MDCService.log"));
  EXPECT_EQ(
      store_.CountMessagesStarting("GetVoltraneSoftwareBasePath1B - strPath = " + user_base +
                                   ", regPath = HKEY_CURRENT_USER\\Software\\Voltrane\\Paths"),
      2u);
}

TEST_F(DiagnosticLogTest, TheMachineHiveServesWhenTheUserHiveHasNoFolder) {
  const std::string machine_base = store_.dir() + "/machine";
  fs::create_directories(machine_base);
  store_.WriteHives(TempStore::BaseFolderKey(machine_base + "/"), TempStore::BaseFolderKey(""));
  ReadExtendedErrorLogSetting();

  std::string path;
  ASSERT_TRUE(object_.log.WriteDiagnosticLog(statement_, path)) << path;
  EXPECT_EQ(path, machine_base + "/MDCService.log");  // no doubled separator
  EXPECT_EQ(ReadWholeFile(path), entry_);
  EXPECT_EQ(store_.CountMessagesStarting("GetVoltraneSoftwareBasePath1A - strPath = " +
                                         machine_base + "/, regPath = HKEY_LOCAL_MACHINE"),
            1u);
  EXPECT_EQ(store_.CountMessagesStarting("GetVoltraneSoftwareBasePath1D"), 1u);
}

TEST_F(DiagnosticLogTest, WithoutAnyFolderTheInstallationDefaultIsUsed) {
  std::string reg_path;
  EXPECT_EQ(object_.log.GetVoltraneSoftwareBasePath(reg_path), "/var/lib/voltrane");
  EXPECT_EQ(object_.log.GetVoltraneSoftwareBasePath(reg_path), voltrane::SoftwareBaseFolder());
  EXPECT_EQ(reg_path, "HKEY_LOCAL_MACHINE\\Software\\Voltrane\\Paths");
}

TEST_F(DiagnosticLogTest, AFolderThatCannotBeWrittenGivesTheReason) {
  const std::string missing = store_.dir() + "/missing";
  store_.WriteHives(TempStore::BaseFolderKey(missing), "");
  std::string error;
  EXPECT_FALSE(object_.log.WriteDiagnosticLog(statement_, error));
  EXPECT_EQ(error, "oops, Couldn't write a log file: " + missing +
                       "/MDCService.log - No such file or directory");
}

}  // namespace
