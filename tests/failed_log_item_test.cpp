// The extended interface _CKorvex7Obj2 against a real shop-floor database of
// every kind: the identity of the row a processing call failed on, with its
// attempts across retries, and committing the processed rows on request.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dbaccess/clock.h"
#include "dbaccess/connection.h"
#include "dbaccess/recordset.h"
#include "library/korvex7.h"
#include "library/korvex7_obj.h"
#include "tests/support/settings_sandbox.h"
#include "library/korvex7_commands.h"
#include "tests/support/shop_floor_db.h"

namespace {

constexpr int32_t kSetupTypeCode = korvex7::Code(korvex7::CommandType::kSetup);
constexpr int32_t kCustomTypeCode = 20;

class FailedLogItemTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    database_ = testsupport::CreateShopFloorDatabase(GetParam(), true);
    observer_.Open(database_.connection_string);
    std::string error;
    ASSERT_TRUE(library_.ConnectToDatabase(database_.connection_string, database_.kind, error))
        << error;
  }
  void TearDown() override {
    observer_.Close();
    testsupport::DropTestDatabase(database_);
  }

  void Append(const std::string& machine, int32_t type_code, int32_t time_code) {
    std::string error;
    ASSERT_TRUE(library_.AppendItemToMDCLog2(machine, type_code, "", time_code, error)) << error;
  }
  // Reads through a connection of its own, which sees only what was committed.
  std::string Scalar(const std::string& sql) {
    dbaccess::Recordset rs;
    rs.Open(sql, {&observer_, [](dbaccess::Connection*) {}});
    return rs.Eof() ? "" : rs.Fields(size_t{0}).Value().ToText();
  }
  // The first call only announces the library.
  void Announce() {
    std::string error;
    ASSERT_FALSE(library_.DoNextItemFromMDCLog(error));
    ASSERT_EQ(error.rfind(" Note: Using ", 0), 0u) << error;
  }

  testsupport::SettingsSandbox sandbox_;
  testsupport::TestDatabase database_;
  dbaccess::Connection observer_;
  // A manual clock: a batch falls due by its row count only, never by a slow machine.
  CKorvex7Obj object_{std::make_shared<dbaccess::ManualClock>()};
  _CKorvex7Obj2& library_ = object_;
};

TEST_P(FailedLogItemTest, NamesTheFailingRowWithItsMachineCommandAndAttempts) {
  // A setup start fails without its downtime table.
  observer_.Execute("ALTER TABLE T_SFC_DT_PER_MACHINE_DATA RENAME TO T_SFC_DT_AWAY");
  Append("101", kSetupTypeCode, 0);
  const std::string key = Scalar("select MDC_LOG_ID from T_SFC_MDC_LOG");
  Korvex7FailedLogItem row;
  Announce();
  EXPECT_FALSE(library_.GetLastFailedLogItem(row));  // the announcement is no row's failure

  for (int32_t attempt = 1; attempt <= 2; ++attempt) {
    std::string error;
    ASSERT_FALSE(library_.DoNextItemFromMDCLog(error));
    ASSERT_TRUE(library_.GetLastFailedLogItem(row)) << error;
    EXPECT_EQ(std::to_string(row.lMDCLogID), key);
    EXPECT_EQ(row.strMachineNumber, "101");
    EXPECT_EQ(std::to_string(row.lMachineID),
              Scalar("select MACHINE_ID from T_SFC_MACHINE where MACHINE_NUMBER = '101'"));
    const std::string command = std::to_string(row.lCommandID);
    EXPECT_EQ(row.strCommandName,
              Scalar("select COMMAND_NAME from T_SFC_COMMAND where COMMAND_ID = " + command));
    EXPECT_FALSE(row.strCommandName.empty());
    EXPECT_EQ(row.lCommandTimeCode, 0);
    EXPECT_EQ(row.strError, error);
    EXPECT_EQ(row.lAttempts, attempt);
  }

  observer_.Execute("ALTER TABLE T_SFC_DT_AWAY RENAME TO T_SFC_DT_PER_MACHINE_DATA");
  std::string error;
  EXPECT_TRUE(library_.DoNextItemFromMDCLog(error)) << error;
  EXPECT_FALSE(library_.GetLastFailedLogItem(row));
  EXPECT_EQ(row.lMDCLogID, -1);  // nothing left from the earlier failure
}

TEST_P(FailedLogItemTest, CommitProcessedItemsCommitsTheOpenBatch) {
  for (int i = 0; i < 3; ++i) Append("102", kCustomTypeCode, 2);
  Announce();
  std::string error;
  ASSERT_TRUE(library_.DoNextItemFromMDCLog(error)) << error;
  // The batch holds the row until it falls due.
  EXPECT_EQ(Scalar("select count(*) from T_SFC_MDC_LOG"), "3");

  EXPECT_TRUE(library_.CommitProcessedItems(error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(Scalar("select count(*) from T_SFC_MDC_LOG"), "2");
  EXPECT_EQ(Scalar("select count(*) from T_SFC_EVENT"), "1");
  EXPECT_TRUE(library_.CommitProcessedItems(error));  // nothing more to commit

  // Processing goes on after the commit.
  ASSERT_TRUE(library_.DoNextItemFromMDCLog(error)) << error;
  ASSERT_TRUE(library_.DoNextItemFromMDCLog(error)) << error;
  EXPECT_EQ(Scalar("select count(*) from T_SFC_MDC_LOG"), "0");  // the last row read commits
}

INSTANTIATE_TEST_SUITE_P(AllKinds, FailedLogItemTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
