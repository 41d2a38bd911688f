// Collector groups on PostgreSQL, with real members: several library objects
// in the test process, each on its own connection, and the built korvex7
// program as child processes. Leases are one second. Partitions are the demo
// plant's machine groups (1 Turning: machines 1 and 2, 2 Milling: 3 and 4,
// 3 Grinding: 5) and the unassigned partition -1.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "dbaccess/clock.h"
#include "dbaccess/connection.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "library/group/group_member.h"
#include "library/group/group_tables.h"
#include "library/korvex7_obj.h"
#include "library/session/session.h"
#include "tests/support/child_process.h"
#include "tests/support/machine_mix.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/shop_floor_db.h"

namespace {

namespace group = korvex7::internal::group;
using korvex7::ItemOutcome;
using testsupport::TestDatabase;
using Steady = std::chrono::steady_clock;

constexpr double kLease = 1.0;
constexpr const char* kGroupName = "line";

bool HavePostgreSql() {
  for (const std::string& kind : testsupport::AvailableKinds()) {
    if (kind == "PostgreSQL") return true;
  }
  return false;
}

// One collector of the group: a library object of its own.
class Member {
 public:
  Member(const TestDatabase& database, const std::string& name,
         std::shared_ptr<dbaccess::Clock> clock = dbaccess::DefaultClock(),
         const std::string& group_name = "")
      : object_(std::move(clock)) {
    std::string error;
    EXPECT_TRUE(object_.ConnectToDatabase(database.connection_string, database.kind, error))
        << error;
    if (!name.empty()) object_.SetGroupMember(group_name, name);
  }
  ItemOutcome Step() {
    object_.DoNextItemFromMDCLog(last_error);
    const ItemOutcome outcome = object_.GetLastItemOutcome();
    if (outcome == ItemOutcome::kProcessed) ++processed;
    return outcome;
  }
  CKorvex7Obj& object() { return object_; }

  std::string last_error;
  int processed = 0;

