// Option reads and writes against a real shop-floor database of every kind.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dbaccess/connection.h"
#include "dbaccess/db_error.h"
#include "dbaccess/recordset.h"
#include "library/components.h"
#include "tests/support/shop_floor_db.h"

using namespace korvex7::internal;  // the library's internals

namespace {

class OptionsTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    database_ = testsupport::CreateShopFloorDatabase(GetParam(), false);
    std::string error;
    ASSERT_TRUE(
        object_.session.ConnectToDatabase(database_.connection_string, database_.kind, error))
        << error;
    Exec("delete from T_SFC_OPTION");
  }
  void TearDown() override { testsupport::DropTestDatabase(database_); }

  void Exec(const std::string& sql) { object_.session.connection()->Execute(sql); }
  void AddOption(int code, int type, const std::string& bool_val, const std::string& num_val,
                 const std::string& string_val) {
    Exec("insert into T_SFC_OPTION (APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, BOOL_VAL, NUM_VAL, "
         "STRING_VAL) values (2, " + std::to_string(code) + ", " + std::to_string(type) + ", " +
         bool_val + ", " + num_val + ", " + string_val + ")");
  }

  testsupport::TestDatabase database_;
  Components object_;
};

TEST_P(OptionsTest, BooleansAreOnWhenNotZeroAndOffWhenMissing) {
  AddOption(1, 0, "-1", "null", "null");
  AddOption(2, 0, "1", "null", "null");
  AddOption(3, 0, "0", "null", "null");
  AddOption(4, 0, "null", "null", "null");
  AddOption(7, 0, "1", "null", "null");
  Exec("insert into T_SFC_OPTION (APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, BOOL_VAL) "
       "values (5, 9, 0, 1)");  // another application's option 9
  EXPECT_TRUE(object_.session.GetBoolOption(1));
  EXPECT_TRUE(object_.session.GetBoolOption(2));
  EXPECT_FALSE(object_.session.GetBoolOption(3));
  EXPECT_FALSE(object_.session.GetBoolOption(4));
  EXPECT_FALSE(object_.session.GetBoolOption(9));
  EXPECT_FALSE(object_.session.GetBoolOption(99));
}

TEST_P(OptionsTest, NumbersKeepTheCallersValueWhenMissing) {
  AddOption(15, 1, "null", "30", "null");
  AddOption(16, 1, "null", "70000", "null");
  int32_t value = -1;
  EXPECT_TRUE(object_.session.GetNumOption(15, value));
  EXPECT_EQ(value, 30);
  value = -1;
  EXPECT_TRUE(object_.session.GetNumOption(77, value));
  EXPECT_EQ(value, -1);

}

TEST_P(OptionsTest, IntegersAreSmallEnumerationsKeptInTheBooleanColumn) {
  AddOption(10, 0, "2", "null", "null");
  AddOption(15, 1, "null", "30", "null");
  int32_t value = -1;
  EXPECT_TRUE(object_.session.GetIntOption(10, value));
  EXPECT_EQ(value, 2);
  // A number option is not an integer option; the read starts from 0.
  value = 5;
  EXPECT_FALSE(object_.session.GetIntOption(15, value));
  EXPECT_EQ(value, 0);
  value = 5;
  EXPECT_FALSE(object_.session.GetIntOption(77, value));
  EXPECT_EQ(value, 0);
  // The integer read is 16 bits wide; only SQLite keeps a wider value in the column.
  if (database_.kind == 3) {
    AddOption(4, 0, "70000", "null", "null");
    EXPECT_FALSE(object_.session.GetIntOption(4, value));
    EXPECT_EQ(value, 0);
  }
}

TEST_P(OptionsTest, TextOptionsAreWrittenOnceAndReadBack) {
  std::string text = "unchanged";
  EXPECT_TRUE(object_.session.GetStringOption(8, text));
  EXPECT_EQ(text, "");
  EXPECT_TRUE(object_.session.SetStringOption(8, "REV A"));
  EXPECT_TRUE(object_.session.SetStringOption(8, "O'Brien % 100"));
  EXPECT_TRUE(object_.session.GetStringOption(8, text));
  EXPECT_EQ(text, "O'Brien % 100");
  dbaccess::Recordset rows;
  rows.Open("select count(*) from T_SFC_OPTION where OPTION_CODE = 8 and OPTION_TYPE_CODE = 2",
            object_.session.connection());
  EXPECT_EQ(rows.Fields(size_t{0}).Value().ToInt64(), 1);
}

TEST_P(OptionsTest, ABooleanThatIsNotANumberReachesTheCaller) {
  // Some databases keep BOOL_VAL as a small integer; a damaged row can only
  // be text where the column accepts it.
  if (database_.kind != 3) GTEST_SKIP() << "only SQLite stores text in an integer column";
  Exec("insert into T_SFC_OPTION (APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, BOOL_VAL) "
       "values (2, 13, 0, 'yes')");
  EXPECT_THROW(object_.session.GetBoolOption(13), dbaccess::DbError);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, OptionsTest, testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
