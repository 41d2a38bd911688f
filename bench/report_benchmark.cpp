// Report timings on 10^6 machine data records: 50 machines, one record per
// machine and hour over 20,000 hours (about 2.3 years), three 8-hour shifts,
// a downtime row on every fourth record (1/3 of them planned) and two events
// per record (a 50-minute cycle and a 10-minute setup), 2 x 10^6 events.
// Generated inside the database with one set-based insert per table, on
// SQLite always and on PostgreSQL when VOLTRANE_TEST_PG names a server.
//
//   OeeByShiftDay      report oee for one chart date, all machines (1,200 records)
//   OeeByShiftMonth    report oee for 30 chart dates (36,000 records)
//   OeeByMachineAll    report oee --by machine over every record (10^6)
//   LossesByMachineAll report losses --by machine over every record: the same
//                      query, then the waterfall table it prints
//   ParetoMonth        report downtimes for 30 chart dates
//   TimelinesDay       the timelines of one day, all 50 machines
//   ScanMonth          the database's own rate: one grouped sum over the same
//                      30 chart dates through the same index, no joins
//   ScanAll            the same over every record
//
// items_per_second counts the records a report covers, so OeeByShiftMonth
// against ScanMonth (and OeeByMachineAll against ScanAll) is the reports'
// cost over the database's own scan.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"
#include "dbaccess/dialect.h"
#include "dbaccess/query_dialect.h"
#include "dbaccess/recordset.h"
#include "dbaccess/sql_dialect.h"
#include "reports/downtime_pareto.h"
#include "reports/loss_format.h"
#include "reports/oee.h"
#include "reports/timeline.h"
#include "tests/support/shop_floor_db.h"

