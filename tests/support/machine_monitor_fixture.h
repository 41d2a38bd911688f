// A fixture for the heartbeat and downtime-timeout monitor: a fresh
// shop-floor database with the demo plant for every kind, a library object
// whose monitor steps a test can call with times of its choosing, log rows
// fed through DoNextItemFromMDCLog, and reads of what the machine state
// handlers leave behind (events, downtime rows, machine status). Traces go to
// the sandbox's extended error log.
#ifndef VOLTRANE_TESTS_SUPPORT_MACHINE_MONITOR_FIXTURE_H_
#define VOLTRANE_TESTS_SUPPORT_MACHINE_MONITOR_FIXTURE_H_

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "dbaccess/clock.h"
#include "dbaccess/database_clock.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "library/components.h"
#include "library/korvex7_commands.h"
#include "tests/support/components_fixture.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/shop_floor_db.h"

using namespace korvex7::internal;  // the library's internals

namespace dbaccess {

// Readable date-times in failure messages.
inline void PrintTo(const DateTime& t, std::ostream* os) { *os << t.ToText(); }

}  // namespace dbaccess

namespace testsupport {

// Demo plant command keys (the key is the type code).
inline constexpr int kCycleCommand = korvex7::Code(korvex7::CommandType::kCycle);
inline constexpr int kMachineDowntimeCommand = korvex7::Code(korvex7::CommandType::kMachineDowntime);
inline constexpr int kUserDowntimeCommand = korvex7::Code(korvex7::CommandType::kUserDowntime);
inline constexpr int kHeartbeatCommand = korvex7::Code(korvex7::CommandType::kHeartbeat);
// Demo downtime code "190" (Heartbeat missing) and "110" (Tool change, at
// most 30 minutes).
inline constexpr int kHeartbeatMissingCode = 4;
inline constexpr int kToolChangeCode = 2;

// One row of T_SFC_EVENT.
struct EventRow {
  dbaccess::DateTime start;
  dbaccess::Variant stop;  // null while open
  std::string param;
};

class MachineMonitorTest : public ComponentsTest {
 protected:
  void SetUp() override {
    ComponentsTest::SetUp();
    Announce(*object_);
  }
  // The database kind to test; a fixture with a wider parameter overrides it.
  virtual std::string KindName() const { return GetParam(); }

  // Another set of components over the same database, announced.
  std::unique_ptr<Components> NewObject() {
    auto parts = Connect();
    Announce(*parts);
    return parts;
  }

  int64_t Scalar(const std::string& sql) { return Value(sql).ToInt64(); }
  dbaccess::DateTime DatabaseNow() {
    return voltrane::GetDatabaseDateTime(database_.kind, object_->session.connection())
        ->WithoutMilliseconds();
  }

  void SetNumOption(int code, int value) {
    Exec("delete from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = " + std::to_string(code));
    Exec("insert into T_SFC_OPTION (APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, NUM_VAL) values (2, " +
         std::to_string(code) + ", 1, " + std::to_string(value) + ")");
  }
  void Supervise(int machine, const std::string& timeout, int enabled = 1) {
    Exec("insert into T_SFC_MACHINE_HEARTBEAT (MACHINE_ID, ENABLED, TIMEOUT) values (" +
         std::to_string(machine) + ", " + std::to_string(enabled) + ", " + timeout + ")");
  }
  void SetCodeLock(int code, int lock) {
    Exec("update T_SFC_DOWNTIME_CODE set CYCLE_STATUS_LOCK = " + std::to_string(lock) +
         " where DOWNTIME_CODE_ID = " + std::to_string(code));
  }

