// The bridge's log writer against every available database: a row exists
// only with its observation's time (a reader polling the log beside it never
// sees another), the library intake's refusals and texts, and a database
// that fails is retried, reported once and given up only when it must be.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>
#include <thread>

#include "dbaccess/connection.h"
#include "dbaccess/db_error.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "mtconnect/log_row_writer.h"
#include "mtconnect/stop_signal.h"
#include "mtconnect/utc_time.h"
#include "tests/support/mtconnect_recording.h"
#include "tests/support/shop_floor_db.h"

namespace {

using mtconnect::LogCommand;
using std::chrono::milliseconds;

// 2020-01-06 06:00:00 UTC, long before the database's clock.
constexpr int64_t kMorningMs = 1578290400000;

std::string TimeText(const dbaccess::Variant& value) {
  return value.IsNull() || value.IsEmpty() ? "null" : value.ToDateTime().ToText();
}

class MtconnectLogWriterTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    database_ = testsupport::CreateShopFloorDatabase(GetParam(), true);
    connection_ = Connect();
  }
  void TearDown() override {
    connection_.reset();
    testsupport::DropTestDatabase(database_);
    unsetenv("TZ");
    tzset();
  }

  std::shared_ptr<dbaccess::Connection> Connect() const {
    auto connection = std::make_shared<dbaccess::Connection>();
    connection->Open(database_.connection_string);
    return connection;
  }
  mtconnect::LogRowWriter Writer(const std::string& machine, mtconnect::RetryPolicy retry = {}) {
    return mtconnect::LogRowWriter(database_.connection_string, database_.kind, machine,
                                   reporter_, stop_, retry);
  }
  // "type|time code|time|param" of each row of the log, in key order.
  std::vector<std::string> LogRows() {
    dbaccess::Recordset rs;
    rs.Open("select c.COMMAND_TYPE_CODE, l.COMMAND_TIME_CODE, l.TIME_STAMP, l.PARAM1, "
            "l.MACHINE_ID from T_SFC_MDC_LOG l, T_SFC_COMMAND c where c.COMMAND_ID = "
            "l.COMMAND_ID order by l.MDC_LOG_ID",
            connection_);
    std::vector<std::string> rows;
    for (; !rs.Eof(); rs.MoveNext()) {
      const dbaccess::Variant param = rs.Fields(size_t{3}).Value();
      rows.push_back(rs.Fields(size_t{0}).Value().ToText() + "|" +
                     rs.Fields(size_t{1}).Value().ToText() + "|" +
                     TimeText(rs.Fields(size_t{2}).Value()) + "|" +
                     (param.IsNull() ? "null" : param.ToText()) + "|" +
                     rs.Fields(size_t{4}).Value().ToText());
    }
    return rows;
  }

  testsupport::TestDatabase database_;
  std::shared_ptr<dbaccess::Connection> connection_;
  testsupport::RecordingReporter reporter_;
  mtconnect::StopSignal stop_;
};

TEST_P(MtconnectLogWriterTest, ARowIsNeverSeenWithoutItsObservationTime) {
  constexpr int kCommands = 60;
  std::set<std::string> expected;
  for (int i = 0; i < kCommands; ++i) {
    expected.insert(mtconnect::LocalWallClock(kMorningMs + i * 1000).ToText());
  }
  // A collector's view: reads the log over and over while the rows arrive.
  std::atomic<bool> done{false};
  std::atomic<int> rows_seen{0};
  std::set<std::string> foreign_times;
  std::thread reader([&] {
    const auto connection = Connect();
    while (!done) {
      try {
        dbaccess::Recordset rs;
        rs.Open("select TIME_STAMP from T_SFC_MDC_LOG", connection);
        for (; !rs.Eof(); rs.MoveNext()) {
          ++rows_seen;
          const std::string time = TimeText(rs.Fields(size_t{0}).Value());
          if (expected.count(time) == 0) foreign_times.insert(time);
        }
      } catch (const dbaccess::DbError&) {
        // A busy database: read again.
      }
    }
  });
  mtconnect::LogRowWriter writer = Writer("101");
  for (int i = 0; i < kCommands; ++i) {
    const LogCommand command{mtconnect::kCycleCommand, i % 2, "", kMorningMs + i * 1000};
    std::string error;
    ASSERT_TRUE(writer.Append(command, error)) << error;
    // Complete the moment the append returns.
    dbaccess::Recordset rs;
    rs.Open("select TIME_STAMP from T_SFC_MDC_LOG where MDC_LOG_ID = (select max(MDC_LOG_ID) "
            "from T_SFC_MDC_LOG)",
            connection_);
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(TimeText(rs.Fields(size_t{0}).Value()),
              mtconnect::LocalWallClock(command.utc_ms).ToText());
  }
  // On a loaded machine the reader may not have run yet: let it see the rows.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (rows_seen.load() == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  done = true;
  reader.join();
  EXPECT_GT(rows_seen.load(), 0);
  EXPECT_TRUE(foreign_times.empty()) << *foreign_times.begin();
  EXPECT_EQ(LogRows().size(), static_cast<size_t>(kCommands));
}