 private:
  CKorvex7Obj object_;
};

class CollectorGroupTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!HavePostgreSql()) GTEST_SKIP() << "no PostgreSQL test server";
    database_ = Database();
  }
  void TearDown() override {
    connection_.Close();
    for (const TestDatabase& database : databases_) testsupport::DropTestDatabase(database);
  }

  TestDatabase Database() {
    databases_.push_back(testsupport::CreateShopFloorDatabase("PostgreSQL", true));
    return databases_.back();
  }
  void CreateGroup(const TestDatabase& database, const std::string& partition = "group") {
    korvex7::internal::Session session(dbaccess::DefaultClock());
    std::string error;
    ASSERT_TRUE(session.ConnectToDatabase(database.connection_string, database.kind, error))
        << error;
    ASSERT_TRUE(group::CreateGroup(session, kGroupName, *group::ParsePartitionKind(partition),
                                   kLease, error))
        << error;
  }
  dbaccess::ConnectionPtr Sql() {
    if (!connection_.IsOpen()) connection_.Open(database_.connection_string);
    return {&connection_, [](dbaccess::Connection*) {}};
  }
  int64_t Scalar(const std::string& sql) {
    dbaccess::Recordset rs;
    rs.Open(sql, Sql());
    const dbaccess::Variant& value = rs.Fields(size_t{0}).Value();
    return value.IsNull() ? -1 : value.ToInt64();
  }
  // A row of a machine (group_id its group) at a second of the test's day.
  void QueueRow(int machine, int group_id, int command, const std::string& param, int second) {
    Sql()->Execute(
        "insert into T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, "
        "COMMAND_TIME_CODE, TIME_STAMP, PARAM1) values (" +
        std::to_string(command) + ", 1, 1, " + std::to_string(group_id) + ", " +
        std::to_string(machine) + ", 0, " + voltrane::DateTimeLiteral(4, At(second)) + ", '" +
        param + "')");
  }
  static dbaccess::DateTime At(int second) {
    return dbaccess::DateTime::FromParts(2026, 1, 5, 8, 0, 0).AddSeconds(second);
  }
  // Cycle starts of a machine, a second apart.
  void QueueCycles(int machine, int group_id, int count, int first_second = 0) {
    for (int i = 0; i < count; ++i) QueueRow(machine, group_id, 9, "", first_second + i);
  }
  // The partitions each member holds a live lease on.
  std::map<std::string, std::set<int64_t>> Owners() {
    dbaccess::Recordset rs;
    rs.Open(std::string("select m.MEMBER_NAME, p.PARTITION_KEY from T_SFC_MDC_PARTITION p "
                        "inner join T_SFC_MDC_MEMBER m on m.INCARNATION = p.OWNER_INCARNATION "
                        "where p.") +
                group::LeaseHeld(kLease),
            Sql());
    std::map<std::string, std::set<int64_t>> owners;
    for (; !rs.Eof(); rs.MoveNext()) {
      owners[rs.Fields(size_t{0}).Value().ToText()].insert(rs.Fields(size_t{1}).Value().ToInt64());
    }
    return owners;
  }
  size_t Held(const std::string& member) { return Owners()[member].size(); }
  // Steps the members in turn until `done` or the timeout; whether done.
  bool Pump(const std::vector<Member*>& members, const std::function<bool()>& done,
            int timeout_ms = 4000, const std::function<void()>& between = nullptr) {
    const auto deadline = Steady::now() + std::chrono::milliseconds(timeout_ms);
    while (Steady::now() < deadline) {
      for (Member* member : members) member->Step();
      if (between) between();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
  }
  // In a group made here, three cycles of machine 1 wait; the member
  // processes one, commits, and then falls silent past its lease.
  void PauseAfterOneRow(Member& member) {
    CreateGroup(database_);
    QueueCycles(1, 1, 3);
    ASSERT_TRUE(Pump({&member}, [&] { return member.processed == 1; }));
    std::string error;
    ASSERT_TRUE(member.object().CommitProcessedItems(error)) << error;
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  }
  // Another collector (incarnation 999999) takes the partition, as a member
  // of the group would, and then falls silent.
  void TakePartition(int key, const std::string& name) {
    Sql()->Execute(std::string("insert into T_SFC_MDC_MEMBER (INCARNATION, MEMBER_NAME, JOINED, "
                               "LAST_SEEN, LEFT_GROUP) values (999999, '") +
                   name + "', " + group::kDbNow + ", " + group::kDbNow + ", 0)");
    Sql()->Execute(std::string("update T_SFC_MDC_PARTITION set OWNER_INCARNATION = 999999, "
                               "LEASE_TIME = ") +
                   group::kDbNow + ", FENCE = FENCE + 1 where PARTITION_KEY = " +
                   std::to_string(key));
  }
  // Rows applied twice would leave two cycle events with one start.
  void ExpectCyclesOnce(int machine, int64_t count) {
    const std::string where =
        " from T_SFC_EVENT where COMMAND_ID = 9 and MACHINE_ID = " + std::to_string(machine);
    EXPECT_EQ(Scalar("select count(*)" + where), count);
    EXPECT_EQ(Scalar("select count(distinct START_TIME)" + where), count);
  }

  // The built korvex7 program on the database: exit code and output.
  std::pair<int, std::string> Tool(std::vector<std::string> arguments,
                                   const TestDatabase* database = nullptr) {
    const TestDatabase& on = database ? *database : database_;
    std::string command = KORVEX7_TOOL_PATH;
    arguments.insert(arguments.end(), {"--connection", on.connection_string, "--dbtype", on.name});
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    std::string output;
    char buffer[512];
    while (pipe && fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    const int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
  }
  std::vector<std::string> ToolArguments(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), KORVEX7_TOOL_PATH);
    arguments.insert(arguments.end(),
                     {"--connection", database_.connection_string, "--dbtype", database_.name});
    return arguments;
  }

  testsupport::SettingsSandbox sandbox_;
  TestDatabase database_;
  std::vector<TestDatabase> databases_;
  dbaccess::Connection connection_;
};

