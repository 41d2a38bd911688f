// The built voltrane-collector as a console program (a real child process,
// standard input not a terminal, its settings store and lock in a temp
// folder) working through commands that this test appends with the library:
// custom commands are processed within a second, a database outage of 60
// seconds that begins in the middle of a backlog is survived without losing
// or doubling a command, and SIGTERM ends the program within 5 seconds.
//
// The outage: PostgreSQL runs in a private cluster of the test, whose server
// is stopped for 60 seconds and started again; the collector loses its
// connection and must connect again. SQLite has no server to stop, and an
// open connection keeps working on a file that is renamed or made
// unreadable (root reads it anyway), so its outage is another process
// holding the database's write lock for 60 seconds (an open EXCLUSIVE
// transaction): nothing can be recorded until it ends.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/recordset.h"
#include "library/korvex7.h"
#include "tests/support/child_process.h"
#include "tests/support/shop_floor_db.h"
#include "tests/support/test_databases.h"

namespace {

using testsupport::ChildProcess;
using testsupport::WaitFor;
using SteadyClock = std::chrono::steady_clock;

constexpr int kOutageSeconds = 60;
// Several batches of the processing transaction, so the outage falls inside the backlog.
constexpr int kBacklog = 1000;
const std::vector<std::string> kDemoMachines = {"101", "102", "201", "202", "301"};

std::string TomlText(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

int64_t MillisecondsSince(SteadyClock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Runs scripts/pg-cluster.sh; its output, and whether it succeeded.
bool RunClusterScript(const std::string& action, const std::string& dir, std::string& output) {
  const std::string command =
      std::string(VOLTRANE_SOURCE_DIR) + "/scripts/pg-cluster.sh " + action + " '" + dir + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  return pclose(pipe) == 0;
}

class CollectorTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    dir_ = testsupport::MakeTempDir();
    setenv("VOLTRANE_MACHINE_STORE", (dir_ + "/machine.toml").c_str(), 1);
    setenv("VOLTRANE_USER_STORE", (dir_ + "/user.toml").c_str(), 1);
  }

  void TearDown() override {
    if (lock_holder_ != nullptr) EndOutage();
    collector_.reset();
    object_.reset();
    reader_.reset();
    if (!cluster_dir_.empty()) {
      std::string ignored;
      RunClusterScript("stop", cluster_dir_, ignored);
    } else if (database_) {
      testsupport::DropTestDatabase(*database_);
    }
    std::filesystem::remove_all(dir_);
  }

  // A demo plant database on the shared test server, or with `private_server`
  // in a PostgreSQL cluster of this test's own (SQLite needs no server).
  void CreateDatabase(bool private_server) {
    if (private_server && GetParam() == "PostgreSQL") {
      ASSERT_NO_FATAL_FAILURE(StartPrivateCluster());
      ASSERT_FALSE(cluster_dir_.empty());
    }
    database_ = testsupport::CreateShopFloorDatabase(GetParam(), true);
    if (!cluster_dir_.empty()) RestoreServerEnvironment();
    WriteSettings();
  }

  void StartPrivateCluster() {
    // A port range of its own: the port must stay free while the server is stopped.
    setenv("PG_FIRST_PORT", std::to_string(56432 + getpid() % 300).c_str(), 1);
    std::string output;
    for (int attempt = 0; attempt < 3 && cluster_dir_.empty(); ++attempt) {
      cluster_dir_ = testsupport::MakeTempDir();
      output.clear();
      if (RunClusterScript("start", cluster_dir_, output)) break;
      std::filesystem::remove_all(cluster_dir_);
      cluster_dir_.clear();
    }
    unsetenv("PG_FIRST_PORT");
    if (cluster_dir_.empty()) {
      const char* require = std::getenv("VOLTRANE_REQUIRE_PG");
      if (require != nullptr && std::string(require) == "1") {
        FAIL() << "no private PostgreSQL cluster: " << output;
      }
      GTEST_SKIP() << "no private PostgreSQL cluster: " << output;
    }
    // The fixtures create the database on the server the environment names.
    for (const char* name :
         {"VOLTRANE_TEST_PG", "VOLTRANE_TEST_PG_USER", "VOLTRANE_TEST_PG_PASSWORD"}) {
      const char* value = std::getenv(name);
      saved_environment_[name] = value == nullptr ? "" : value;
    }
    size_t at = 0;
    while ((at = output.find("export ", at)) != std::string::npos) {
      const size_t end = output.find('\n', at);
      const std::string assignment = output.substr(at + 7, end - at - 7);
      const size_t equals = assignment.find('=');
      setenv(assignment.substr(0, equals).c_str(), assignment.substr(equals + 1).c_str(), 1);
      at = end;
    }
  }

  void RestoreServerEnvironment() {
    for (const auto& [name, value] : saved_environment_) setenv(name.c_str(), value.c_str(), 1);
  }

  // The collector's settings: the database, a short idle timeout (the
  // collector looks for new rows ten times a second) and the class
  // registration of the library built beside it.
  void WriteSettings() {
    const std::string clsid = "{A09D7A08-B28E-40B1-8E1B-01D5F54B6DBA}";
    std::ofstream store(dir_ + "/machine.toml");
    store << "[Software.Voltrane.MDCService]\n"
          << "DatabaseType = " << TomlText(GetParam()) << "\n"
          << GetParam() << "ConnectionString = " << TomlText(database_->connection_string) << "\n"
          << "Timeout = 100\nEnableIcon = 0\n\n"
          << "[Software.Voltrane.Paths]\n\"\" = " << TomlText(dir_) << "\n\n"
          << "[Software.Classes.\"Korvex7.CKorvex7Obj\".CLSID]\n\"\" = " << TomlText(clsid)
          << "\n\n[Software.Classes.CLSID.\"" << clsid
          << "\".InprocServer32]\n\"\" = " << TomlText(KORVEX7_LIBRARY_PATH) << "\n";
  }

  // Starts the collector and waits until it has connected and processed a
  // first command, so that what follows measures the running collector.
  void StartCollector() {
    collector_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{COLLECTOR_PATH},
        std::map<std::string, std::string>{{"VOLTRANE_MACHINE_STORE", dir_ + "/machine.toml"},
                                           {"VOLTRANE_USER_STORE", dir_ + "/user.toml"},
                                           {"VOLTRANE_LOCK_DIR", dir_}},
        dir_ + "/collector.log");
    ASSERT_TRUE(WaitFor(
        [&] {
          return Output().find("Database connection successfully initialized.") !=
                 std::string::npos;
        },
        30000))
        << Output();
    Append("101", 20, 2, "warm-up");
    ASSERT_TRUE(WaitFor([&] { return EventsWithParam("warm-up") == 1; }, 30000)) << Output();
  }