namespace {

using dbaccess::DateTime;

constexpr int64_t kMachines = 50;
constexpr int64_t kRecords = 1000000;
const DateTime kFirstDay = DateTime::FromParts(2024, 1, 1);
const DateTime kReportDay = DateTime::FromParts(2025, 6, 2);
const DateTime kNow = DateTime::FromParts(2026, 6, 1);

// n runs over 0 .. kRecords - 1: machine n % 50 + 1, hour n / 50.
std::string Numbers(int64_t count) {
  return "(with recursive seq(n) as (select 0 union all select n + 1 from seq where n + 1 < " +
         std::to_string(count) + ") select n from seq) s";
}

// The start of hour n / 50 plus `minutes`.
std::string HourStart(int32_t kind, const std::string& minutes) {
  const std::string hour =
      voltrane::DateAdd(kind, "hh", "n / 50", voltrane::DateTimeLiteral(kind, kFirstDay));
  return voltrane::DateAdd(kind, "n", minutes, hour);
}

std::string DayStart(int32_t kind) {
  return voltrane::DateAdd(kind, "dd", "n / 1200", voltrane::DateTimeLiteral(kind, kFirstDay));
}

void LoadPlant(dbaccess::Connection& connection, int32_t kind) {
  connection.BeginTrans();
  connection.Execute(
      "insert into T_SFC_MACHINE (MACHINE_ID, MACHINE_NUMBER, MACHINE_NAME) "
      "select n + 1, 'M' || (n + 101), 'Machine ' || (n + 101) from " +
      Numbers(kMachines));
  connection.Execute(
      "insert into T_SFC_SHIFT (SHIFT_ID, SHIFT_NAME) values (1, 'Night'), "
      "(2, 'Day'), (3, 'Late')");
  connection.Execute(
      "insert into T_SFC_COMMAND (COMMAND_ID, COMMAND_TYPE_CODE) values (8, 8), "
      "(9, 9), (11, 11), (12, 12)");
  connection.Execute(
      "insert into T_SFC_DOWNTIME_CODE (DOWNTIME_CODE_ID, DOWNTIME_CODE_NUMBER, "
      "DOWNTIME_CODE_NAME, DOWNTIME_TYPE_CODE, PLANNED) values (1, 'MAINT', "
      "'Maintenance', 0, 1), (2, 'JAM', 'Jam', 0, 0), (3, 'TOOL', 'Tool', 0, 0)");
  connection.Execute(
      "insert into T_SFC_MACHINE_DATA (MACHINE_DATA_ID, MACHINE_ID, START_TIME, STOP_TIME, "
      "CHART_DATE, SHIFT_ID, SHIFT_END, STANDARD_TIME, GOOD_COUNT, SCRAPPED_COUNT, "
      "FINISHED_CYCLES, STATUS_CODE) select n + 1, n % 50 + 1, " +
      HourStart(kind, "0") + ", " + HourStart(kind, "60") + ", " + DayStart(kind) +
      ", (n / 50) % 24 / 8 + 1, " + HourStart(kind, "60") +
      ", 2.5, (n * 7) % 20, n % 3, 1, 2 from " + Numbers(kRecords));
  connection.Execute(
      "insert into T_SFC_DT_PER_MACHINE_DATA (MACHINE_DATA_ID, DOWNTIME_CODE_ID, "
      "DOWNTIME_TYPE_CODE, START_TIME, STOP_TIME, DURATION) select n + 1, (n / 4) % 3 + 1, 0, " +
      HourStart(kind, "10") + ", " + HourStart(kind, "40") + ", 0.5 from " + Numbers(kRecords) +
      " where n % 4 = 0");
  for (const auto& [command, from, to] :
       {std::tuple{"9", "0", "50"}, std::tuple{"8", "50", "60"}}) {
    connection.Execute(
        "insert into T_SFC_EVENT (MACHINE_ID, COMMAND_ID, START_TIME, STOP_TIME) "
        "select n % 50 + 1, " +
        std::string(command) + ", " + HourStart(kind, from) + ", " + HourStart(kind, to) +
        " from " + Numbers(kRecords));
  }
  connection.Execute(
      "insert into T_SFC_MACHINE_EVENT (MACHINE_ID, COMMAND_ID) select n % 50 + 1, "
      "8 + n / 50 from " +
      Numbers(2 * kMachines));
  connection.CommitTrans();
  const std::string analyze = voltrane::DialectOf(kind).analyze_statement;
  if (!analyze.empty()) connection.Execute(analyze);
}

struct Plant {
  testsupport::TestDatabase database;
  dbaccess::ConnectionPtr connection;
};

void Finish(benchmark::State& state, int64_t records) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * records);
}

reports::OeeQuery Oee(int days, reports::OeeGrouping grouping) {
  reports::OeeQuery query;
  query.from = kReportDay;
  query.to = kReportDay.AddDays(days - 1);
  query.grouping = grouping;
  query.now = kNow;
  return query;
}

reports::OeeQuery WholeHistory() {
  reports::OeeQuery query = Oee(1, reports::OeeGrouping::kMachine);
  query.from = kFirstDay;
  query.to = kFirstDay.AddDays(1000);
  return query;
}

void BM_OeeByShiftDay(benchmark::State& state, Plant* plant) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(reports::QueryOee(plant->connection, plant->database.kind,
                                               Oee(1, reports::OeeGrouping::kShift)));
  }
  Finish(state, 24 * kMachines);
}

void BM_OeeByShiftMonth(benchmark::State& state, Plant* plant) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(reports::QueryOee(plant->connection, plant->database.kind,
                                               Oee(30, reports::OeeGrouping::kShift)));
  }
  Finish(state, 30 * 24 * kMachines);
}

void BM_OeeByMachineAll(benchmark::State& state, Plant* plant) {
  const reports::OeeQuery query = WholeHistory();
  for (auto _ : state) {
    benchmark::DoNotOptimize(reports::QueryOee(plant->connection, plant->database.kind, query));
  }
  Finish(state, kRecords);
}

