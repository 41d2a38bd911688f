#!/usr/bin/env bash
# group-bench.sh: rows per second of a collector group on one PostgreSQL
# server, with 1, 2 and 3 members, and with 3 members while one of them is
# killed at a fixed interval. The crash check's mix (scripts/mix-database.sh,
# 20 machines) is built once and copied for every measure; each copy is
# turned into a group partitioned by machine and drained by its members
# (`korvex7 process --member m1..mN`) for a fixed time, the rows taken out of
# the log in that time counting (a copy whose log runs empty counts up to
# that moment). In the kill measure a member, in turn m1, m2, m3, is killed
# with SIGKILL every KILL_EVERY seconds and started again at once under its
# name; its rate is given per member (the drained rows / the time / 3).
#
#   scripts/group-bench.sh [--rows N] [--seconds S] [--kill-seconds S]
#                          [--kill-every S] [--lease-seconds S]
#                          [--build-dir DIR] [--json FILE]
#
# Defaults: a mix of 100000 rows, 60 s per member count, 120 s with kills every
# 30 s, a lease of 10 s (the group's default), build folder build (its
# tools/korvex7; scripts/run-bench.sh --group passes its Release build).
# --json writes the rates as Google Benchmark's JSON has them (GroupDrain/...
# names, items_per_second) for bench/bench_table. The server: the cluster of
# VOLTRANE_TEST_PG, VOLTRANE_TEST_PG_USER and VOLTRANE_TEST_PG_PASSWORD, or a
# throwaway one of the script's own when they are not set.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/mix-database.sh
. scripts/mix-database.sh

rows=100000
seconds=60
kill_seconds=120
kill_every=30
lease=10
build=build
json=""
usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; }
while [ $# -gt 0 ]; do
  case "$1" in
    --rows) positive_number "$1" "${2:-}"; rows=$2; shift 2 ;;
    --seconds) positive_number "$1" "${2:-}"; seconds=$2; shift 2 ;;
    --kill-seconds) positive_number "$1" "${2:-}"; kill_seconds=$2; shift 2 ;;
    --kill-every) positive_number "$1" "${2:-}"; kill_every=$2; shift 2 ;;
    --lease-seconds) positive_number "$1" "${2:-}"; lease=$2; shift 2 ;;
    --build-dir) build=${2:?--build-dir needs a folder}; shift 2 ;;
    --json) json=${2:?--json needs a file}; shift 2 ;;
    -h | --help) usage; exit 0 ;;
    *) echo "group-bench: unknown argument $1" >&2; usage >&2; exit 2 ;;
  esac
done

standalone_setup group-bench

echo "==> building the mix: $rows rows on 20 machines" >&2
build_mix "$rows"

# Drains copy $1 with members m1..m$2 for $3 seconds, killing one every $4
# seconds (0: none); sets drained_rows and drained_ms.
measure() {
  local database=$1 members=$2 length_ms=$(($3 * 1000)) every_ms=$(($4 * 1000))
  copy_database base "$database"
  korvex7 "$database" group create bench --partition machine --lease-seconds "$lease" >/dev/null
  local before left n next_kill victim=0 started
  before=$(log_rows "$database")
  started=$(now_ms)
  for n in $(seq 1 "$members"); do start_member "m$n" "$database"; done
  next_kill=$((started + every_ms))
  while :; do
    left=$(log_rows "$database")
    drained_ms=$(($(now_ms) - started))
    if [ "$left" = 0 ] || [ "$drained_ms" -ge "$length_ms" ]; then break; fi
    if [ "$every_ms" -gt 0 ] && [ "$(now_ms)" -ge "$next_kill" ]; then
      victim=$((victim % members + 1))
      kill -KILL "${member_pid[m$victim]}" 2>/dev/null || true
      wait "${member_pid[m$victim]}" 2>/dev/null || true
      start_member "m$victim" "$database"
      next_kill=$((next_kill + every_ms))
    fi
    sleep 0.2
  done
  drained_rows=$((before - left))
  kill_members
}

rate() { awk -v r="$1" -v ms="$2" -v d="${3:-1}" 'BEGIN { printf "%.1f", (ms > 0 ? r * 1000 / ms / d : 0) }'; }
results=()
declare -A rates=()
for members in 1 2 3; do
  echo "==> $members member(s), $seconds s" >&2
  measure "members$members" "$members" "$seconds" 0
  rates[$members]=$(rate "$drained_rows" "$drained_ms")
  echo "    $drained_rows rows in $drained_ms ms: ${rates[$members]} rows/s" >&2
  results+=("GroupDrain/PostgreSQL/members:$members ${rates[$members]}")
done
echo "==> 3 members, one killed every $kill_every s, $kill_seconds s" >&2
measure killed 3 "$kill_seconds" "$kill_every"
per_member=$(rate "$drained_rows" "$drained_ms" 3)
echo "    $drained_rows rows in $drained_ms ms: $per_member rows/s per member" >&2
results+=("GroupDrainKilled/PostgreSQL/members:3/every:$kill_every/per_member $per_member")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
printf '| Members | Rows per second | Ratio to one member |\n|---|---|---|\n'
for members in 1 2 3; do
  printf '| %d | %s | %s x |\n' "$members" "${rates[$members]}" "$(ratio "${rates[$members]}" "${rates[1]}")"
done
printf '| 3, one killed every %d s | %s per member | %s x (all three) |\n' "$kill_every" "$per_member" \
  "$(ratio "$(awk -v p="$per_member" 'BEGIN { print 3 * p }')" "${rates[1]}")"
met=$(awk -v a="${rates[3]}" -v b="${rates[1]}" 'BEGIN { print (b > 0 && a >= 1.3 * b) ? "met" : "NOT met" }')
echo "goal: 3 members at least 1.3 x one member: $met"

if [ -n "$json" ]; then
  {
    echo '{"benchmarks": ['
    for n in "${!results[@]}"; do
      read -r name value <<<"${results[n]}"
      [ "$n" = 0 ] || echo ','
      printf '{"name": "%s", "run_type": "iteration", "items_per_second": %s}' "$name" "$value"
    done
    echo ']}'
  } >"$json"
fi
