// A library object connected to a fresh demo plant of each available kind,
// with the reference-data operations opened to the test and small helpers to
// set options, give a machine a current record and read rows back.
#ifndef VOLTRANE_TESTS_SUPPORT_REFERENCE_DATA_FIXTURE_H_
#define VOLTRANE_TESTS_SUPPORT_REFERENCE_DATA_FIXTURE_H_

#include <gtest/gtest.h>

#include <string>

#include "dbaccess/recordset.h"
#include "dbaccess/variant.h"
#include "library/components.h"
#include "tests/support/components_fixture.h"
#include "tests/support/shop_floor_db.h"

using namespace korvex7::internal;  // the library's internals

namespace testsupport {

class ReferenceDataTest : public ComponentsTest {
 protected:
  // The first row of `sql`, for reading its fields.
  dbaccess::RecordsetPtr Row(const std::string& sql) {
    auto rs = std::make_shared<dbaccess::Recordset>();
    rs->Open(sql, object_->session.connection());
    return rs;
  }

  // Option rows of application code 2 (replacing any row of the code).
  void SetOption(int code, int type, const std::string& column, const std::string& value) {
    Exec("delete from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = " + std::to_string(code));
    Exec("insert into T_SFC_OPTION (APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, " + column +
         ") values (2, " + std::to_string(code) + ", " + std::to_string(type) + ", " + value + ")");
  }
  void SetBoolOption(int code, int value) { SetOption(code, 0, "BOOL_VAL", std::to_string(value)); }
  void RemoveOption(int code) {
    Exec("delete from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = " + std::to_string(code));
  }

  // Gives a demo machine a current machine data record with that user and
  // part ("null" for none).
  void GiveCurrentRecord(int machine_id, const std::string& user_id, const std::string& part_id) {
    const std::string record_id = std::to_string(900 + machine_id);
    Exec("insert into T_SFC_MACHINE_DATA (MACHINE_DATA_ID, MACHINE_ID, USER_ID, PART_ID) values (" +
         record_id + ", " + std::to_string(machine_id) + ", " + user_id + ", " + part_id + ")");
    Exec("update T_SFC_MACHINE set MACHINE_DATA_ID = " + record_id +
         " where MACHINE_ID = " + std::to_string(machine_id));
  }
};

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_REFERENCE_DATA_FIXTURE_H_
