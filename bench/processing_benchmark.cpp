// Processing throughput: log rows per second drained by DoNextItemFromMDCLog
// on one library object, for a log of custom commands (starts, ends and
// "both" events of two custom commands on the five demo machines), on SQLite
// always and on PostgreSQL when VOLTRANE_TEST_PG names a server.
//
//   DrainCustomCommands   one iteration appends a log of `rows` custom
//                         commands (untimed) and drains it (timed): the batch
//                         reads, the event records, the delete statements
//   EmptyLogCall          a call on an empty log: the refill query, the
//                         database time and the idle-time checks
//
// The databases are fresh demo plants, dropped at the end.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"
#include "library/korvex7_log_writer.h"
#include "library/korvex7_obj.h"
#include "tests/support/shop_floor_db.h"

namespace {

// Demo commands 18 (type code 0) and 19 (type code 20) are custom commands.
constexpr int kCustomCommands[] = {18, 19};
constexpr int kMachines = 5;

// Rows in key order: for each machine and command a start, a "both" and an
// end, so every handler and every event path runs. Machine n is in group,
// location and department 1 of the demo plant.
void AppendCustomLog(korvex7::LogRowWriter& writer, int rows, dbaccess::DateTime& stamp) {
  std::vector<korvex7::LogRow> log;
  for (int row = 0; row < rows; ++row) {
    const int machine = 1 + row % kMachines;
    const int command = kCustomCommands[(row / kMachines) % 2];
    const int time_code = (row / (2 * kMachines)) % 3;
    stamp = stamp.AddMilliseconds(100);
    log.push_back({command, {machine, 1, 1, 1}, time_code, stamp, "bench"});
  }
  writer.AppendRows(log);
}

// A connected object past its announcement and startup checks, on an empty log.
std::unique_ptr<CKorvex7Obj> ReadyObject(const testsupport::TestDatabase& database,
                                         benchmark::State& state) {
  auto object = std::make_unique<CKorvex7Obj>();
  std::string error;
  if (!object->ConnectToDatabase(database.connection_string, database.kind, error)) {
    state.SkipWithError(("connect: " + error).c_str());
    return object;
  }
  for (int call = 0; call < 10; ++call) {
    if (!object->DoNextItemFromMDCLog(error) && error.empty()) return object;
  }
  state.SkipWithError(("not ready: " + error).c_str());
  return object;
}

void BM_DrainCustomCommands(benchmark::State& state, const testsupport::TestDatabase& database) {
  const int rows = static_cast<int>(state.range(0));
  auto object = ReadyObject(database, state);
  auto connection = std::make_shared<dbaccess::Connection>();
  connection->Open(database.connection_string);
  korvex7::LogRowWriter writer(connection, database.kind);
  dbaccess::DateTime stamp = dbaccess::DateTime::FromParts(2026, 1, 5, 6, 0, 0);
  int64_t processed = 0;
  std::string error;
  for (auto _ : state) {
    state.PauseTiming();
    AppendCustomLog(writer, rows, stamp);
    state.ResumeTiming();
    while (object->DoNextItemFromMDCLog(error)) ++processed;
    if (!error.empty()) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  state.SetItemsProcessed(processed);
}

void BM_EmptyLogCall(benchmark::State& state, const testsupport::TestDatabase& database) {
  auto object = ReadyObject(database, state);
  std::string error;
  for (auto _ : state) {
    if (object->DoNextItemFromMDCLog(error) || !error.empty()) {
      state.SkipWithError(("unexpected: " + error).c_str());
      break;
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  std::vector<testsupport::TestDatabase> databases;
  for (const std::string& kind : testsupport::AvailableKinds()) {
    databases.push_back(testsupport::CreateShopFloorDatabase(kind, true));
  }
  for (const testsupport::TestDatabase& database : databases) {
    benchmark::RegisterBenchmark(("DrainCustomCommands/" + database.name).c_str(),
                                 BM_DrainCustomCommands, database)
        ->Arg(2000)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();  // the client waits on the database: wall time is the rate
    benchmark::RegisterBenchmark(("EmptyLogCall/" + database.name).c_str(), BM_EmptyLogCall,
                                 database)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const testsupport::TestDatabase& database : databases) {
    testsupport::DropTestDatabase(database);
  }
  return 0;
}
