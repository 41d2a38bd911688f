#!/usr/bin/env bash
# crash-check.sh ROWS KILLS [sqlite|postgresql]: does processing survive
# SIGKILL? Builds a deterministic mix of ROWS log rows on 20 machines (the
# demo plant plus 15 copies of its first machine, `korvex7 simulate` with a
# fixed seed, the time stamps then spread evenly over 2026-01-05 13:00 to
# 23:00 so that the mix crosses the day shift's end), and drains copies of it
# three times with `korvex7 process`:
#   clean   - once without interruption;
#   control - once more without interruption (shows the comparison's own noise);
#   killed  - with SIGKILL at KILLS random moments, then to the end.
# Every column of the machine data records, events, downtime and scrap rows,
# machine status, jobs and history rows is compared (each table's own
# generated key left out, the rows sorted by every other column). Rows that
# carry today's date are left out of the comparison: the checks that run when
# the log is found empty end overlong downtimes at the time of the drain
# itself, which differs between any two drains. Exit code 0 when the killed
# drain matches the clean one, 1 when it does not.
#
# postgresql uses the cluster named by VOLTRANE_TEST_PG, VOLTRANE_TEST_PG_USER
# and VOLTRANE_TEST_PG_PASSWORD (scripts/pg-cluster.sh start prints them).
# There a rolled-back insert still uses up a sequence value, so columns that
# point at generated keys (MACHINE_DATA_ID in T_SFC_MACHINE, ...) may differ
# even when nothing was applied twice; the row counts and the other columns
# tell. Builds build/tools/korvex7 when it is missing. Leaves its files in
# build/crash-check/.
set -euo pipefail
cd "$(dirname "$0")/.."

rows=${1:?usage: crash-check.sh ROWS KILLS [sqlite|postgresql]}
kills=${2:?usage: crash-check.sh ROWS KILLS [sqlite|postgresql]}
kind=${3:-sqlite}
seed=20260105
today=$(date +%Y-%m-%d)
tool=build/tools/korvex7
work=build/crash-check
tables="T_SFC_MACHINE_DATA T_SFC_EVENT T_SFC_DT_PER_MACHINE_DATA T_SFC_SCRAP_PER_MACHINE_DATA
T_SFC_MACHINE T_SFC_JOB T_SFC_PART_PER_JOB T_SFC_HISTORY T_SFC_MDC_LOG_HIST"

[ -x "$tool" ] || nice cmake --build build -j2 --target korvex7_tool
rm -rf "$work"
mkdir -p "$work"
export VOLTRANE_MACHINE_STORE="$PWD/$work/machine.toml" VOLTRANE_USER_STORE="$PWD/$work/user.toml"
RANDOM=$seed

case "$kind" in
  sqlite)
    dbtype=SQLite
    connection() { echo "Provider=SQLite;Data Source=$PWD/$work/$1.db;"; }
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
    : "${VOLTRANE_TEST_PG:?run scripts/pg-cluster.sh start DIR and eval its output}"
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
    trap 'for d in base clean control killed; do psql_in postgres "drop database if exists ${prefix}_$d" >/dev/null 2>&1 || true; done' EXIT
    spread_times="update T_SFC_MDC_LOG set TIME_STAMP = timestamp '2026-01-05 13:00:00' +
      (MDC_LOG_ID - (select min(MDC_LOG_ID) from T_SFC_MDC_LOG)) * (36000000.0 / $rows)
      * interval '1 millisecond'"
    columns_of() {
      sql "$1" "select column_name from information_schema.columns where table_name = lower('$2')
        and coalesce(column_default, '') not like 'nextval%' and is_identity = 'NO'
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
  "$tool" "$@" --connection "$(connection "$database")" --dbtype "$dbtype"
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
for copy in clean control killed; do copy_database base "$copy"; done

drain() {
  local database=$1
  local started=$SECONDS
  korvex7 "$database" process >"$work/$database.out" 2>&1 || true
  echo "    $database: $(tail -1 "$work/$database.out") ($((SECONDS - started)) s)"
}

echo "==> draining clean and control"
drain clean
drain control

echo "==> draining with $kills kills"
started=$SECONDS
for kill in $(seq 1 "$kills"); do
  [ "$(log_rows killed)" -gt 0 ] || break
  korvex7 killed process >>"$work/killed.out" 2>&1 &
  pid=$!
  # A random moment between 0.1 and 2 seconds in.
  sleep "$(printf '%d.%03d' $((RANDOM % 2)) $((100 + RANDOM % 900)))"
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
done
korvex7 killed process >>"$work/killed.out" 2>&1 || true
echo "    killed: $(tail -1 "$work/killed.out") ($((SECONDS - started)) s, rows left $(log_rows killed))"

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

echo "==> control against clean"
compare control || echo "    (the comparison itself is noisy: read the killed result with care)"
echo "==> killed against clean"
if compare killed; then
  echo "==> the killed drain matches the clean one"
else
  echo "==> the killed drain DIFFERS from the clean one"
  exit 1
fi
