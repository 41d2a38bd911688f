// The board's network intake under load: commands per second accepted over
// HTTP on loopback from 8 concurrent clients, beside the library's intake rate
// without HTTP (AppendItemToMDCLog2 on objects of its own) in the same run on
// the same database; SQLite always, PostgreSQL when VOLTRANE_TEST_PG names a
// server (see tests/support/test_databases.h).
//
//   DirectAppend/threads:1   one library object, no HTTP: the intake's own rate
//   DirectAppend/threads:8   eight library objects in eight threads, no HTTP
//   HttpAppend/threads:8     eight clients, one command per POST, kept-alive connections
//   HttpBatch100/threads:8   eight clients, 100 commands per POST
//
// Every benchmark runs a fixed number of iterations, so a run is bounded in
// count (and so in time) whatever the machine. The databases are fresh demo
// plants, dropped at the end.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "library/korvex7.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/shop_floor_db.h"
#include "web/board_server.h"
#include "web/token_store.h"

namespace {

constexpr int kDirectCommands = 800;  // per run, split over the threads
constexpr int kHttpCommandsPerClient = 100;
constexpr int kBatch = 100;
constexpr int kBatchesPerClient = 5;

struct Plant {
  testsupport::TestDatabase database;
  std::unique_ptr<web::BoardServer> server;
};

std::string Token() {
  static const std::string token = web::AddToken("bench").text;
  return token;
}

const std::string kCommand = R"({"machine": "101", "type": 13, "param": "1"})";

void Finish(benchmark::State& state, int64_t per_iteration) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * per_iteration);
}

void BM_DirectAppend(benchmark::State& state, const Plant* plant) {
  _CKorvex7Obj* raw = nullptr;
  Korvex7CreateObject(kKorvex7ProgId, kKorvex7InterfaceId, &raw);
  std::unique_ptr<_CKorvex7Obj, void (*)(_CKorvex7Obj*)> object(raw, Korvex7ReleaseObject);
  std::string error;
  if (!object->ConnectToDatabase(plant->database.connection_string, plant->database.kind, error)) {
    state.SkipWithError(("connect: " + error).c_str());
  }
  for (auto _ : state) {
    if (!object->AppendItemToMDCLog2("101", 13, "1", 0, error)) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  Finish(state, 1);
}

std::unique_ptr<httplib::Client> Client(const Plant* plant) {
  auto client = std::make_unique<httplib::Client>("127.0.0.1", plant->server->port());
  client->set_keep_alive(true);
  client->set_tcp_nodelay(true);
  client->set_read_timeout(120, 0);
  client->set_bearer_token_auth(Token().c_str());
  return client;
}

void BM_HttpAppend(benchmark::State& state, const Plant* plant) {
  auto client = Client(plant);
  for (auto _ : state) {
    const auto result = client->Post("/api/v1/commands", kCommand, "application/json");
    if (!result || result->status != 201) {
      state.SkipWithError("a command was not accepted");
      break;
    }
  }
  Finish(state, 1);
}

void BM_HttpBatch(benchmark::State& state, const Plant* plant) {
  auto client = Client(plant);
  std::string batch = "[";
  for (int i = 0; i < kBatch; ++i) batch += (i == 0 ? "" : ",") + kCommand;
  batch += "]";
  for (auto _ : state) {
    const auto result = client->Post("/api/v1/commands", batch, "application/json");
    if (!result || result->status != 201) {
      state.SkipWithError("a batch was not accepted");
      break;
    }
  }
  Finish(state, kBatch);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  testsupport::SettingsSandbox settings;
  settings.WriteHives("", "");
  Token();

  std::vector<std::unique_ptr<Plant>> plants;
  for (const std::string& kind : testsupport::AvailableKinds()) {
    auto plant = std::make_unique<Plant>();
    plant->database = testsupport::CreateShopFloorDatabase(kind, true);
    web::BoardOptions options;
    options.port = 0;
    plant->server = std::make_unique<web::BoardServer>(
        web::DatabaseTarget{plant->database.connection_string, plant->database.kind}, options,
        [](const std::string&) {});
    std::string error;
    if (!plant->server->Start(error)) {
      fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    plants.push_back(std::move(plant));
  }
  for (const auto& plant : plants) {
    const std::string kind = "/" + plant->database.name;
    benchmark::RegisterBenchmark(("DirectAppend" + kind).c_str(), BM_DirectAppend, plant.get())
        ->Threads(1)
        ->Iterations(kDirectCommands)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("DirectAppend" + kind).c_str(), BM_DirectAppend, plant.get())
        ->Threads(8)
        ->Iterations(kDirectCommands / 8)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("HttpAppend" + kind).c_str(), BM_HttpAppend, plant.get())
        ->Threads(8)
        ->Iterations(kHttpCommandsPerClient)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("HttpBatch100" + kind).c_str(), BM_HttpBatch, plant.get())
        ->Threads(8)
        ->Iterations(kBatchesPerClient)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (auto& plant : plants) {
    plant->server.reset();
    testsupport::DropTestDatabase(plant->database);
  }
  return 0;
}