  // Demo machines 1 to 3 sit in group 1 or 2 of location 1, department 1.
  void AppendRow(int machine, int command, int time_code, const dbaccess::DateTime& t,
                 const std::string& param = "") {
    const int group = machine <= 2 ? 1 : 2;
    Exec(
        "insert into T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, "
        "COMMAND_TIME_CODE, TIME_STAMP, PARAM1) values (" +
        std::to_string(command) + ",1,1," + std::to_string(group) + "," + std::to_string(machine) +
        "," + std::to_string(time_code) + "," + Literal(t) + "," +
        (param.empty() ? std::string("null") : voltrane::QuotedStr(database_.kind, param)) + ")");
  }
  // Processes the rows waiting in the log; never finds the log empty, so the
  // idle-time checks do not run.
  void ProcessRows(Components& object, int count) {
    for (int i = 0; i < count; ++i) {
      std::string error;
      ASSERT_TRUE(object.log.DoNextItemFromMDCLog(error)) << error;
      ASSERT_EQ(error, "");
    }
  }
  void ProcessRows(int count) { ProcessRows(*object_, count); }
  void ProcessRow(int machine, int command, int time_code, const dbaccess::DateTime& t,
                  const std::string& param = "") {
    AppendRow(machine, command, time_code, t, param);
    ProcessRows(1);
  }

  std::vector<EventRow> Events(int machine, int command) {
    dbaccess::Recordset rs;
    rs.Open("select START_TIME, STOP_TIME, PARAM1 from T_SFC_EVENT where MACHINE_ID = " +
                std::to_string(machine) + " and COMMAND_ID = " + std::to_string(command) +
                " order by EVENT_ID",
            object_->session.connection());
    std::vector<EventRow> rows;
    for (; !rs.Eof(); rs.MoveNext()) {
      const dbaccess::Variant& param = rs.Fields("PARAM1").Value();
      rows.push_back({rs.Fields("START_TIME").Value().ToDateTime(), rs.Fields("STOP_TIME").Value(),
                      param.IsNull() ? "" : param.ToText()});
    }
    return rows;
  }
  int64_t MachineStatus(int machine) {
    return Scalar("select STATUS_CODE from T_SFC_MACHINE where MACHINE_ID = " +
                  std::to_string(machine));
  }
  // Open downtime rows of the code in any of the machine's records.
  int64_t OpenDowntimeRows(int machine, int code) {
    return Scalar(
        "select count(*) from T_SFC_DT_PER_MACHINE_DATA dt, T_SFC_MACHINE_DATA md where "
        "md.MACHINE_DATA_ID = dt.MACHINE_DATA_ID and md.MACHINE_ID = " +
        std::to_string(machine) + " and dt.DOWNTIME_CODE_ID = " + std::to_string(code) +
        " and dt.STOP_TIME is null");
  }

  static dbaccess::DateTime At(int hour, int minute, int second = 0) {
    return dbaccess::DateTime::FromParts(2026, 1, 5, hour, minute, second);  // a Monday
  }
  // A heartbeat row of the machine at the time, as the loop would read it.
  static LogEntry RowOf(int machine, const dbaccess::DateTime& time) {
    LogEntry row;
    row.lCommandID = kHeartbeatCommand;
    row.lCommandTimeCode = 0;
    row.machine.lMachineID = machine;
    row.dtTime = time;
    return row;
  }
};

// A collector group's view for the monitor without a group: which machine is
// in which partition, the partitions held (with their fences), those found
// drained, and the stored check times, all set by the test.
class FakeCheckScope : public CheckScope {
 public:
  std::map<int32_t, int32_t> partition_of;  // machine -> partition
  std::map<int32_t, int64_t> held;          // partition -> fence
  std::set<int32_t> drained;
  std::map<int32_t, dbaccess::DateTime> stored;

  std::optional<int32_t> HeldPartition(int32_t machine) const override {
    const auto found = partition_of.find(machine);
    if (found == partition_of.end() || held.count(found->second) == 0) return std::nullopt;
    return found->second;
  }
  const std::map<int32_t, int64_t>& HeldPartitions() const override { return held; }
  bool PartitionDrained(int32_t partition) const override { return drained.count(partition) > 0; }
  std::optional<dbaccess::DateTime> ReadDowntimeCheck(int32_t partition) override {
    const auto found = stored.find(partition);
    if (found == stored.end()) return std::nullopt;
    return found->second;
  }
  void WriteDowntimeCheck(int32_t partition, const dbaccess::DateTime& time) override {
    stored[partition] = time;
  }
};

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_MACHINE_MONITOR_FIXTURE_H_
