#!/usr/bin/env bash
# crash-check.sh ROWS KILLS [sqlite|postgresql] [process|collector|outage|group]
#                [plain|serial]:
# does processing survive SIGKILL? Builds a deterministic mix of ROWS log rows
# on 20 machines (the demo plant plus 15 copies of its first machine,
# `korvex7 simulate` with a fixed seed, the time stamps then spread evenly
# over 2026-01-05 13:00 to 23:00 so that the mix crosses the day shift's end),
# and drains copies of it with `korvex7 process`:
#   clean   - once without interruption;
#   control - once more without interruption (shows the comparison's own
#             noise; left out with CRASH_CHECK_CONTROL=0);
#   killed  - with SIGKILL at KILLS random moments, then to the end.
# The way the killed copy is drained:
#   process   - `korvex7 process` is killed (the default);
#   collector - the collector service (voltrane-collector) is killed;
#   outage    - postgresql only, in a cluster of the script's own: the
#               collector is killed KILLS times, then the server is stopped
#               for 30 seconds in the middle of the drain and the collector
#               killed during the outage and started again;
#   group     - postgresql only: the copy is turned into a collector group
#               (`korvex7 group create`, lease CRASH_CHECK_LEASE seconds,
#               default 2, partitioned by CRASH_CHECK_PARTITION, default
#               machine for the plain mix and group for the serial one) and
#               drained by members m1 and m2 (`korvex7 process --member`):
#               KILLS times a random member is killed and started again (a
#               new incarnation), after the first kill one is paused with
#               SIGSTOP past its lease (2 x lease + 1 s) and continued, half
#               way m3 joins; then every member must end by itself, without
#               an error, once the log is empty. With the maximum downtime
#               lengths on, the clean and control drains are those of a
#               group of one member (each partition keeps its own schedule
#               of the check that ends overlong downtimes), with them
#               stripped those of one collector.
# The mix (scripts/mix-database.sh): plain (the default), or serial: the 20
# machines in five groups, every cycle's piece with a serial number that the
# second machine of a pair inside one group takes over from the first.
# The machine downtime codes of the mix end downtimes that run past their
# maximum length: for 4000 rows tool change 10 minutes, planned maintenance
# 12, waiting for material 15 (shorter than the demo plant's, so that the
# mix's downtimes run past them), scaled to the rows' spacing for other
# sizes, at least a minute. The script says how many downtimes the clean
# drain ended as overlong; with CRASH_CHECK_REQUIRE_OVERLONG=1 (the suite's
# crash tests) none is a failure, the mix proving nothing about that check.
# CRASH_CHECK_TIMEOUTS=0 strips the maximum lengths instead. Every column of
# the machine data records, events, downtime and scrap rows,
# machine status, jobs and history rows is compared (each table's own
# generated key left out, the rows sorted by every other column). Rows that
# carry today's date are left out of the comparison: the checks that run when
# the log is found empty end overlong downtimes at the time of the drain
# itself, which differs between any two drains. Exit code 0 when the killed
# drain matches the clean one, 1 when it does not.
#
# postgresql uses the cluster named by VOLTRANE_TEST_PG, VOLTRANE_TEST_PG_USER
# and VOLTRANE_TEST_PG_PASSWORD (scripts/pg-cluster.sh start prints them).
# There a rolled-back insert still uses up a sequence value, so the columns
# that hold generated keys of rows the drain creates (names ending in _ID,
# but for the plant's own fixed keys) are left out; the row counts and every
# other column tell. CRASH_CHECK_BUILD names the build folder (default
# build; its tools/korvex7, service/voltrane-collector and
# library/libkorvex7.so are used, korvex7 built when missing) and
# CRASH_CHECK_WORK the folder for the files (default BUILD/crash-check).
# CRASH_CHECK_KEEP=1 keeps the PostgreSQL databases (and the cluster) for a
# closer look, say a pg_dump of each. CRASH_CHECK_CONTROL_BUILD drains the control copy with another build's
# korvex7 (say, that of the main branch), so that "control against clean"
# shows whether a change of the processing leaves every table as it was
# (with KILLS 0 the rest is a second clean drain).
set -euo pipefail
cd "$(dirname "$0")/.."

