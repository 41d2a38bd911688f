// The library's components (library/components.h) over one session,
// connected to a fresh demo-plant database of each available kind, with the
// reads and writes every component test needs. The extended error log goes
// to a settings sandbox so tests can read the trace; waits run on a manual
// clock. Fixtures of single components derive from it.
#ifndef VOLTRANE_TESTS_SUPPORT_COMPONENTS_FIXTURE_H_
#define VOLTRANE_TESTS_SUPPORT_COMPONENTS_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dbaccess/clock.h"
#include "dbaccess/date_time.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "dbaccess/variant.h"
#include "library/components.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/shop_floor_db.h"

using namespace korvex7::internal;  // the library's internals

namespace testsupport {

class ComponentsTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    sandbox_.WriteHives(SettingsSandbox::BaseFolderKey(sandbox_.dir()), "");
    database_ = CreateShopFloorDatabase(KindName(), true);
    PrepareDatabase();
    object_ = Connect();
  }
  void TearDown() override {
    object_.reset();
    DropTestDatabase(database_);
  }
  // Runs on the fresh database before the components connect.
  virtual void PrepareDatabase() {}
  // The database kind to test; a fixture with a wider parameter overrides it.
  virtual std::string KindName() const { return GetParam(); }

  // A new set of components connected to the test database.
  std::unique_ptr<Components> Connect() {
    auto parts = std::make_unique<Components>(clock_);
    std::string error;
    EXPECT_TRUE(
        parts->session.ConnectToDatabase(database_.connection_string, database_.kind, error))
        << error;
    return parts;
  }
  // The loop's first call, which only announces the library.
  static void Announce(Components& parts) {
    std::string error;
    EXPECT_FALSE(parts.log.DoNextItemFromMDCLog(error));
    EXPECT_EQ(error.rfind(" Note: Using ", 0), 0u) << error;
  }

  void Exec(const std::string& sql) { object_->session.connection()->Execute(sql); }
  // The first column of the first row; null when there is no row.
  dbaccess::Variant Value(const std::string& sql) {
    dbaccess::Recordset rs;
    rs.Open(sql, object_->session.connection());
    return rs.Eof() ? dbaccess::Variant::Null() : rs.Fields(size_t{0}).Value();
  }
  // The number of rows of "<table> [where ...]".
  int64_t Count(const std::string& rows) { return Value("select count(*) from " + rows).ToInt64(); }
  std::string Literal(const dbaccess::DateTime& at) {
    return voltrane::DateTimeLiteral(database_.kind, at);
  }
  std::string Quoted(const std::string& text) { return voltrane::QuotedStr(database_.kind, text); }

  SettingsSandbox sandbox_;
  std::shared_ptr<dbaccess::ManualClock> clock_ = std::make_shared<dbaccess::ManualClock>();
  TestDatabase database_;
  std::unique_ptr<Components> object_;
};

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_COMPONENTS_FIXTURE_H_
