#!/usr/bin/env bash
# Throughput benchmark in one command: builds the Release configuration
# (build-release/), starts a throwaway PostgreSQL cluster, measures
# PostgreSQL's own single-row transaction rate with pgbench, runs the machine
# state and intake benchmarks on SQLite and PostgreSQL, and prints one table
# (rates, the raw rates beside them, ratios, goals). With --profile it also
# prints the statements of one processed row and of one appended row (each
# append operation) by kind: the platform layer's calls (both databases) and
# what the PostgreSQL server received (its statement log, driver statements
# included, one line per round trip). With --reports it runs the report
# timings on 10^6 machine data records instead (bench/report_benchmark.cpp;
# --report-filter picks them, default the whole-history OEE and losses and the
# database's own scan beside it) and prints Google Benchmark's table. With
# --group the table also has the collector group's rows per second with 1, 2
# and 3 members on the same server and with one of three killed every 30 s
# (scripts/group-bench.sh, the Release korvex7; --group-options passes it
# options, say "--seconds 30"); --group-only measures pgbench and the group.
#
#   scripts/run-bench.sh [--preload-rows N] [--long-rows N] [--profile N]
#                        [--profile-only] [--min-time S] [--keep-logs DIR]
#                        [--build-dir DIR] [--no-build] [--no-machine-state]
#                        [--reports] [--report-filter REGEX]
#                        [--group] [--group-only] [--group-options "OPTIONS"]
#
# Defaults: 1000000 preloaded rows per table, a long drain of 10000 rows,
# no profile, --benchmark_min_time=2; --profile-only skips the table;
# --no-build runs the programs already in the build folder (default
# build-release; DIR/bench/ holds them), for instance to measure an earlier
# build beside this one; --no-machine-state has the mix drained without the
# collector's kept current records (read back at every row). The cluster and the databases are removed at the end,
# also on failure.
set -euo pipefail
cd "$(dirname "$0")/.."

preload_rows=1000000
long_rows=10000
profile_rows=0
min_time=2
keep_logs=""
table=1
build="build-release"
do_build=1
reports=0
report_filter='^(OeeByMachineAll|LossesByMachineAll|ScanAll)/'
group=0
others=1
group_options=""
machine_state=1
usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; }
while [ $# -gt 0 ]; do
  case "$1" in
    --preload-rows) preload_rows=$2; shift 2 ;;
    --long-rows) long_rows=$2; shift 2 ;;
    --profile) profile_rows=$2; shift 2 ;;
    --profile-only) table=0; shift ;;
    --build-dir) build=$2; shift 2 ;;
    --no-build) do_build=0; shift ;;
    --no-machine-state) machine_state=0; shift ;;
    --min-time) min_time=$2; shift 2 ;;
    --keep-logs) keep_logs=$2; shift 2 ;;
    --reports) reports=1; table=0; shift ;;
    --report-filter) report_filter=$2; shift 2 ;;
    --group) group=1; shift ;;
    --group-only) group=1; others=0; shift ;;
    --group-options) group_options=$2; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    *) echo "run-bench: unknown argument $1" >&2; usage >&2; exit 2 ;;
  esac
done

if [ "$do_build" = 1 ]; then
  launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  echo "==> building the Release configuration in $build" >&2
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
  targets=(machine_state_benchmark intake_benchmark bench_table)
  if [ "$others" = 0 ]; then targets=(bench_table); fi
  if [ "$group" = 1 ]; then targets+=(korvex7_tool); fi
  if [ "$reports" = 1 ]; then targets=(report_benchmark); fi
  nice cmake --build "$build" -j 2 --target "${targets[@]}" \
    >"$build/bench-build.log" 2>&1 || { tail -n 30 "$build/bench-build.log" >&2; exit 1; }
fi

