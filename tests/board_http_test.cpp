// The board's HTTP interface against a real database with the demo plant, on
// every available kind: each answer of the command intake (201, 400, 401,
// 413, 422, 503 for a full server), a batch of 1,000 appended in order, all
// or none, concurrent clients, a token removed while in use, and the reads.
#include <gtest/gtest.h>

#include <atomic>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "dbaccess/date_time.h"
#include "library/korvex7.h"
#include "tests/support/board_server_fixture.h"
#include "tests/support/child_process.h"

namespace {

using json = nlohmann::json;
using testsupport::BoardServerTest;

std::string Command(const std::string& machine, int type, const std::string& param,
                    int time_code = 0) {
  return json{{"machine", machine}, {"type", type}, {"param", param}, {"time_code", time_code}}
      .dump();
}

// The text the library itself gives for a refused append.
std::string LibraryText(const testsupport::TestDatabase& database, const std::string& machine,
                        int type, const std::string& param, int time_code) {
  _CKorvex7Obj* raw = nullptr;
  EXPECT_EQ(Korvex7CreateObject(kKorvex7ProgId, kKorvex7InterfaceId, &raw), 0);
  std::unique_ptr<_CKorvex7Obj, void (*)(_CKorvex7Obj*)> object(raw, Korvex7ReleaseObject);
  std::string error;
  EXPECT_TRUE(object->ConnectToDatabase(database.connection_string, database.kind, error));
  EXPECT_FALSE(object->AppendItemToMDCLog2(machine, type, param, time_code, error));
  return error;
}

TEST_P(BoardServerTest, OneCommandIsAppendedWith201) {
  StartServer();
  const auto result = Post(Command("101", 9, "spindle 1"), token_);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 201);
  EXPECT_EQ(json::parse(result->body), (json{{"appended", 1}}));
  EXPECT_EQ(LoggedParams(), std::vector<std::string>{"spindle 1"});
  // The line is written once the answer has gone out.
  testsupport::WaitFor([this] { return !LogLines().empty(); }, 5000);
  const std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("POST /api/v1/commands 201"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("token=terminal"), std::string::npos) << lines[0];
}

TEST_P(BoardServerTest, ABatchOf1000IsAppendedInOrder) {
  StartServer();
  json batch = json::array();
  std::vector<std::string> expected;
  for (int i = 0; i < 1000; ++i) {
    const char* machine = i % 2 == 0 ? "101" : "202";
    batch.push_back(json{{"machine", machine}, {"type", 13}, {"param", std::to_string(i)}});
    expected.push_back(std::to_string(i));
  }
  const auto result = Post(batch.dump(), token_);
  ASSERT_TRUE(result);
  ASSERT_EQ(result->status, 201) << result->body;
  EXPECT_EQ(json::parse(result->body)["appended"], 1000);
  EXPECT_EQ(LoggedParams(), expected);
}

TEST_P(BoardServerTest, MalformedBodiesAre400NamingTheField) {
  StartServer();
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"{\"machine\": \"101\", ", ""},
      {"{\"type\": 9}", "machine"},
      {"{\"machine\": 101, \"type\": 9}", "machine"},
      {"{\"machine\": \"101\", \"type\": \"9\"}", "type"},
      {"{\"machine\": \"101\", \"type\": 9, \"time_code\": 0.5}", "time_code"},
      {"[{\"machine\": \"101\", \"type\": 9}, {\"machine\": \"101\"}]", "[1].type"},
      {"[[[[[{\"machine\": \"101\", \"type\": 9}]]]]]", ""},
  };
  for (const auto& [body, field] : cases) {
    const auto result = Post(body, token_);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 400) << body;
    const json answer = json::parse(result->body);
    EXPECT_EQ(answer["field"], field) << body;
    if (!field.empty()) {
      const std::string name = field.substr(field.find('.') + 1);
      EXPECT_NE(answer["error"].get<std::string>().find(name), std::string::npos) << body;
    }
  }
  EXPECT_TRUE(LoggedParams().empty());
}

TEST_P(BoardServerTest, RefusedCommandsAre422WithTheLibrarysTextAndNothingOfTheBatchIsAppended) {
  StartServer();
  struct Case {
    std::string machine;
    int type;
    std::string param;
    int time_code;
  };
  const std::vector<Case> cases = {
      {"999", 9, "", 0},
      {"101", 99, "", 0},
      {"101", 9, "", 3},
      {"101", 9, std::string(256, 'x'), 0},
  };
  for (const Case& bad : cases) {
    const std::string good = Command("101", 9, "first");
    const std::string body =
        "[" + good + "," + Command(bad.machine, bad.type, bad.param, bad.time_code) + "]";
    const auto result = Post(body, token_);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 422) << body;
    const json answer = json::parse(result->body);
    EXPECT_EQ(answer["error"],
              LibraryText(database_, bad.machine, bad.type, bad.param, bad.time_code));
    EXPECT_EQ(answer["index"], 1);
    EXPECT_EQ(answer["appended"], 0);
  }
  EXPECT_TRUE(LoggedParams().empty());
  // 255 characters, multi-byte ones counted as one, are still accepted.
  std::string longest;
  for (int i = 0; i < 255; ++i) longest += "\xC3\xA4";
  const auto result = Post(Command("101", 9, longest), token_);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 201) << result->body;
}

