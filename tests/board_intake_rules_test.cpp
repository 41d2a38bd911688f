// The intake's rules for clients that send again and record while offline,
// over HTTP against a real database on every available kind: a command's
// "id" appends it once (a duplicate is answered 200, also when retries race
// and after the server restarted), its "time" is kept and refused when
// ahead of the database's clock or older than what the machine recorded,
// and tokens limited to machines or to reading get 403.
#include <gtest/gtest.h>

#include <atomic>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "dbaccess/date_time.h"
#include "tests/support/board_server_fixture.h"

namespace {

using json = nlohmann::json;
using testsupport::BoardServerTest;
using BoardIntakeRulesTest = BoardServerTest;

// A local time as the terminal sends it.
std::string TimeText(const dbaccess::DateTime& time) {
  std::string text = time.ToText();  // "YYYY-MM-DD HH:MM:SS.mmm"
  text[10] = 'T';
  return text;
}

json Good(const std::string& param, const std::string& id) {
  return json{{"machine", "101"}, {"type", 13}, {"param", param}, {"id", id}};
}

TEST_P(BoardIntakeRulesTest, ACommandWithAnIdIsAppendedOnceAlsoAfterARestart) {
  StartServer();
  const auto first = Post(Good("5", "tablet-7:1").dump(), token_);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->status, 201) << first->body;
  const auto again = Post(Good("5", "tablet-7:1").dump(), token_);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->status, 200);
  EXPECT_EQ(json::parse(again->body)["duplicate"], true);
  // A batch resent after its answer was lost: only the new command is appended.
  const json batch = json::array({Good("5", "tablet-7:1"), Good("6", "tablet-7:2")});
  const auto resent = Post(batch.dump(), token_);
  ASSERT_TRUE(resent);
  EXPECT_EQ(resent->status, 201);
  EXPECT_EQ(json::parse(resent->body), (json{{"appended", 1}, {"duplicates", 1}}));

  server_.reset();
  StartServer();
  const auto after_restart = Post(Good("6", "tablet-7:2").dump(), token_);
  ASSERT_TRUE(after_restart);
  EXPECT_EQ(after_restart->status, 200);
  EXPECT_EQ(LoggedParams(), (std::vector<std::string>{"5", "6"}));

  const auto too_long = Post(Good("7", std::string(65, 'k')).dump(), token_);
  ASSERT_TRUE(too_long);
  EXPECT_EQ(too_long->status, 422);
  EXPECT_EQ(json::parse(too_long->body)["error"], korvex7::ClientIdTooLongRefusal(65).text);
}

TEST_P(BoardIntakeRulesTest, RacingRetriesOfOneIdAppendOneRow) {
  StartServer();
  constexpr int kClients = 6;
  std::atomic<int> created{0};
  std::atomic<int> duplicates{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([&] {
      const auto result = Post(Good("9", "race-1").dump(), token_);
      if (result && result->status == 201) ++created;
      if (result && result->status == 200) ++duplicates;
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(created, 1);
  EXPECT_EQ(duplicates, kClients - 1);
  EXPECT_EQ(LoggedParams(), std::vector<std::string>{"9"});
}

TEST_P(BoardIntakeRulesTest, AGivenTimeIsKeptUnlessAheadOrOlderThanRecorded) {
  StartServer();
  const auto machines = Client("")->Get("/api/v1/machines");
  ASSERT_TRUE(machines);
  const dbaccess::DateTime now =
      *dbaccess::DateTime::Parse(machines->get_header_value("X-Database-Time"));

  const dbaccess::DateTime earlier = now.AddSeconds(-600).AddMilliseconds(250);
  json offline = Good("3", "offline-1");
  offline["time"] = TimeText(earlier);
  const auto kept = Post(offline.dump(), token_);
  ASSERT_TRUE(kept);
  ASSERT_EQ(kept->status, 201) << kept->body;
  dbaccess::Recordset rows;
  rows.Open("select TIME_STAMP from T_SFC_MDC_LOG", reads_);
  ASSERT_FALSE(rows.Eof());
  EXPECT_EQ(rows.Fields(size_t{0}).Value().ToDateTime().ToText(), earlier.ToText());
  rows.Close();

  json ahead = Good("4", "offline-2");
  ahead["time"] = TimeText(now.AddSeconds(60));
  const auto future = Post(ahead.dump(), token_);
  ASSERT_TRUE(future);
  EXPECT_EQ(future->status, 422);
  EXPECT_NE(json::parse(future->body)["error"].get<std::string>().find("after the database's time"),
            std::string::npos)
      << future->body;

  json older = Good("4", "offline-3");
  older["time"] = TimeText(earlier.AddSeconds(-60));
  const auto before = Post(older.dump(), token_);
  ASSERT_TRUE(before);
  EXPECT_EQ(before->status, 422);
  EXPECT_NE(
      json::parse(before->body)["error"].get<std::string>().find("older than what machine 101"),
      std::string::npos)
      << before->body;

  json shapeless = Good("4", "offline-4");
  shapeless["time"] = "2026-03-02 14:05";
  const auto malformed = Post(shapeless.dump(), token_);
  ASSERT_TRUE(malformed);
  EXPECT_EQ(malformed->status, 400);
  EXPECT_EQ(json::parse(malformed->body)["field"], "time");
  EXPECT_EQ(LoggedParams(), std::vector<std::string>{"3"});
}

TEST_P(BoardIntakeRulesTest, LimitedTokensPostOnlyForTheirMachines) {
  const web::TokenResult press = web::AddToken("press", web::TokenScope{{"101", "102"}, false});
  const web::TokenResult viewer = web::AddToken("viewer", web::TokenScope{{}, true});
  ASSERT_TRUE(press.ok && viewer.ok);
  StartServer();
  const auto own = Post(json{{"machine", "102"}, {"type", 9}}.dump(), press.text);
  ASSERT_TRUE(own);
  EXPECT_EQ(own->status, 201);
  const json mixed =
      json::array({{{"machine", "101"}, {"type", 9}}, {{"machine", "201"}, {"type", 9}}});
  const auto other = Post(mixed.dump(), press.text);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->status, 403);
  EXPECT_EQ(json::parse(other->body)["index"], 1);
  const auto reading = Post(json{{"machine", "101"}, {"type", 9}}.dump(), viewer.text);
  ASSERT_TRUE(reading);
  EXPECT_EQ(reading->status, 403);
  web::BoardOptions options;
  options.read_requires_token = true;
  server_.reset();
  StartServer(options);
  EXPECT_EQ(Client(viewer.text)->Get("/api/v1/machines")->status, 200);
  // The fixture's token, stored without limits as older stores hold them, posts anywhere.
  EXPECT_EQ(Post(json{{"machine", "201"}, {"type", 9}}.dump(), token_)->status, 201);
  EXPECT_EQ(LoggedParams().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, BoardIntakeRulesTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                           return param_info.param;
                         });

}  // namespace