work=$(mktemp -d /tmp/voltrane-bench.XXXXXX)
pgdir=$(mktemp -d /tmp/voltrane-bench-pg.XXXXXX)
cleanup() {
  if [ -n "$keep_logs" ]; then
    mkdir -p "$keep_logs"
    cp "$work"/*.json "$work"/*.log "$pgdir"/server.log "$keep_logs"/ 2>/dev/null || true
  fi
  scripts/pg-cluster.sh stop "$pgdir" >/dev/null 2>&1 || true
  rm -rf "$work" "$pgdir"
}
trap cleanup EXIT

echo "==> starting a throwaway PostgreSQL cluster" >&2
eval "$(scripts/pg-cluster.sh start "$pgdir")"
export VOLTRANE_REQUIRE_PG=1
# No extended error log and none of this machine's settings.
export VOLTRANE_MACHINE_STORE="$work/machine.toml"
export VOLTRANE_USER_STORE="$work/user.toml"
export PGHOST=${VOLTRANE_TEST_PG%:*} PGPORT=${VOLTRANE_TEST_PG##*:}
export PGUSER=$VOLTRANE_TEST_PG_USER PGPASSWORD=$VOLTRANE_TEST_PG_PASSWORD

if [ "$table" = 1 ]; then
  echo "==> PostgreSQL's own rate: pgbench, one insert per transaction" >&2
  psql -q -d postgres -c "CREATE DATABASE bench_raw" >/dev/null
  psql -q -d bench_raw -v ON_ERROR_STOP=1 -f schema/postgresql.sql >/dev/null
  cat >"$work/insert.sql" <<'SQL'
INSERT INTO T_SFC_EVENT (START_TIME, COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID) VALUES ('2026-01-05 06:00:00', 9, 1, 1, 1, 1);
SQL
  pgbench -n -c 1 -T 10 -f "$work/insert.sql" bench_raw >"$work/pgbench.log" 2>&1
  pg_raw=$(sed -n 's/^tps = \([0-9.]*\) .*/\1/p' "$work/pgbench.log" | head -n 1)
  [ -n "$pg_raw" ] || { cat "$work/pgbench.log" >&2; exit 1; }
  psql -q -d postgres -c "DROP DATABASE bench_raw" >/dev/null
fi

results=()
if [ "$table" = 1 ] && [ "$others" = 1 ]; then
  echo "==> machine state benchmark (preloaded tables: $preload_rows rows, long drain: $long_rows rows)" >&2
  "$build/bench/machine_state_benchmark" --machine_state="$machine_state" --preload_rows="$preload_rows" --long_rows=0 \
    --benchmark_min_time="$min_time" --benchmark_out="$work/state.json" \
    --benchmark_out_format=json >"$work/state.log" 2>&1 || { cat "$work/state.log" >&2; exit 1; }
  # The long drains each in a process of its own, so that the resident set is
  # the processor's alone (no other benchmark's memory kept by the allocator).
  results+=("$work/state.json")
  if [ "$long_rows" -gt 0 ]; then
    for kind in SQLite PostgreSQL; do
      # The SQLite drain without the PostgreSQL databases (and driver) beside it.
      only=()
      if [ "$kind" = SQLite ]; then only=(-u VOLTRANE_TEST_PG -u VOLTRANE_REQUIRE_PG); fi
      env "${only[@]}" "$build/bench/machine_state_benchmark" --machine_state="$machine_state" --preload_rows=0 --long_rows="$long_rows" \
        --benchmark_filter="^MachineStateMix/$kind/long/" --benchmark_out="$work/long-$kind.json" \
        --benchmark_out_format=json >"$work/long-$kind.log" 2>&1 \
        || { cat "$work/long-$kind.log" >&2; exit 1; }
      results+=("$work/long-$kind.json")
    done
  fi
  echo "==> intake benchmark" >&2
  "$build/bench/intake_benchmark" --benchmark_filter='AppendItemToMDCLog|PlainInsert' \
    --benchmark_min_time="$min_time" --benchmark_out="$work/intake.json" \
    --benchmark_out_format=json >"$work/intake.log" 2>&1 || { cat "$work/intake.log" >&2; exit 1; }
  results+=("$work/intake.json")
fi

if [ "$table" = 1 ] && [ "$group" = 1 ]; then
  echo "==> collector group: 1, 2 and 3 members, and one of three killed every 30 s" >&2
  read -r -a extra <<<"$group_options"
  scripts/group-bench.sh --build-dir "$build" --json "$work/group.json" ${extra[@]+"${extra[@]}"} \
    >"$work/group.log" || { cat "$work/group.log" >&2; exit 1; }
  results+=("$work/group.json")
fi

if [ "$table" = 1 ]; then
  "$build/bench/bench_table" --pg-raw "$pg_raw" "${results[@]}"
fi

if [ "$reports" = 1 ]; then
  echo "==> report benchmark on 10^6 machine data records ($report_filter)" >&2
  "$build/bench/report_benchmark" --benchmark_filter="$report_filter" \
    --benchmark_min_time="$min_time" --benchmark_out="$work/reports.json" \
    --benchmark_out_format=json 2>&1 | tee "$work/reports.log"
fi

# Prints, per row, the statements the PostgreSQL server logged from line
# $1 of its log on, between the benchmark's 'profile start' and 'profile end'
# markers; $2 rows per window, $3 names the windows (one line each, in order).
server_profile() {
  tail -n +"$1" "$pgdir/server.log" | awk -v rows="$2" -v names="$3" '
    BEGIN { n = split(names, name, "\n") }
    /profile start/ { on = 1; window++; delete count; total = 0; next }
    /profile end/ && on {
      on = 0
      printf "\nStatements the PostgreSQL server received per row, %s, %d rows\n", name[window], rows
      printf "(one line of its statement log each; a line is one round trip):\n"
      printf "%8.2f  all\n", total / rows
      cmd = "sort -rn"
      for (k in count) printf "%8.2f  %s\n", count[k] / rows, k | cmd
      close(cmd)
      next
    }
    on && /LOG:  (statement|execute [^:]*):/ {
      text = $0; sub(/.*LOG:  (statement|execute [^:]*): /, "", text)
      # The savepoint (and BEGIN) of the driver, and the waiting savepoints
      # of the library, travel before the statement, in one round trip.
      while (sub(/^(BEGIN|RELEASE [^;]*|SAVEPOINT [^;]*);/, "", text)) {}
      split(text, word, /[ ;(]+/); verb = toupper(word[1])
      kind = verb
      if (verb == "SAVEPOINT") kind = "SAVEPOINT alone"
      else if (match(text, /^[Ss][Ee][Ll][Ee][Cc][Tt] +[A-Za-z_]+\(/)) {
        # A server function call.
        split(text, fw, /[ (]+/); kind = "SELECT " fw[2] "()"
      }
      else if (text ~ /pg_catalog|pg_class|pg_attribute|pg_index|pg_namespace/) kind = "catalog query"
      else if (verb == "SET") kind = "SET (driver)"
      else if (verb == "SELECT" || verb == "INSERT" || verb == "UPDATE" || verb == "DELETE") {
        t = text
        if (verb == "UPDATE") sub(/^[^ ]+ +/, "", t)
        else if (match(t, / [Ff][Rr][Oo][Mm] +| [Ii][Nn][Tt][Oo] +/)) t = substr(t, RSTART + RLENGTH)
        split(t, tw, /[ ,(]+/); kind = verb " " toupper(tw[1])
      }
      count[kind]++; total++
    }'
}

if [ "$profile_rows" -gt 0 ]; then
  echo
  psql -q -d postgres -c "ALTER SYSTEM SET log_statement = 'all'" -c "SELECT pg_reload_conf()" >/dev/null
  sleep 1
  from=$(( $(wc -l <"$pgdir/server.log") + 1 ))
  "$build/bench/machine_state_benchmark" --machine_state="$machine_state" --profile_rows="$profile_rows"
  server_profile "$from" "$profile_rows" "the mix"
  echo
  from=$(( $(wc -l <"$pgdir/server.log") + 1 ))
  "$build/bench/intake_benchmark" --profile_rows="$profile_rows"
  # The intake profile's windows: SQLite's appends leave no server lines.
  server_profile "$from" "$profile_rows" "$(printf '%s\n' AppendItemToMDCLog2 AppendItemToMDCLog AppendItemToMDCLogDNC)"
  psql -q -d postgres -c "ALTER SYSTEM RESET log_statement" -c "SELECT pg_reload_conf()" >/dev/null
fi
