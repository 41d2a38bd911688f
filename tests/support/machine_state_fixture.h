// A library object connected to a fresh demo plant of each available kind,
// fed real log rows through DoNextItemFromMDCLog, with readers for the
// machine data records, downtime rows and events the handlers leave behind.
// The extended error log goes to a settings sandbox so tests can read the
// trace.
#ifndef VOLTRANE_TESTS_SUPPORT_MACHINE_STATE_FIXTURE_H_
#define VOLTRANE_TESTS_SUPPORT_MACHINE_STATE_FIXTURE_H_

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dbaccess/clock.h"
#include "dbaccess/date_time.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "dbaccess/variant.h"
#include "library/components.h"
#include "library/korvex7_commands.h"
#include "tests/support/components_fixture.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/shop_floor_db.h"

using namespace korvex7::internal;  // the library's internals

namespace testsupport {

// Command type codes; in the demo plant each built-in command's key is its type.
using korvex7::Code;
using korvex7::CommandType;
using korvex7::TimeCode;
inline constexpr int kLogon = Code(CommandType::kLogon), kJob = Code(CommandType::kJob),
                     kPart = Code(CommandType::kPart), kOp = Code(CommandType::kOperation),
                     kCycle = Code(CommandType::kCycle),
                     kUserDowntime = Code(CommandType::kUserDowntime),
                     kSerial = Code(CommandType::kPartSerialNo);
inline constexpr int kStart = Code(TimeCode::kStart), kEnd = Code(TimeCode::kEnd);

// One row read back, by upper-case column name.
class Row {
 public:
  explicit Row(std::map<std::string, dbaccess::Variant> values) : values_(std::move(values)) {}
  const dbaccess::Variant& operator[](const std::string& column) const {
    return values_.at(column);
  }
  bool IsNull(const std::string& column) const {
    const dbaccess::Variant& value = values_.at(column);
    return value.IsNull() || value.IsEmpty();
  }
  // "null" for null; date-times in the canonical form.
  std::string Text(const std::string& column) const {
    if (IsNull(column)) return "null";
    const dbaccess::Variant& value = values_.at(column);
    if (column.find("TIME") != std::string::npos && column != "CYCLE_TIME" &&
        column != "SETUP_TIME" && column != "IDLE_TIME" && column != "TEARDOWN_TIME" &&
        column != "STANDARD_TIME") {
      return value.ToDateTime().ToText();
    }
    return value.ToText();
  }
  int64_t Long(const std::string& column) const {
    return IsNull(column) ? -1 : values_.at(column).ToInt64();
  }
  double Double(const std::string& column) const { return values_.at(column).ToDouble(); }

 private:
  std::map<std::string, dbaccess::Variant> values_;
};

class MachineStateTest : public ComponentsTest {
 protected:
  void SetUp() override {
    ComponentsTest::SetUp();
    Announce(*object_);
  }

  std::vector<Row> Rows(const std::string& sql) {
    dbaccess::Recordset rs;
    rs.Open(sql, object_->session.connection());
    std::vector<Row> rows;
    for (; !rs.Eof(); rs.MoveNext()) {
      std::map<std::string, dbaccess::Variant> values;
      for (size_t i = 0; i < rs.FieldCount(); ++i) {
        std::string name = rs.Fields(i).Name();
        for (char& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        values.emplace(name, rs.Fields(i).Value());
      }
      rows.emplace_back(std::move(values));
    }
    return rows;
  }

  // Appends one log row of the demo machine and processes it; returns the
  // handler's error text. A failed row is removed, so later rows go alone.
  std::string Run(int machine, int type, int time_code, const std::string& param,
                  const dbaccess::DateTime& at) {
    const int group = machine <= 2 ? 1 : machine <= 4 ? 2 : 3;
    const int location = machine <= 4 ? 1 : 2;
    Exec(
        "insert into T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, "
        "COMMAND_TIME_CODE, TIME_STAMP, PARAM1) values (" +
        std::to_string(type) + ",1," + std::to_string(location) + "," + std::to_string(group) +
        "," + std::to_string(machine) + "," + std::to_string(time_code) + "," + Literal(at) + "," +
        (param.empty() ? std::string("null") : Quoted(param)) + ")");
    std::string error;
    const bool processed = object_->log.DoNextItemFromMDCLog(error);
    if (!processed) Exec("delete from T_SFC_MDC_LOG");
    return error;
  }
  // A row that must succeed.
  void Ok(int machine, int type, int time_code, const std::string& param,
          const dbaccess::DateTime& at) {
    EXPECT_EQ(Run(machine, type, time_code, param, at), "")
        << "command " << type << "/" << time_code << " '" << param << "' at " << at.ToText();
  }

  // The machine's records, oldest first.
  std::vector<Row> Records(int machine) {
    return Rows("select * from T_SFC_MACHINE_DATA where MACHINE_ID = " + std::to_string(machine) +
                " order by MACHINE_DATA_ID");
  }
  int64_t CurrentRecordID(int machine) {
    return Value("select MACHINE_DATA_ID from T_SFC_MACHINE where MACHINE_ID = " +
                 std::to_string(machine))
        .ToInt64();
  }
  // The machine's events of a command, oldest first.
  std::vector<Row> Events(int machine, int command) {
    return Rows("select * from T_SFC_EVENT where MACHINE_ID = " + std::to_string(machine) +
                " and COMMAND_ID = " + std::to_string(command) + " order by EVENT_ID");
  }
  // Total unfinished cycles over all the machine's records.
  int64_t UnfinishedCycles(int machine) {
    int64_t total = 0;
    for (const Row& row : Records(machine)) total += row.Long("UNFINISHED_CYCLES");
    return total;
  }

  // A cycle running on the machine's current record since `at`, with its
  // open event, as a cycle start leaves it.
  void StartCycle(int machine, const dbaccess::DateTime& at) {
    Exec("update T_SFC_MACHINE_DATA set IDLE_START_TIME = null, CYCLE_START_TIME = " + Literal(at) +
         " where MACHINE_DATA_ID = " + std::to_string(CurrentRecordID(machine)));
    std::string error;
    ASSERT_TRUE(object_->handlers.events.DoCustomStart({{1, 1, 1, machine}, kCycle, "", at}, error))
        << error;
  }

  void SetBoolOption(int code, bool on) {
    Exec("delete from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = " + std::to_string(code));
    Exec(
        "insert into T_SFC_OPTION (APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, BOOL_VAL) values "
        "(2, " +
        std::to_string(code) + ", 0, " + (on ? "-1" : "0") + ")");
  }

  // Monday 2026-01-05, inside the day shift; t(s) is s seconds later.
  dbaccess::DateTime t(int seconds) const { return t0_.AddSeconds(seconds); }

  dbaccess::DateTime t0_ = dbaccess::DateTime::FromParts(2026, 1, 5, 8, 0, 0, 0);
};

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_MACHINE_STATE_FIXTURE_H_
