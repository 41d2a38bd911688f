// The built korvex7 program against a fresh database of one kind, with the
// settings store kept in a folder of its own: the set-up every test of the
// tool shares. Run() passes the database's --connection and --dbtype after
// the given arguments and returns the exit code with everything printed.
// Header only: KORVEX7_TOOL_PATH is defined for each tool test.
#ifndef VOLTRANE_TESTS_SUPPORT_TOOL_FIXTURE_H_
#define VOLTRANE_TESTS_SUPPORT_TOOL_FIXTURE_H_

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/recordset.h"
#include "tests/support/test_databases.h"

namespace testsupport {

struct RunResult {
  int exit_code = -1;
  std::string output;  // standard output and standard error
};

// The text as one shell word.
inline std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class ToolFixture : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    store_dir_ = MakeTempDir();
    // Keep the program away from this computer's settings store.
    setenv("VOLTRANE_MACHINE_STORE", (store_dir_ + "/machine.toml").c_str(), 1);
    setenv("VOLTRANE_USER_STORE", (store_dir_ + "/user.toml").c_str(), 1);
    database_ = CreateTestDatabase(GetParam());
  }
  void TearDown() override {
    connection_.Close();
    DropTestDatabase(database_);
    std::filesystem::remove_all(store_dir_);
  }

  // `korvex7 <arguments> --connection ... --dbtype ...`.
  RunResult Run(const std::vector<std::string>& arguments) {
    std::string command = ShellQuote(KORVEX7_TOOL_PATH);
    for (const std::string& argument : arguments) command += " " + ShellQuote(argument);
    command += " --connection " + ShellQuote(database_.connection_string) + " --dbtype " +
               ShellQuote(database_.name) + " 2>&1";
    RunResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) result.output += buffer;
    const int status = pclose(pipe);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
  }
  // Loads the demo plant (`schema init --demo`), failing the test if it cannot.
  void InitDemoPlant() {
    const RunResult run = Run({"schema", "init", "--demo"});
    ASSERT_EQ(run.exit_code, 0) << run.output;
  }
  // A connection of the test's own to the database, opened on first use.
  dbaccess::ConnectionPtr Connection() {
    if (!connection_.IsOpen()) connection_.Open(database_.connection_string);
    return {&connection_, [](dbaccess::Connection*) {}};
  }
  int64_t Count(const std::string& table) {
    dbaccess::Recordset rs;
    rs.Open("select count(*) from " + table, Connection());
    return rs.Fields(size_t{0}).Value().ToInt64();
  }

  std::string store_dir_;
  TestDatabase database_;
  dbaccess::Connection connection_;
};

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_TOOL_FIXTURE_H_
