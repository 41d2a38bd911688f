// The board's subcommands of the built korvex7 program: `token add|list|remove`
// against a sandboxed settings store, and `serve`, which ends cleanly on
// SIGTERM after the request in progress has been answered.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <future>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>

#include "dbaccess/recordset.h"
#include "tests/support/child_process.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/shop_floor_db.h"

namespace {

struct Finished {
  int status = -1;
  std::string output;
};

Finished RunTool(const std::vector<std::string>& arguments, const std::string& dir) {
  std::vector<std::string> command = {KORVEX7_TOOL_PATH};
  command.insert(command.end(), arguments.begin(), arguments.end());
  testsupport::ChildProcess child(command, {}, dir + "/tool.out");
  Finished finished;
  finished.status = child.WaitForExit(30000).value_or(-1);
  finished.output = child.Output();
  return finished;
}

TEST(BoardToolTest, TokenAddPrintsTheTokenOnceAndStoresOnlyItsHash) {
  testsupport::SettingsSandbox sandbox;
  const Finished added = RunTool({"token", "add", "press-7"}, sandbox.dir());
  ASSERT_EQ(added.status, 0) << added.output;
  EXPECT_TRUE(std::regex_match(added.output, std::regex("[0-9a-f]{64}\n"))) << added.output;
  const std::string token = added.output.substr(0, 64);
  const std::string hive = sandbox.dir() + "/machine.toml";
  EXPECT_EQ(testsupport::ReadWholeFile(hive).find(token), std::string::npos);
  struct stat info {};
  ASSERT_EQ(stat(hive.c_str(), &info), 0);
  // Owner only, or with the service account's group reading (never writing).
  EXPECT_EQ(info.st_mode & 0037, 0u);

  EXPECT_EQ(RunTool({"token", "list"}, sandbox.dir()).output, "press-7\n");
  const Finished again = RunTool({"token", "add", "press-7"}, sandbox.dir());
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.output.find("exists"), std::string::npos);
  EXPECT_EQ(RunTool({"token", "remove", "press-7"}, sandbox.dir()).status, 0);
  EXPECT_EQ(RunTool({"token", "list"}, sandbox.dir()).output, "");
  EXPECT_EQ(RunTool({"token", "remove", "press-7"}, sandbox.dir()).status, 1);
}

TEST(BoardToolTest, TokenAddTakesItsLimitsAndListShowsThem) {
  testsupport::SettingsSandbox sandbox;
  ASSERT_EQ(
      RunTool({"token", "add", "terminal-101", "--machines", "101,102"}, sandbox.dir()).status, 0);
  ASSERT_EQ(RunTool({"token", "add", "wall", "--read-only"}, sandbox.dir()).status, 0);
  const std::string listed = RunTool({"token", "list"}, sandbox.dir()).output;
  EXPECT_NE(listed.find("terminal-101 machines=101,102\n"), std::string::npos) << listed;
  EXPECT_NE(listed.find("wall read-only\n"), std::string::npos) << listed;
  const Finished bad = RunTool({"token", "add", "x", "--machines", "101,,102"}, sandbox.dir());
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.output.find("invalid --machines"), std::string::npos) << bad.output;
}

TEST(BoardToolTest, ServeStopsOnSigtermAfterAnsweringTheBatchInProgress) {
  testsupport::SettingsSandbox sandbox;
  const testsupport::TestDatabase database = testsupport::CreateShopFloorDatabase("SQLite", true);
  const Finished added = RunTool({"token", "add", "line"}, sandbox.dir());
  ASSERT_EQ(added.status, 0);
  const std::string token = added.output.substr(0, 64);

  testsupport::ChildProcess server({KORVEX7_TOOL_PATH, "--connection", database.connection_string,
                                    "--dbtype", "SQLite", "serve", "--listen", "127.0.0.1:0"},
                                   {}, sandbox.dir() + "/serve.out");
  std::smatch match;
  std::string output;
  ASSERT_TRUE(testsupport::WaitFor(
      [&] {
        output = server.Output();
        return std::regex_search(output, match, std::regex("http://127\\.0\\.0\\.1:([0-9]+)/"));
      },
      10000))
      << output;
  const int port = std::stoi(match[1]);

  nlohmann::json batch = nlohmann::json::array();
  for (int i = 0; i < 1000; ++i) batch.push_back({{"machine", "101"}, {"type", 15}});
  auto answer = std::async(std::launch::async, [&] {
    httplib::Client client("127.0.0.1", port);
    client.set_bearer_token_auth(token.c_str());
    client.set_read_timeout(60, 0);
    const auto result = client.Post("/api/v1/commands", batch.dump(), "application/json");
    return result ? result->status : -1;
  });
  auto reads = std::make_shared<dbaccess::Connection>();
  reads->Open(database.connection_string);
  const auto logged = [&reads] {
    dbaccess::Recordset rows;
    rows.Open("select count(*) from T_SFC_MDC_LOG", reads);
    return rows.Fields(size_t{0}).Value().ToInt64();
  };
  testsupport::WaitFor([&] { return logged() > 0; }, 10000);
  server.Signal(SIGTERM);

  EXPECT_EQ(answer.get(), 201);
  EXPECT_EQ(server.WaitForExit(20000), 0) << server.Output();
  EXPECT_EQ(logged(), 1000);
  output = server.Output();
  EXPECT_NE(output.find("POST /api/v1/commands 201"), std::string::npos) << output;
  EXPECT_NE(output.find("Stopped."), std::string::npos) << output;
  reads.reset();
  testsupport::DropTestDatabase(database);
}

}  // namespace