TEST_P(MtconnectLogWriterTest, RefusesWhatTheIntakeRefusesWithItsTexts) {
  mtconnect::LogRowWriter writer = Writer("102");
  std::string longest;
  for (int i = 0; i < 255; ++i) longest += "\xC3\xA4";  // 255 characters, 510 bytes
  struct Case {
    LogCommand command;
    std::string error;  // "" when it is appended
  };
  const Case cases[] = {
      {{mtconnect::kLogonCommand, mtconnect::kStartCode, "O'Brien", kMorningMs}, ""},
      {{mtconnect::kPartCommand, mtconnect::kStartCode, longest, kMorningMs + 1000}, ""},
      {{mtconnect::kPartCommand, mtconnect::kStartCode, longest + "x", kMorningMs},
       "The parameter is 256 characters long; PARAM1 holds at most 255."},
      {{mtconnect::kCycleCommand, 3, "", kMorningMs},
       " CommandTypeCode must be 0 - start, 1 - end, or 2 - both"},
      {{99, mtconnect::kStartCode, "", kMorningMs}, "No command with a COMMAND_TYPE_CODE of 99"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(writer.Append(c.command, error), c.error.empty()) << error;
    EXPECT_EQ(error, c.error);
  }
  std::string error;
  EXPECT_FALSE(Writer("999").Append({mtconnect::kCycleCommand, 0, "", kMorningMs}, error));
  EXPECT_EQ(error, "No such machine: 999");
  // A machine that loses its group after it was looked up: refused, not
  // reported as appended (the insert joins the group and takes nothing).
  connection_->Execute("update T_SFC_MACHINE set GROUP_ID = 9999 where MACHINE_NUMBER = '102'");
  EXPECT_FALSE(writer.Append({mtconnect::kCycleCommand, 0, "", kMorningMs + 2000}, error));
  EXPECT_EQ(error, "Machine 102 has no group or location");

  EXPECT_EQ(LogRows(), (std::vector<std::string>{"4|0|2020-01-06 06:00:00.000|O'Brien|2",
                                                 "6|0|2020-01-06 06:00:01.000|" + longest + "|2"}));
}

TEST_P(MtconnectLogWriterTest, AFailingDatabaseIsRetriedAndReportedOnce) {
  mtconnect::LogRowWriter writer = Writer("101", {milliseconds(10), milliseconds(40),
                                                  milliseconds(60000)});
  std::string error;
  ASSERT_TRUE(writer.Append({mtconnect::kCycleCommand, 0, "", kMorningMs}, error)) << error;
  if (database_.kind == voltrane::dbkind::kPostgreSql) {
    // A lost connection: the server ends the writer's session; the writer
    // connects again.
    connection_->Execute(
        "select pg_terminate_backend(pid) from pg_stat_activity where datname = "
        "current_database() and pid <> pg_backend_pid()");
    std::this_thread::sleep_for(milliseconds(200));
    ASSERT_TRUE(writer.Append({mtconnect::kCycleCommand, 1, "", kMorningMs + 500}, error))
        << error;
    ASSERT_TRUE(writer.Append({mtconnect::kCycleCommand, 0, "", kMorningMs + 600}, error))
        << error;
    EXPECT_EQ(reporter_.Count("Machine 101: the log takes rows again"), 1u) << reporter_.All();
  }
  const size_t rows = LogRows().size();
  const size_t reported = reporter_.Count("retrying: Error # ");
  // The log is away for a while; the append waits for it.
  connection_->Execute("ALTER TABLE T_SFC_MDC_LOG RENAME TO T_SFC_MDC_LOG_AWAY");
  std::thread restore([&] {
    std::this_thread::sleep_for(milliseconds(400));
    Connect()->Execute("ALTER TABLE T_SFC_MDC_LOG_AWAY RENAME TO T_SFC_MDC_LOG");
  });
  const bool appended = writer.Append({mtconnect::kCycleCommand, 1, "", kMorningMs + 1000}, error);
  restore.join();
  EXPECT_TRUE(appended) << error;
  // Failing every 10 to 40 ms for 400 ms, reported once.
  EXPECT_EQ(reporter_.Count("Machine 101: cannot append to the log, retrying: Error # "),
            reported + 1)
      << reporter_.All();
  EXPECT_EQ(reporter_.Count("Machine 101: the log takes rows again"), reported + 1)
      << reporter_.All();
  EXPECT_EQ(LogRows().size(), rows + 1);

  // A database that keeps refusing the row gives it up after the limit; a
  // stop ends the wait at once.
  connection_->Execute("ALTER TABLE T_SFC_MDC_LOG RENAME TO T_SFC_MDC_LOG_AWAY");
  mtconnect::LogRowWriter impatient = Writer("101", {milliseconds(10), milliseconds(40),
                                                     milliseconds(200)});
  EXPECT_FALSE(impatient.Append({mtconnect::kCycleCommand, 0, "", kMorningMs + 2000}, error));
  EXPECT_EQ(error.rfind("Error # ", 0), 0u) << error;
  stop_.Stop();
  EXPECT_FALSE(writer.Append({mtconnect::kCycleCommand, 0, "", kMorningMs + 2000}, error));
  EXPECT_EQ(error.rfind("stopped while the database failed: Error # ", 0), 0u) << error;
}

INSTANTIATE_TEST_SUITE_P(AllKinds, MtconnectLogWriterTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
