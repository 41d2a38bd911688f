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

}  // namespace testsupport
