#include "dbaccess/sql_script.h"

#include <gtest/gtest.h>

#include "dbaccess/db_error.h"
#include "dbaccess/recordset.h"
#include "tests/support/shop_floor_db.h"

namespace {

TEST(SqlScriptTest, SplitsAtLineEndSemicolonsAndOracleSlashes) {
  const std::string script =
      "-- a comment; with a semicolon\n"
      "CREATE TABLE A (\n  X INTEGER\n);\n\n"
      "INSERT INTO A VALUES (1);\n"
      "CREATE TRIGGER T BEFORE INSERT ON A FOR EACH ROW BEGIN :NEW.X := 1; END;\n"
      "/\n"
      "SELECT 1";
  const auto statements = dbaccess::SplitSqlScript(script);
  ASSERT_EQ(statements.size(), 4u);
  EXPECT_EQ(statements[0], "CREATE TABLE A (\n  X INTEGER\n)");
  EXPECT_EQ(statements[1], "INSERT INTO A VALUES (1)");
  EXPECT_EQ(statements[2], "CREATE TRIGGER T BEFORE INSERT ON A FOR EACH ROW BEGIN :NEW.X := 1; END");
  EXPECT_EQ(statements[3], "SELECT 1");
}

class ShopFloorSchemaTest : public testing::TestWithParam<std::string> {};

TEST_P(ShopFloorSchemaTest, LoadsTwiceAndHoldsTheDemoPlant) {
  testsupport::TestDatabase database = testsupport::CreateShopFloorDatabase(GetParam(), true);
  auto connection = std::make_shared<dbaccess::Connection>();
  connection->Open(database.connection_string);
  // Loading again changes nothing and does not fail.
  testsupport::LoadShopFloorSchema(*connection, database.kind, true);
  dbaccess::Recordset rs;
  rs.Open("select count(*) from T_SFC_COMMAND where COMMAND_TYPE_CODE between 4 and 17",
          connection);
  EXPECT_EQ(rs.Fields(size_t{0}).Value().ToInt64(), 14);
  rs.Close();
  connection->Close();
  testsupport::DropTestDatabase(database);
}

TEST_P(ShopFloorSchemaTest, AFailingStatementNamesItself) {
  testsupport::TestDatabase database = testsupport::CreateTestDatabase(GetParam());
  dbaccess::Connection connection;
  connection.Open(database.connection_string);
  try {
    dbaccess::RunSqlScript(connection, "CREATE TABLE OK1 (X INTEGER);\nINSERT INTO MISSING_T VALUES (1);\n");
    FAIL() << "the script should have failed";
  } catch (const dbaccess::DbError& error) {
    EXPECT_EQ(error.number(), dbaccess::kErrTableNotFound);
    EXPECT_NE(error.description().find("INSERT INTO MISSING_T"), std::string::npos);
  }
  connection.Close();
  testsupport::DropTestDatabase(database);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, ShopFloorSchemaTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
