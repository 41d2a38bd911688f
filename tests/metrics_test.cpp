// The metrics registry's text, checked by promtool, and the operations listener.
#include <gtest/gtest.h>
#include <httplib.h>

#include <string>

#include "metrics/health_server.h"
#include "metrics/metric_registry.h"
#include "tests/support/promtool_check.h"

namespace {

class MetricsTest : public testing::Test {
 protected:
  MetricsTest()
      : rows_(registry_.Counter("rows_total", "Rows by command.", {"command"})),
        waiting_(registry_.Gauge("rows_waiting", "Rows waiting.")),
        commits_(registry_.Histogram("commit_seconds", "Commit duration.", {}, {0.1, 1})) {}

  metrics::Registry registry_;
  metrics::Family& rows_;
  metrics::Family& waiting_;
  metrics::Family& commits_;
};

TEST_F(MetricsTest, RendersFamiliesInTheExpositionFormatPromtoolAccepts) {
  rows_.Add({"Cycle Start"});
  rows_.Add({"Cycle Start"}, 2);
  rows_.Add({"a \"quoted\" \\ name\nwith a line feed"});
  rows_.Add({"Cycle Start"}, -5);  // a counter never goes down
  waiting_.Set({}, 7.5);
  commits_.Observe({}, 0.05);
  commits_.Observe({}, 0.5);
  commits_.Observe({}, 3);
  const std::string text = registry_.Render();
  EXPECT_NE(text.find("# TYPE voltrane_rows_total counter\n"), std::string::npos) << text;
  EXPECT_NE(text.find("voltrane_rows_total{command=\"Cycle Start\"} 3\n"), std::string::npos);
  EXPECT_NE(text.find(R"(voltrane_rows_total{command="a \"quoted\" \\ name\nwith a line feed"} 1)"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("voltrane_rows_waiting 7.5\n"), std::string::npos);
  // Buckets are cumulative; +Inf holds every observation.
  EXPECT_NE(text.find("voltrane_commit_seconds_bucket{le=\"0.1\"} 1\n"), std::string::npos);
  EXPECT_NE(text.find("voltrane_commit_seconds_bucket{le=\"1\"} 2\n"), std::string::npos);
  EXPECT_NE(text.find("voltrane_commit_seconds_bucket{le=\"+Inf\"} 3\n"), std::string::npos);
  EXPECT_NE(text.find("voltrane_commit_seconds_sum 3.55\n"), std::string::npos);
  EXPECT_NE(text.find("voltrane_commit_seconds_count 3\n"), std::string::npos);
  EXPECT_EQ(testsupport::PromtoolProblems(text), "") << text;
}

TEST_F(MetricsTest, ScrapeHooksFeedCountsKeptInAPlainStruct) {
  struct BridgeCounts {
    long messages = 0;
  } counts;
  metrics::Family& messages = registry_.Counter("messages_total", "Messages.", {"broker"});
  registry_.AddScrapeHook([&](metrics::Registry&) {
    messages.Set({"plant"}, static_cast<double>(counts.messages));
  });
  counts.messages = 41;
  EXPECT_NE(registry_.Render().find("voltrane_messages_total{broker=\"plant\"} 41\n"),
            std::string::npos);
  counts.messages = 42;
  EXPECT_NE(registry_.Render().find("voltrane_messages_total{broker=\"plant\"} 42\n"),
            std::string::npos);
}

TEST_F(MetricsTest, ListenerAnswersMetricsHealthAndReadiness) {
  std::optional<std::string> not_ready = "database does not answer";
  metrics::HealthServer server(registry_, [&] { return not_ready; });
  std::string error;
  ASSERT_TRUE(server.Start("127.0.0.1", 0, error)) << error;
  httplib::Client client("127.0.0.1", server.port());
  waiting_.Set({}, 3);
  const httplib::Result scraped = client.Get("/metrics");
  ASSERT_TRUE(scraped);
  EXPECT_EQ(scraped->status, 200);
  EXPECT_EQ(scraped->get_header_value("Content-Type"), metrics::kMetricsContentType);
  EXPECT_NE(scraped->body.find("voltrane_rows_waiting 3\n"), std::string::npos);
  EXPECT_EQ(client.Get("/healthz")->status, 200);
  const httplib::Result unready = client.Get("/readyz");
  ASSERT_TRUE(unready);
  EXPECT_EQ(unready->status, 503);
  EXPECT_EQ(unready->body, "database does not answer\n");
  not_ready.reset();
  EXPECT_EQ(client.Get("/readyz")->status, 200);
  EXPECT_EQ(client.Post("/metrics", "", "text/plain")->status, 404);
}

}  // namespace