TEST_P(BoardServerTest, AMachineAddedWhileServingIsAcceptedAtOnce) {
  StartServer();
  ASSERT_EQ(Post(Command("101", 9, ""), token_)->status, 201);  // the known machines are read
  ASSERT_EQ(Post(Command("401", 9, ""), token_)->status, 422);
  reads_->Execute(
      "INSERT INTO T_SFC_MACHINE (MACHINE_ID, MACHINE_NUMBER, MACHINE_NAME, GROUP_ID, "
      "STATUS_CODE, VOLTRANE_ID) VALUES (6, '401', 'Saw', 3, 0, 1401)");
  const auto result = Post(Command("401", 9, "new"), token_);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 201) << result->body;
  EXPECT_EQ(LoggedParams(), (std::vector<std::string>{"<null>", "new"}));
}

TEST_P(BoardServerTest, WithoutAValidTokenWritingIs401AndReadingAsConfigured) {
  StartServer();
  for (const std::string& token : {std::string(), std::string("not-a-token"), token_ + "0"}) {
    const auto result = Post(Command("101", 9, ""), token);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 401);
    EXPECT_EQ(result->get_header_value("WWW-Authenticate"), "Bearer realm=\"voltrane-board\"");
  }
  // A scheme without a token is no token either.
  const auto blank = Client("")->Post("/api/v1/commands", {{"Authorization", "Bearer    "}},
                                      Command("101", 9, ""), "application/json");
  ASSERT_TRUE(blank);
  EXPECT_EQ(blank->status, 401);
  EXPECT_TRUE(LoggedParams().empty());
  const auto open_read = Client("")->Get("/api/v1/machines");
  ASSERT_TRUE(open_read);
  EXPECT_EQ(open_read->status, 200);

  server_.reset();
  web::BoardOptions closed;
  closed.read_requires_token = true;
  StartServer(closed);
  EXPECT_EQ(Client("")->Get("/api/v1/machines")->status, 401);
  EXPECT_EQ(Client("")->Get("/")->status, 401);
  EXPECT_EQ(Client(token_)->Get("/api/v1/machines")->status, 200);
  EXPECT_EQ(Client("")->Get(("/?token=" + token_).c_str())->status, 200);
}

TEST_P(BoardServerTest, AnOversizedBodyIs413) {
  web::BoardOptions options;
  options.max_body_bytes = 1000;
  StartServer(options);
  const std::string body = "[" + Command("101", 9, std::string(2000, 'x')) + "]";
  const auto result = Post(body, token_);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 413);
  EXPECT_TRUE(LoggedParams().empty());
}

TEST_P(BoardServerTest, ConcurrentClientsAreEachAppendedInTheirOwnOrder) {
  StartServer();
  constexpr int kClients = 8;
  constexpr int kCommands = 40;
  std::atomic<int> created{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      auto client = Client(token_);
      for (int i = 0; i < kCommands; ++i) {
        const auto result = client->Post(
            "/api/v1/commands", Command("101", 13, std::to_string(c) + ":" + std::to_string(i)),
            "application/json");
        if (result && result->status == 201) ++created;
      }
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(created, kClients * kCommands);
  std::vector<int> next(kClients, 0);
  const std::vector<std::string> params = LoggedParams();
  ASSERT_EQ(params.size(), static_cast<size_t>(kClients * kCommands));
  for (const std::string& param : params) {
    const int c = std::stoi(param.substr(0, param.find(':')));
    EXPECT_EQ(std::stoi(param.substr(param.find(':') + 1)), next[c]++) << param;
  }
}

TEST_P(BoardServerTest, ATokenRemovedWhileInUseIsRefusedFromTheNextRequestOn) {
  StartServer();
  auto client = Client(token_);  // one kept-alive connection throughout
  client->set_keep_alive(true);
  std::vector<int> statuses;
  for (int i = 0; i < 6; ++i) {
    if (i == 3) {
      ASSERT_TRUE(web::RemoveToken("terminal").ok);
    }
    const auto result =
        client->Post("/api/v1/commands", Command("101", 15, std::to_string(i)), "application/json");
    ASSERT_TRUE(result);
    statuses.push_back(result->status);
  }
  EXPECT_EQ(statuses, (std::vector<int>{201, 201, 201, 401, 401, 401}));
  EXPECT_EQ(LoggedParams(), (std::vector<std::string>{"0", "1", "2"}));
}

TEST_P(BoardServerTest, ConnectionsBeyondTheLimitAre503AtOnce) {
  web::BoardOptions options;
  options.max_connections = 1;
  options.max_waiting_connections = 0;
  StartServer(options);
  auto holder = Client("");  // keeps the one serving thread busy with its open connection
  holder->set_keep_alive(true);
  ASSERT_EQ(holder->Get("/api/v1/log/count")->status, 200);
  const auto refused = Client("")->Get("/api/v1/log/count");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 503);
}

