// A scriptable fake database provider for unit tests of the library: register
// it under a provider name, and every connection string naming that provider
// opens a FakeBackend that follows the shared FakeScript (open outcomes in
// order, failing statements, refused transactions) and records what it was
// asked to do. Unit tests use it to replay retry and fallback rules without a
// database. Not thread-safe: one test thread at a time.
#ifndef VOLTRANE_TESTS_SUPPORT_FAKE_PROVIDER_H_
#define VOLTRANE_TESTS_SUPPORT_FAKE_PROVIDER_H_

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dbaccess/backend.h"
#include "dbaccess/provider_table.h"

namespace testsupport {

struct FakeFailure {
  int32_t number = 0;  // 0: success
  std::string description;
};

struct FakeProcedureCall {
  std::string name;
  std::vector<dbaccess::Parameter> parameters;  // as passed, before outputs are filled
};

struct FakeScript {
  // Outcome of each Open in turn; when exhausted, `open_default` applies.
  std::deque<FakeFailure> open_outcomes;
  FakeFailure open_default;
  // Statements whose text contains `fail_sql_containing` throw `execute_failure`.
  std::string fail_sql_containing;
  FakeFailure execute_failure;
  // The next `refused_transactions` transaction calls throw `transaction_failure`.
  int refused_transactions = 0;
  FakeFailure transaction_failure{static_cast<int32_t>(0x80040E31u), "database is locked"};

  // Values given to output and return-value parameters of every procedure
  // call, by parameter name; a procedure whose name contains
  // `fail_sql_containing` throws `execute_failure` too.
  std::map<std::string, dbaccess::Variant> procedure_outputs;
  // The rows a query answers with: the first entry whose key the query's
  // text contains; no entry answers with no rows.
  std::map<std::string, dbaccess::ResultTable> query_results;

  // What happened.
  std::vector<std::string> opened_strings;  // connection strings of each Open attempt
  int opens = 0;
  int closes = 0;
  int transaction_calls = 0;
  std::vector<std::string> executed;
  std::vector<FakeProcedureCall> procedures;
};

// Registers `provider` to create FakeBackends following `script`; the
// registration is removed when the returned guard is destroyed.
class FakeProviderRegistration {
 public:
  FakeProviderRegistration(const std::string& provider, std::shared_ptr<FakeScript> script);
  ~FakeProviderRegistration();
  FakeProviderRegistration(const FakeProviderRegistration&) = delete;
  FakeProviderRegistration& operator=(const FakeProviderRegistration&) = delete;

 private:
  std::string provider_;
};

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_FAKE_PROVIDER_H_
