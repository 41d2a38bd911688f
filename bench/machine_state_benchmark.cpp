// Machine state throughput: log rows per second processed by
// DoNextItemFromMDCLog for a realistic day of 20 machines, beside the
// database's own single-row transaction rate measured in the same run, on
// SQLite always and on PostgreSQL when VOLTRANE_TEST_PG names a server.
//
//   MachineStateMix/<kind>/<tables>   appends `rows` log rows (untimed) and
//       drains them (timed). The mix per machine: mostly cycle starts and
//       ends each followed by a good count, with setups, machine downtimes,
//       scrap, part and job changes and logons now and then. <tables> is
//       "empty" (a fresh demo plant) or "preloaded" (T_SFC_MACHINE_DATA,
//       T_SFC_DT_PER_MACHINE_DATA, T_SFC_EVENT and T_SFC_HISTORY already
//       holding --preload_rows rows). Each database has one writer whose
//       clock runs on across the benchmark's repeated runs, so no row is
//       older than what was drained before. The drain reports the process's
//       largest resident set seen while it ran (rss_mb).
//   MachineStateMix/<kind>/long/<N>   one drain of --long_rows rows: the
//       resident memory of a long drain.
//   SingleRowTransaction/<kind>   one insert of an event row in its own
//       transaction through the platform layer.
//   RawInsert/SQLite   the same insert as a plain C loop on the same file
//       (a prepared statement in autocommit, WAL, synchronous=NORMAL): SQLite's
//       own single-row transaction rate. PostgreSQL's is measured beside this
//       program with pgbench (scripts/run-bench.sh).
//
// --preload_rows=N (default 1000000; 0 skips the preloaded runs), --long_rows=N
// (default 20000; 0 skips), --profile_rows=N (counts the statements of N
// drained rows by kind and prints them per row instead of benchmarking) and
// --machine_state=0 (the machines' current records read back from the
// database at every row, as without the collector's cache) must come before
// the benchmark library's own flags. The databases are dropped at the end.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_flags.h"
#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"
#include "dbaccess/dialect.h"
#include "dbaccess/provider_table.h"
#include "library/korvex7_obj.h"
#include "library/records/machine_state_cache.h"
#include "tests/support/counting_backend.h"
#include "tests/support/machine_mix.h"
#include "tests/support/shop_floor_db.h"

