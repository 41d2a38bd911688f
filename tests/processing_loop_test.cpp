// The log processing loop against a real shop-floor database of every kind:
// the first call, the designated computer, the empty log, batches and their
// refill, the batch transaction, failing and out-of-order rows, and the log
// count.
#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>

#include "base/ascii_case.h"
#include "dbaccess/clock.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "library/com_error.h"
#include "library/components.h"
#include "library/core/out_of_order.h"
#include "library/korvex7_commands.h"
#include "tests/support/row_triggers.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/shop_floor_db.h"

using namespace korvex7::internal;  // the library's internals

namespace {

constexpr int kHeartbeatCommand = korvex7::Code(korvex7::CommandType::kHeartbeat);
constexpr int kCoolantAlarm = 19;  // a custom command (type code 20)

constexpr int kSetupCommand = korvex7::Code(korvex7::CommandType::kSetup);

// Stand in for the refresh requests and the idle-time check of the monitor,
// which decide about out-of-order rows and idle-time failures.
class StandInRefresh : public RecordRefresh {
 public:
  bool refresh_out_of_order = false;  // refresh requests raise error 10001

  bool RefreshRecords(const MachineKeys&, const dbaccess::DateTime&) override {
    if (refresh_out_of_order) throw OutOfOrderRow();
    return true;
  }
};

// Forwards to the real monitor, except for the downtime-timeout checks.
class StandInMonitor : public LogMonitor {
 public:
  Monitor* real = nullptr;       // the components' own, set once they are built
  std::string idle_check_error;  // text of a failing downtime-timeout check
  int idle_checks = 0;

  bool RecordHeartBeat(const LogEntry& row, std::string& strError) override {
    return real->RecordHeartBeat(row, strError);
  }
  bool DoAutoEndDowntimes(int32_t lMachineID, const dbaccess::DateTime&,
                          std::string& strError) override {
    if (lMachineID != -1) return true;
    ++idle_checks;
    strError = idle_check_error;
    return idle_check_error.empty();
  }
  bool DoCheckForLateHeartBeats(const dbaccess::DateTime& dtTime, std::string& strError) override {
    return real->DoCheckForLateHeartBeats(dtTime, strError);
  }
  void NoteLogDrained() override { real->NoteLogDrained(); }
  void ForgetCaches() override { real->ForgetCaches(); }
  void SetCheckScope(CheckScope* scope) override { real->SetCheckScope(scope); }
};

// The library's components with the two stand-ins where the log processor
// sees the records and the monitor.
struct LoopObj {
  explicit LoopObj(std::shared_ptr<dbaccess::Clock> clock)
      : components(std::move(clock), {&refresh, &monitor}) {
    monitor.real = &components.monitor;
  }