TEST_F(CollectorGroupTest, MembersShareEvenlyAndRebalanceWithFewMoves) {
  CreateGroup(database_);
  Member a(database_, "a");
  ASSERT_TRUE(Pump({&a}, [&] { return Held("a") == 4; }));
  Member b(database_, "b");
  ASSERT_TRUE(Pump({&a, &b}, [&] { return Held("a") == 2 && Held("b") == 2; }));
  const auto before = Owners();

  // A third: shares 2, 1, 1 by incarnation; one partition moves, from b.
  auto c = std::make_unique<Member>(database_, "c");
  ASSERT_TRUE(
      Pump({&a, &b, c.get()}, [&] { return Held("a") == 2 && Held("b") == 1 && Held("c") == 1; }));
  auto after = Owners();
  EXPECT_EQ(after["a"], before.at("a"));
  EXPECT_TRUE(before.at("b").count(*after["b"].begin()));

  // c leaves: its partition is free at once and taken by b.
  c.reset();
  ASSERT_TRUE(Pump({&a, &b}, [&] { return Held("a") == 2 && Held("b") == 2; }));

  // b falls silent without leaving: a takes its partitions within 2 x lease.
  const auto silent = Steady::now();
  ASSERT_TRUE(Pump({&a}, [&] { return Held("a") == 4; }));
  EXPECT_LT(std::chrono::duration<double>(Steady::now() - silent).count(), 2 * kLease);
}

// a is paused past its lease with rows of its cache still to go; another
// member takes the partition. a's commit is refused, the rows stay for the
// owner, and a carries on as a member and processes them once.
TEST_F(CollectorGroupTest, PausedMemberWhoseLeaseWasTakenCannotCommit) {
  auto clock = std::make_shared<dbaccess::ManualClock>();
  Member a(database_, "a", clock);
  ASSERT_NO_FATAL_FAILURE(PauseAfterOneRow(a));
  TakePartition(1, "other");

  // Its cache is not stale on its own clock: it works on and is refused.
  ASSERT_TRUE(Pump({&a}, [&] { return a.object().GetLastItemOutcome() == ItemOutcome::kNoProgress; }));
  EXPECT_NE(a.last_error.find("lease of partition(s) 1 was lost"), std::string::npos)
      << a.last_error;
  EXPECT_EQ(Scalar("select count(*) from T_SFC_MDC_LOG"), 2);

  // The other owner goes silent; a takes the partition back and finishes.
  ASSERT_TRUE(Pump(
      {&a}, [&] { return Scalar("select count(*) from T_SFC_MDC_LOG") == 0; }, 4000,
      [&] { clock->Advance(400); }));
  ExpectCyclesOnce(1, 3);
}

TEST_F(CollectorGroupTest, BatchWhoseRowsWereProcessedElsewhereIsRefused) {
  auto clock = std::make_shared<dbaccess::ManualClock>();
  Member a(database_, "a", clock);
  ASSERT_NO_FATAL_FAILURE(PauseAfterOneRow(a));
  Member b(database_, "b");
  ASSERT_TRUE(Pump({&b}, [&] { return Scalar("select count(*) from T_SFC_MDC_LOG") == 0; }));
  EXPECT_EQ(b.processed, 2);

  ASSERT_TRUE(Pump({&a}, [&] { return a.object().GetLastItemOutcome() == ItemOutcome::kNoProgress; }));
  EXPECT_NE(a.last_error.find("already removed from the log by another member"),
            std::string::npos)
      << a.last_error;
  ExpectCyclesOnce(1, 3);
  // a goes on as a member: its next calls find its part of the log empty.
  clock->Advance(400);
  EXPECT_TRUE(Pump({&a}, [&] { return a.object().GetLastItemOutcome() == ItemOutcome::kLogEmpty; }));
}

TEST_F(CollectorGroupTest, RefusalsNameTheGroupOrTheMode) {
  Member early(database_, "m");
  early.Step();
  EXPECT_EQ(early.last_error, group::kNotInGroupModeText);

  CreateGroup(database_);
  Member plain(database_, "");
  plain.Step();
  EXPECT_EQ(plain.last_error, group::MemberNeededText(kGroupName));
  Member stranger(database_, "m", dbaccess::DefaultClock(), "other");
  stranger.Step();
  EXPECT_EQ(stranger.last_error,
            "Error. This is not the PC designated to run the service, only 'group:line' is "
            "allowed to run the service");

  const TestDatabase sqlite = testsupport::CreateShopFloorDatabase("SQLite", true);
  databases_.push_back(sqlite);
  Member embedded(sqlite, "m");
  embedded.Step();
  EXPECT_EQ(embedded.last_error,
            "Collector groups need a server database (PostgreSQL); an SQLite database is "
            "processed by one collector.");
}

