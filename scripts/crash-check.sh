#!/usr/bin/env bash
# crash-check.sh ROWS KILLS [sqlite|postgresql] [process|collector|outage]:
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
#               killed during the outage and started again.
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

usage="usage: crash-check.sh ROWS KILLS [sqlite|postgresql] [process|collector|outage]"
rows=${1:?$usage}
kills=${2:?$usage}
kind=${3:-sqlite}
mode=${4:-process}
seed=20260105
today=$(date +%Y-%m-%d)
build=${CRASH_CHECK_BUILD:-build}
tool=$build/tools/korvex7
collector=$build/service/voltrane-collector
library=$build/library/libkorvex7.so
work=${CRASH_CHECK_WORK:-$build/crash-check}
tables="T_SFC_MACHINE_DATA T_SFC_EVENT T_SFC_DT_PER_MACHINE_DATA T_SFC_SCRAP_PER_MACHINE_DATA
T_SFC_MACHINE T_SFC_JOB T_SFC_PART_PER_JOB T_SFC_HISTORY T_SFC_MDC_LOG_HIST"
# Keys of the plant itself, the same in every copy.
fixed_keys="MACHINE_ID COMMAND_ID DEPT_ID LOCATION_ID GROUP_ID SHIFT_ID USER_ID DOWNTIME_CODE_ID
SCRAP_CODE_ID MDC_LOG_ID"

case "$mode" in
  process | collector) ;;
  outage) [ "$kind" = postgresql ] || { echo "outage needs postgresql" >&2; exit 2; } ;;
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
  if declare -F drop_databases >/dev/null; then drop_databases; fi
}
trap cleanup EXIT
RANDOM=$seed

case "$kind" in
  sqlite)
    dbtype=SQLite
    connection() { echo "Provider=SQLite;Data Source=$work/$1.db;"; }
    sql() { sqlite3 -batch -noheader "$work/$1.db" "$2"; }
    copy_database() { sqlite3 "$work/$1.db" ".backup '$work/$2.db'"; }
    spread_times="update T_SFC_MDC_LOG set TIME_STAMP = strftime('%Y-%m-%d %H:%M:%f',
      '2026-01-05 13:00:00', '+' || ((MDC_LOG_ID - (select min(MDC_LOG_ID) from T_SFC_MDC_LOG))
      * 36000.0 / $rows) || ' seconds')"
    columns_of() {
      sql "$1" "select name from pragma_table_info('$2') where pk = 0 order by cid" | paste -sd, -
    }
    ;;
  postgresql)
    dbtype=PostgreSQL
    # Without a server the check is skipped (77), unless the tests require one.
    no_server() {
      echo "crash-check: $1" >&2
      [ "${VOLTRANE_REQUIRE_PG:-0}" = 1 ] && exit 1
      exit 77
    }
    if [ "$mode" = outage ]; then
      # A server of our own, to be stopped and started again; a port range
      # of its own, which must stay free while the server is stopped.
      cluster=$(mktemp -d /tmp/crash-check-pg.XXXXXX)
      exports=$(PG_FIRST_PORT=$((56732 + $$ % 200)) scripts/pg-cluster.sh start "$cluster") ||
        no_server "no private PostgreSQL cluster"
      eval "$exports"
    fi
    [ -n "${VOLTRANE_TEST_PG:-}" ] ||
      no_server "run scripts/pg-cluster.sh start DIR and eval its output"
    pg_host=${VOLTRANE_TEST_PG%:*}
    pg_port=${VOLTRANE_TEST_PG##*:}
    export PGPASSWORD=$VOLTRANE_TEST_PG_PASSWORD
    prefix="crash_check_$$"
    connection() {
      echo "Provider=PostgreSQL;Data Source=$VOLTRANE_TEST_PG;Initial Catalog=${prefix}_$1;User ID=$VOLTRANE_TEST_PG_USER;Password=$VOLTRANE_TEST_PG_PASSWORD;"
    }
    psql_in() { psql -X -q -At -h "$pg_host" -p "$pg_port" -U "$VOLTRANE_TEST_PG_USER" -d "$1" -c "$2"; }
    sql() { psql_in "${prefix}_$1" "$2"; }
    copy_database() { psql_in postgres "create database ${prefix}_$2 template ${prefix}_$1"; }
    psql_in postgres "create database ${prefix}_base"
    drop_databases() {
      [ "${CRASH_CHECK_KEEP:-0}" = 1 ] && { echo "    kept: databases ${prefix}_*"; return; }
      for d in base clean control killed idle; do
        psql_in postgres "drop database if exists ${prefix}_$d" >/dev/null 2>&1 || true
      done
      if [ -n "${cluster:-}" ]; then scripts/pg-cluster.sh stop "$cluster" >/dev/null 2>&1 || true; fi
    }
    spread_times="update T_SFC_MDC_LOG set TIME_STAMP = timestamp '2026-01-05 13:00:00' +
      (MDC_LOG_ID - (select min(MDC_LOG_ID) from T_SFC_MDC_LOG)) * (36000000.0 / $rows)
      * interval '1 millisecond'"
    columns_of() {
      local fixed
      fixed=$(printf "'%s'," $fixed_keys)
      sql "$1" "select column_name from information_schema.columns where table_name = lower('$2')
        and coalesce(column_default, '') not like 'nextval%' and is_identity = 'NO'
        and (upper(column_name) not like '%\_ID' or upper(column_name) in (${fixed%,}))
        order by ordinal_position" | paste -sd, -
    }
    ;;
  *)
    echo "unknown database kind '$kind' (sqlite or postgresql)" >&2
    exit 2
    ;;