TEST_P(BoardServerTest, ReadsShowEachMachinesStatusShiftCountsAndEvents) {
  StartServer();
  const std::string batch = "[" + Command("101", 6, "SHAFT-100") + "," + Command("101", 9, "") +
                            "," + Command("101", 13, "4") + "," + Command("101", 14, "1") + "," +
                            Command("202", 11, "") + "," + Command("301", 20, "coolant") + "]";
  ASSERT_EQ(Post(batch, token_)->status, 201);
  EXPECT_EQ(json::parse(Client("")->Get("/api/v1/log/count")->body)["count"], 6);
  ProcessLog();

  const auto machines = Client("")->Get("/api/v1/machines");
  ASSERT_TRUE(machines);
  ASSERT_EQ(machines->status, 200);
  EXPECT_FALSE(machines->get_header_value("X-Database-Time").empty());
  const json tiles = json::parse(machines->body);
  ASSERT_EQ(tiles.size(), 5u);
  for (const json& tile : tiles) {
    for (const char* field : {"machine", "name", "status", "since", "operator", "job", "part",
                              "good", "scrap", "oee", "availability", "performance", "quality"}) {
      EXPECT_TRUE(tile.contains(field)) << field;
    }
  }
  EXPECT_EQ(tiles[0]["machine"], "101");
  EXPECT_EQ(tiles[0]["status"], "cycle");
  EXPECT_FALSE(tiles[0]["since"].is_null());
  EXPECT_EQ(tiles[0]["good"], 4);
  EXPECT_EQ(tiles[0]["scrap"], 1);
  EXPECT_EQ(tiles[0]["part"], "SHAFT-100");
  // A part with a standard time and counted parts give the shift an OEE.
  ASSERT_TRUE(tiles[0]["oee"].is_number()) << tiles[0];
  EXPECT_GT(tiles[0]["oee"].get<double>(), 0.0);
  EXPECT_NEAR(tiles[0]["availability"].get<double>() * tiles[0]["performance"].get<double>() *
                  tiles[0]["quality"].get<double>(),
              tiles[0]["oee"].get<double>(), 1e-3);
  EXPECT_TRUE(tiles[1]["oee"].is_null());  // 102 never sent a command
  EXPECT_EQ(tiles[3]["machine"], "202");
  EXPECT_EQ(tiles[3]["status"], "downtime");
  EXPECT_EQ(tiles[1]["status"], "idle");

  const auto one = Client("")->Get("/api/v1/machines/301");
  ASSERT_EQ(one->status, 200);
  const json grinder = json::parse(one->body);
  ASSERT_FALSE(grinder["events"].empty());
  EXPECT_EQ(grinder["events"][0]["command"], "Coolant Alarm");
  EXPECT_EQ(grinder["events"][0]["param"], "coolant");

  // Shortly after midnight the running shift's chart date is still yesterday's.
  const std::string now = machines->get_header_value("X-Database-Time");
  const std::string today = now.substr(0, 10);
  const std::string yesterday = dbaccess::DateTime::Parse(now)->AddDays(-1).ToText().substr(0, 10);
  const auto oee = Client("")->Get(("/api/v1/oee?from=" + yesterday + "&to=" + today).c_str());
  ASSERT_EQ(oee->status, 200);
  const json rows = json::parse(oee->body);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0]["machine"], "101");
  EXPECT_EQ(rows[0]["good"], 4);
  const auto bad_range = Client("")->Get("/api/v1/oee?from=yesterday&to=2026-01-01");
  EXPECT_EQ(bad_range->status, 400);
  EXPECT_EQ(json::parse(bad_range->body)["field"], "from");

  EXPECT_EQ(Client("")->Get("/api/v1/machines/999")->status, 404);
  EXPECT_EQ(Client("")->Get("/machines/999")->status, 404);
  const auto page = Client("")->Get("/machines/101");
  ASSERT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("data-status=\"cycle\""), std::string::npos);
  EXPECT_NE(page->body.find("<svg"), std::string::npos);  // the day's timeline
}

TEST(BoardServerWithoutDatabaseTest, ADatabaseThatCannotBeReachedIs503) {
  testsupport::SettingsSandbox sandbox;
  const std::string token = web::AddToken("terminal").text;
  web::BoardOptions options;
  options.port = 0;
  web::BoardServer server({"Provider=SQLite;Data Source=/nonexistent/folder/mdc.db;", 3}, options,
                          {});
  std::string error;
  ASSERT_TRUE(server.Start(error)) << error;
  httplib::Client client("127.0.0.1", server.port());
  client.set_bearer_token_auth(token.c_str());
  EXPECT_EQ(client.Get("/api/v1/machines")->status, 503);
  const auto result = client.Post("/api/v1/commands", Command("101", 9, ""), "application/json");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 503);
  EXPECT_EQ(json::parse(result->body)["appended"], 0);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, BoardServerTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                           return param_info.param;
                         });

}  // namespace