  StandInRefresh refresh;
  StandInMonitor monitor;
  Components components;
  Session& session = components.session;
  Monitor& real_monitor = components.monitor;
  LogProcessor& log = components.log;
};

class ProcessingLoopTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    sandbox_.WriteHives(testsupport::SettingsSandbox::BaseFolderKey(sandbox_.dir()), "");
    database_ = testsupport::CreateShopFloorDatabase(GetParam(), true);
    object_ = NewObject();
  }
  void TearDown() override {
    object_.reset();
    testsupport::DropTestDatabase(database_);
  }

  std::unique_ptr<LoopObj> NewObject() {
    auto object = std::make_unique<LoopObj>(clock_);
    std::string error;
    EXPECT_TRUE(
        object->session.ConnectToDatabase(database_.connection_string, database_.kind, error))
        << error;
    return object;
  }

  void Exec(const std::string& sql) { object_->session.connection()->Execute(sql); }
  int64_t Scalar(const std::string& sql) {
    dbaccess::Recordset rs;
    rs.Open(sql, object_->session.connection());
    return rs.Fields(size_t{0}).Value().ToInt64();
  }
  int64_t LogRows() { return Scalar("select count(*) from T_SFC_MDC_LOG"); }
  int64_t MinLogKey() { return Scalar("select min(MDC_LOG_ID) from T_SFC_MDC_LOG"); }

  // One log row of machine 1 (group 1, location 1, department 1), `count` times.
  void AppendRows(const std::string& command, int time_code, int count = 1,
                  const std::string& param = "") {
    std::string sql =
        "insert into T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, "
        "COMMAND_TIME_CODE, TIME_STAMP, PARAM1) values ";
    for (int i = 0; i < count; ++i) {
      stamp_ = stamp_.AddSeconds(1);
      if (i > 0) sql += ",";
      sql += "(" + command + ",1,1,1,1," + std::to_string(time_code) + "," +
             voltrane::DateTimeLiteral(database_.kind, stamp_) + "," +
             (param.empty() ? "null" : voltrane::QuotedStr(database_.kind, param)) + ")";
    }
    Exec(sql);
  }

  // Runs the first call, which only announces the library.
  void Announce() {
    std::string error;
    ASSERT_FALSE(object_->log.DoNextItemFromMDCLog(error));
    ASSERT_EQ(error.rfind(" Note: Using ", 0), 0u) << error;
  }

  std::string DiagnosticLogPath() const { return sandbox_.dir() + "/MDCService.log"; }

  int Count(const std::string& message) {
    int n = 0;
    for (const std::string& line : sandbox_.Messages()) n += line == message;
    return n;
  }

  testsupport::SettingsSandbox sandbox_;
  std::shared_ptr<dbaccess::ManualClock> clock_ = std::make_shared<dbaccess::ManualClock>();
  testsupport::TestDatabase database_;
  std::unique_ptr<LoopObj> object_;
  dbaccess::DateTime stamp_ = dbaccess::DateTime::FromParts(2026, 1, 5, 7, 0, 0);
};

TEST_P(ProcessingLoopTest, TheFirstCallOnlyAnnouncesAndClaimsThisComputer) {
  AppendRows(std::to_string(kHeartbeatCommand), 0);
  std::string error = "left from before";
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));
  EXPECT_EQ(error.rfind(" Note: Using ", 0), 0u) << error;
  EXPECT_NE(error.find(" Version "), std::string::npos) << error;
  EXPECT_EQ(error.find(" Not a v12 Database"), std::string::npos) << error;
  EXPECT_TRUE(object_->session.IsV12Database());
  EXPECT_EQ(LogRows(), 1);
  EXPECT_EQ(object_->log.BatchCache(), nullptr);
  std::string designated;
  object_->session.GetStringOption(14, designated);
  EXPECT_FALSE(designated.empty());
  EXPECT_EQ(designated, object_->log.DesignatedPC());

  EXPECT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;
  EXPECT_EQ(error, "");
}

TEST_P(ProcessingLoopTest, TheFirstCallFillsMissingStandardTimesFromTheMachinesRates) {
  // The demo plant's own rates give way to the ones this test needs.
  Exec("delete from T_SFC_MACHINE_PPH where MACHINE_ID in (1, 2)");
  Exec("insert into T_SFC_MACHINE_PPH (MACHINE_ID, PART_ID, CYCLE_TIME) values (1, 2, 2.5)");
  Exec(
      "insert into T_SFC_MACHINE_DATA (MACHINE_DATA_ID, MACHINE_ID, PART_ID, STANDARD_TIME) "
      "values (901, 1, 2, null), (902, 2, 2, null), (903, 1, 2, 7), (904, 1, null, null)");
  std::string error;
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));
  EXPECT_EQ(error.find("STANDARD_TIME"), std::string::npos) << error;
  auto standard_time = [this](int id) {
    dbaccess::Recordset rs;
    rs.Open("select STANDARD_TIME from T_SFC_MACHINE_DATA where MACHINE_DATA_ID = " +
                std::to_string(id),
            object_->session.connection());
    return rs.Fields(size_t{0}).Value().ToDouble();
  };
  EXPECT_DOUBLE_EQ(standard_time(901), 2.5);
  EXPECT_DOUBLE_EQ(standard_time(902), 0);  // no rate for machine 2
  EXPECT_DOUBLE_EQ(standard_time(903), 7);  // kept
  EXPECT_DOUBLE_EQ(standard_time(904), 0);
}

