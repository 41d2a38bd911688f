// Intake throughput from one client: appends per second through the library
// object, beside the database's own single-row insert rate on the same
// database in the same run, on SQLite always and on PostgreSQL when
// VOLTRANE_TEST_PG names a server (see tests/support/test_databases.h).
//
//   AppendItemToMDCLog2  by machine number and type code: one insert that
//                        finds the machine and command itself
//   AppendItemToMDCLog   by internal keys: the insert alone
//   AppendItemToMDCLogDNC  by outside keys: the insert with the command's
//                        key looked up inside it
//   JoinedInsert         the intake's insert statement run directly, without
//                        the library (the cost of the joined select)
//   PlainInsert          INSERT ... VALUES of the same row: the database's own rate
//
// Each statement commits on its own, as the intake's do. The databases are
// fresh demo plants, dropped at the end.
//
// --profile_rows=N (before the benchmark library's flags) benchmarks nothing:
// it appends N rows with each operation through a counting provider and
// prints the platform layer's calls per appended row by kind, between two
// marker statements that a server's statement log shows.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_flags.h"
#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"
#include "dbaccess/dialect.h"
#include "dbaccess/provider_table.h"
#include "dbaccess/recordset.h"
#include "library/intake/intake_sql.h"
#include "library/korvex7_obj.h"
#include "tests/support/counting_backend.h"
#include "tests/support/shop_floor_db.h"

using namespace korvex7::internal;  // the library's internals

