// What tests of the bridges read back: a query's rows as text, and the whole
// log processed as the collector does, through the library's factory.
#ifndef VOLTRANE_TESTS_SUPPORT_LOG_QUERIES_H_
#define VOLTRANE_TESTS_SUPPORT_LOG_QUERIES_H_

#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "tests/support/test_databases.h"

namespace testsupport {

// Each row as its fields' texts joined by "|" ("null" for null); date-time
// columns (also those some kinds read as text) in the stored form.
std::vector<std::string> QueryRows(const dbaccess::ConnectionPtr& connection,
                                   const std::string& sql);

// Calls DoNextItemFromMDCLog until the log is empty (a test failure when it
// is not after 100 calls).
void ProcessWholeLog(const TestDatabase& database);

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_LOG_QUERIES_H_
