// The databases a test body runs on: a fresh SQLite file always, and a fresh
// PostgreSQL database (through ODBC) when the environment names a server.
//
// VOLTRANE_TEST_PG names the server as "host[:port]" (a socket folder works as
// host), with VOLTRANE_TEST_PG_USER / VOLTRANE_TEST_PG_PASSWORD. When
// VOLTRANE_REQUIRE_PG is "1" (CI) a missing or unreachable server fails the
// test instead of skipping PostgreSQL.
#ifndef VOLTRANE_TESTS_SUPPORT_TEST_DATABASES_H_
#define VOLTRANE_TESTS_SUPPORT_TEST_DATABASES_H_

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace testsupport {

struct TestDatabase {
  std::string name;               // "SQLite" or "PostgreSQL", for test names
  int32_t kind = 3;               // the system's database kind: 3 SQLite, 4 PostgreSQL
  std::string connection_string;  // the ADO-style string of a fresh, empty database
};

// Kinds available in this run (SQLite first). Used with INSTANTIATE_TEST_SUITE_P.
std::vector<std::string> AvailableKinds();

// Creates a fresh empty database of that kind and returns it; dropped by
// DropTestDatabase (fixtures call it in TearDown).
TestDatabase CreateTestDatabase(const std::string& kind_name);
void DropTestDatabase(const TestDatabase& database);

// A unique temporary folder for one test, removed by the caller.
std::string MakeTempDir();

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_TEST_DATABASES_H_