TEST_F(CollectorGroupTest, StartWorkRunsOncePerStartOfTheGroup) {
  CreateGroup(database_);
  QueueCycles(1, 1, 1);
  Member a(database_, "a");
  ASSERT_TRUE(Pump({&a}, [&] { return a.processed == 1; }));
  EXPECT_EQ(Scalar("select EPOCH from T_SFC_MDC_GROUP"), 1);
  EXPECT_EQ(Scalar("select STARTED from T_SFC_MDC_GROUP"), 1);
  const int64_t record = Scalar("select MACHINE_DATA_ID from T_SFC_MACHINE where MACHINE_ID = 1");
  // A pointer the machine repair would follow: machine 4 names the record
  // machine 1 let go of.
  Sql()->Execute("update T_SFC_MACHINE set MACHINE_DATA_ID = null where MACHINE_ID = 1");
  Sql()->Execute("update T_SFC_MACHINE set MACHINE_DATA_ID = " + std::to_string(record) +
                 " where MACHINE_ID = 4");
  const std::string owner =
      "select MACHINE_ID from T_SFC_MACHINE_DATA where MACHINE_DATA_ID = " + std::to_string(record);

  {
    Member b(database_, "b");
    ASSERT_TRUE(Pump({&a, &b}, [&] { return Held("b") == 2; }));
    EXPECT_EQ(Scalar("select EPOCH from T_SFC_MDC_GROUP"), 1);
    EXPECT_EQ(Scalar(owner), 1) << "the second member ran the start work";
  }
  a.object().SetGroupMember("", "");
  a.Step();  // leaves the group
  ASSERT_TRUE(Pump({}, [&] { return Owners().empty(); }));

  Member c(database_, "c");
  ASSERT_TRUE(Pump({&c}, [&] { return Scalar("select STARTED from T_SFC_MDC_GROUP") == 1; }))
      << c.last_error;
  EXPECT_EQ(Scalar("select EPOCH from T_SFC_MDC_GROUP"), 2);
  EXPECT_EQ(Scalar(owner), 4) << "a new start of the group repairs the machines";
}

// A member's own session, as the processing loop has it, on a new connection.
class MemberSession {
 public:
  explicit MemberSession(const TestDatabase& database) : database_(database) { Connect(); }
  void Connect() {
    std::string error;
    ASSERT_TRUE(session.ConnectToDatabase(database_.connection_string, database_.kind, error))
        << error;
  }
  std::string IdleLimit() {
    return session.GetScalarValue("show idle_in_transaction_session_timeout").ToText();
  }

  korvex7::internal::Session session{dbaccess::DefaultClock()};

 private:
  TestDatabase database_;
};

TEST_F(CollectorGroupTest, IdleTransactionLimitIsSetOncePerConnection) {
  CreateGroup(database_);
  MemberSession member_session(database_);
  korvex7::internal::GroupMember member(member_session.session,
                                        *group::ReadGroup(member_session.session), "a");
  member.Join();
  member.Tick();
  EXPECT_EQ(member_session.IdleLimit(), "500ms");
  // Not sent again at every tick...
  member_session.session.ExecuteStatement("set idle_in_transaction_session_timeout = 0");
  member.Tick();
  EXPECT_EQ(member_session.IdleLimit(), "0");
  // ...but again on a new connection.
  ASSERT_NO_FATAL_FAILURE(member_session.Connect());
  member.Tick();
  EXPECT_EQ(member_session.IdleLimit(), "500ms");
}

// A member paused inside a transaction past half its lease: the server ends
// its session, and what follows fails at once instead of retrying.
TEST_F(CollectorGroupTest, SessionEndedByTheServerFailsTransactionStepsAtOnce) {
  CreateGroup(database_);
  MemberSession member_session(database_);
  korvex7::internal::Session& session = member_session.session;
  korvex7::internal::GroupMember member(session, *group::ReadGroup(session), "a");
  member.Join();
  ASSERT_TRUE(session.BeginTransaction());
  session.ExecuteStatement(
      "update T_SFC_MACHINE set STATUS_CODE = STATUS_CODE where MACHINE_ID = 1");
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  const auto woke = Steady::now();
  EXPECT_FALSE(session.RollbackTransaction());
  // The next handler's transaction: begun or not, nothing waits for the lost session.
  session.BeginTransaction();
  session.RollbackTransaction();
  EXPECT_LT(std::chrono::duration<double>(Steady::now() - woke).count(), kLease);
}