namespace {

// Demo machine 101 is machine 1 (outside key 1101); the cycle command
// (type 9) has key 9 (outside key 2009).
constexpr const char* kMachineNumber = "101";
constexpr int32_t kMachineID = 1;
constexpr int32_t kMachineVoltraneID = 1101;
// In the demo plant the cycle's command key is its type code.
constexpr int32_t kCycle = korvex7::Code(korvex7::CommandType::kCycle);
constexpr int32_t kCycleVoltraneID = 2009;

std::unique_ptr<CKorvex7Obj> ConnectedObject(const testsupport::TestDatabase& database,
                                             benchmark::State& state) {
  auto object = std::make_unique<CKorvex7Obj>();
  std::string error;
  if (!object->ConnectToDatabase(database.connection_string, database.kind, error)) {
    state.SkipWithError(("connect: " + error).c_str());
  }
  return object;
}

// The parameter of an append: it changes from row to row as real ones do
// (counts, part numbers), so no statement text repeats.
std::string Param(int64_t row) { return "P-" + std::to_string(row); }

void Finish(benchmark::State& state) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void BM_AppendItemToMDCLog2(benchmark::State& state, const testsupport::TestDatabase& database) {
  auto object = ConnectedObject(database, state);
  std::string error;
  int64_t row = 0;
  for (auto _ : state) {
    if (!object->AppendItemToMDCLog2(kMachineNumber, kCycle, Param(++row), 0, error)) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  Finish(state);
}

void BM_AppendItemToMDCLog(benchmark::State& state, const testsupport::TestDatabase& database) {
  auto object = ConnectedObject(database, state);
  std::string error;
  int64_t row = 0;
  for (auto _ : state) {
    if (!object->AppendItemToMDCLog(0, 0, 0, kMachineID, kCycle, Param(++row), 0, error)) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  Finish(state);
}

void BM_AppendItemToMDCLogDNC(benchmark::State& state, const testsupport::TestDatabase& database) {
  auto object = ConnectedObject(database, state);
  std::string error;
  int64_t row = 0;
  for (auto _ : state) {
    if (!object->AppendItemToMDCLogDNC(0, 0, 0, kMachineVoltraneID, kCycleVoltraneID,
                                       Param(++row), 0, error)) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  Finish(state);
}

void RunStatement(benchmark::State& state, const testsupport::TestDatabase& database,
                  const std::string& sql) {
  dbaccess::Connection connection;
  connection.Open(database.connection_string);
  for (auto _ : state) connection.Execute(sql);
  Finish(state);
}

void BM_JoinedInsert(benchmark::State& state, const testsupport::TestDatabase& database) {
  RunStatement(state, database,
               LogInsertStatement(database.kind, std::to_string(kCycle), 0, "",
                                  "m.MACHINE_ID = " + std::to_string(kMachineID)));
}

void BM_PlainInsert(benchmark::State& state, const testsupport::TestDatabase& database) {
  RunStatement(state, database,
               LogRowsInsertStatement(database.kind, {{kCycle, {kMachineID, 1, 1, 1}, 0,
                                                       dbaccess::DateTime::Now(), ""}}));
}

// The machine-number lookup of AppendItemToMDCLog2 as the library reads it:
// through a recordset, and through the backend's plain query.
const char* const kMachineLookup =
    "select MACHINE_ID from T_SFC_MACHINE  where MACHINE_NUMBER = '101'";

void BM_LookupRecordset(benchmark::State& state, const testsupport::TestDatabase& database) {
  auto connection = std::make_shared<dbaccess::Connection>();
  connection->Open(database.connection_string);
  for (auto _ : state) {
    dbaccess::Recordset rs;
    rs.Open(kMachineLookup, connection);
    benchmark::DoNotOptimize(rs.Fields(size_t{0}).Value());
  }
  Finish(state);
}

void BM_LookupQuery(benchmark::State& state, const testsupport::TestDatabase& database) {
  dbaccess::Connection connection;
  connection.Open(database.connection_string);
  for (auto _ : state) {
    benchmark::DoNotOptimize(connection.backend().Query(kMachineLookup, {}, 30));
  }
  Finish(state);
}

using BenchmarkBody = void (*)(benchmark::State&, const testsupport::TestDatabase&);

using Append = std::function<bool(CKorvex7Obj&, std::string&)>;

// Appends `rows` rows with `append` through a counting provider and prints
// the platform layer's calls per row by kind.
bool ProfileAppends(const testsupport::TestDatabase& database, const std::string& name,
                    const Append& append, int64_t rows) {
  auto counts = std::make_shared<testsupport::StatementCounts>();
  const std::string provider = dbaccess::FindConnectionValue(
      dbaccess::ParseConnectionString(database.connection_string), "Provider");
  testsupport::RegisterCountingProvider("Counted", provider, counts);
  std::string error;
  bool ok = true;
  {
    CKorvex7Obj object;
    ok = object.ConnectToDatabase(testsupport::WithProvider(database.connection_string, "Counted"),
                                  database.kind, error);
    dbaccess::Connection marker;
    marker.Open(database.connection_string);
    counts->clear();
    // Marks the appends in a server's statement log (scripts/run-bench.sh counts between them).
    marker.Execute("SELECT 'profile start' FROM T_SFC_DEPT WHERE 1 = 0");
    for (int64_t row = 0; ok && row < rows; ++row) ok = append(object, error);
    marker.Execute("SELECT 'profile end' FROM T_SFC_DEPT WHERE 1 = 0");
  }
  dbaccess::UnregisterProvider("Counted");
  if (!ok) {
    std::fprintf(stderr, "profile: %s on %s: %s\n", name.c_str(), database.name.c_str(),
                 error.c_str());
    return false;
  }
  std::printf("Calls of the platform layer per appended row, %s, %s, %lld rows:\n%s\n",
              name.c_str(), database.name.c_str(), static_cast<long long>(rows),
              testsupport::PerRowLines(*counts, rows).c_str());
  return true;
}

bool Profile(const testsupport::TestDatabase& database, int64_t rows) {
  const std::vector<std::pair<std::string, Append>> appends = {
      {"AppendItemToMDCLog2",
       [](CKorvex7Obj& object, std::string& error) {
         return object.AppendItemToMDCLog2(kMachineNumber, kCycle, "", 0, error);
       }},
      {"AppendItemToMDCLog",
       [](CKorvex7Obj& object, std::string& error) {
         return object.AppendItemToMDCLog(0, 0, 0, kMachineID, kCycle, "", 0, error);
       }},
      {"AppendItemToMDCLogDNC", [](CKorvex7Obj& object, std::string& error) {
         return object.AppendItemToMDCLogDNC(0, 0, 0, kMachineVoltraneID, kCycleVoltraneID, "", 0,
                                             error);
       }}};
  bool ok = true;
  for (const auto& [name, append] : appends) {
    ok = ProfileAppends(database, name, append, rows) && ok;
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t profile_rows = TakeFlag(argc, argv, "profile_rows", 0);
  if (profile_rows > 0) {
    bool ok = true;
    for (const std::string& kind : testsupport::AvailableKinds()) {
      const testsupport::TestDatabase database = testsupport::CreateShopFloorDatabase(kind, true);
      ok = Profile(database, profile_rows) && ok;
      testsupport::DropTestDatabase(database);
    }
    return ok ? 0 : 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  const std::vector<std::pair<const char*, BenchmarkBody>> bodies = {
      {"AppendItemToMDCLog2", BM_AppendItemToMDCLog2},
      {"AppendItemToMDCLog", BM_AppendItemToMDCLog},
      {"AppendItemToMDCLogDNC", BM_AppendItemToMDCLogDNC},
      {"JoinedInsert", BM_JoinedInsert},
      {"PlainInsert", BM_PlainInsert},
      {"LookupRecordset", BM_LookupRecordset},
      {"LookupQuery", BM_LookupQuery}};
  std::vector<testsupport::TestDatabase> databases;
  for (const std::string& kind : testsupport::AvailableKinds()) {
    databases.push_back(testsupport::CreateShopFloorDatabase(kind, true));
  }
  for (const testsupport::TestDatabase& database : databases) {
    for (const auto& [name, body] : bodies) {
      benchmark::RegisterBenchmark((std::string(name) + "/" + database.name).c_str(), body,
                                   database)
          ->Unit(benchmark::kMicrosecond)
          ->UseRealTime();  // the client waits on the database: wall time is the rate
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const testsupport::TestDatabase& database : databases) {
    testsupport::DropTestDatabase(database);
  }
  return 0;
}
