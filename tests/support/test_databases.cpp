// The test databases (see test_databases.h). PostgreSQL databases are created
// and dropped over an administrative ODBC connection to the server's
// "postgres" database; a server that is named but cannot be reached is a
// failure, not a reason to skip.
#include "tests/support/test_databases.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>

#include "dbaccess/db_error.h"
#include "dbaccess/odbc_backend.h"

namespace testsupport {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

struct PostgreSqlServer {
  std::string data_source;  // "host[:port]"
  std::string host;
  std::string port;
  std::string user;
  std::string password;
};

PostgreSqlServer ServerFromEnvironment() {
  PostgreSqlServer server;
  server.data_source = Environment("VOLTRANE_TEST_PG");
  if (server.data_source.empty()) {
    throw std::runtime_error(
        Environment("VOLTRANE_REQUIRE_PG") == "1"
            ? "VOLTRANE_REQUIRE_PG=1 but VOLTRANE_TEST_PG names no PostgreSQL server "
              "(start one with scripts/pg-cluster.sh)"
            : "no PostgreSQL test server configured (VOLTRANE_TEST_PG)");
  }
  server.user = Environment("VOLTRANE_TEST_PG_USER");
  server.password = Environment("VOLTRANE_TEST_PG_PASSWORD");
  const auto colon = server.data_source.rfind(':');
  server.host = server.data_source.substr(0, colon);
  if (colon != std::string::npos) server.port = server.data_source.substr(colon + 1);
  return server;
}

std::string AdminConnectionString(const PostgreSqlServer& server) {
  std::string text = "Driver={PostgreSQL Unicode};Server=" + server.host + ";";
  if (!server.port.empty()) text += "Port=" + server.port + ";";
  text += "Database=postgres;Uid=" + server.user + ";Pwd={" + server.password + "};";
  return text;
}

// Runs one administrative statement on the server's "postgres" database.
void RunAdminStatement(const PostgreSqlServer& server, const std::string& sql) {
  std::unique_ptr<dbaccess::Backend> admin =
      dbaccess::MakeOdbcBackend(AdminConnectionString(server));
  try {
    admin->Open(10);
  } catch (const dbaccess::DbError& error) {
    throw std::runtime_error("the PostgreSQL test server " + server.data_source +
                             " (VOLTRANE_TEST_PG) cannot be reached: " + error.description());
  }
  admin->Execute(sql, {}, 60);
}

std::string UniqueDatabaseName() {
  static std::atomic<int> counter{0};
  std::random_device random;
  return "voltrane_t" + std::to_string(getpid()) + "_" + std::to_string(++counter) + "_" +
         std::to_string(random() % 1000000);
}

std::string ConnectionValue(const std::string& text, const std::string& key) {
  const std::string prefix = key + "=";
  const auto start = text.find(prefix);
  if (start == std::string::npos) return "";
  const auto end = text.find(';', start);
  return text.substr(start + prefix.size(), end - start - prefix.size());
}

}  // namespace

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
  if (kind_name == "PostgreSQL") {
    const PostgreSqlServer server = ServerFromEnvironment();
    const std::string name = UniqueDatabaseName();
    RunAdminStatement(server, "CREATE DATABASE " + name);
    return {"PostgreSQL", 4,
            "Provider=PostgreSQL;Data Source=" + server.data_source + ";Initial Catalog=" + name +
                ";User ID=" + server.user + ";Password=" + server.password + ";"};
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
  if (database.kind == 4) {
    const std::string name = ConnectionValue(database.connection_string, "Initial Catalog");
    // FORCE ends sessions a failed test left open.
    if (!name.empty()) {
      RunAdminStatement(ServerFromEnvironment(),
                        "DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
    }
  }
}

}  // namespace testsupport
