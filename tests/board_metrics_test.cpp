// The board's /metrics, /healthz and /readyz on its own port, on every
// available kind: counters that move with requests, appended and refused
// commands, promtool's check of the text, and the token rule.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "tests/support/board_server_fixture.h"
#include "tests/support/promtool_check.h"
#include "alerts/active_alerts.h"
#include "dbaccess/date_time.h"
#include "web/board_metrics.h"

namespace {

using json = nlohmann::json;
using testsupport::BoardServerTest;

std::string Command(const std::string& machine, int type) {
  return json{{"machine", machine}, {"type", type}, {"param", ""}, {"time_code", 2}}.dump();
}

TEST(BoardRouteTemplate, NamesTheRouteAndKeepsUnknownPathsTogether) {
  EXPECT_EQ(web::RouteTemplate("/"), "/");
  EXPECT_EQ(web::RouteTemplate("/machines/101"), "/machines/{number}");
  EXPECT_EQ(web::RouteTemplate("/api/v1/machines/101"), "/api/v1/machines/{number}");
  EXPECT_EQ(web::RouteTemplate("/terminal/101"), "/terminal/{number}");
  EXPECT_EQ(web::RouteTemplate("/api/v1/machines"), "/api/v1/machines");
  EXPECT_EQ(web::RouteTemplate("/machines/101/extra"), "other");
  EXPECT_EQ(web::RouteTemplate("/no/such/page"), "other");
}

TEST_P(BoardServerTest, MetricsCountRequestsAppendedAndRefusedCommands) {
  StartServer();
  ASSERT_EQ(Post("[" + Command("101", 9) + "," + Command("102", 9) + "]", token_)->status, 201);
  ASSERT_EQ(Post(Command("999", 9), token_)->status, 422);
  ASSERT_EQ(Client("")->Get("/machines/101")->status, 200);
  ASSERT_EQ(Client("")->Get("/machines/102")->status, 200);

  const httplib::Result scraped = Client("")->Get("/metrics");
  ASSERT_TRUE(scraped);
  ASSERT_EQ(scraped->status, 200);
  const std::string& text = scraped->body;
  EXPECT_NE(text.find("voltrane_board_commands_appended_total 2\n"), std::string::npos) << text;
  EXPECT_NE(text.find("voltrane_board_commands_refused_total{reason=\"4\"} 1\n"),
            std::string::npos);
  EXPECT_NE(text.find("voltrane_board_requests_total{route=\"/api/v1/commands\",status=\"201\"} 1\n"),
            std::string::npos);
  EXPECT_NE(text.find("voltrane_board_requests_total{route=\"/api/v1/commands\",status=\"422\"} 1\n"),
            std::string::npos);
  EXPECT_NE(text.find("voltrane_board_requests_total{route=\"/machines/{number}\",status=\"200\"} 2\n"),
            std::string::npos);
  // The scrape's own connection at least; others may still be closing.
  const std::string open_line = "\nvoltrane_board_open_connections ";
  const size_t open = text.find(open_line);
  ASSERT_NE(open, std::string::npos);
  EXPECT_GE(std::stoi(text.substr(open + open_line.size())), 1);
  EXPECT_EQ(testsupport::PromtoolProblems(text), "");
  EXPECT_EQ(Client("")->Get("/healthz")->status, 200);
  EXPECT_EQ(Client("")->Get("/readyz")->status, 200);
}

TEST_P(BoardServerTest, MetricsNeedATokenOnlyWhenReadingDoes) {
  web::BoardOptions options;
  options.read_requires_token = true;
  StartServer(options);
  EXPECT_EQ(Client("")->Get("/metrics")->status, 401);
  EXPECT_EQ(Client(token_)->Get("/metrics")->status, 200);
  EXPECT_EQ(Client("")->Get("/healthz")->status, 200);
  EXPECT_EQ(Client("")->Get("/readyz")->status, 200);
}

TEST_P(BoardServerTest, ActiveAlertsShowInTheApiAndAsTheBoardsBanner) {
  web::BoardOptions options;
  options.port = 0;
  server_ = std::make_unique<web::BoardServer>(
      web::DatabaseTarget{database_.connection_string, database_.kind}, options, nullptr);
  alerts::Alert stop{"long stop", alerts::RuleKind::kDowntime, "101",
                     *dbaccess::DateTime::Parse("2026-03-02 06:15:00"), "100",
                     "Waiting for material"};
  server_->SetAlertSource([&] { return std::vector<alerts::Alert>{stop}; });
  std::string error;
  ASSERT_TRUE(server_->Start(error)) << error;
  const httplib::Result listed = Client("")->Get("/api/v1/alerts");
  ASSERT_TRUE(listed);
  const json body = json::parse(listed->body);
  ASSERT_EQ(body["alerts"].size(), 1u);
  EXPECT_EQ(body["alerts"][0]["rule"], "long stop");
  EXPECT_EQ(body["alerts"][0]["code_name"], "Waiting for material");
  EXPECT_EQ(body["alerts"][0]["url"], "/machines/101");
  const httplib::Result page = Client("")->Get("/");
  ASSERT_TRUE(page);
  EXPECT_NE(page->body.find("<section class=\"alerts\" role=\"alert\"><p>long stop: machine 101 "
                            "(Waiting for material) since 2026-03-02 06:15:00</p></section>"),
            std::string::npos)
      << page->body;
}

INSTANTIATE_TEST_SUITE_P(AllKinds, BoardServerTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                           return param_info.param;
                         });

}  // namespace
