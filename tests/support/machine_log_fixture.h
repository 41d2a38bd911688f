// A library object connected to a fresh demo plant of each available kind,
// fed one log row at a time through DoNextItemFromMDCLog, with readers for
// the machine's current record, its downtime and scrap rows, its events and
// its status. The demo's command keys equal their type codes; machine 1
// (number "101") is in department 1, location 1, group 1 and works every
// shift (day 06:00-14:00, swing 22:00-06:00, Monday to Friday).
#ifndef VOLTRANE_TESTS_SUPPORT_MACHINE_LOG_FIXTURE_H_
#define VOLTRANE_TESTS_SUPPORT_MACHINE_LOG_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dbaccess/clock.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "dbaccess/variant.h"
#include "library/components.h"
#include "library/korvex7_commands.h"
#include "tests/support/components_fixture.h"
#include "tests/support/shop_floor_db.h"

using namespace korvex7::internal;  // the library's internals

namespace testsupport {

// Command type codes (and, in the demo plant, command keys), and time codes.
using korvex7::Code;
using korvex7::CommandType;
using korvex7::TimeCode;
inline constexpr int kLogon = Code(CommandType::kLogon), kJob = Code(CommandType::kJob),
                     kPart = Code(CommandType::kPart), kOp = Code(CommandType::kOperation),
                     kSetup = Code(CommandType::kSetup), kCycle = Code(CommandType::kCycle),
                     kTeardown = Code(CommandType::kTeardown),
                     kMachineDowntime = Code(CommandType::kMachineDowntime),
                     kUserDowntime = Code(CommandType::kUserDowntime),
                     kGoodCount = Code(CommandType::kGoodPartCount),
                     kScrapCount = Code(CommandType::kScrappedPartCount),
                     kIdle = Code(CommandType::kIdle);
inline constexpr int kStart = Code(TimeCode::kStart), kEnd = Code(TimeCode::kEnd),
                     kBoth = Code(TimeCode::kBoth);

class MachineLogTest : public ComponentsTest {
 protected:
  void SetUp() override {
    ComponentsTest::SetUp();
    Announce(*object_);
  }

  dbaccess::RecordsetPtr Rows(const std::string& sql) {
    auto rs = std::make_shared<dbaccess::Recordset>();
    rs->Open(sql, object_->session.connection());
    return rs;
  }

  // Appends one log row and processes it; returns the handler's error text.
  std::string Run(int command, int time_code, const std::string& param,
                  const dbaccess::DateTime& at, int machine = 1) {
    const int group = machine <= 2 ? 1 : machine <= 4 ? 2 : 3;
    const int location = machine <= 4 ? 1 : 2;
    Exec(
        "insert into T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, "
        "COMMAND_TIME_CODE, TIME_STAMP, PARAM1) values (" +
        std::to_string(command) + ",1," + std::to_string(location) + "," + std::to_string(group) +
        "," + std::to_string(machine) + "," + std::to_string(time_code) + "," +
        voltrane::DateTimeLiteral(database_.kind, at) + "," +
        voltrane::QuotedStr(database_.kind, param) + ")");
    std::string error;
    const bool processed = object_->log.DoNextItemFromMDCLog(error);
    EXPECT_EQ(processed, error.empty()) << error;
    return error;
  }
  // Runs a row that must succeed (or be ignored without error).
  void Ok(int command, int time_code, const std::string& param, const dbaccess::DateTime& at,
          int machine = 1) {
    EXPECT_EQ(Run(command, time_code, param, at, machine), "")
        << "command " << command << "/" << time_code << " at " << at.ToText();
  }

  // The machine's current record, positioned on its row.
  dbaccess::RecordsetPtr Current(int machine = 1) {
    return Rows(
        "select * from T_SFC_MACHINE_DATA where MACHINE_DATA_ID = (select MACHINE_DATA_ID from "
        "T_SFC_MACHINE where MACHINE_ID = " +
        std::to_string(machine) + ")");
  }
  int64_t CurrentID(int machine = 1) {
    return Current(machine)->Fields("MACHINE_DATA_ID").Value().ToInt64();
  }
  static std::string Text(const dbaccess::Variant& value) {
    if (value.IsNull() || value.IsEmpty()) return "null";
    if (value.Type() == dbaccess::VariantType::kDateTime) return value.ToDateTime().ToText();
    return value.ToText();
  }
  static double Number(const dbaccess::Variant& value) {
    return value.IsNull() || value.IsEmpty() ? 0.0 : value.ToDouble();
  }
  // A column of the current record: text ("null" for none) or number.
  std::string CurrentText(const char* column, int machine = 1) {
    return Text(Current(machine)->Fields(column).Value());
  }
  double CurrentNumber(const char* column, int machine = 1) {
    return Number(Current(machine)->Fields(column).Value());
  }
  int Status(int machine = 1) {
    return static_cast<int>(
        Value("select STATUS_CODE from T_SFC_MACHINE where MACHINE_ID = " + std::to_string(machine))
            .ToInt64());
  }

  // Gives the machine a current record with part 1 (SHAFT-100), created at
  // `at` by a user downtime end, which changes nothing else.
  void GivePart(const dbaccess::DateTime& at, int machine = 1) {
    Ok(kUserDowntime, kEnd, "", at, machine);
    Exec("update T_SFC_MACHINE_DATA set PART_ID = 1 where MACHINE_DATA_ID = " +
         std::to_string(CurrentID(machine)));
  }
  // Marks the machine as having had a logon event (now ended), so that a
  // user downtime start starts no anonymous logon.
  void HadLogon(int machine = 1) {
    Exec("insert into T_SFC_MACHINE_EVENT (MACHINE_ID, COMMAND_ID, EVENT_ID) values (" +
         std::to_string(machine) + ", " + std::to_string(kLogon) + ", null)");
  }
  void SetBoolOption(int code, int value) {
    Exec("delete from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = " + std::to_string(code));
    Exec(
        "insert into T_SFC_OPTION (APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, BOOL_VAL) values (2, " +
        std::to_string(code) + ", 0, " + std::to_string(value) + ")");
  }

  // Monday 5 January 2026, 07:00, within the day shift.
  dbaccess::DateTime t0_ = dbaccess::DateTime::FromParts(2026, 1, 5, 7, 0, 0);
};

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_MACHINE_LOG_FIXTURE_H_
