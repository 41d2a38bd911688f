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
//       T_SFC_EVENT and T_SFC_HISTORY already holding --preload_rows rows).
//   SingleRowTransaction/<kind>   one insert of an event row in its own
//       transaction, straight on a connection: the database's own rate.
//
// --preload_rows=N (default 1000000; 0 skips the preloaded runs) must come
// before the benchmark library's own flags. The databases are dropped at the end.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"
#include "dbaccess/dialect.h"
#include "library/korvex7_obj.h"
#include "tests/support/shop_floor_db.h"

namespace {

constexpr int kMachines = 20;
constexpr int kRowsPerInsert = 500;

struct LogRow {
  int command, time_code;
  std::string param;
};

// The rows one machine sends in its n-th round of work.
std::vector<LogRow> Round(int machine, int64_t n) {
  std::vector<LogRow> rows;
  if (n % 97 == 0) rows.push_back({4, 0, n % 2 ? "jsmith" : "kobrien"});
  if (n % 151 == 0) rows.push_back({5, 0, n % 2 ? "J1001" : "J1002"});
  if (n % 53 == 0) rows.push_back({6, 0, (n + machine) % 2 ? "SHAFT-100" : "FLANGE-200"});
  if (n % 41 == 0) {
    rows.push_back({8, 0, ""});
    rows.push_back({8, 1, ""});
  }
  if (n % 29 == 0) {
    rows.push_back({11, 0, n % 3 ? "100" : "120"});
    rows.push_back({11, 1, ""});
  }
  rows.push_back({9, 0, ""});
  rows.push_back({9, 1, ""});
  rows.push_back({13, 2, "1"});
  if (n % 17 == 0) rows.push_back({14, 2, "1.S2"});
  return rows;
}

// The machines beyond the demo's five: numbers 401 to 415 in group 3.
void AddMachines(dbaccess::Connection& connection) {
  for (int machine = 6; machine <= kMachines; ++machine) {
    connection.Execute(
        "INSERT INTO T_SFC_MACHINE (MACHINE_ID, MACHINE_NUMBER, MACHINE_NAME, GROUP_ID, "
        "STATUS_CODE) VALUES (" +
        std::to_string(machine) + ", '" + std::to_string(395 + machine) + "', 'Bench', 3, 0)");
  }
}

// Appends about `rows` rows, the machines' rounds interleaved, one second apart.
class MixWriter {
 public:
  explicit MixWriter(int32_t kind) : kind_(kind) {}
  void Append(dbaccess::Connection& connection, int rows) {
    std::string sql;
    int pending = 0;
    for (int written = 0; written < rows;) {
      for (int machine = 1; machine <= kMachines && written < rows; ++machine) {
        for (const LogRow& row : Round(machine, round_)) {
          stamp_ = stamp_.AddSeconds(1);
          sql += (pending == 0 ? Header() : ",") + Values(machine, row);
          ++written;
          if (++pending == kRowsPerInsert) {
            connection.Execute(sql);
            sql.clear();
            pending = 0;
          }
        }
      }
      ++round_;
    }
    if (pending > 0) connection.Execute(sql);
  }

 private:
  static std::string Header() {
    return "INSERT INTO T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, "
           "COMMAND_TIME_CODE, TIME_STAMP, PARAM1) VALUES ";
  }
  std::string Values(int machine, const LogRow& row) const {
    const int group = machine <= 2 ? 1 : machine <= 4 ? 2 : 3;
    return "(" + std::to_string(row.command) + ",1," + (machine <= 4 ? "1," : "2,") +
           std::to_string(group) + "," + std::to_string(machine) + "," +
           std::to_string(row.time_code) + "," + voltrane::DateTimeLiteral(kind_, stamp_) + ",'" +
           row.param + "')";
  }