TEST_P(ProcessingLoopTest, AnotherComputerIsRefusedUntilTheOptionNamesIt) {
  AppendRows(std::to_string(kHeartbeatCommand), 0);
  Announce();  // this computer claims option 14
  auto other = NewObject();
  other->log.SetComputerName("OTHER-PC");
  std::string error;
  const std::string refusal = "Error. This is not the PC designated to run the service, only '" +
                              object_->log.DesignatedPC() + "' is allowed to run the service";
  EXPECT_FALSE(other->log.DoNextItemFromMDCLog(error));
  EXPECT_EQ(error, refusal);
  EXPECT_FALSE(other->log.DoNextItemFromMDCLog(error));
  EXPECT_EQ(error, refusal);
  EXPECT_EQ(LogRows(), 1);

  // A change of the option takes effect at the refused computer's next call.
  ASSERT_TRUE(object_->session.SetStringOption(14, "OTHER-PC"));
  EXPECT_TRUE(other->log.DoNextItemFromMDCLog(error)) << error;
  EXPECT_EQ(other->log.DesignatedPC(), "OTHER-PC");
}

TEST_P(ProcessingLoopTest, AnEmptyLogRunsTheIdleChecksAndReportsNothing) {
  Announce();
  std::string error = "stale text";
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));
  EXPECT_EQ(error, "");
  EXPECT_TRUE(object_->real_monitor.LogDrained());
  EXPECT_EQ(object_->log.BatchCache(), nullptr);
  EXPECT_EQ(object_->monitor.idle_checks, 1);
  EXPECT_TRUE(sandbox_.Traced("Log is empty"));

  object_->monitor.idle_check_error = "downtime check failed";
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));
  EXPECT_EQ(error, "downtime check failed");
  EXPECT_TRUE(sandbox_.Traced("Errored processing DoAutoEndDowntimes: downtime check failed"));
}

TEST_P(ProcessingLoopTest, ABatchOfAThousandRowsLastsAThousandCalls) {
  AppendRows(std::to_string(kHeartbeatCommand), 0, 1001);
  Announce();
  std::string error;
  for (int call = 1; call <= 1000; ++call) {
    ASSERT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << "call " << call << ": " << error;
    // Processed rows leave the log with their effects, 200 at a time (the
    // test clock stands still, so only the number of rows ends a batch).
    if (call == 199) {
      EXPECT_EQ(LogRows(), 1001);
    } else if (call == 200) {
      EXPECT_EQ(LogRows(), 801);
    }
  }
  EXPECT_EQ(Count("Found 1000 Entries in Log"), 1);
  EXPECT_EQ(LogRows(), 1);
  EXPECT_EQ(object_->log.GetMDCLogCount(), 1);  // the cache is used up

  EXPECT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;
  EXPECT_EQ(Count("Found 1 Entries in Log"), 1);
  EXPECT_EQ(LogRows(), 0);  // the last row read commits its batch

  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(LogRows(), 0);
}

TEST_P(ProcessingLoopTest, ACountWhileRowsAreCachedAnswersOneWithoutAsking) {
  AppendRows(std::to_string(kHeartbeatCommand), 0, 3);
  Announce();
  EXPECT_EQ(object_->log.GetMDCLogCount(), 3);
  std::string error;
  ASSERT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;
  AppendRows(std::to_string(kHeartbeatCommand), 0, 2);
  EXPECT_EQ(object_->log.GetMDCLogCount(), 1);
  EXPECT_TRUE(sandbox_.Traced("GetMDCLogCount speed up"));
}

