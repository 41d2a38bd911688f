// The operator terminal as its server hands it out, against a real database
// on every available kind: the page carries every action and state element
// its users rely on, loads without a token when reads need one, and the
// choices name the demo plant's operators, open jobs with their parts, and
// downtime codes by kind with whether they are planned.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "tests/support/board_server_fixture.h"

namespace {

using json = nlohmann::json;
using TerminalPageTest = testsupport::BoardServerTest;

TEST_P(TerminalPageTest, ThePageCarriesEveryActionAndStateAndLoadsWithoutAToken) {
  web::BoardOptions options;
  options.read_requires_token = true;
  StartServer(options);
  const auto page = Client("")->Get("/terminal/101");
  ASSERT_TRUE(page);
  ASSERT_EQ(page->status, 200);
  for (const char* action : {"logon",
                             "logoff",
                             "job-start",
                             "job-end",
                             "part-start",
                             "part-end",
                             "op-start",
                             "op-end",
                             "setup-start",
                             "setup-end",
                             "teardown-start",
                             "teardown-end",
                             "downtime-start",
                             "downtime-end",
                             "user-downtime-start",
                             "user-downtime-end",
                             "good",
                             "scrap",
                             "submit-entry",
                             "confirm"}) {
    EXPECT_NE(page->body.find("data-action=\"" + std::string(action) + "\""), std::string::npos)
        << action;
  }
  for (const char* state : {"status", "operator", "job", "part", "queued", "last-result"}) {
    EXPECT_NE(page->body.find("data-state=\"" + std::string(state) + "\""), std::string::npos)
        << state;
  }
  EXPECT_NE(page->body.find("<input data-entry"), std::string::npos);
  EXPECT_EQ(page->body.find("src=\"http"), std::string::npos);  // nothing from elsewhere
  const auto hostile = Client("")->Get("/terminal/%3Cb%3E");
  ASSERT_TRUE(hostile);
  EXPECT_EQ(hostile->body.find("<b>"), std::string::npos);
  // The data behind it needs the token then.
  EXPECT_EQ(Client("")->Get("/api/v1/choices")->status, 401);
}

TEST_P(TerminalPageTest, TheChoicesAreThePlantsOperatorsOpenJobsAndCodesByKind) {
  reads_->Execute("UPDATE T_SFC_JOB SET STATUS_CODE = 2 WHERE JOB_NUMBER = 'J1002'");
  StartServer();
  const auto answer = Client("")->Get("/api/v1/choices");
  ASSERT_TRUE(answer);
  ASSERT_EQ(answer->status, 200);
  const json choices = json::parse(answer->body);
  EXPECT_EQ(choices["operators"][0], (json{{"user", "jsmith"}, {"name", "John Smith"}}));
  ASSERT_EQ(choices["jobs"].size(), 1u);  // J1002 is closed
  EXPECT_EQ(choices["jobs"][0]["parts"], (json{"SHAFT-100", "FLANGE-200"}));
  EXPECT_EQ(choices["parts"].size(), 3u);
  EXPECT_EQ(choices["operations"], (json{"OP10", "OP20", "OP30"}));
  std::string machine_codes;
  for (const json& code : choices["machine_downtime_codes"]) {
    machine_codes += code["code"].get<std::string>() + (code["planned"] ? "p " : " ");
  }
  EXPECT_EQ(machine_codes, "100 110 120p 130 190 210p ");
  std::string user_codes;
  for (const json& code : choices["user_downtime_codes"])
    user_codes += code["code"].get<std::string>() + " ";
  EXPECT_EQ(user_codes, "200 210 ");
  EXPECT_EQ(choices["scrap_codes"][1], (json{{"code", "S2"}, {"name", "Surface damage"}}));
}

INSTANTIATE_TEST_SUITE_P(AllKinds, TerminalPageTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                           return param_info.param;
                         });

}  // namespace