  std::string Output() const { return collector_ ? collector_->Output() : ""; }

  void Append(const std::string& machine, int32_t type_code, int32_t time_code,
              const std::string& param) {
    if (!object_) {
      _CKorvex7Obj* raw = nullptr;
      ASSERT_EQ(Korvex7CreateObject(kKorvex7ProgId, kKorvex7InterfaceId, &raw), 0);
      object_.reset(raw);
    }
    std::string error;
    if (!object_->IsConnected()) {
      ASSERT_TRUE(object_->ConnectToDatabase(database_->connection_string, database_->kind, error))
          << error;
    }
    ASSERT_TRUE(object_->AppendItemToMDCLog2(machine, type_code, param, time_code, error)) << error;
  }

  // A count read through a connection of the test's own, opened again after
  // an outage.
  int64_t Count(const std::string& sql) {
    try {
      if (!reader_) {
        reader_ = std::make_shared<dbaccess::Connection>();
        reader_->Open(database_->connection_string);
      }
      dbaccess::Recordset rs;
      rs.Open(sql, reader_);
      return rs.Fields(size_t{0}).Value().ToInt64();
    } catch (...) {
      reader_.reset();
      return -1;
    }
  }
  int64_t EventsWithParam(const std::string& param) {
    return Count("select count(*) from T_SFC_EVENT where PARAM1 = '" + param + "'");
  }
  int64_t LogRows() { return Count("select count(*) from T_SFC_MDC_LOG"); }