TEST_P(ProcessingLoopTest, ACacheOlderThanThirtySecondsIsReadAgain) {
  AppendRows(std::to_string(kHeartbeatCommand), 0, 3);
  Announce();
  std::string error;
  ASSERT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;
  clock_->Advance(30'000);
  ASSERT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;  // not yet stale
  EXPECT_EQ(Count("Found 3 Entries in Log"), 1);
  // A batch older than half a second commits after its row.
  EXPECT_EQ(LogRows(), 1);

  clock_->Advance(31'000);  // a pause: the cached row is read again with a fresh batch
  ASSERT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;
  EXPECT_EQ(Count("Found 1 Entries in Log"), 1);
  EXPECT_EQ(LogRows(), 0);  // the last row read commits its batch
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(LogRows(), 0);
}

// What another connection sees: only what the batch transaction committed.
int64_t CommittedCount(LoopObj& reader, const std::string& table) {
  dbaccess::Recordset rs;
  rs.Open("select count(*) from " + table, reader.session.connection());
  return rs.Fields(size_t{0}).Value().ToInt64();
}

TEST_P(ProcessingLoopTest, ARowsEffectsAndItsRemovalCommitTogether) {
  AppendRows(std::to_string(kCoolantAlarm), 2, 3);
  Announce();
  auto reader = NewObject();
  const int64_t events = CommittedCount(*reader, "T_SFC_EVENT");
  std::string error;
  ASSERT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;
  ASSERT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;
  // Neither the events nor the removal of their rows are seen before the commit.
  EXPECT_EQ(CommittedCount(*reader, "T_SFC_EVENT"), events);
  EXPECT_EQ(CommittedCount(*reader, "T_SFC_MDC_LOG"), 3);
  ASSERT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));  // the refill commits
  EXPECT_EQ(error, "");
  EXPECT_EQ(CommittedCount(*reader, "T_SFC_EVENT"), events + 3);
  EXPECT_EQ(CommittedCount(*reader, "T_SFC_MDC_LOG"), 0);
}

TEST_P(ProcessingLoopTest, ABatchThatCannotCommitLeavesNothingAndIsReadAgain) {
  AppendRows(std::to_string(kCoolantAlarm), 2, 3);
  for (const std::string& sql : testsupport::RowTriggerStatements(
           database_, "keep_log", "T_SFC_MDC_LOG", "delete", "log rows stay")) {
    Exec(sql);
  }
  Announce();
  auto reader = NewObject();
  const int64_t events = CommittedCount(*reader, "T_SFC_EVENT");
  std::string error;
  for (int call = 1; call <= 2; ++call) {
    ASSERT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;
  }
  // The last row read commits the batch; its delete is refused, so all of it rolls back.
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));
  EXPECT_NE(error.find("log rows stay"), std::string::npos) << error;
  EXPECT_EQ(CommittedCount(*reader, "T_SFC_EVENT"), events);
  EXPECT_EQ(CommittedCount(*reader, "T_SFC_MDC_LOG"), 3);

  Exec(testsupport::DropRowTriggerStatement(database_, "keep_log", "T_SFC_MDC_LOG"));
  for (int call = 1; call <= 3; ++call) {
    ASSERT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;
  }
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(Count("Found 3 Entries in Log"), 2);                  // read again, from the start
  EXPECT_EQ(CommittedCount(*reader, "T_SFC_EVENT"), events + 3);  // each row once
  EXPECT_EQ(CommittedCount(*reader, "T_SFC_MDC_LOG"), 0);
}

TEST_P(ProcessingLoopTest, AFailingRowStaysAndComesBackAfterTheRefill) {
  AppendRows(std::to_string(kCoolantAlarm), 0);
  AppendRows(std::to_string(kHeartbeatCommand), 0);
  Announce();
  Exec("ALTER TABLE T_SFC_MACHINE_EVENT RENAME TO T_SFC_MACHINE_EVENT_AWAY");
  std::string error;
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));
  EXPECT_EQ(error.rfind("AddEventRecord(MachineID =1, CommandID =19, CurrentTime =", 0), 0u)
      << error;
  EXPECT_NE(error.find(") updating T_SFC_MACHINE_EVENT, for EventID="), std::string::npos) << error;
  EXPECT_TRUE(sandbox_.Traced("Unhandled error: " + error));
  EXPECT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;  // the row behind it
  Exec("ALTER TABLE T_SFC_MACHINE_EVENT_AWAY RENAME TO T_SFC_MACHINE_EVENT");

  EXPECT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;  // refill: the failed row again
  EXPECT_EQ(LogRows(), 0);  // the last row read commits the batch
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(LogRows(), 0);
  // The failed attempt left no event behind.
  EXPECT_EQ(Scalar("select count(*) from T_SFC_EVENT"), 1);
  EXPECT_EQ(Scalar("select count(*) from T_SFC_MACHINE_EVENT where EVENT_ID is not null"), 1);
}