namespace {

constexpr int kMixRows = 2000;
using testsupport::MixWriter;

// A benchmark database with the one writer that appends its log rows.
struct MixTarget {
  testsupport::TestDatabase database;
  std::shared_ptr<MixWriter> writer;
};

// Fills the record, downtime, event and history tables with `rows` old rows each.
void Preload(dbaccess::Connection& connection, int32_t kind, int64_t rows) {
  const std::string start =
      voltrane::DateTimeLiteral(kind, dbaccess::DateTime::FromParts(2025, 6, 2, 6, 0, 0));
  const std::string stop =
      voltrane::DateTimeLiteral(kind, dbaccess::DateTime::FromParts(2025, 6, 2, 14, 0, 0));
  const std::string numbers =
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
      "WHERE i < " +
      std::to_string(rows) + ") ";
  const std::string machine = "(i % " + std::to_string(testsupport::kMixMachines) + ") + 1";
  connection.Execute(
      numbers +
      "INSERT INTO T_SFC_MACHINE_DATA (DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, START_TIME, "
      "STOP_TIME, STATUS_CODE, IS_MANUAL, SETUP_TIME, TEARDOWN_TIME, CYCLE_TIME, IDLE_TIME, "
      "FINISHED_CYCLES, UNFINISHED_CYCLES, GOOD_COUNT, SCRAPPED_COUNT, SHIFT_ID, CHART_DATE, "
      "PART_ID, STANDARD_TIME) SELECT 1, 1, 3, " +
      machine + ", " + start + ", " + stop + ", 2, 0, 0.5, 0.25, 300, 1.5, 120, 2, 118, 2, 1, " +
      start + ", 1, 2.5 FROM n");
  connection.Execute(numbers +
                     "INSERT INTO T_SFC_DT_PER_MACHINE_DATA (MACHINE_DATA_ID, DOWNTIME_CODE_ID, "
                     "DT_NUMBER, DT_DATA_START_ID, DOWNTIME_TYPE_CODE, START_TIME, STOP_TIME, "
                     "DURATION) SELECT i, 1, '100', i, 0, " +
                     start + ", " + stop + ", 8 FROM n");
  connection.Execute(numbers +
                     "INSERT INTO T_SFC_EVENT (START_TIME, STOP_TIME, COMMAND_ID, DEPT_ID, "
                     "LOCATION_ID, GROUP_ID, MACHINE_ID, PARAM1) SELECT " +
                     start + ", " + stop + ", 9, 1, 1, 3, " + machine + ", NULL FROM n");
  connection.Execute(numbers +
                     "INSERT INTO T_SFC_HISTORY (TARGET_ID, TABLE_CODE, ACTION_CODE, NOTES, "
                     "APP_CODE, HISTORY_DATE, MACHINE_ID) SELECT i, 1, 1, 'bench', 2, " +
                     start + ", " + machine + " FROM n");
  const std::string analyze = voltrane::DialectOf(kind).analyze_statement;
  if (!analyze.empty()) connection.Execute(analyze);
}

// This process's resident set in megabytes.
double ResidentMegabytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

// A connected object past its announcement and startup checks, on an empty log.
// Reports through `fail` and returns null when it cannot get there.
template <typename Fail>
std::unique_ptr<CKorvex7Obj> ReadyObject(const std::string& connection_string, int32_t kind,
                                         Fail&& fail) {
  auto object = std::make_unique<CKorvex7Obj>();
  std::string error;
  if (!object->ConnectToDatabase(connection_string, kind, error)) {
    fail("connect: " + error);
    return nullptr;
  }
  for (int call = 0; call < 10; ++call) {
    if (!object->DoNextItemFromMDCLog(error) && error.empty()) return object;
  }
  fail("not ready: " + error);
  return nullptr;
}

// Appends on a connection of its own and gives its memory back: the writer's
// cached multi-row inserts would otherwise count in the drain's resident set.
void AppendAndLetGo(const MixTarget& target, int rows) {
  {
    dbaccess::Connection connection;
    connection.Open(target.database.connection_string);
    target.writer->Append(connection, rows);
  }
  malloc_trim(0);
}

void BM_MachineStateMix(benchmark::State& state, const MixTarget& target) {
  const int rows = static_cast<int>(state.range(0));
  auto object = ReadyObject(target.database.connection_string, target.database.kind,
                            [&](const std::string& error) { state.SkipWithError(error.c_str()); });
  if (!object) return;
  int64_t processed = 0;
  double peak_rss = ResidentMegabytes();
  std::string error;
  double appended_rss = 0;
  for (auto _ : state) {
    state.PauseTiming();
    AppendAndLetGo(target, rows);
    appended_rss = std::max(appended_rss, ResidentMegabytes());
    state.ResumeTiming();
    while (object->DoNextItemFromMDCLog(error)) {
      if (++processed % 500 == 0) peak_rss = std::max(peak_rss, ResidentMegabytes());
    }
    if (!error.empty()) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  state.SetItemsProcessed(processed);
  state.counters["rss_mb"] = std::max(peak_rss, ResidentMegabytes());
  // What the writer's appends left before the drain began.
  state.counters["rss_appended_mb"] = appended_rss;
}

void BM_SingleRowTransaction(benchmark::State& state, const testsupport::TestDatabase& database) {
  dbaccess::Connection connection;
  connection.Open(database.connection_string);
  const std::string insert =
      "INSERT INTO T_SFC_EVENT (START_TIME, COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, "
      "MACHINE_ID) VALUES (" +
      voltrane::DateTimeLiteral(database.kind, dbaccess::DateTime::FromParts(2026, 1, 5, 6, 0, 0)) +
      ", 9, 1, 1, 1, 1)";
  for (auto _ : state) {
    connection.BeginTrans();
    connection.Execute(insert);
    connection.CommitTrans();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

// SQLite's own rate: the same insert from a plain C loop on the same file.
void BM_RawInsert(benchmark::State& state, const testsupport::TestDatabase& database) {
  const std::string path = dbaccess::FindConnectionValue(
      dbaccess::ParseConnectionString(database.connection_string), "Data Source");
  sqlite3* db = nullptr;
  sqlite3_stmt* insert = nullptr;
  const char* sql =
      "INSERT INTO T_SFC_EVENT (START_TIME, COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, "
      "MACHINE_ID) VALUES ('2026-01-05 06:00:00.000', 9, 1, 1, 1, 1)";
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
      sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr,
                   nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db, sql, -1, &insert, nullptr) != SQLITE_OK) {
    state.SkipWithError(sqlite3_errmsg(db));
  } else {
    for (auto _ : state) {
      if (sqlite3_step(insert) != SQLITE_DONE) {
        state.SkipWithError(sqlite3_errmsg(db));
        break;
      }
      sqlite3_reset(insert);
    }
  }
  sqlite3_finalize(insert);
  sqlite3_close(db);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

MixTarget MakeMixTarget(const std::string& kind, int64_t preload_rows) {
  MixTarget target;
  target.database = testsupport::CreateShopFloorDatabase(kind, true);
  target.writer = std::make_shared<MixWriter>(target.database.kind);
  dbaccess::Connection connection;
  connection.Open(target.database.connection_string);
  testsupport::AddMixMachines(connection);
  if (preload_rows > 0) Preload(connection, target.database.kind, preload_rows);
  return target;
}

// Drains `rows` rows of the mix through a counting provider and prints the
// statements per row by kind, most frequent first.
bool ProfileDrain(const std::string& kind, int rows) {
  MixTarget target = MakeMixTarget(kind, 0);
  auto counts = std::make_shared<testsupport::StatementCounts>();
  const std::string provider = dbaccess::FindConnectionValue(
      dbaccess::ParseConnectionString(target.database.connection_string), "Provider");
  testsupport::RegisterCountingProvider("Counted", provider, counts);
  bool ok = false;
  {
    auto object = ReadyObject(
        testsupport::WithProvider(target.database.connection_string, "Counted"),
        target.database.kind,
        [](const std::string& error) { std::fprintf(stderr, "profile: %s\n", error.c_str()); });
    if (object) {
      dbaccess::Connection connection;
      connection.Open(target.database.connection_string);
      target.writer->Append(connection, rows);
      counts->clear();
      // Marks the drain in a server's statement log (scripts/run-bench.sh counts between them).
      connection.Execute("SELECT 'profile start' FROM T_SFC_DEPT WHERE 1 = 0");
      std::string error;
      int processed = 0;
      while (object->DoNextItemFromMDCLog(error)) ++processed;
      connection.Execute("SELECT 'profile end' FROM T_SFC_DEPT WHERE 1 = 0");
      ok = error.empty() && processed >= rows;
      if (!ok) std::fprintf(stderr, "profile: %d of %d rows: %s\n", processed, rows, error.c_str());
      rows = processed;  // the writer ends on a whole round
    }
  }
  dbaccess::UnregisterProvider("Counted");
  if (rows == 0) return false;
  std::printf("Calls of the platform layer per processed row, %s, %d rows of the mix:\n%s",
              target.database.name.c_str(), rows, testsupport::PerRowLines(*counts, rows).c_str());
  testsupport::DropTestDatabase(target.database);
  return ok;
}

void RegisterMix(const MixTarget& target, const std::string& tables, int rows) {
  benchmark::RegisterBenchmark(("MachineStateMix/" + target.database.name + "/" + tables).c_str(),
                               BM_MachineStateMix,
                               target)
      ->Arg(rows)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();  // the client waits on the database: wall time is the rate
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t preload_rows = TakeFlag(argc, argv, "preload_rows", 1000000);
  const int64_t long_rows = TakeFlag(argc, argv, "long_rows", 20000);
  const int64_t profile_rows = TakeFlag(argc, argv, "profile_rows", 0);
  // --machine_state=0: the collector reads its machines' current records
  // back as before, for the comparison.
  korvex7::internal::SetMachineStateCaching(TakeFlag(argc, argv, "machine_state", 1) != 0);
  if (profile_rows > 0) {
    bool ok = true;
    for (const std::string& kind : testsupport::AvailableKinds()) {
      ok = ProfileDrain(kind, static_cast<int>(profile_rows)) && ok;
    }
    return ok ? 0 : 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  std::vector<MixTarget> targets;
  for (const std::string& kind : testsupport::AvailableKinds()) {
    const MixTarget empty = MakeMixTarget(kind, 0);
    targets.push_back(empty);
    RegisterMix(empty, "empty", kMixRows);
    benchmark::RegisterBenchmark(("SingleRowTransaction/" + empty.database.name).c_str(),
                                 BM_SingleRowTransaction, empty.database)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
    if (voltrane::DialectOf(empty.database.kind).embedded) {
      benchmark::RegisterBenchmark(("RawInsert/" + empty.database.name).c_str(), BM_RawInsert,
                                   empty.database)
          ->Unit(benchmark::kMicrosecond)
          ->UseRealTime();
    }
    if (preload_rows > 0) {
      const MixTarget preloaded = MakeMixTarget(kind, preload_rows);
      targets.push_back(preloaded);
      RegisterMix(preloaded, "preloaded", kMixRows);
    }
    if (long_rows > 0) {
      const MixTarget long_drain = MakeMixTarget(kind, 0);
      targets.push_back(long_drain);
      benchmark::RegisterBenchmark(
          ("MachineStateMix/" + long_drain.database.name + "/long").c_str(), BM_MachineStateMix,
          long_drain)
          ->Arg(long_rows)
          ->Iterations(1)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const MixTarget& target : targets) testsupport::DropTestDatabase(target.database);
  return 0;
}
