// The library's log-row writer and the vocabulary's append through the
// library object, on every available kind: a row carries the given time or
// the database's, each rule refuses with its value and its one text, a
// client id appends once (again after a restart, and when two retries race),
// and DoNextItemFromMDCLog tells what it did as a value.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"
#include "dbaccess/recordset.h"
#include "library/korvex7_commands.h"
#include "library/korvex7_log_writer.h"
#include "library/korvex7_obj.h"
#include "tests/support/shop_floor_db.h"

namespace {

using dbaccess::DateTime;
using korvex7::AppendStatus;
using korvex7::Command;
using korvex7::Refusal;

constexpr int32_t kCycle = korvex7::Code(korvex7::CommandType::kCycle);

class LogRowWriterTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    database_ = testsupport::CreateShopFloorDatabase(GetParam(), true);
    connection_ = Connect();
  }
  void TearDown() override {
    connection_.reset();
    testsupport::DropTestDatabase(database_);
  }

  std::shared_ptr<dbaccess::Connection> Connect() const {
    auto connection = std::make_shared<dbaccess::Connection>();
    connection->Open(database_.connection_string);
    return connection;
  }
  korvex7::LogRowWriter Writer() const { return korvex7::LogRowWriter(Connect(), database_.kind); }

  // The log's time stamps in key order.
  std::vector<DateTime> LogTimes() {
    dbaccess::Recordset rs;
    rs.Open("select TIME_STAMP from T_SFC_MDC_LOG order by MDC_LOG_ID", connection_);
    std::vector<DateTime> times;
    for (; !rs.Eof(); rs.MoveNext()) times.push_back(rs.Fields(size_t{0}).Value().ToDateTime());
    return times;
  }

  testsupport::TestDatabase database_;
  std::shared_ptr<dbaccess::Connection> connection_;
};

TEST_P(LogRowWriterTest, ARowCarriesItsOwnTimeOrTheDatabasesAndEachRuleRefusesWithItsValue) {
  korvex7::LogRowWriter writer = Writer();
  const DateTime offline = DateTime::FromParts(2020, 1, 6, 6, 0, 0).AddMilliseconds(250);
  EXPECT_EQ(writer.Append({"101", kCycle, "p", 0, offline, ""}).status, AppendStatus::kAppended);
  EXPECT_EQ(writer.Append({"101", kCycle, "", 1, std::nullopt, ""}).status,
            AppendStatus::kAppended);
  const std::vector<DateTime> times = LogTimes();
  ASSERT_EQ(times.size(), 2u);
  EXPECT_EQ(times[0], offline);
  EXPECT_GT(times[1], DateTime::FromParts(2025, 1, 1));

  connection_->Execute("update T_SFC_MACHINE set GROUP_ID = 9999 where MACHINE_NUMBER = '102'");
  const struct {
    Command command;
    Refusal reason;
    std::string text;
  } refused[] = {
      {{"101", kCycle, "", 3, std::nullopt, ""},
       Refusal::kTimeCode,
       " CommandTypeCode must be 0 - start, 1 - end, or 2 - both"},
      {{"101", kCycle, std::string(256, 'x'), 0, std::nullopt, ""},
       Refusal::kParamTooLong,
       "The parameter is 256 characters long; PARAM1 holds at most 255."},
      {{"101", kCycle, "", 0, std::nullopt, std::string(65, 'i')},
       Refusal::kClientIdTooLong,
       "The client id is 65 characters long; at most 64 are kept."},
      {{"999", kCycle, "", 0, std::nullopt, ""}, Refusal::kNoSuchMachine, "No such machine: 999"},
      {{"102", kCycle, "", 0, std::nullopt, ""},
       Refusal::kNoGroupOrLocation,
       "Machine 102 has no group or location"},
      {{"101", 99, "", 0, std::nullopt, ""},
       Refusal::kNoSuchCommandType,
       "No command with a COMMAND_TYPE_CODE of 99"},
  };
  for (const auto& c : refused) {
    const korvex7::AppendResult result = writer.Append(c.command);
    EXPECT_EQ(result.status, AppendStatus::kRefused) << c.text;
    EXPECT_EQ(result.refusal.reason, c.reason) << c.text;
    EXPECT_EQ(result.text, c.text);
  }
  EXPECT_EQ(LogTimes().size(), 2u);
}