// On PostgreSQL events go through server functions installed when the loop
// starts; functions dropped under a running loop give way to the statements.
TEST_P(ProcessingLoopTest, EventsAreRecordedAlikeThroughTheServerFunctionsAndWithout) {
  AppendRows(std::to_string(kCoolantAlarm), 0, 3);
  Announce();
  std::string error;
  ASSERT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;
  const bool bPostgreSql = database_.kind == 4;
  if (bPostgreSql) {
    EXPECT_EQ(Scalar("select count(*) from pg_proc where proname in "
                     "('addeventrecord', 'seteventstoptime')"),
              2);
  }
  ASSERT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;
  if (bPostgreSql) Exec("DROP FUNCTION AddEventRecord");
  ASSERT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;
  EXPECT_EQ(LogRows(), 0);
  // Each start ended the one before it at its own time; the last stays open.
  EXPECT_EQ(Scalar("select count(*) from T_SFC_EVENT"), 3);
  EXPECT_EQ(Scalar("select count(*) from T_SFC_EVENT where STOP_TIME is null"), 1);
  EXPECT_EQ(Scalar("select count(*) from T_SFC_EVENT e, T_SFC_EVENT n where n.EVENT_ID = "
                   "e.EVENT_ID + 1 and e.STOP_TIME = n.START_TIME"),
            2);
  EXPECT_EQ(Scalar("select count(*) from T_SFC_MACHINE_EVENT me, T_SFC_EVENT e where "
                   "me.EVENT_ID = e.EVENT_ID and e.STOP_TIME is null"),
            1);
}

TEST_P(ProcessingLoopTest, RowsWithoutAHandlerGoThroughWithoutEvents) {
  AppendRows(std::to_string(kSetupCommand), 2);  // a setup has no "both"
  AppendRows("null", 0);                         // a refresh request
  AppendRows(std::to_string(kCoolantAlarm), 5);  // an unknown time code
  Announce();
  std::string error;
  for (int row = 0; row < 3; ++row) {
    EXPECT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << row << ": " << error;
  }
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(LogRows(), 0);
  EXPECT_EQ(Scalar("select count(*) from T_SFC_EVENT"), 0);
}

TEST_P(ProcessingLoopTest, AFailingHandlerKeepsItsRowInTheLog) {
  // A setup start fails without its downtime table.
  Exec("ALTER TABLE T_SFC_DT_PER_MACHINE_DATA RENAME TO T_SFC_DT_AWAY");
  AppendRows(std::to_string(kSetupCommand), 0);
  Announce();
  std::string error;
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));
  EXPECT_NE(base::Lower(error).find("t_sfc_dt_per_machine_data"), std::string::npos) << error;
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));  // refill: read again
  EXPECT_NE(base::Lower(error).find("t_sfc_dt_per_machine_data"), std::string::npos) << error;
  EXPECT_EQ(LogRows(), 1);
}

TEST_P(ProcessingLoopTest, AfterAFailedRowTheConnectionIsProbedDespiteTheCachedBatch) {
  AppendRows(std::to_string(kCoolantAlarm), 0, 3);
  Announce();
  std::string error;
  ASSERT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;  // fills the batch cache
  Exec("ALTER TABLE T_SFC_MACHINE_EVENT RENAME TO T_SFC_MACHINE_EVENT_AWAY");
  Exec("ALTER TABLE T_VMES_PTYPE RENAME TO T_VMES_PTYPE_AWAY");  // the probe fails from now on
  EXPECT_TRUE(object_->log.IsConnected());                       // the cached batch answers
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));
  EXPECT_NE(error, "");
  EXPECT_FALSE(object_->log.IsConnected());  // a failed row sends the question to the database
  Exec("ALTER TABLE T_VMES_PTYPE_AWAY RENAME TO T_VMES_PTYPE");
  EXPECT_TRUE(object_->log.IsConnected());
}

