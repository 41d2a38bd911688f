// The collector's metrics and readiness on a real database: counters that
// follow the library's processing report, the backlog read by the probe,
// stalled processing with an injected clock, and a database that stops and
// comes back answering.
#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <string>

#include "dbaccess/clock.h"
#include "dbaccess/connection.h"
#include "library/korvex7_commands.h"
#include "library/korvex7_obj.h"
#include "metrics/health_server.h"
#include "service/collector_metrics.h"
#include "service/collector_operations.h"
#include "service/processing_worker.h"
#include "service/thread_message_queue.h"
#include "tests/support/child_process.h"
#include "tests/service_fakes.h"
#include "tests/support/demo_plant_library_fixture.h"
#include "tests/support/promtool_check.h"
#include "tests/support/shop_floor_db.h"

namespace {

using std::chrono::seconds;
using voltrane::LogBacklog;

constexpr int32_t kCycle = korvex7::Code(korvex7::CommandType::kCycle);
constexpr int32_t kSetup = korvex7::Code(korvex7::CommandType::kSetup);

TEST(CollectorReadinessRule, ReadyUnlessTheDatabaseIsSilentOrAnOldRowWaitsWithoutCommits) {
  const seconds stall{60};
  EXPECT_EQ(voltrane::CollectorNotReadyReason({false, "locked", 0, 0}, seconds{0}, stall),
            "database does not answer: locked");
  EXPECT_EQ(voltrane::CollectorNotReadyReason({true, "", 0, 0}, seconds{900}, stall),
            std::nullopt);  // nothing waits
  EXPECT_EQ(voltrane::CollectorNotReadyReason({true, "", 5, 30}, seconds{900}, stall),
            std::nullopt);  // the oldest is young
  EXPECT_EQ(voltrane::CollectorNotReadyReason({true, "", 5, 900}, seconds{10}, stall),
            std::nullopt);  // old, but the collector keeps committing
  const std::optional<std::string> stalled =
      voltrane::CollectorNotReadyReason({true, "", 5, 900}, seconds{61}, stall);
  ASSERT_TRUE(stalled);
  EXPECT_EQ(*stalled,
            "processing stalled: the oldest of 5 rows has waited 900 s and nothing was "
            "committed for 61 s");
}

class CollectorMetricsTest : public testsupport::DemoPlantLibraryTest {
 protected:
  voltrane::ConfigurationReader Reader(std::string connection_string) {
    const int32_t kind = database_.kind;
    return [connection_string, kind](voltrane::DatabaseConfiguration& config) {
      config.database_type = kind;
      config.connection_string = connection_string;
      return 0;
    };
  }

  void Append(korvex7::Command command) {
    const korvex7::AppendResult result = library_.AppendCommand(command);
    ASSERT_EQ(result.status, korvex7::AppendStatus::kAppended) << result.text;
  }

  // Runs the log as the worker does, handing each call's report to `metrics`.
  void Process(voltrane::CollectorMetrics& metrics, int calls) {
    Korvex7ProcessingReport report;
    for (int i = 0; i < calls; ++i) {
      std::string error;
      library_.DoNextItemFromMDCLog(error);
      library_.TakeProcessingReport(report);
      metrics.Record(report);
    }
    std::string error;
    library_.CommitProcessedItems(error);
    library_.TakeProcessingReport(report);
    metrics.Record(report);
  }

  static httplib::Result Get(int port, const std::string& path) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(30, 0);
    return client.Get(path);
  }

};

