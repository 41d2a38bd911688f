// The alerts file: the packaged example with every key, and clear messages
// for what cannot be used.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "alerts/alert_config.h"
#include "tests/support/test_databases.h"

namespace {

TEST(AlertConfig, ThePackagedExampleReadsWithEveryKey) {
  alerts::AlertConfig config;
  std::string message;
  ASSERT_TRUE(alerts::LoadAlertConfig(VOLTRANE_SOURCE_DIR "/packaging/alerts.toml.example", config,
                                      message))
      << message;
  EXPECT_EQ(config.interval_seconds, 5);
  EXPECT_EQ(config.board_url, "http://mdc-board:8080");
  EXPECT_EQ(config.queue_limit, 1000u);
  ASSERT_EQ(config.webhooks.size(), 2u);
  EXPECT_EQ(config.webhooks[0].url, "http://10.20.1.9:9000/hooks/mdc");
  ASSERT_EQ(config.rules.size(), 4u);
  EXPECT_EQ(config.rules[0].kind, alerts::RuleKind::kDowntime);
  EXPECT_EQ(config.rules[0].codes, (std::vector<std::string>{"100", "110"}));
  EXPECT_EQ(config.rules[1].kind, alerts::RuleKind::kSilent);
  EXPECT_EQ(config.rules[2].seconds, 300);
  EXPECT_EQ(config.rules[3].kind, alerts::RuleKind::kFailing);
}

TEST(AlertConfig, WhatCannotBeUsedIsNamedWithItsPlace) {
  const std::string path = testsupport::MakeTempDir() + "/alerts.toml";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"interval_seconds = 30\n", "\"interval_seconds\" must be at most 5"},
      {"[[rule]]\nname = \"x\"\nkind = \"loud\"\n", "rule 1: \"kind\" must be downtime"},
      {"[[rule]]\nname = \"x\"\nkind = \"downtime\"\n", "rule 1: \"minutes\" is missing"},
      {"[[rule]]\nname = \"x\"\nkind = \"backlog\"\nminute = 3\n", "rule 1: unknown key \"minute\""},
      {"[[webhook]]\nurl = \"https://secure\"\n", "webhook 1: \"url\" must be an http:// URL"},
      {"[[rule]\n", "line 1"},
  };
  for (const auto& [text, expected] : cases) {
    std::ofstream(path) << text;
    alerts::AlertConfig config;
    std::string message;
    EXPECT_FALSE(alerts::LoadAlertConfig(path, config, message)) << text;
    EXPECT_NE(message.find(expected), std::string::npos) << message;
  }
  std::remove(path.c_str());
}

}  // namespace