TEST_P(ProcessingLoopTest, AnOutOfOrderRowIsRemovedAndWrittenToTheDiagnosticLog) {
  AppendRows("null", 0, 1, "O'Neil");  // a refresh request
  AppendRows(std::to_string(kHeartbeatCommand), 0);
  const int64_t key = MinLogKey();
  Announce();
  object_->refresh.refresh_out_of_order = true;
  std::string error;
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));
  const std::string named = "log entry (" + std::to_string(key) + ")";
  EXPECT_NE(error.find("Error # 10001:HandleExpiredShifts: Error " + named +
                       " is older than latest previously processed, throwing it out"),
            std::string::npos)
      << error;
  EXPECT_NE(error.find(", See " + DiagnosticLogPath() + " for details"), std::string::npos)
      << error;
  EXPECT_EQ(object_->log.BatchCache(), nullptr);
  EXPECT_EQ(LogRows(), 1);  // removed at once
  EXPECT_NE(MinLogKey(), key);
  const std::string replay = testsupport::ReadWholeFile(DiagnosticLogPath());
  EXPECT_NE(replay.find("INSERT INTO T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, "
                        "MACHINE_ID, COMMAND_TIME_CODE, TIME_STAMP, PARAM1 )\r\n VALUES (null,1,1,"
                        "1,1,0," +
                        voltrane::DateTimeLiteral(database_.kind, stamp_.AddSeconds(-1)) +
                        ", 'O''Neil') -- MDC_LOG_ID = " + std::to_string(key)),
            std::string::npos)
      << replay;

  object_->refresh.refresh_out_of_order = false;
  EXPECT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;
}

// The machine status a setup start writes last waits for the row's release
// on PostgreSQL; refused there, it fails exactly its row, with the text its
// failure alone gives, and the rows behind it go on.
TEST_P(ProcessingLoopTest, ARefusedStatusWriteUndoesItsRowAndNamesItsError) {
  const bool bPostgreSql = database_.kind == 4;
  if (bPostgreSql) {
    Exec(
        "create function refuse_setup_fn() returns trigger language plpgsql as $$ begin "
        "if new.STATUS_CODE = 1 then raise exception 'setup status refused'; end if; "
        "return new; end $$");
    Exec(
        "create trigger refuse_setup before update on T_SFC_MACHINE for each row execute "
        "function refuse_setup_fn()");
  } else {
    Exec(
        "create trigger refuse_setup before update of STATUS_CODE on T_SFC_MACHINE when "
        "new.STATUS_CODE = 1 begin select raise(abort, 'setup status refused'); end");
  }
  std::string alone;
  try {
    Exec("update T_SFC_MACHINE set STATUS_CODE = 1 where MACHINE_ID = 1");
  } catch (const dbaccess::DbError& error) {
    alone = error.description();
  }
  ASSERT_NE(alone.find("setup status refused"), std::string::npos) << alone;
  AppendRows(std::to_string(kCoolantAlarm), 0);
  AppendRows(std::to_string(kSetupCommand), 0);
  AppendRows(std::to_string(kCoolantAlarm), 0);
  Announce();
  std::string error;
  ASSERT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;
  const int64_t events = Scalar("select count(*) from T_SFC_EVENT");
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));
  EXPECT_EQ(error, alone);
  EXPECT_EQ(Scalar("select count(*) from T_SFC_EVENT"), events);  // its event went with it
  EXPECT_EQ(Scalar("select count(*) from T_SFC_MACHINE_DATA where SETUP_START_TIME is not null"),
            0);
  EXPECT_EQ(Scalar("select count(*) from T_SFC_MDC_LOG_FAILURE where ERROR_TEXT like "
                   "'%setup status refused%'"),
            1);
  EXPECT_TRUE(object_->log.DoNextItemFromMDCLog(error)) << error;  // the row behind it
  EXPECT_EQ(Scalar("select count(*) from T_SFC_EVENT"), events + 1);
  EXPECT_EQ(LogRows(), 1);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, ProcessingLoopTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
