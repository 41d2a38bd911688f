#include "tests/support/fake_provider.h"

#include "dbaccess/db_error.h"

namespace testsupport {
namespace {

std::string JoinItems(const std::vector<dbaccess::ConnectionItem>& items) {
  std::string text;
  for (const auto& item : items) text += item.key + (item.has_equals ? "=" + item.value : "") + ";";
  return text;
}

void ThrowIf(const FakeFailure& failure) {
  if (failure.number != 0) throw dbaccess::DbError(failure.number, failure.description);
}

class FakeBackend : public dbaccess::Backend {
 public:
  FakeBackend(std::shared_ptr<FakeScript> script, std::string connection_string)
      : script_(std::move(script)), connection_string_(std::move(connection_string)) {}

  void Open(int) override {
    ++script_->opens;
    script_->opened_strings.push_back(connection_string_);
    FakeFailure outcome = script_->open_default;
    if (!script_->open_outcomes.empty()) {
      outcome = script_->open_outcomes.front();
      script_->open_outcomes.pop_front();
    }
    ThrowIf(outcome);
    open_ = true;
  }
  void Close() override {
    if (open_) ++script_->closes;
    open_ = false;
  }
  bool IsOpen() const override { return open_; }
  voltrane::dbkind::Kind Engine() const override { return voltrane::dbkind::kSqlServer; }

  int64_t Execute(const std::string& sql, const std::vector<dbaccess::Variant>&, int) override {
    script_->executed.push_back(sql);
    if (!script_->fail_sql_containing.empty() &&
        sql.find(script_->fail_sql_containing) != std::string::npos) {
      ThrowIf(script_->execute_failure);
    }
    return 1;
  }
  dbaccess::ResultTable Query(const std::string& sql, const std::vector<dbaccess::Variant>& params,
                              int timeout) override {
    Execute(sql, params, timeout);
    for (const auto& [key, result] : script_->query_results) {
      if (sql.find(key) != std::string::npos) return result;
    }
    return {};
  }
  void BeginTransaction() override { Transaction(); }
  void CommitTransaction() override { Transaction(); }
  void RollbackTransaction() override { Transaction(); }
  std::vector<std::string> PrimaryKeyColumns(const std::string&) override { return {}; }
  dbaccess::ResultTable InsertRow(const std::string&, const std::vector<std::string>&,
                                  const std::vector<dbaccess::Variant>&, int) override {
    return {};
  }
  dbaccess::ResultTable CallProcedure(const std::string& name,
                                      std::vector<dbaccess::Parameter>& params, int) override {
    script_->procedures.push_back({name, params});
    if (!script_->fail_sql_containing.empty() &&
        name.find(script_->fail_sql_containing) != std::string::npos) {
      ThrowIf(script_->execute_failure);
    }
    for (dbaccess::Parameter& param : params) {
      if (param.direction == dbaccess::ParamDirection::kInput) continue;
      const auto output = script_->procedure_outputs.find(param.name);
      if (output != script_->procedure_outputs.end()) param.value = output->second;
    }
    return {};
  }
  std::vector<std::string> TableNames() override { return {}; }
  std::vector<std::string> IndexNames(const std::string&) override { return {}; }

 private:
  void Transaction() {
    ++script_->transaction_calls;
    if (script_->refused_transactions > 0) {
      --script_->refused_transactions;
      ThrowIf(script_->transaction_failure);
    }
  }

  std::shared_ptr<FakeScript> script_;
  std::string connection_string_;
  bool open_ = false;
};

}  // namespace

FakeProviderRegistration::FakeProviderRegistration(const std::string& provider,
                                                   std::shared_ptr<FakeScript> script)
    : provider_(provider) {
  dbaccess::RegisterProvider(provider,
                             [script](const std::vector<dbaccess::ConnectionItem>& items) {
                               return std::make_unique<FakeBackend>(script, JoinItems(items));
                             });
}

FakeProviderRegistration::~FakeProviderRegistration() { dbaccess::UnregisterProvider(provider_); }

}  // namespace testsupport