// Every table's rows as sorted text, leaving out what a drain by several
// members numbers differently (generated keys: the order of inserts) and
// what is not a record (the group's own tables, options, check times).
std::map<std::string, std::vector<std::string>> Records(const TestDatabase& database) {
  auto connection = std::make_shared<dbaccess::Connection>();
  connection->Open(database.connection_string);
  const std::set<std::string> skipped = {"T_SFC_MDC_GROUP", "T_SFC_MDC_MEMBER",
                                         "T_SFC_MDC_PARTITION", "T_SFC_OPTION",
                                         "T_SFC_MDC_CHECK_TIME"};
  std::map<std::string, std::vector<std::string>> dump;
  for (std::string table : connection->backend().TableNames()) {
    for (char& c : table) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (skipped.count(table)) continue;
    dbaccess::Recordset rs;
    rs.Open("select * from " + table, connection);
    std::vector<std::string>& lines = dump[table];
    for (; !rs.Eof(); rs.MoveNext()) {
      std::string line;
      for (size_t i = 0; i < rs.FieldCount(); ++i) {
        std::string name = rs.Fields(i).Name();
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const bool generated = name.size() > 3 && name.compare(name.size() - 3, 3, "_ID") == 0 &&
                               name != "MACHINE_ID" && name != "COMMAND_ID";
        if (generated) continue;
        const dbaccess::Variant& value = rs.Fields(i).Value();
        line += name + "=" + (value.IsNull() ? "null" : value.ToText()) + " ";
      }
      lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
  }
  return dump;
}

// A piece started on machine 1 while it runs on machine 4 (another machine
// group, so another partition) is ended on machine 4 through the log: one
// row more is processed, and machine 4's piece ends when machine 1's starts.
TEST_F(CollectorGroupTest, SerialNumberMovingToAnotherPartitionEndsThroughTheLog) {
  CreateGroup(database_);
  QueueRow(4, 2, 6, "HOUSING-300", 0);
  QueueRow(4, 2, 17, "SN-0001", 60);
  QueueRow(1, 1, 6, "HOUSING-300", 0);
  QueueRow(1, 1, 17, "SN-0001", 120);
  Member a(database_, "a");
  ASSERT_TRUE(Pump({&a}, [&] { return Scalar("select count(*) from T_SFC_MDC_LOG") == 0; }));
  EXPECT_EQ(a.processed, 5) << a.last_error;
  dbaccess::Recordset ended;
  ended.Open("select STOP_TIME from T_SFC_EVENT where COMMAND_ID = 17 and MACHINE_ID = 4",
             Sql());
  ASSERT_FALSE(ended.Eof());
  EXPECT_EQ(ended.Fields(size_t{0}).Value().ToDateTime(), At(120));
}

// Two members meet an unknown part number at once: b waits for a's commit
// and finds the part a created instead of making a second one.
TEST_F(CollectorGroupTest, TwoMembersCreatingOnePartMakeOneRow) {
  CreateGroup(database_);
  Sql()->Execute("delete from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = 6");
  Sql()->Execute("insert into T_SFC_OPTION (APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, BOOL_VAL) "
                 "values (2, 6, 0, 1)");
  Member a(database_, "a");
  Member b(database_, "b");
  ASSERT_TRUE(Pump({&a, &b}, [&] { return Held("a") == 2 && Held("b") == 2; }));
  const bool a_has_turning = Owners()["a"].count(1) > 0;
  Member& turning = a_has_turning ? a : b;
  Member& milling = a_has_turning ? b : a;
  QueueRow(1, 1, 6, "NEW-1", 0);
  QueueRow(1, 1, 9, "", 1);  // keeps the first member's batch open after its part row
  QueueRow(3, 2, 6, "NEW-1", 0);
  ASSERT_TRUE(Pump({&turning}, [&] { return turning.processed == 1; }));
  std::thread other([&] {
    Pump({&milling}, [&] { return milling.processed == 1; });
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::string error;
  EXPECT_TRUE(turning.object().CommitProcessedItems(error)) << error;
  other.join();
  EXPECT_EQ(milling.processed, 1) << milling.last_error;
  EXPECT_EQ(Scalar("select count(*) from T_SFC_PART where PART_NUMBER = 'NEW-1'"), 1);
}

// The members split the partitions (by machine) first, then the rows arrive
// (in one transaction, as they stood in the other database before its drain).
TEST_F(CollectorGroupTest, ThreeMembersLeaveTheRecordsOneCollectorLeaves) {
  const auto add_machines = [](const TestDatabase& database) {
    dbaccess::Connection connection;
    connection.Open(database.connection_string);
    testsupport::AddMixMachines(connection);
  };
  const auto append_mix = [](const TestDatabase& database) {
    dbaccess::Connection connection;
    connection.Open(database.connection_string);
    testsupport::MixWriter writer(database.kind, {3, 3, 2, 2, 3, 2},
                                  dbaccess::DateTime::FromParts(2026, 1, 5, 13, 56, 0));
    connection.BeginTrans();
    writer.Append(connection, 240);
    connection.CommitTrans();
  };
  std::atomic<bool> appended{false};
  const auto drain = [&appended](const TestDatabase& database, const std::string& name,
                                 int* processed) {
    Member member(database, name);
    dbaccess::Connection connection;
    connection.Open(database.connection_string);
    const auto deadline = Steady::now() + std::chrono::seconds(30);
    while (Steady::now() < deadline) {
      if (member.Step() != ItemOutcome::kLogEmpty) continue;
      dbaccess::Recordset rs;
      rs.Open("select count(*) from T_SFC_MDC_LOG", {&connection, [](dbaccess::Connection*) {}});
      if (appended && rs.Fields(size_t{0}).Value().ToInt64() == 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(member.last_error.empty()) << name << ": " << member.last_error;
    *processed = member.processed;
  };
  const TestDatabase single = Database();
  add_machines(single);
  append_mix(single);
  int rows = 0;
  appended = true;
  drain(single, "", &rows);

  appended = false;
  add_machines(database_);
  CreateGroup(database_, "machine");
  std::vector<int> shares(3, 0);
  std::vector<std::thread> members;
  for (int i = 0; i < 3; ++i) {
    members.emplace_back(drain, database_, "m" + std::to_string(i + 1), &shares[i]);
  }
  // 21 partitions: the 20 machines and the unassigned one.
  EXPECT_TRUE(testsupport::WaitFor(
      [&] {
        auto owners = Owners();
        return owners["m1"].size() == 7 && owners["m2"].size() == 7 && owners["m3"].size() == 7;
      },
      5000));
  append_mix(database_);
  appended = true;
  for (std::thread& member : members) member.join();
  EXPECT_EQ(shares[0] + shares[1] + shares[2], rows);
  EXPECT_EQ(std::count(shares.begin(), shares.end(), 0), 0)
      << shares[0] << " " << shares[1] << " " << shares[2];

  const auto expected = Records(single);
  const auto actual = Records(database_);
  ASSERT_GT(expected.at("T_SFC_EVENT").size(), 100u);
  for (const auto& [table, lines] : expected) {
    SCOPED_TRACE(table);
    ASSERT_TRUE(actual.count(table));
    EXPECT_EQ(actual.at(table), lines);
  }
}

TEST_F(CollectorGroupTest, ToolCreatesListsDrainsAsMembersAndDrops) {
  ASSERT_EQ(Tool({"group", "create", kGroupName, "--lease-seconds", "1"}).first, 0);
  const auto again = Tool({"group", "create", kGroupName});
  EXPECT_EQ(again.first, 1);
  EXPECT_NE(again.second.find("already in group mode"), std::string::npos) << again.second;
  QueueCycles(1, 1, 5);
  QueueCycles(3, 2, 4, 10);
  QueueCycles(5, 3, 3, 20);
  TakePartition(2, "m2");
  const auto live = Tool({"group", "drop"});
  EXPECT_EQ(live.first, 1);
  EXPECT_NE(live.second.find("still has 1 live member"), std::string::npos) << live.second;
  const auto status = Tool({"group", "status"});
  ASSERT_EQ(status.first, 0) << status.second;
  EXPECT_NE(status.second.find("member m2 incarnation 999999 live last-seen "), std::string::npos)
      << status.second;
  EXPECT_NE(status.second.find("\npartition Turning group 1 owner - lease-age - waiting 5\n"),
            std::string::npos)
      << status.second;
  EXPECT_TRUE(std::regex_search(
      status.second, std::regex("\npartition Milling group 2 owner m2 lease-age [0-9]+\\.[0-9] "
                                "waiting 4\n")))
      << status.second;

  // Without a member name the program is refused; two members drain it all.
  const auto plain = Tool({"process", "--max-idle-calls", "3"});
  EXPECT_NE(plain.first, 0);
  EXPECT_NE(plain.second.find(group::MemberNeededText(kGroupName)), std::string::npos)
      << plain.second;
  const std::string dir = testsupport::MakeTempDir();
  testsupport::ChildProcess m1(ToolArguments({"process", "--member", "m1"}), {}, dir + "/m1");
  testsupport::ChildProcess m3(ToolArguments({"process", "--member", "m3"}), {}, dir + "/m3");
  EXPECT_EQ(m1.WaitForExit(15000), 0) << m1.Output();
  EXPECT_EQ(m3.WaitForExit(15000), 0) << m3.Output();
  std::filesystem::remove_all(dir);
  EXPECT_EQ(Scalar("select count(*) from T_SFC_MDC_LOG"), 0);
  ExpectCyclesOnce(1, 5);
  ExpectCyclesOnce(3, 4);
  ExpectCyclesOnce(5, 3);

  const auto dropped = Tool({"group", "drop", "--designate", "pc1"});
  EXPECT_EQ(dropped.first, 0) << dropped.second;
  dbaccess::Recordset option;
  option.Open("select STRING_VAL from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = 14", Sql());
  EXPECT_EQ(option.Fields(size_t{0}).Value().ToText(), "pc1");
  EXPECT_NE(Tool({"group", "status"}).second.find(group::kNotInGroupModeText), std::string::npos);
}

// A member whose partitions are empty while another member's rows wait looks
// at the log a few times a lease, and ends within 2 x the lease once the
// other's rows are gone.
TEST_F(CollectorGroupTest, WaitingMemberLooksAtTheLogAFewTimesPerLease) {
  CreateGroup(database_);
  QueueCycles(3, 2, 2);
  TakePartition(2, "other");
  const auto log_scans = [&] {
    Sql()->Execute("select pg_stat_clear_snapshot()");
    return Scalar(
        "select seq_scan + coalesce(idx_scan, 0) from pg_stat_user_tables where "
        "relname = 't_sfc_mdc_log'");
  };
  const std::string dir = testsupport::MakeTempDir();
  const int64_t scans_before = log_scans();
  testsupport::ChildProcess m1(ToolArguments({"process", "--member", "m1"}), {}, dir + "/m1");
  // The other member stays live for two leases, then its rows are done.
  for (int i = 0; i < 10; ++i) {
    Sql()->Execute(std::string("update T_SFC_MDC_MEMBER set LAST_SEEN = ") + group::kDbNow +
                   " where INCARNATION = 999999");
    Sql()->Execute(std::string("update T_SFC_MDC_PARTITION set LEASE_TIME = ") + group::kDbNow +
                   " where OWNER_INCARNATION = 999999");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  Sql()->Execute("delete from T_SFC_MDC_LOG");
  const auto emptied = Steady::now();
  EXPECT_EQ(m1.WaitForExit(static_cast<int>(4000 * kLease)), 0) << m1.Output();
  EXPECT_LT(std::chrono::duration<double>(Steady::now() - emptied).count(), 2 * kLease);
  std::filesystem::remove_all(dir);
  // The member's own statements are counted once its session has ended.
  ASSERT_TRUE(testsupport::WaitFor([&] { return log_scans() > scans_before; }, 2000));
  const int64_t scans = log_scans() - scans_before;
  EXPECT_LT(scans, 45) << "log scans while waiting about two leases";
}

TEST_F(CollectorGroupTest, ToolRefusesGroupsOnSqlite) {
  const TestDatabase sqlite = testsupport::CreateShopFloorDatabase("SQLite", true);
  databases_.push_back(sqlite);
  const auto refused = Tool({"group", "create", kGroupName}, &sqlite);
  EXPECT_EQ(refused.first, 1);
  EXPECT_NE(refused.second.find("Collector groups need a server database (PostgreSQL)"),
            std::string::npos)
      << refused.second;
}

}  // namespace
