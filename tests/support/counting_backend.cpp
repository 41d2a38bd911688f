#include "tests/support/counting_backend.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <sstream>
#include <utility>
#include <vector>

#include "dbaccess/provider_table.h"

namespace testsupport {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

class CountingBackend : public dbaccess::Backend {
 public:
  CountingBackend(std::unique_ptr<dbaccess::Backend> inner, std::shared_ptr<StatementCounts> counts)
      : inner_(std::move(inner)), counts_(std::move(counts)) {}

  void Open(int timeout_seconds) override { inner_->Open(timeout_seconds); }
  void Close() override { inner_->Close(); }
  bool IsOpen() const override { return inner_->IsOpen(); }
  voltrane::dbkind::Kind Engine() const override { return inner_->Engine(); }

  int64_t Execute(const std::string& sql, const std::vector<dbaccess::Variant>& params,
                  int timeout_seconds) override {
    Count(StatementKind(sql));
    return inner_->Execute(sql, params, timeout_seconds);
  }
  dbaccess::ResultTable Query(const std::string& sql, const std::vector<dbaccess::Variant>& params,
                              int timeout_seconds) override {
    Count(StatementKind(sql));
    return inner_->Query(sql, params, timeout_seconds);
  }
  bool SendAhead(const std::vector<dbaccess::AheadStatement>& statements) override {
    if (!inner_->SendAhead(statements)) return false;
    for (const dbaccess::AheadStatement& ahead : statements) Count(StatementKind(ahead.sql));
    return true;
  }
  void BeginTransaction() override {
    Count("begin");
    inner_->BeginTransaction();
  }
  void CommitTransaction() override {
    Count("commit");
    inner_->CommitTransaction();
  }
  void RollbackTransaction() override {
    Count("rollback");
    inner_->RollbackTransaction();
  }
  std::vector<std::string> PrimaryKeyColumns(const std::string& table) override {
    Count("primary key " + Upper(table));
    return inner_->PrimaryKeyColumns(table);
  }
  dbaccess::ResultTable InsertRow(const std::string& table, const std::vector<std::string>& columns,
                                  const std::vector<dbaccess::Variant>& values,
                                  int timeout_seconds) override {
    Count("insert " + Upper(table) + " (recordset)");
    return inner_->InsertRow(table, columns, values, timeout_seconds);
  }
  dbaccess::ResultTable CallProcedure(const std::string& name,
                                      std::vector<dbaccess::Parameter>& params,
                                      int timeout_seconds) override {
    Count("call " + name);
    return inner_->CallProcedure(name, params, timeout_seconds);
  }
  std::vector<std::string> TableNames() override {
    Count("table names");
    return inner_->TableNames();
  }
  std::vector<std::string> IndexNames(const std::string& table) override {
    Count("index names");
    return inner_->IndexNames(table);
  }

 private:
  void Count(const std::string& kind) { ++(*counts_)[kind]; }

  std::unique_ptr<dbaccess::Backend> inner_;
  std::shared_ptr<StatementCounts> counts_;
};

}  // namespace

std::string StatementKind(const std::string& sql) {
  std::istringstream words(sql);
  std::string verb;
  words >> verb;
  verb = Lower(verb);
  // The table follows "from", "into" or "update"; a select of no table is "select".
  std::string word, previous = verb;
  if (verb == "update") {
    words >> word;
    return verb + " " + Upper(word);
  }
  while (words >> word) {
    const std::string lower = Lower(previous);
    if (lower == "from" || lower == "into") {
      std::string table = Upper(word);
      table.erase(std::remove_if(table.begin(), table.end(),
                                 [](char c) { return c == '(' || c == ')' || c == ','; }),
                  table.end());
      return verb + " " + table;
    }
    previous = word;
  }
  return verb;
}

void RegisterCountingProvider(const std::string& provider, const std::string& inner_provider,
                              std::shared_ptr<StatementCounts> counts) {
  dbaccess::RegisterProvider(
      provider, [inner_provider, counts](const std::vector<dbaccess::ConnectionItem>& items) {
        std::string inner_string = "Provider=" + inner_provider + ";";
        for (const dbaccess::ConnectionItem& item : items) {
          if (Lower(item.key) == "provider") continue;
          inner_string += item.key + (item.has_equals ? "=" + item.value : "") + ";";
        }
        return std::unique_ptr<dbaccess::Backend>(
            new CountingBackend(dbaccess::CreateBackend(inner_string), counts));
      });
}

std::string WithProvider(const std::string& connection_string, const std::string& provider) {
  std::string text = "Provider=" + provider + ";";
  for (const dbaccess::ConnectionItem& item : dbaccess::ParseConnectionString(connection_string)) {
    if (Lower(item.key) == "provider") continue;
    text += item.key + (item.has_equals ? "=" + item.value : "") + ";";
  }
  return text;
}

std::string PerRowLines(const StatementCounts& counts, int64_t rows) {
  std::vector<std::pair<int64_t, std::string>> sorted;
  int64_t total = 0;
  for (const auto& [what, count] : counts) {
    sorted.emplace_back(count, what);
    total += count;
  }
  std::sort(sorted.rbegin(), sorted.rend());
  const double divisor = rows > 0 ? static_cast<double>(rows) : 1.0;
  std::string lines = fmt::format("{:8.2f}  all\n", static_cast<double>(total) / divisor);
  for (const auto& [count, what] : sorted) {
    lines += fmt::format("{:8.2f}  {}\n", static_cast<double>(count) / divisor, what);
  }
  return lines;
}

}  // namespace testsupport