  int32_t kind_;
  int64_t round_ = 1;
  dbaccess::DateTime stamp_ = dbaccess::DateTime::FromParts(2026, 1, 5, 6, 0, 0);
};

// Fills the record, event and history tables with `rows` old rows each.
void Preload(dbaccess::Connection& connection, int32_t kind, int64_t rows) {
  const std::string start =
      voltrane::DateTimeLiteral(kind, dbaccess::DateTime::FromParts(2025, 6, 2, 6, 0, 0));
  const std::string stop =
      voltrane::DateTimeLiteral(kind, dbaccess::DateTime::FromParts(2025, 6, 2, 14, 0, 0));
  const std::string numbers =
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
      "WHERE i < " +
      std::to_string(rows) + ") ";
  const std::string machine = "(i % " + std::to_string(kMachines) + ") + 1";
  connection.Execute(
      numbers +
      "INSERT INTO T_SFC_MACHINE_DATA (DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, START_TIME, "
      "STOP_TIME, STATUS_CODE, IS_MANUAL, SETUP_TIME, TEARDOWN_TIME, CYCLE_TIME, IDLE_TIME, "
      "FINISHED_CYCLES, UNFINISHED_CYCLES, GOOD_COUNT, SCRAPPED_COUNT, SHIFT_ID, CHART_DATE, "
      "PART_ID, STANDARD_TIME) SELECT 1, 1, 3, " +
      machine + ", " + start + ", " + stop + ", 2, 0, 0.5, 0.25, 300, 1.5, 120, 2, 118, 2, 1, " +
      start + ", 1, 2.5 FROM n");
  connection.Execute(numbers +
                     "INSERT INTO T_SFC_EVENT (START_TIME, STOP_TIME, COMMAND_ID, DEPT_ID, "
                     "LOCATION_ID, GROUP_ID, MACHINE_ID, PARAM1) SELECT " +
                     start + ", " + stop + ", 9, 1, 1, 3, " + machine + ", NULL FROM n");
  connection.Execute(numbers +
                     "INSERT INTO T_SFC_HISTORY (TARGET_ID, TABLE_CODE, ACTION_CODE, NOTES, "
                     "APP_CODE, HISTORY_DATE, MACHINE_ID) SELECT i, 1, 1, 'bench', 2, " +
                     start + ", " + machine + " FROM n");
  if (kind == voltrane::dbkind::kPostgreSql) connection.Execute("ANALYZE");
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

void BM_MachineStateMix(benchmark::State& state, const testsupport::TestDatabase& database) {
  const int rows = static_cast<int>(state.range(0));
  auto object = ReadyObject(database, state);
  dbaccess::Connection connection;
  connection.Open(database.connection_string);
  MixWriter writer(database.kind);
  int64_t processed = 0;
  std::string error;
  for (auto _ : state) {
    state.PauseTiming();
    writer.Append(connection, rows);
    state.ResumeTiming();
    while (object->DoNextItemFromMDCLog(error)) ++processed;
    if (!error.empty()) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  state.SetItemsProcessed(processed);
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

// Removes --preload_rows=N from the arguments; 1000000 when absent.
int64_t TakePreloadFlag(int& argc, char** argv) {
  int64_t rows = 1000000;
  constexpr const char* kFlag = "--preload_rows=";
  int kept = 0;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], kFlag, std::strlen(kFlag)) == 0) {
      rows = std::atoll(argv[i] + std::strlen(kFlag));
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  return rows;
}

testsupport::TestDatabase MixDatabase(const std::string& kind, int64_t preload_rows) {
  testsupport::TestDatabase database = testsupport::CreateShopFloorDatabase(kind, true);
  dbaccess::Connection connection;
  connection.Open(database.connection_string);
  AddMachines(connection);
  if (preload_rows > 0) Preload(connection, database.kind, preload_rows);
  return database;
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t preload_rows = TakePreloadFlag(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  std::vector<testsupport::TestDatabase> databases;
  for (const std::string& kind : testsupport::AvailableKinds()) {
    const testsupport::TestDatabase empty = MixDatabase(kind, 0);
    databases.push_back(empty);
    benchmark::RegisterBenchmark(("MachineStateMix/" + empty.name + "/empty").c_str(),
                                 BM_MachineStateMix, empty)
        ->Arg(2000)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();  // the client waits on the database: wall time is the rate
    benchmark::RegisterBenchmark(("SingleRowTransaction/" + empty.name).c_str(),
                                 BM_SingleRowTransaction, empty)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
    if (preload_rows <= 0) continue;
    const testsupport::TestDatabase preloaded = MixDatabase(kind, preload_rows);
    databases.push_back(preloaded);
    benchmark::RegisterBenchmark(("MachineStateMix/" + preloaded.name + "/preloaded").c_str(),
                                 BM_MachineStateMix, preloaded)
        ->Arg(2000)
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
