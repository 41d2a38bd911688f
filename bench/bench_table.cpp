// bench_table: prints the throughput table from the JSON results of
// machine_state_benchmark and intake_benchmark (--benchmark_out=FILE
// --benchmark_out_format=json) and of scripts/group-bench.sh (--json FILE),
// with PostgreSQL's own single-row transaction rate measured beside them by
// pgbench.
//
//   bench_table [--pg-raw RATE] RESULT.json...
//
// Each rate is set beside the database's own single-row rate of the same run
// (RawInsert for SQLite, the pgbench rate for PostgreSQL), with the goal it is
// held to. A result the run did not produce shows as "-".
#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace {

struct Run {
  double rate = 0;    // items per second
  double rss_mb = 0;  // when the benchmark reports it
  std::string name;
};

// Runs by name; a later file adds to the earlier ones.
void ReadRuns(const std::string& path, std::map<std::string, Run>& runs) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  const nlohmann::json json = nlohmann::json::parse(in);
  for (const auto& benchmark : json.at("benchmarks")) {
    if (benchmark.value("run_type", "iteration") != "iteration") continue;
    if (benchmark.contains("error_occurred") && benchmark["error_occurred"].get<bool>()) continue;
    Run run;
    run.name = benchmark.at("name").get<std::string>();
    run.rate = benchmark.value("items_per_second", 0.0);
    run.rss_mb = benchmark.value("rss_mb", 0.0);
    runs[run.name] = run;
  }
}

std::optional<Run> Find(const std::map<std::string, Run>& runs, const std::string& prefix) {
  for (const auto& [name, run] : runs) {
    if (name.rfind(prefix, 0) == 0) return run;
  }
  return std::nullopt;
}

std::string Rate(std::optional<double> rate) {
  if (!rate || *rate <= 0) return "-";
  return fmt::format(std::locale("C.UTF-8"), "{:L}", static_cast<long long>(*rate + 0.5));
}

std::string Percent(std::optional<double> part, std::optional<double> whole) {
  if (!part || !whole || *part <= 0 || *whole <= 0) return "-";
  return fmt::format("{:.1f} %", 100.0 * *part / *whole);
}

std::optional<double> RateOf(const std::optional<Run>& run) {
  if (!run) return std::nullopt;
  return run->rate;
}

void PrintKind(const std::map<std::string, Run>& runs, const std::string& kind,
               std::optional<double> raw) {
  const auto empty = RateOf(Find(runs, "MachineStateMix/" + kind + "/empty/"));
  const auto preloaded = RateOf(Find(runs, "MachineStateMix/" + kind + "/preloaded/"));
  const auto layer = RateOf(Find(runs, "SingleRowTransaction/" + kind + "/"));
  const auto plain_insert = RateOf(Find(runs, "PlainInsert/" + kind + "/"));
  const auto long_drain = Find(runs, "MachineStateMix/" + kind + "/long/");
  const std::string goal = kind == "SQLite" ? "25 %" : "60 %";
  fmt::print("| {} | mix, empty tables (rows/s) | {} | {} | {} | {} of raw |\n", kind, Rate(empty),
             Rate(raw), Percent(empty, raw), goal);
  fmt::print("| {} | mix, preloaded tables (rows/s) | {} | {} | {} | 80 % of empty |\n", kind,
             Rate(preloaded), Rate(empty), Percent(preloaded, empty));
  for (const char* append :
       {"AppendItemToMDCLog2", "AppendItemToMDCLog", "AppendItemToMDCLogDNC"}) {
    const auto intake = RateOf(Find(runs, std::string(append) + "/" + kind + "/"));
    if (!intake) continue;
    fmt::print("| {} | intake `{}` (rows/s) | {} | {} | {} | 50 % of raw |\n", kind, append,
               Rate(intake), Rate(raw), Percent(intake, raw));
    fmt::print("| {} | intake `{}` beside the layer's plain insert | {} | {} | {} | |\n", kind,
               append, Rate(intake), Rate(plain_insert), Percent(intake, plain_insert));
  }
  fmt::print("| {} | layer single-row transaction (tx/s) | {} | {} | {} | |\n", kind, Rate(layer),
             Rate(raw), Percent(layer, raw));
  if (long_drain) {
    const std::string rows = long_drain->name.substr(("MachineStateMix/" + kind + "/long/").size());
    fmt::print("| {} | resident memory, drain of {} rows (MB) | {:.1f} | | | 30 MB |\n", kind,
               rows.substr(0, rows.find('/')), long_drain->rss_mb);
  }
}

// The collector group's rates (scripts/group-bench.sh): each member count
// beside one member, one member beside pgbench.
void PrintGroup(const std::map<std::string, Run>& runs, std::optional<double> raw) {
  const auto one = RateOf(Find(runs, "GroupDrain/PostgreSQL/members:1"));
  const auto killed = Find(runs, "GroupDrainKilled/PostgreSQL/");
  if (!one && !killed) return;
  fmt::print("| PostgreSQL | group drain, 1 member (rows/s) | {} | {} | {} | |\n", Rate(one),
             Rate(raw), Percent(one, raw));
  for (const char* members : {"2", "3"}) {
    const auto rate = RateOf(Find(runs, std::string("GroupDrain/PostgreSQL/members:") + members));
    const std::string goal = std::string(members) == "3" ? "130 % of 1 member" : "";
    fmt::print("| PostgreSQL | group drain, {} members (rows/s), beside 1 member | {} | {} | {} | {} |\n",
               members, Rate(rate), Rate(one), Percent(rate, one), goal);
  }
  if (killed) {
    const std::string every = killed->name.substr(killed->name.find("every:") + 6);
    const auto three = RateOf(Find(runs, "GroupDrain/PostgreSQL/members:3"));
    // 0 when the 3-member run is missing: shown as "-".
    const std::optional<double> per_member = three.value_or(0) / 3;
    fmt::print(
        "| PostgreSQL | group drain, 3 members, one killed every {} s, per member (rows/s), beside "
        "3 members' per member | {} | {} | {} | |\n",
        every.substr(0, every.find('/')), Rate(killed->rate), Rate(per_member),
        Percent(killed->rate, per_member));
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<double> pg_raw;
  std::map<std::string, Run> runs;
  try {
    for (int i = 1; i < argc; ++i) {
      if (std::string(argv[i]) == "--pg-raw" && i + 1 < argc) {
        pg_raw = std::stod(argv[++i]);
      } else {
        ReadRuns(argv[i], runs);
      }
    }
    if (runs.empty()) {
      std::fprintf(stderr, "usage: bench_table [--pg-raw RATE] RESULT.json...\n");
      return 2;
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_table: %s\n", error.what());
    return 1;
  }
  fmt::print("| Database | Measure | Rate | Beside (raw rate) | Ratio | Goal |\n");
  fmt::print("|---|---|---|---|---|---|\n");
  // A run of the group measures alone has no SQLite rows to show.
  const bool any_sqlite = std::any_of(runs.begin(), runs.end(), [](const auto& run) {
    return run.first.find("/SQLite/") != std::string::npos;
  });
  if (any_sqlite) PrintKind(runs, "SQLite", RateOf(Find(runs, "RawInsert/SQLite/")));
  if (Find(runs, "MachineStateMix/PostgreSQL/")) PrintKind(runs, "PostgreSQL", pg_raw);
  PrintGroup(runs, pg_raw);
  return 0;
}
