#include "tests/support/shop_floor_db.h"

#include "dbaccess/sql_script.h"

namespace testsupport {
namespace {

std::string SchemaFolder() { return std::string(VOLTRANE_SOURCE_DIR) + "/schema/"; }

}  // namespace

std::string SchemaFile(int kind) {
  return SchemaFolder() + (kind == 4 ? "postgresql.sql" : "sqlite.sql");
}

void LoadShopFloorSchema(dbaccess::Connection& connection, int kind, bool demo) {
  dbaccess::RunSqlScript(connection, dbaccess::ReadTextFile(SchemaFile(kind)));
  if (!demo) return;
  dbaccess::RunSqlScript(connection, dbaccess::ReadTextFile(SchemaFolder() + "demo_plant.sql"));
  if (kind == 4) {
    dbaccess::RunSqlScript(
        connection, dbaccess::ReadTextFile(SchemaFolder() + "demo_plant_postgresql_tail.sql"));
  }
}

TestDatabase CreateShopFloorDatabase(const std::string& kind_name, bool demo) {
  TestDatabase database = CreateTestDatabase(kind_name);
  dbaccess::Connection connection;
  connection.Open(database.connection_string);
  LoadShopFloorSchema(connection, database.kind, demo);
  connection.Close();
  return database;
}

std::vector<std::string> GroupStandInStatements(const std::string& name, bool designated) {
  std::vector<std::string> statements = {
      "create table T_SFC_MDC_GROUP (GROUP_NAME varchar(64) not null, "
      "PARTITION_KIND varchar(16), LEASE_SECONDS integer)",
      "insert into T_SFC_MDC_GROUP (GROUP_NAME, PARTITION_KIND, LEASE_SECONDS) values ('" + name +
          "', 'group', 10)"};
  if (designated) {
    statements.push_back(
        "insert into T_SFC_OPTION (APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, STRING_VAL) "
        "values (2, 14, 2, 'group:" +
        name + "')");
  }
  return statements;
}

}  // namespace testsupport