  // The numbers of the backlog's commands that made no event.
  std::string Missing(const std::string& prefix) {
    std::string missing;
    for (int i = 0; i < kBacklog; ++i) {
      if (EventsWithParam(prefix + std::to_string(i)) != 1) missing += " " + std::to_string(i);
    }
    return missing;
  }

  // Appends `count` custom commands whose parameters are `prefix` and a
  // number: starts of "Door Open" and "Coolant Alarm" and "both" events, over
  // every demo machine. Each makes one event.
  void AppendBatch(const std::string& prefix, int count) {
    for (int i = 0; i < count; ++i) {
      ASSERT_NO_FATAL_FAILURE(Append(kDemoMachines[i % kDemoMachines.size()], i % 2 == 0 ? 0 : 20,
                                     i % 3 == 0 ? 2 : 0, prefix + std::to_string(i)));
    }
  }

  // Takes the SQLite database's write lock, or stops the private server.
  bool BeginOutage() {
    if (GetParam() == "PostgreSQL") {
      std::string output;
      const bool halted = RunClusterScript("halt", cluster_dir_, output);
      EXPECT_TRUE(halted) << output;
      return halted;
    }
    const auto start = database_->connection_string.find("Data Source=") + 12;
    const std::string file = database_->connection_string.substr(
        start, database_->connection_string.find(';', start) - start);
    if (sqlite3_open(file.c_str(), &lock_holder_) != SQLITE_OK) return false;
    sqlite3_busy_timeout(lock_holder_, 10000);
    const bool locked =
        sqlite3_exec(lock_holder_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    EXPECT_TRUE(locked) << sqlite3_errmsg(lock_holder_);
    return locked;
  }

  bool EndOutage() {
    if (GetParam() == "PostgreSQL") {
      std::string output;
      const bool resumed = RunClusterScript("resume", cluster_dir_, output);
      EXPECT_TRUE(resumed) << output;
      return resumed;
    }
    sqlite3_exec(lock_holder_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(lock_holder_);
    lock_holder_ = nullptr;
    return true;
  }

  std::string dir_;
  std::string cluster_dir_;
  std::map<std::string, std::string> saved_environment_;
  std::optional<testsupport::TestDatabase> database_;
  std::unique_ptr<ChildProcess> collector_;
  std::unique_ptr<_CKorvex7Obj, void (*)(_CKorvex7Obj*)> object_{nullptr, Korvex7ReleaseObject};
  std::shared_ptr<dbaccess::Connection> reader_;
  sqlite3* lock_holder_ = nullptr;  // holds the write lock during a SQLite outage
};

TEST_P(CollectorTest, ProcessesAppendedCommandsWithinASecondAndEndsOnSigterm) {
  ASSERT_NO_FATAL_FAILURE(CreateDatabase(false));
  ASSERT_NO_FATAL_FAILURE(StartCollector());
  EXPECT_NE(Output().find("Running as an application"), std::string::npos) << Output();
  EXPECT_EQ(Output().find("Press ESC"), std::string::npos) << "no key watcher without a terminal";

  for (int i = 0; i < 5; ++i) {
    const std::string param = "quick " + std::to_string(i);
    ASSERT_NO_FATAL_FAILURE(Append(kDemoMachines[i], i % 2 == 0 ? 0 : 20, 2, param));
    const auto appended = SteadyClock::now();
    EXPECT_TRUE(WaitFor([&] { return EventsWithParam(param) == 1; }, 1000))
        << param << " not processed after " << MillisecondsSince(appended) << " ms\n"
        << Output();
  }
  // A start and its end: one event, closed.
  ASSERT_NO_FATAL_FAILURE(Append("202", 20, 0, "pressure"));
  ASSERT_NO_FATAL_FAILURE(Append("202", 20, 1, ""));
  EXPECT_TRUE(WaitFor(
      [&] {
        return Count(
                   "select count(*) from T_SFC_EVENT where PARAM1 = 'pressure' and STOP_TIME "
                   "is not null") == 1;
      },
      1000))
      << Output();
  EXPECT_TRUE(WaitFor([&] { return LogRows() == 0; }, 1000)) << Output();

  const auto signalled = SteadyClock::now();
  collector_->Signal(SIGTERM);
  const std::optional<int> status = collector_->WaitForExit(5000);
  ASSERT_TRUE(status.has_value()) << "still running 5 s after SIGTERM\n" << Output();
  EXPECT_EQ(*status, 0) << Output();
  EXPECT_LT(MillisecondsSince(signalled), 5000);
  EXPECT_NE(Output().find("Service attempting to stop."), std::string::npos) << Output();
  EXPECT_NE(Output().find("Service successfully stopped."), std::string::npos) << Output();
  // 1 warm-up, 5 quick, 1 pressure: nothing more, nothing less.
  EXPECT_EQ(Count("select count(*) from T_SFC_EVENT"), 7);
}

TEST_P(CollectorTest, SurvivesASixtySecondOutageLosingAndDoublingNothing) {
  ASSERT_NO_FATAL_FAILURE(CreateDatabase(true));
  ASSERT_NO_FATAL_FAILURE(StartCollector());

  // The outage begins while the collector works through a backlog, with rows
  // in its batch cache and keys in its delete queue: paused (SIGUSR1) while
  // the batch is appended, continued (SIGUSR2) until it has recorded the
  // first few commands, paused again while the database goes away (a lock
  // taken while it writes row after row could be waited out to the end of
  // the backlog) and continued into the outage.
  collector_->Signal(SIGUSR1);
  ASSERT_NO_FATAL_FAILURE(AppendBatch("before ", kBacklog));
  collector_->Signal(SIGUSR2);
  const auto processed_before = [&] {
    return Count("select count(*) from T_SFC_EVENT where PARAM1 like 'before %'");
  };
  ASSERT_TRUE(WaitFor([&] { return processed_before() >= 1; }, 30000)) << Output();
  if (GetParam() == "SQLite") {
    collector_->Signal(SIGUSR1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the call in hand ends
  }
  const int64_t at_outage = processed_before();
  RecordProperty("recorded_when_the_outage_began", std::to_string(at_outage));
  ASSERT_TRUE(BeginOutage());
  collector_->Signal(SIGUSR2);
  // Readers still read SQLite while the write lock is held: nothing is
  // recorded during the outage, and the backlog is not done.
  const int64_t locked_at = GetParam() == "SQLite" ? processed_before() : -1;
  std::this_thread::sleep_for(std::chrono::seconds(kOutageSeconds));
  if (GetParam() == "SQLite") {
    EXPECT_EQ(processed_before(), locked_at);
    EXPECT_LT(locked_at, kBacklog) << "the outage began after the backlog was done";
  }
  ASSERT_TRUE(EndOutage());
  ASSERT_TRUE(collector_->Running()) << Output();
  ASSERT_NO_FATAL_FAILURE(AppendBatch("after ", 20));

  EXPECT_TRUE(WaitFor(
      [&] {
        return LogRows() == 0 &&
               Count("select count(*) from T_SFC_EVENT where PARAM1 like 'after %'") == 20;
      },
      120000))
      << "log rows left: " << LogRows() << "\n"
      << Output();
  // Each command made exactly one event.
  EXPECT_EQ(Count("select count(*) from T_SFC_EVENT"), 1 + kBacklog + 20) << Output();
  EXPECT_EQ(Count("select count(distinct PARAM1) from T_SFC_EVENT"), 1 + kBacklog + 20);
  EXPECT_EQ(processed_before(), kBacklog)
      << at_outage << " were recorded when the outage began; missing:" << Missing("before ");
  if (GetParam() == "PostgreSQL") {
    // Connected again once, for the one outage.
    EXPECT_EQ(Occurrences(Output(), "Re-Connected to database"), 1u) << Output();
  }

  collector_->Signal(SIGTERM);
  const std::optional<int> status = collector_->WaitForExit(5000);
  ASSERT_TRUE(status.has_value()) << "still running 5 s after SIGTERM\n" << Output();
  EXPECT_EQ(*status, 0) << Output();
}

INSTANTIATE_TEST_SUITE_P(AllKinds, CollectorTest, testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const testing::TestParamInfo<std::string>& test_info) {
                           return test_info.param;
                         });

}  // namespace
