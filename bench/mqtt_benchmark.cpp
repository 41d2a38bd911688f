// MQTT bridge throughput: messages per second from the broker to committed
// log rows, beside the direct intake rate of the same rows in the same run,
// on SQLite always and on PostgreSQL when VOLTRANE_TEST_PG names a server.
//
//   BrokerToCommittedRows  a batch of 100 commands published with QoS 1 to a
//                          Mosquitto broker of the benchmark's own (persistence
//                          on), each committed by the bridge (in-process, the
//                          same code as `korvex7 mqtt`) with its client id and
//                          acknowledged; the iteration ends when all 100 are in
//   DirectIntake           the same 100 commands through the log-row writer
//                          directly, each in its own transaction with its id
//
// Skipped when mosquitto is not installed. The databases are fresh demo
// plants, dropped at the end.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dbaccess/connection.h"
#include "library/korvex7_log_writer.h"
#include "mqtt/bridge_config.h"
#include "mqtt/bridge_counters.h"
#include "mqtt/bridge_loop.h"
#include "mqtt/broker_connection.h"
#include "mqtt/message_router.h"
#include "mqtt/message_writer.h"
#include "mtconnect/reporter.h"
#include "mtconnect/stop_signal.h"
#include "tests/support/child_process.h"
#include "tests/support/mosquitto_broker.h"
#include "tests/support/shop_floor_db.h"

namespace {

constexpr int kBatch = 100;
// Ids stay new across the runs Google Benchmark makes on one database.
int64_t next_id = 0;
constexpr int32_t kHeartbeat = korvex7::Code(korvex7::CommandType::kHeartbeat);

std::string Body(int64_t n) {
  return "{\"type\": 15, \"param\": \"" + std::to_string(n) + "\", \"id\": \"bench-" +
         std::to_string(n) + "\"}";
}

// Reports only failures: the benchmark's output stays a table.
class QuietReporter : public mtconnect::Reporter {
 public:
  void Report(mtconnect::Severity severity, const std::string& text) override {
    if (severity == mtconnect::Severity::kError) fprintf(stderr, "%s\n", text.c_str());
  }
};

void BM_BrokerToCommittedRows(benchmark::State& state, const testsupport::TestDatabase& database) {
  testsupport::MosquittoBroker broker;
  if (!broker.Start()) {
    state.SkipWithError("mosquitto did not start");
    return;
  }
  mqtt::BridgeConfig config;
  config.broker.port = broker.port();
  config.client_id = "bench-bridge-" + database.name;
  QuietReporter reporter;
  mtconnect::StopSignal stop;
  mqtt::BridgeCounters counters;
  mqtt::MessageWriter writer(database.connection_string, database.kind, reporter, stop);
  mqtt::MessageRouter router(config, writer, reporter, counters);
  std::thread bridge([&] { mqtt::RunBridge(config, "", router, reporter, counters, stop); });
  testsupport::WaitFor([&] { return counters.connected.load() == 1; }, 10000);
  mqtt::BrokerConnection publisher;
  std::string error;
  if (!publisher.Connect({"127.0.0.1", broker.port(), ""}, {"bench-publisher", true, 30, "", ""},
                         error)) {
    state.SkipWithError(error.c_str());
  }
  uint64_t sent = 0;
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) {
      publisher.Publish("voltrane/101/commands", Body(++next_id), 1, error);
    }
    sent += kBatch;
    while (counters.commands_written.load() < sent) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  stop.Stop();
  bridge.join();
}

void BM_DirectIntake(benchmark::State& state, const testsupport::TestDatabase& database) {
  auto connection = std::make_shared<dbaccess::Connection>();
  connection->Open(database.connection_string);
  korvex7::LogRowWriter writer(connection, database.kind, korvex7::TimeRule::kChecked);
  writer.PrepareClientIds();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) {
      const int64_t id = ++next_id;
      const auto result = writer.Append(
          {"101", kHeartbeat, std::to_string(id), 0, std::nullopt, "direct-" + std::to_string(id)});
      if (result.status != korvex7::AppendStatus::kAppended) {
        state.SkipWithError(result.text.c_str());
        return;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!testsupport::MosquittoInstalled()) {
    fprintf(stderr, "mosquitto is not installed: nothing to measure\n");
    return 0;
  }
  std::vector<testsupport::TestDatabase> databases;
  for (const std::string& kind : testsupport::AvailableKinds()) {
    databases.push_back(testsupport::CreateShopFloorDatabase(kind, true));
  }
  for (const testsupport::TestDatabase& database : databases) {
    benchmark::RegisterBenchmark(("BrokerToCommittedRows/" + database.name).c_str(),
                                 BM_BrokerToCommittedRows, database)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("DirectIntake/" + database.name).c_str(), BM_DirectIntake,
                                 database)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const testsupport::TestDatabase& database : databases) {
    testsupport::DropTestDatabase(database);
  }
  return 0;
}
