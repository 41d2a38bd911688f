#include "tests/support/test_databases.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace testsupport {

std::string MakeTempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "voltrane-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

std::vector<std::string> AvailableKinds() {
  std::vector<std::string> kinds = {"SQLite"};
  const char* pg = std::getenv("VOLTRANE_TEST_PG");
  const char* require = std::getenv("VOLTRANE_REQUIRE_PG");
  if ((pg != nullptr && *pg != '\0') || (require != nullptr && std::string(require) == "1")) {
    kinds.push_back("PostgreSQL");
  }
  return kinds;
}

TestDatabase CreateTestDatabase(const std::string& kind_name) {
  if (kind_name == "SQLite") {
    const std::string dir = MakeTempDir();
    return {"SQLite", 3, "Provider=SQLite;Data Source=" + dir + "/mdc.db;"};
  }
  throw std::runtime_error("no test database of kind " + kind_name);
}

void DropTestDatabase(const TestDatabase& database) {
  if (database.kind == 3) {
    const std::string prefix = "Data Source=";
    const auto start = database.connection_string.find(prefix) + prefix.size();
    const auto end = database.connection_string.find(';', start);
    std::filesystem::path file = database.connection_string.substr(start, end - start);
    std::error_code ignored;
    std::filesystem::remove_all(file.parent_path(), ignored);
  }
}

}  // namespace testsupport
