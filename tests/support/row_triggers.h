// Triggers that make a table skip or refuse row changes, on SQLite and
// PostgreSQL alike, for tests of the library's failure paths.
#ifndef VOLTRANE_TESTS_SUPPORT_ROW_TRIGGERS_H_
#define VOLTRANE_TESTS_SUPPORT_ROW_TRIGGERS_H_

#include <string>
#include <vector>

#include "tests/support/test_databases.h"

namespace testsupport {

// Statements creating trigger `name` before each `event` ("update" or
// "delete") of a row of `table`. With an empty `message` the row is skipped
// silently (the statement succeeds and does not count it); otherwise the
// statement fails with `message`.
inline std::vector<std::string> RowTriggerStatements(const TestDatabase& database,
                                                     const std::string& name,
                                                     const std::string& table,
                                                     const std::string& event,
                                                     const std::string& message) {
  if (database.kind == 4) {
    const std::string body =
        message.empty() ? "return null;" : "raise exception '" + message + "';";
    return {"create function " + name + "_fn() returns trigger language plpgsql as $$ begin " +
                body + " end $$",
            "create trigger " + name + " before " + event + " on " + table +
                " for each row execute function " + name + "_fn()"};
  }
  const std::string action = message.empty() ? "raise(ignore)" : "raise(abort, '" + message + "')";
  return {"create trigger " + name + " before " + event + " on " + table + " begin select " +
          action + "; end"};
}

inline std::string DropRowTriggerStatement(const TestDatabase& database, const std::string& name,
                                           const std::string& table) {
  return "drop trigger " + name + (database.kind == 4 ? " on " + table : std::string());
}

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_ROW_TRIGGERS_H_
