// A fresh shop-floor database with the demo plant, on each available kind,
// and a library object connected to it on a manual clock (a batch falls due
// by its row count only), in a sandboxed settings store. Tests that append
// and process commands before they look at what other components make of
// them derive from it.
#ifndef VOLTRANE_TESTS_SUPPORT_DEMO_PLANT_LIBRARY_FIXTURE_H_
#define VOLTRANE_TESTS_SUPPORT_DEMO_PLANT_LIBRARY_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dbaccess/clock.h"
#include "library/korvex7_obj.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/shop_floor_db.h"

namespace testsupport {

class DemoPlantLibraryTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    database_ = CreateShopFloorDatabase(GetParam(), true);
    std::string error;
    ASSERT_TRUE(library_.ConnectToDatabase(database_.connection_string, database_.kind, error))
        << error;
  }
  void TearDown() override { DropTestDatabase(database_); }

  SettingsSandbox sandbox_;
  TestDatabase database_;
  CKorvex7Obj library_{std::make_shared<dbaccess::ManualClock>()};
};

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_DEMO_PLANT_LIBRARY_FIXTURE_H_
