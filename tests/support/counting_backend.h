// CountingBackend: a Backend that forwards every call to another one and
// counts the calls by kind ("select T_SFC_MACHINE", "update T_SFC_EVENT",
// "primary key", "begin", ...), so that a benchmark can show what one
// processed log row costs in statements and a test can hold an operation to
// its statement count. The counts are shared by every
// backend the registered provider opens. Not thread-safe.
#ifndef VOLTRANE_TESTS_SUPPORT_COUNTING_BACKEND_H_
#define VOLTRANE_TESTS_SUPPORT_COUNTING_BACKEND_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "dbaccess/backend.h"

namespace testsupport {

using StatementCounts = std::map<std::string, int64_t>;

// The kind of a statement: its verb and first table, e.g. "select T_SFC_EVENT".
std::string StatementKind(const std::string& sql);

// Registers the provider `provider`: a connection string naming it opens the
// backend that `inner_provider` would open, wrapped so that it adds to `counts`.
void RegisterCountingProvider(const std::string& provider, const std::string& inner_provider,
                              std::shared_ptr<StatementCounts> counts);

// The connection string with another provider named.
std::string WithProvider(const std::string& connection_string, const std::string& provider);

// The counts divided by `rows`, one "%8.2f  kind" line each, the total first,
// then the most frequent first.
std::string PerRowLines(const StatementCounts& counts, int64_t rows);

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_COUNTING_BACKEND_H_