usage="usage: crash-check.sh ROWS KILLS [sqlite|postgresql] [process|collector|outage|group] [plain|serial]"
case "${1:-}" in
  -h | --help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
esac
rows=${1:?$usage}
kills=${2:?$usage}
kind=${3:-sqlite}
mode=${4:-process}
mix=${5:-plain}
seed=20260105
today=$(date +%Y-%m-%d)
build=${CRASH_CHECK_BUILD:-build}
tool=$build/tools/korvex7
collector=$build/service/voltrane-collector
library=$build/library/libkorvex7.so
work=${CRASH_CHECK_WORK:-$build/crash-check}
tables="T_SFC_MACHINE_DATA T_SFC_EVENT T_SFC_DT_PER_MACHINE_DATA T_SFC_SCRAP_PER_MACHINE_DATA
T_SFC_MACHINE T_SFC_JOB T_SFC_PART_PER_JOB T_SFC_HISTORY T_SFC_MDC_LOG_HIST"
# shellcheck source=scripts/mix-database.sh
. scripts/mix-database.sh

case "$mode" in
  process | collector) ;;
  outage | group) [ "$kind" = postgresql ] || { echo "$mode needs postgresql" >&2; exit 2; } ;;
  *) echo "$usage" >&2; exit 2 ;;
esac
case "$mix" in
  plain | serial) ;;
  *) echo "$usage" >&2; exit 2 ;;
esac
[ -x "$tool" ] || nice cmake --build "$build" -j2 --target korvex7_tool
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
export VOLTRANE_MACHINE_STORE="$work/machine.toml" VOLTRANE_USER_STORE="$work/user.toml"
collector_pid=""
cleanup() {
  if [ -n "$collector_pid" ]; then kill -KILL "$collector_pid" 2>/dev/null || true; fi
  kill_members
  if declare -F drop_databases >/dev/null; then drop_databases; fi
  if [ -n "${cluster:-}" ] && [ "${CRASH_CHECK_KEEP:-0}" != 1 ]; then
    scripts/pg-cluster.sh stop "$cluster" >/dev/null 2>&1 || true
  fi
}
trap cleanup EXIT
RANDOM=$seed

if [ "$mode" = outage ]; then
  # A server of our own, to be stopped and started again; a port range
  # of its own, which must stay free while the server is stopped.
  cluster=$(mktemp -d /tmp/crash-check-pg.XXXXXX)
  exports=$(PG_FIRST_PORT=$((56732 + $$ % 200)) scripts/pg-cluster.sh start "$cluster") ||
    no_server "no private PostgreSQL cluster"
  eval "$exports"
fi
mix_setup "$kind" "crash_check_$$"

echo "==> building the mix: $rows rows on 20 machines ($kind, $mix)"
build_mix "$rows" "$mix"
for copy in clean control killed; do copy_database base "$copy"; done

# Group mode: members of one collector group on the killed copy, each a
# `korvex7 process --member NAME` of its own with its output in NAME.out.
# A member started again under its name is a new incarnation.
lease=${CRASH_CHECK_LEASE:-2}
# The plain mix by machine (20 partitions); the serial mix by its five
# groups, inside which the pieces move.
default_partition=machine
if [ "$mix" = serial ]; then default_partition=group; fi
partition=${CRASH_CHECK_PARTITION:-$default_partition}
# With the maximum lengths on, a group ends overlong downtimes at other rows'
# times than one collector: each partition keeps a schedule of its own for
# that check. The group's drain is then held against clean drains by a group
# of one member; with them stripped, against one collector's.
group_reference=0
if [ "$mode" = group ] && [ "${CRASH_CHECK_TIMEOUTS:-1}" != 0 ]; then group_reference=1; fi

