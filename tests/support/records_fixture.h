// A library object over a fresh demo-plant database, with the machine data
// record and shift operations opened for tests, and helpers to read and
// write rows. Monday 2026-12-07 is the week the tests play in; the demo
// plant has a day shift (1) 06:00-14:00 and a swing shift (2) 22:00-06:00,
// Monday to Friday, and machine 5 works the day shift only.
#ifndef VOLTRANE_TESTS_SUPPORT_RECORDS_FIXTURE_H_
#define VOLTRANE_TESTS_SUPPORT_RECORDS_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dbaccess/clock.h"
#include "dbaccess/date_time.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "library/components.h"
#include "tests/support/components_fixture.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/shop_floor_db.h"

using namespace korvex7::internal;  // the library's internals

namespace testsupport {

// Machine 101 of the demo plant: department 1, location 1 (Hall A), group 1.
inline constexpr MachineKeys kMachine1{1, 1, 1, 1};

inline dbaccess::DateTime At(int day, int hour, int minute = 0, int second = 0) {
  return dbaccess::DateTime::FromParts(2026, 12, day, hour, minute, second);
}

class RecordsTest : public ComponentsTest {
 protected:
  dbaccess::Variant RecordField(int64_t id, const std::string& column) {
    return Value("select " + column +
                 " from T_SFC_MACHINE_DATA where MACHINE_DATA_ID = " + std::to_string(id));
  }
  int64_t CurrentRecord(int machine) {
    const dbaccess::Variant v = Value(
        "select MACHINE_DATA_ID from T_SFC_MACHINE where MACHINE_ID = " + std::to_string(machine));
    return v.IsNull() ? -1 : v.ToInt64();
  }
  // A current record of machine 1 starting at `start`, with extra columns.
  int64_t InsertCurrentRecord(const dbaccess::DateTime& start, const std::string& columns = "",
                              const std::string& values = "") {
    Exec(
        "insert into T_SFC_MACHINE_DATA (DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, START_TIME, "
        "STATUS_CODE, IS_MANUAL, SETUP_TIME, TEARDOWN_TIME, CYCLE_TIME, IDLE_TIME, "
        "FINISHED_CYCLES, UNFINISHED_CYCLES, GOOD_COUNT, SCRAPPED_COUNT" +
        columns + ") values (1, 1, 1, 1, " + Literal(start) + ", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0" +
        values + ")");
    const int64_t id = Value("select max(MACHINE_DATA_ID) from T_SFC_MACHINE_DATA").ToInt64();
    Exec("update T_SFC_MACHINE set MACHINE_DATA_ID = " + std::to_string(id) +
         " where MACHINE_ID = 1");
    return id;
  }
};

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_RECORDS_FIXTURE_H_
