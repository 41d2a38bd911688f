// A test database holding the shop-floor schema, and optionally the demo
// plant, loaded from the schema/ files of the source tree.
#ifndef VOLTRANE_TESTS_SUPPORT_SHOP_FLOOR_DB_H_
#define VOLTRANE_TESTS_SUPPORT_SHOP_FLOOR_DB_H_

#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "tests/support/test_databases.h"

namespace testsupport {

// The schema file for a kind (3 SQLite, 4 PostgreSQL) in the source tree.
std::string SchemaFile(int kind);

// Loads the schema (and the demo plant with `demo`) into an open connection
// of that kind. Throws DbError on failure.
void LoadShopFloorSchema(dbaccess::Connection& connection, int kind, bool demo);

// Creates a fresh database of the kind, loads the schema (and demo) and
// returns it; the caller drops it with DropTestDatabase.
TestDatabase CreateShopFloorDatabase(const std::string& kind_name, bool demo);

// What `korvex7 group create` leaves behind as far as the wizard reads it:
// the group's row, and option 14 naming the group when `designated`.
std::vector<std::string> GroupStandInStatements(const std::string& name, bool designated);

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_SHOP_FLOOR_DB_H_