drain() {
  local database=$1
  local started
  started=$(now_ms)
  if [ "$group_reference" = 1 ]; then
    korvex7 "$database" group create crash --partition "$partition" --lease-seconds "$lease" \
      >/dev/null 2>&1 || true
    korvex7 "$database" process --member solo >"$work/$database.out" 2>&1 || true
  else
    korvex7 "$database" process >"$work/$database.out" 2>&1 || true
  fi
  drain_ms=$(($(now_ms) - started))
  echo "    $database: $(tail -1 "$work/$database.out") ($drain_ms ms)"
}

if [ "$group_reference" = 1 ]; then
  echo "==> draining clean (a group of one member: the maximum downtime lengths are on)"
else
  echo "==> draining clean"
fi
drain clean
clean_ms=$drain_ms
if [ "${CRASH_CHECK_CONTROL:-1}" != 0 ]; then
  korvex7_tool=${CRASH_CHECK_CONTROL_BUILD:+$CRASH_CHECK_CONTROL_BUILD/tools/korvex7} drain control
fi
# Downtimes of a code with a maximum length that stopped at a time when no end
# row of theirs was written: the check for overlong downtimes ended them (at a
# row's time; those ended when the log ran empty carry today's date).
timed_out=$(sql clean "select count(*) from T_SFC_EVENT ev, T_SFC_COMMAND c, T_SFC_DOWNTIME_CODE dc
  where c.COMMAND_ID = ev.COMMAND_ID and c.COMMAND_TYPE_CODE = 11
  and dc.DOWNTIME_CODE_NUMBER = ev.PARAM1 and dc.CYCLE_STATUS_LOCK >= 4
  and ev.STOP_TIME < '2026-01-06' and not exists (select 1 from CRASH_CHECK_LOG l
    where l.MACHINE_ID = ev.MACHINE_ID and l.COMMAND_ID = ev.COMMAND_ID
    and l.COMMAND_TIME_CODE = 1 and l.TIME_STAMP = ev.STOP_TIME)")
echo "    clean: $timed_out downtimes ended as overlong"
if [ "$timed_out" = 0 ] && [ "${CRASH_CHECK_REQUIRE_OVERLONG:-0}" = 1 ]; then
  echo "==> no downtime ran past its maximum: the mix does not test that check" >&2
  exit 1
fi
# A run on a drained copy: the time a run needs before its first row.
copy_database clean idle
drain idle >/dev/null
startup_ms=$drain_ms

# A random moment of the drain: the kills spread over about the clean
# drain's time, after the start-up time of the program killed.
span_ms=$((kills > 0 && clean_ms / kills > 100 ? clean_ms / kills : 100))
random_pause() {
  local ms=$(($1 + (RANDOM * 32768 + RANDOM) % span_ms))
  sleep "$(printf '%d.%03d' $((ms / 1000)) $((ms % 1000)))"
}
kills_made=0
# Kills the program if it still runs, and counts the kills that came while
# rows were left in the log.
kill_now() {
  if [ "$(log_rows killed 2>/dev/null || echo 0)" != 0 ]; then kills_made=$((kills_made + 1)); fi
  kill -KILL "$1" 2>/dev/null || true
}

# The collector as a console program on the killed copy, with a settings
# store of its own: the database, a short idle timeout, the library built
# beside it.
write_collector_store() {
  local clsid="{A09D7A08-B28E-40B1-8E1B-01D5F54B6DBA}"
  cat >"$work/collector.toml" <<TOML
[Software.Voltrane.MDCService]
DatabaseType = "$dbtype"
${dbtype}ConnectionString = "$(connection killed)"
Timeout = 100
EnableIcon = 0

[Software.Voltrane.Paths]
"" = "$work"

[Software.Classes."Korvex7.CKorvex7Obj".CLSID]
"" = "$clsid"

[Software.Classes.CLSID."$clsid".InprocServer32]
"" = "$(cd "$(dirname "$library")" && pwd)/$(basename "$library")"
TOML
}
start_collector() {
  VOLTRANE_MACHINE_STORE="$work/collector.toml" VOLTRANE_USER_STORE="$work/collector-user.toml" \
    VOLTRANE_LOCK_DIR="$work" "$collector" >>"$work/collector.out" 2>&1 &
  collector_pid=$!
}
kill_collector() {
  kill "-$1" "$collector_pid" 2>/dev/null || true
  wait "$collector_pid" 2>/dev/null || true
  collector_pid=""
}
# Lets the collector (started when none runs) work until the log is empty or
# has not shrunk for 20 seconds (rows that keep failing), then stops it the
# graceful way.
finish_with_collector() {
  local left last=-1 still=0
  [ -n "$collector_pid" ] || start_collector
  while :; do
    left=$(log_rows killed 2>/dev/null || echo -1)
    [ "$left" != 0 ] || break
    if [ "$left" = "$last" ]; then still=$((still + 1)); else still=0; fi
    [ "$still" -lt 40 ] || break
    last=$left
    sleep 0.5
  done
  sleep 1
  kill_collector TERM
}

member_status="$work/member-status"
# Waits for a member that was killed or ended, noting how it ended.
reap_member() {
  local status=0
  wait "${member_pid[$1]}" 2>/dev/null || status=$?
  echo "$1 $2 $status" >>"$member_status"
  unset "member_pid[$1]"
}
live_members() {
  local name
  for name in "${!member_pid[@]}"; do
    if kill -0 "${member_pid[$name]}" 2>/dev/null; then echo "$name"; fi
  done | sort
}
random_member() {
  local members
  mapfile -t members < <(live_members)
  [ "${#members[@]}" -gt 0 ] || return 1
  echo "${members[RANDOM % ${#members[@]}]}"
}
sleep_ms() { sleep "$(printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)))"; }
# The events of the group drain in their order: the kills, the member paused
# past its lease after the first of them, the third member's join half way.
group_events() {
  local events=()
  for _ in $(seq 1 "$kills"); do events+=(kill); done
  if [ "$kills" -ge 1 ]; then events=(kill stop "${events[@]:1}"); else events=(stop); fi
  local half=$(((${#events[@]} + 1) / 2))
  echo "${events[@]:0:$half}" join "${events[@]:$half}"
}
stops_made=0
joins_made=0
drain_with_group() {
  korvex7 killed group create crash --partition "$partition" --lease-seconds "$lease" \
    >>"$work/killed.out" 2>&1
  : >"$member_status"
  # The events spread over about the clean drain's time, beside the pause.
  span_ms=$((clean_ms / (2 * kills + 4) > 100 ? clean_ms / (2 * kills + 4) : 100))
  start_member m1 killed
  start_member m2 killed
  local event name
  for event in $(group_events); do
    [ "$(log_rows killed)" -gt 0 ] || break
    random_pause "$startup_ms"
    case "$event" in
      kill)
        name=$(random_member) || continue
        kill_now "${member_pid[$name]}"
        reap_member "$name" killed
        sleep_ms $((RANDOM % 500))
        start_member "$name" killed
        ;;
      stop)
        # Past its lease and the time the others need to take its partitions.
        name=$(random_member) || continue
        [ "$(log_rows killed)" = 0 ] || stops_made=$((stops_made + 1))
        kill -STOP "${member_pid[$name]}" 2>/dev/null || true
        sleep $((2 * lease + 1))
        kill -CONT "${member_pid[$name]}" 2>/dev/null || true
        ;;
      join)
        [ "$(log_rows killed)" = 0 ] || joins_made=$((joins_made + 1))
        start_member m3 killed
        ;;
    esac
  done
  for name in m1 m2 m3; do
    if [ -z "${member_pid[$name]:-}" ]; then start_member "$name" killed; fi
  done
  # Every member ends by itself once the log is empty; one that does not
  # within a minute of the log's last shrinking is stopped and counted.
  local left last=-1 still=0 empty_ms=""
  while [ -n "$(live_members)" ]; do
    left=$(log_rows killed 2>/dev/null || echo -1)
    if [ "$left" = 0 ] && [ -z "$empty_ms" ]; then empty_ms=$(now_ms); fi
    if [ "$left" = "$last" ]; then still=$((still + 1)); else still=0; fi
    last=$left
    if [ "$still" -ge 300 ]; then
      for name in $(live_members); do kill -KILL "${member_pid[$name]}" 2>/dev/null || true; done
      echo "    members still running a minute after the log last shrank: killed" >&2
      break
    fi
    sleep 0.2
  done
  for name in "${!member_pid[@]}"; do reap_member "$name" ended; done
  if [ -n "$empty_ms" ]; then
    echo "    members ended $(($(now_ms) - empty_ms)) ms after the log was empty (at most $((2 * lease)) s expected)"
  fi
  # Members that ended by themselves, without an error.
  members_failed=$(awk '$2 == "ended" && $3 != 0' "$member_status" | wc -l)
}

echo "==> draining with $kills kills ($mode)"
started=$SECONDS
case "$mode" in
  process)
    for _ in $(seq 1 "$kills"); do
      [ "$(log_rows killed)" -gt 0 ] || break
      # The program itself, not a shell around it, is what gets killed.
      "$tool" process --connection "$(connection killed)" --dbtype "$dbtype" \
        >>"$work/killed.out" 2>&1 &
      pid=$!
      random_pause "$startup_ms"
      kill_now "$pid"
      wait "$pid" 2>/dev/null || true
    done
    korvex7 killed process >>"$work/killed.out" 2>&1 || true
    ;;
  collector | outage)
    write_collector_store
    for _ in $(seq 1 "$kills"); do
      [ "$(log_rows killed)" -gt 0 ] || break
      start_collector
      random_pause "$startup_ms"
      kill_now "$collector_pid"
      kill_collector KILL
    done
    if [ "$mode" = outage ]; then
      start_collector
      sleep 2
      echo "    server stopped with $(log_rows killed) rows in the log"
      scripts/pg-cluster.sh halt "$cluster"
      sleep 15
      kill_collector KILL
      start_collector
      sleep 15
      scripts/pg-cluster.sh resume "$cluster"
    fi
    finish_with_collector
    # The checks that run when the log is found empty can start long work
    # (a downtime still open at the end of the mix ended at today's time
    # catches its machine's shifts up to today) that the stop above may cut
    # short; one run to an empty log finishes it, as the collector's next
    # idle call would. The clean drain's `korvex7 process` did all of it.
    korvex7 killed process >>"$work/killed.out" 2>&1 || true
    echo "Collector drain ended" >>"$work/killed.out"
    ;;
  group)
    drain_with_group
    echo "Group drain ended: $kills_made kills, $stops_made stops, $joins_made joins with rows left; $members_failed members ended with an error" >>"$work/killed.out"
    ;;