TEST_P(CollectorMetricsTest, ScrapeFollowsRowsProcessedFailedAndWaiting) {
  std::chrono::steady_clock::time_point now{};
  voltrane::CollectorOperations operations(Reader(database_.connection_string),
                                           [&now] { return now; });
  voltrane::CServiceContext context(servicetest::RecordingSinks(std::make_shared<servicetest::EventRecorder>()));
  operations.Start({"127.0.0.1", 0, seconds{300}}, context);
  ASSERT_NE(operations.metrics(), nullptr);
  for (int i = 0; i < 3; ++i) Append({"101", kCycle, "", 2, {}, ""});
  Append({"102", kSetup, "", 0, {}, ""});

  httplib::Result before = Get(operations.port(), "/metrics");
  ASSERT_TRUE(before);
  EXPECT_NE(before->body.find("voltrane_collector_rows_waiting 4\n"), std::string::npos)
      << before->body;

  // A setup start fails without its downtime table; the cycles go through.
  dbaccess::Connection observer;
  observer.Open(database_.connection_string);
  observer.Execute("ALTER TABLE T_SFC_DT_PER_MACHINE_DATA RENAME TO T_SFC_DT_AWAY");
  Process(*operations.metrics(), 8);
  observer.Execute("ALTER TABLE T_SFC_DT_AWAY RENAME TO T_SFC_DT_PER_MACHINE_DATA");
  observer.Close();

  // The probe reads at most once a second: the backlog is the cached one.
  EXPECT_NE(Get(operations.port(), "/metrics")->body.find("voltrane_collector_rows_waiting 4\n"),
            std::string::npos);
  now += seconds{2};
  httplib::Result after = Get(operations.port(), "/metrics");
  ASSERT_TRUE(after);
  const std::string& text = after->body;
  EXPECT_NE(text.find("voltrane_collector_rows_processed_total{command=\"9\"} 3\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("voltrane_collector_rows_failed_total{command=\"8\"}"), std::string::npos);
  EXPECT_NE(text.find("voltrane_collector_rows_waiting 1\n"), std::string::npos);
  EXPECT_EQ(text.find("voltrane_collector_batch_commit_seconds_count 0\n"), std::string::npos);
  EXPECT_NE(text.find("voltrane_collector_database_up 1\n"), std::string::npos);
  EXPECT_EQ(Get(operations.port(), "/readyz")->status, 200);
  EXPECT_EQ(testsupport::PromtoolProblems(text), "");
  operations.Stop();
}

TEST_P(CollectorMetricsTest, ReadyzAnswers503WhileAnOldRowWaitsWithNoCommit) {
  std::chrono::steady_clock::time_point now{};
  const voltrane::SteadyClock clock = [&now] { return now; };
  voltrane::LogBacklogProbe probe(Reader(database_.connection_string), clock);
  voltrane::CollectorMetrics metrics(probe, seconds{60}, clock);
  metrics::HealthServer server(metrics.registry(), [&] { return metrics.NotReadyReason(); });
  std::string error;
  ASSERT_TRUE(server.Start("127.0.0.1", 0, error)) << error;

  korvex7::Command old_cycle{"101", kCycle, "", 2, {}, ""};
  old_cycle.time = dbaccess::DateTime::FromMillisecondsSinceEpoch(
      dbaccess::DateTime::Now().MillisecondsSinceEpoch() - 600000);
  Append(old_cycle);
  now += seconds{30};  // the collector has run half a minute without a commit
  EXPECT_EQ(Get(server.port(), "/readyz")->status, 200);

  now += seconds{60};
  httplib::Result stalled = Get(server.port(), "/readyz");
  ASSERT_TRUE(stalled);
  EXPECT_EQ(stalled->status, 503);
  EXPECT_EQ(stalled->body.rfind("processing stalled: the oldest of 1 rows has waited", 0), 0u)
      << stalled->body;

  Process(metrics, 3);  // commits the row: nothing waits any more
  now += seconds{2};
  EXPECT_EQ(Get(server.port(), "/readyz")->status, 200);
}

// Hands out library objects on the test's database, as the collector's factory does.
class RealLibraryFactory : public voltrane::LibraryFactory {
 public:
  voltrane::LibraryCreation Create() override {
    auto* library = new CKorvex7Obj(std::make_shared<dbaccess::ManualClock>());
    voltrane::LibraryCreation creation;
    creation.object = library;
    creation.object2 = library;
    creation.object4 = library;
    return creation;
  }
  void Release(_CKorvex7Obj* object) override { delete object; }
};

TEST_P(CollectorMetricsTest, TheWorkerRecordsWhatItProcessesAndItsConnection) {
  for (int i = 0; i < 5; ++i) Append({"101", kCycle, "", 2, {}, ""});
  voltrane::LogBacklogProbe probe(Reader(database_.connection_string));
  voltrane::CollectorMetrics metrics(probe, seconds{300});
  voltrane::CServiceContext context(
      servicetest::RecordingSinks(std::make_shared<servicetest::EventRecorder>()));
  voltrane::ThreadMessageQueue queue;
  context.Init("voltrane-metrics-test", false, &queue, false);
  RealLibraryFactory factory;
  voltrane::RealTimeEventWaiter waiter;
  const voltrane::ConfigurationReader reader = Reader(database_.connection_string);
  voltrane::CProcessingWorker worker(
      context, factory, waiter, [&reader](voltrane::DatabaseConfiguration& config) {
        reader(config);
        config.idle_timeout_ms = 10;
        return 0;
      });
  worker.SetMetrics(&metrics);
  worker.StartThread();
  metrics::Family& processed =
      metrics.registry().Counter("collector_rows_processed_total", "", {"command"});
  EXPECT_TRUE(testsupport::WaitFor([&] { return processed.Value({"9"}) == 5; }, 20000))
      << metrics.registry().Render();
  const std::string text = metrics.registry().Render();
  EXPECT_NE(text.find("voltrane_collector_database_connected 1\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("voltrane_collector_batch_commit_seconds_count 0\n"), std::string::npos);
  context.RequestStop();
  EXPECT_TRUE(worker.WaitForEnd());
  EXPECT_NE(metrics.registry().Render().find("voltrane_collector_database_connected 0\n"),
            std::string::npos);
}

// A database that does not answer: its data source replaced by one where
// nothing is (a missing folder, a closed port), then given back.
TEST_P(CollectorMetricsTest, ReadyzAnswers503WhileTheDatabaseDoesNotAnswerAnd200After) {
  std::string connection_string = database_.connection_string;
  const size_t source = connection_string.find("Data Source=");
  ASSERT_NE(source, std::string::npos);
  const size_t source_end = connection_string.find(';', source);
  const std::string nowhere = database_.kind == 3 ? "/nonexistent/folder/mdc.db" : "127.0.0.1:1";
  connection_string.replace(source, source_end - source, "Data Source=" + nowhere);
  std::chrono::steady_clock::time_point now{};
  voltrane::LogBacklogProbe probe(
      [&](voltrane::DatabaseConfiguration& config) {
        config.database_type = database_.kind;
        config.connection_string = connection_string;
        return 0;
      },
      [&now] { return now; });
  voltrane::CollectorMetrics metrics(probe, seconds{60}, [&now] { return now; });
  const std::optional<std::string> down = metrics.NotReadyReason();
  ASSERT_TRUE(down);
  EXPECT_EQ(down->rfind("database does not answer: ", 0), 0u) << *down;
  EXPECT_NE(metrics.registry().Render().find("voltrane_collector_database_up 0\n"),
            std::string::npos);

  connection_string = database_.connection_string;
  now += seconds{2};
  EXPECT_EQ(metrics.NotReadyReason(), std::nullopt);
  EXPECT_NE(metrics.registry().Render().find("voltrane_collector_database_up 1\n"),
            std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, CollectorMetricsTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
