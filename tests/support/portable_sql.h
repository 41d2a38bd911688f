// Column types whose spelling differs between the test database kinds, for
// test bodies that run unchanged on every kind of AvailableKinds().
#ifndef VOLTRANE_TESTS_SUPPORT_PORTABLE_SQL_H_
#define VOLTRANE_TESTS_SUPPORT_PORTABLE_SQL_H_

#include <string>

#include "tests/support/test_databases.h"

namespace testsupport {

// An integer primary key that the database generates.
inline std::string GeneratedKeyType(const TestDatabase& database) {
  return database.kind == 4 ? "SERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY AUTOINCREMENT";
}

// A date-time column with milliseconds.
inline std::string DateTimeType(const TestDatabase& database) {
  return database.kind == 4 ? "TIMESTAMP(3)" : "DATETIME";
}

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_PORTABLE_SQL_H_