esac
echo "    killed: $(tail -1 "$work/killed.out") ($((SECONDS - started)) s, $kills_made kills with rows left, rows left $(log_rows killed))"

compare() {
  local against=$1
  local differing=0
  for table in $tables; do
    local columns
    columns=$(columns_of clean "$table")
    if [ -z "$columns" ]; then continue; fi
    sql clean "select $columns from $table order by $columns" >"$work/clean.$table.txt" 2>/dev/null || continue
    sql "$against" "select $columns from $table order by $columns" >"$work/$against.$table.txt"
    local clean_rows other_rows changed
    clean_rows=$(wc -l <"$work/clean.$table.txt")
    other_rows=$(wc -l <"$work/$against.$table.txt")
    changed=$(diff <(grep -v "$today" "$work/clean.$table.txt") \
      <(grep -v "$today" "$work/$against.$table.txt") | grep -c '^[<>]' || true)
    printf '    %-30s rows %7d vs %7d, lines differing %d\n' "$table" "$clean_rows" "$other_rows" "$changed"
    [ "$changed" -eq 0 ] || differing=1
  done
  return $differing
}

if [ "${CRASH_CHECK_CONTROL:-1}" != 0 ]; then
  echo "==> control against clean"
  compare control || echo "    (the comparison itself is noisy: read the killed result with care)"
fi
echo "==> killed against clean"
if compare killed && [ "${members_failed:-0}" = 0 ]; then
  echo "==> the killed drain matches the clean one"
else
  echo "==> the killed drain DIFFERS from the clean one"
  exit 1
fi