void BM_LossesByMachineAll(benchmark::State& state, Plant* plant) {
  const reports::OeeQuery query = WholeHistory();
  for (auto _ : state) {
    std::ostringstream out;
    reports::WriteLossesTable(out,
                              reports::QueryOee(plant->connection, plant->database.kind, query));
    benchmark::DoNotOptimize(out.str());
  }
  Finish(state, kRecords);
}

void BM_ParetoMonth(benchmark::State& state, Plant* plant) {
  reports::DowntimeParetoQuery query;
  query.from = kReportDay;
  query.to = kReportDay.AddDays(29);
  query.now = kNow;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        reports::QueryDowntimePareto(plant->connection, plant->database.kind, query));
  }
  Finish(state, 30 * 24 * kMachines);
}

void BM_TimelinesDay(benchmark::State& state, Plant* plant) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        reports::QueryTimelines(plant->connection, plant->database.kind, kReportDay, {}, kNow));
  }
  Finish(state, 24 * kMachines);
}

void Scan(benchmark::State& state, Plant* plant, const DateTime& from, const DateTime& to,
          int64_t records) {
  const int32_t kind = plant->database.kind;
  const std::string sql =
      "select MACHINE_ID, CHART_DATE, SHIFT_ID, sum(GOOD_COUNT), sum(SCRAPPED_COUNT) from "
      "T_SFC_MACHINE_DATA where CHART_DATE >= " +
      voltrane::DateTimeLiteral(kind, from) + " and CHART_DATE < " +
      voltrane::DateTimeLiteral(kind, to) + " group by MACHINE_ID, CHART_DATE, SHIFT_ID";
  for (auto _ : state) {
    dbaccess::Recordset rs;
    rs.Open(sql, plant->connection);
    benchmark::DoNotOptimize(rs.RecordCount());
  }
  Finish(state, records);
}

void BM_ScanMonth(benchmark::State& state, Plant* plant) {
  Scan(state, plant, kReportDay, kReportDay.AddDays(30), 30 * 24 * kMachines);
}

void BM_ScanAll(benchmark::State& state, Plant* plant) {
  Scan(state, plant, kFirstDay, kFirstDay.AddDays(1001), kRecords);
}

using BenchmarkBody = void (*)(benchmark::State&, Plant*);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  const std::vector<std::pair<const char*, BenchmarkBody>> bodies = {
      {"OeeByShiftDay", BM_OeeByShiftDay},
      {"OeeByShiftMonth", BM_OeeByShiftMonth},
      {"ScanMonth", BM_ScanMonth},
      {"OeeByMachineAll", BM_OeeByMachineAll},
      {"LossesByMachineAll", BM_LossesByMachineAll},
      {"ScanAll", BM_ScanAll},
      {"ParetoMonth", BM_ParetoMonth},
      {"TimelinesDay", BM_TimelinesDay}};
  std::vector<std::unique_ptr<Plant>> plants;
  for (const std::string& kind : testsupport::AvailableKinds()) {
    auto plant = std::make_unique<Plant>();
    plant->database = testsupport::CreateShopFloorDatabase(kind, false);
    plant->connection = std::make_shared<dbaccess::Connection>();
    plant->connection->Open(plant->database.connection_string);
    const DateTime started = DateTime::Now();
    LoadPlant(*plant->connection, plant->database.kind);
    fprintf(stderr, "%s: 10^6 records, 250,000 downtime rows, 2 x 10^6 events loaded in %lld s\n",
            kind.c_str(), static_cast<long long>(started.SecondsUntil(DateTime::Now())));
    plants.push_back(std::move(plant));
  }
  for (const auto& plant : plants) {
    for (const auto& [name, body] : bodies) {
      benchmark::RegisterBenchmark((std::string(name) + "/" + plant->database.name).c_str(), body,
                                   plant.get())
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const auto& plant : plants) {
    plant->connection->Close();
    testsupport::DropTestDatabase(plant->database);
  }
  return 0;
}