esac

korvex7() {
  local database=$1
  shift
  "${korvex7_tool:-$tool}" "$@" --connection "$(connection "$database")" --dbtype "$dbtype"
}

log_rows() { sql "$1" "select count(*) from T_SFC_MDC_LOG"; }

echo "==> building the mix: $rows rows on 20 machines ($kind)"
korvex7 base schema init --demo >/dev/null
machines=(101 102 201 202 301)
for n in $(seq 1 15); do
  number=$((400 + n))
  sql base "insert into T_SFC_MACHINE (MACHINE_NUMBER, MACHINE_NAME, GROUP_ID, STATUS_CODE,
    VOLTRANE_ID) select '$number', 'Copy $n of Lathe 1', GROUP_ID, 0, $((1400 + n))
    from T_SFC_MACHINE where MACHINE_NUMBER = '101'" >/dev/null
  sql base "insert into T_SFC_MACHINE_SHIFT (MACHINE_ID, SHIFT_ID) select m.MACHINE_ID, s.SHIFT_ID
    from T_SFC_MACHINE m, T_SFC_MACHINE_SHIFT s, T_SFC_MACHINE f
    where m.MACHINE_NUMBER = '$number' and f.MACHINE_NUMBER = '101' and s.MACHINE_ID = f.MACHINE_ID" >/dev/null
  sql base "insert into T_SFC_MACHINE_PPH (MACHINE_ID, PART_ID, CYCLE_TIME) select m.MACHINE_ID,
    p.PART_ID, p.CYCLE_TIME from T_SFC_MACHINE m, T_SFC_MACHINE_PPH p, T_SFC_MACHINE f
    where m.MACHINE_NUMBER = '$number' and f.MACHINE_NUMBER = '101' and p.MACHINE_ID = f.MACHINE_ID" >/dev/null
  machines+=("$number")
done
machine_options=()
for m in "${machines[@]}"; do machine_options+=(--machine "$m"); done
korvex7 base simulate --seed "$seed" --count "$rows" --speed 100000 --quiet "${machine_options[@]}" \
  >"$work/simulate.out"
sql base "$spread_times" >/dev/null
# A maximum length in minutes is CYCLE_STATUS_LOCK / 4; the two low bits are the lock kind.
if [ "${CRASH_CHECK_TIMEOUTS:-1}" = 0 ]; then
  sql base "update T_SFC_DOWNTIME_CODE set CYCLE_STATUS_LOCK = CYCLE_STATUS_LOCK % 4" >/dev/null
else
  # The spread puts the rows closer together the more there are, and the
  # downtimes' lengths with them.
  scaled_minutes() {
    local minutes=$((($1 * 4000 + rows / 2) / rows))
    echo $((minutes < 1 ? 1 : minutes))
  }
  sql base "update T_SFC_DOWNTIME_CODE set CYCLE_STATUS_LOCK = CYCLE_STATUS_LOCK % 4 + 4 *
    case DOWNTIME_CODE_NUMBER when '110' then $(scaled_minutes 10)
    when '120' then $(scaled_minutes 12) when '100' then $(scaled_minutes 15) else 0 end" >/dev/null
fi
# The rows as written, to tell afterwards which downtimes no end row ended.
sql base "create table CRASH_CHECK_LOG as select MACHINE_ID, COMMAND_ID, COMMAND_TIME_CODE,
  TIME_STAMP from T_SFC_MDC_LOG" >/dev/null
for copy in clean control killed; do copy_database base "$copy"; done

now_ms() { echo $(($(date +%s%N) / 1000000)); }
drain() {
  local database=$1
  local started
  started=$(now_ms)
  korvex7 "$database" process >"$work/$database.out" 2>&1 || true
  drain_ms=$(($(now_ms) - started))
  echo "    $database: $(tail -1 "$work/$database.out") ($drain_ms ms)"
}

echo "==> draining clean"
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

echo "==> draining with $kills kills ($mode)"
started=$SECONDS
case "$mode" in
  process)
    for kill in $(seq 1 "$kills"); do
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
    for kill in $(seq 1 "$kills"); do
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
if compare killed; then
  echo "==> the killed drain matches the clean one"
else
  echo "==> the killed drain DIFFERS from the clean one"
  exit 1
fi