TEST_P(LogRowWriterTest, AClientIdAppendsOnceAlsoAfterARestartAndWhenRetriesRace) {
  {
    korvex7::LogRowWriter writer = Writer();
    EXPECT_EQ(writer.Append({"101", kCycle, "", 0, std::nullopt, "tablet-7:1"}).status,
              AppendStatus::kAppended);
    EXPECT_EQ(writer.Append({"101", kCycle, "", 0, std::nullopt, "tablet-7:1"}).status,
              AppendStatus::kDuplicate);
  }
  EXPECT_EQ(Writer().Append({"101", kCycle, "", 1, std::nullopt, "tablet-7:1"}).status,
            AppendStatus::kDuplicate);
  EXPECT_EQ(LogTimes().size(), 1u);

  // Two clients send the same ids at once, each on its own connection.
  constexpr int kIds = 20;
  std::vector<AppendStatus> first(kIds), second(kIds);
  const auto send = [this](std::vector<AppendStatus>& statuses) {
    korvex7::LogRowWriter writer = Writer();
    for (int i = 0; i < kIds; ++i) {
      statuses[i] =
          writer.Append({"101", kCycle, "", 2, std::nullopt, "race-" + std::to_string(i)}).status;
    }
  };
  std::thread one(send, std::ref(first));
  std::thread two(send, std::ref(second));
  one.join();
  two.join();
  for (int i = 0; i < kIds; ++i) {
    EXPECT_TRUE((first[i] == AppendStatus::kAppended) != (second[i] == AppendStatus::kAppended))
        << "id " << i;
    EXPECT_TRUE(first[i] == AppendStatus::kDuplicate || second[i] == AppendStatus::kDuplicate)
        << "id " << i;
  }
  EXPECT_EQ(LogTimes().size(), 1u + kIds);
}

TEST_P(LogRowWriterTest, TheLibraryObjectAnswersAppendsAndProcessingWithValues) {
  CKorvex7Obj object;
  std::string error;
  ASSERT_TRUE(object.ConnectToDatabase(database_.connection_string, database_.kind, error))
      << error;
  const korvex7::AppendResult refused = object.AppendCommand({"999", kCycle, "", 0, {}, ""});
  EXPECT_EQ(refused.status, AppendStatus::kRefused);
  EXPECT_EQ(refused.refusal.reason, Refusal::kNoSuchMachine);
  EXPECT_EQ(refused.text, "No such machine: 999");
  EXPECT_EQ(object.AppendCommand({"101", 99, "", 0, {}, ""}).refusal.reason,
            Refusal::kNoSuchCommandType);
  EXPECT_EQ(object.AppendCommand({"101", kCycle, "", 0, {}, ""}).status, AppendStatus::kAppended);
  EXPECT_EQ(object.AppendCommand({"101", kCycle, "", 1, {}, "id-1"}).status,
            AppendStatus::kAppended);
  EXPECT_EQ(object.AppendCommand({"101", kCycle, "", 1, {}, "id-1"}).status,
            AppendStatus::kDuplicate);
  // An operator's own time: not ahead of the database's clock, not older
  // than what the machine has.
  const DateTime now = DateTime::Now();
  EXPECT_EQ(object.AppendCommand({"101", kCycle, "", 0, now.AddSeconds(3600), ""}).refusal.reason,
            Refusal::kTimeAhead);
  EXPECT_EQ(object.AppendCommand({"101", kCycle, "", 0, now.AddDays(-1), ""}).refusal.reason,
            Refusal::kTimeBeforeRecorded);
  EXPECT_EQ(object.AppendCommand({"101", kCycle, "", 1, now.AddSeconds(1), ""}).status,
            AppendStatus::kAppended);
  EXPECT_EQ(LogTimes().size(), 3u);

  // The first call announces the library; then the rows, then the empty log.
  std::vector<korvex7::ItemOutcome> outcomes;
  for (int call = 0; call < 10; ++call) {
    object.DoNextItemFromMDCLog(error);
    outcomes.push_back(object.GetLastItemOutcome());
    if (outcomes.back() == korvex7::ItemOutcome::kLogEmpty) break;
  }
  ASSERT_GE(outcomes.size(), 3u);
  EXPECT_EQ(outcomes.back(), korvex7::ItemOutcome::kLogEmpty);
  EXPECT_EQ(std::count(outcomes.begin(), outcomes.end(), korvex7::ItemOutcome::kProcessed), 3);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, LogRowWriterTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
