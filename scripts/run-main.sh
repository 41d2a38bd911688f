#!/usr/bin/env bash
# The main job on the embedded SQLite default: installs the packages, builds
# what it runs (the library, the korvex7 tool and the collector; not the
# tests), creates the demo plant database and the collector's settings for it when
# they are missing, starts the collector (voltrane-collector as a console
# program, without key watcher since standard input is not a terminal), lets
# the plant simulator write whole plant days with plant time stamps
# (`korvex7 simulate --day`), waits until the collector has worked through
# them, stops it, prints what was recorded per machine and ends with the OEE
# of the first plant day per machine and shift and the HTML report.
#
# The demo database, its settings store, the collector's lock and its report
# (collector.log) live in build/demo/ (override with VOLTRANE_DEMO_DIR), away
# from this computer's own settings. VOLTRANE_DEMO_DAY (YYYY-MM-DD; default
# the day after what the database already holds, or two days ago on a new
# one) and VOLTRANE_DEMO_DAYS (default 2, so that the first day's swing shift
# ends within the run) shape the run; VOLTRANE_DEMO_SEED repeats one. Run it
# again for another round: it goes on with the following days.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${VOLTRANE_SKIP_SETUP:-0}" != 1 ]; then
  scripts/setup-deps.sh
fi
echo "==> building the library, korvex7 and voltrane-collector"
VOLTRANE_BUILD_TARGETS="korvex7 korvex7_tool voltrane-collector" scripts/build.sh build

days=${VOLTRANE_DEMO_DAYS:-2}
demo=${VOLTRANE_DEMO_DIR:-$PWD/build/demo}
mkdir -p "$demo"
demo=$(cd "$demo" && pwd)
db="$demo/mdc.db"
export VOLTRANE_MACHINE_STORE="$demo/machine.toml"
export VOLTRANE_USER_STORE="$demo/user.toml"
export VOLTRANE_LOCK_DIR="$demo"

korvex7() {
  build/tools/korvex7 --connection "Provider=SQLite;Data Source=$db;" --dbtype SQLite "$@"
}
query() { sqlite3 -header -column "$db" "$1"; }

if [ ! -f "$db" ]; then
  echo "==> creating the demo plant in $db"
  korvex7 schema init --demo
fi

# The collector's settings: this database, a short idle timeout (it looks for
# new rows ten times a second), the diagnostic log (MDCService.log) in the
# demo folder, and the class registration of the library built here.
if ! grep -qs '^\[Software\.Voltrane\.MDCService\]' "$VOLTRANE_MACHINE_STORE"; then
  echo "==> writing the collector's settings to $VOLTRANE_MACHINE_STORE"
  clsid="{A09D7A08-B28E-40B1-8E1B-01D5F54B6DBA}"
  cat >"$VOLTRANE_MACHINE_STORE" <<TOML
[Software.Voltrane.MDCService]
DatabaseType = "SQLite"
SQLiteConnectionString = "Provider=SQLite;Data Source=$db;"
Timeout = 100
EnableIcon = 0

[Software.Voltrane.Paths]
"" = "$demo"

[Software.Classes."Korvex7.CKorvex7Obj".CLSID]
"" = "$clsid"

[Software.Classes.CLSID."$clsid".InprocServer32]
"" = "$PWD/build/library/libkorvex7.so"
TOML
  chmod 600 "$VOLTRANE_MACHINE_STORE"
fi

# Rows per machine waiting in the log, as SQL VALUES rows ('101', 3), ...
waiting_values() {
  sqlite3 "$db" "select '(''' || m.MACHINE_NUMBER || ''', ' ||
      (select count(*) from T_SFC_MDC_LOG l where l.MACHINE_ID = m.MACHINE_ID) || ')'
    from T_SFC_MACHINE m order by m.MACHINE_NUMBER;" | paste -sd, -
}
waiting_before=$(waiting_values)

# The first plant day: the day after the last record or waiting row (a
# machine refuses rows older than what it has recorded), or two days ago.
day=${VOLTRANE_DEMO_DAY:-$(sqlite3 "$db" "select date(max(t), '-0.001 seconds', '+1 day') from (
    select max(START_TIME) as t from T_SFC_MACHINE_DATA
    union all select max(TIME_STAMP) from T_SFC_MDC_LOG)")}
day=${day:-$(date -d '2 days ago' +%F)}

echo "==> starting the collector (report in $demo/collector.log)"
build/service/voltrane-collector </dev/null >"$demo/collector.log" 2>&1 &
collector=$!
trap 'kill -TERM "$collector" 2>/dev/null || true' EXIT
for _ in $(seq 300); do
  grep -q "Database connection successfully initialized." "$demo/collector.log" && break
  kill -0 "$collector" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q "Database connection successfully initialized." "$demo/collector.log"; then
  cat "$demo/collector.log" >&2
  echo "The collector did not connect to $db." >&2
  exit 1
fi

echo "==> simulating $days plant day(s) from $day, rows stamped with plant time"
korvex7 simulate --day "$day" --days "$days" --quiet ${VOLTRANE_DEMO_SEED:+--seed "$VOLTRANE_DEMO_SEED"} \
  | tee "$demo/simulate.out"

# The collector rests for its idle timeout after a row that fails, so a pass
# over rows it cannot process takes a while; it has done what it can once the
# log stops shrinking for a whole pass.
echo "==> letting the collector work through the log"
previous=-1
unchanged=0
for _ in $(seq 600); do
  rows=$(korvex7 count)
  if [ "$rows" -eq 0 ]; then break; fi
  if [ "$rows" -eq "$previous" ]; then unchanged=$((unchanged + 1)); else unchanged=0; fi
  if [ $((unchanged * 10)) -ge $((rows + 20)) ]; then break; fi
  if [ "$rows" -ne "$previous" ]; then echo "  $rows rows waiting"; fi
  previous=$rows
  sleep 1
done

echo "==> stopping the collector"
kill -TERM "$collector"
wait "$collector" || echo "the collector ended with status $?" >&2
trap - EXIT

appended_values=$(sed -n 's/^  machine \([^:]*\): \([0-9]*\) commands$/('"'"'\1'"'"', \2)/p' \
  "$demo/simulate.out" | paste -sd, -)
echo
echo "what was recorded per machine (processed = rows that left the log during this run):"
query "
  with appended(machine, n) as (values ${appended_values:-('', 0)}),
    before(machine, n) as (values ${waiting_before:-('', 0)}),
    now(machine, n) as (select m.MACHINE_NUMBER,
      (select count(*) from T_SFC_MDC_LOG l where l.MACHINE_ID = m.MACHINE_ID)
      from T_SFC_MACHINE m)
  select m.MACHINE_NUMBER as machine, m.MACHINE_NAME as name,
    coalesce(a.n, 0) as appended,
    coalesce(b.n, 0) + coalesce(a.n, 0) - w.n as processed,
    w.n as waiting,
    (select count(*) from T_SFC_EVENT e where e.MACHINE_ID = m.MACHINE_ID) as events,
    (select count(*) from T_SFC_EVENT e where e.MACHINE_ID = m.MACHINE_ID
       and e.STOP_TIME is null) as open_events,
    (select count(*) from T_SFC_MACHINE_DATA d where d.MACHINE_ID = m.MACHINE_ID) as records,
    coalesce(m.STATUS_CODE, 0) as status
  from T_SFC_MACHINE m join now w on w.machine = m.MACHINE_NUMBER
    left join appended a on a.machine = m.MACHINE_NUMBER
    left join before b on b.machine = m.MACHINE_NUMBER
  order by m.MACHINE_NUMBER;"
echo
echo "each machine now: status, who and what runs (current record), totals over all its records:"
query "
  select m.MACHINE_NUMBER as machine,
    case m.STATUS_CODE when 1 then 'setup' when 2 then 'cycle' when 3 then 'downtime'
      when 4 then 'teardown' else 'idle' end as status,
    substr(coalesce(m.STATUS_DATE, ''), 12, 8) as since,
    coalesce(u.USER_NAME, cur.USER_NAME, '') as operator,
    coalesce(j.JOB_NUMBER, cur.JOB_NUMBER, '') as job,
    coalesce(p.PART_NUMBER, cur.PART_NUMBER, '') as part,
    coalesce(o.OP_NUMBER, cur.OP_NUMBER, '') as op,
    printf('%.2f', (select sum(SETUP_TIME) from T_SFC_MACHINE_DATA d where d.MACHINE_ID = m.MACHINE_ID)) as setup_h,
    printf('%.1f', (select sum(CYCLE_TIME) from T_SFC_MACHINE_DATA d where d.MACHINE_ID = m.MACHINE_ID)) as cycle_min,
    printf('%.2f', (select sum(IDLE_TIME) from T_SFC_MACHINE_DATA d where d.MACHINE_ID = m.MACHINE_ID)) as idle_h,
    (select sum(FINISHED_CYCLES) from T_SFC_MACHINE_DATA d where d.MACHINE_ID = m.MACHINE_ID) as cycles,
    (select sum(UNFINISHED_CYCLES) from T_SFC_MACHINE_DATA d where d.MACHINE_ID = m.MACHINE_ID) as cut,
    (select sum(GOOD_COUNT) from T_SFC_MACHINE_DATA d where d.MACHINE_ID = m.MACHINE_ID) as good,
    (select sum(SCRAPPED_COUNT) from T_SFC_MACHINE_DATA d where d.MACHINE_ID = m.MACHINE_ID) as scrap,
    (select count(*) from T_SFC_DT_PER_MACHINE_DATA dt join T_SFC_MACHINE_DATA d
       on d.MACHINE_DATA_ID = dt.MACHINE_DATA_ID where d.MACHINE_ID = m.MACHINE_ID) as downtimes
  from T_SFC_MACHINE m
    left join T_SFC_MACHINE_DATA cur on cur.MACHINE_DATA_ID = m.MACHINE_DATA_ID
    left join T_SFC_USER u on u.USER_ID = cur.USER_ID
    left join T_SFC_JOB j on j.JOB_ID = cur.JOB_ID
    left join T_SFC_PART p on p.PART_ID = cur.PART_ID
    left join T_SFC_OP o on o.OP_ID = cur.OP_ID
  order by m.MACHINE_NUMBER;"
echo
echo "waiting in the log, by command (rows the collector could not process):"
query "
  select c.COMMAND_NAME as command,
    case l.COMMAND_TIME_CODE when 0 then 'start' when 1 then 'end' else 'both' end as time_code,
    count(*) as rows
  from T_SFC_MDC_LOG l left join T_SFC_COMMAND c on c.COMMAND_ID = l.COMMAND_ID
  group by c.COMMAND_NAME, l.COMMAND_TIME_CODE order by count(*) desc;"
echo
echo "the collector's reports, most frequent first:"
sed -n 's/^\[\([a-z]*\) 0x[0-9A-F]*\] //p' "$demo/collector.log" | sort | uniq -c | sort -rn | head -8
echo
echo "latest events:"
query "
  select m.MACHINE_NUMBER as machine, c.COMMAND_NAME as command, e.START_TIME as start,
    coalesce(e.STOP_TIME, '(open)') as stop, coalesce(e.PARAM1, '') as param
  from T_SFC_EVENT e join T_SFC_MACHINE m on m.MACHINE_ID = e.MACHINE_ID
    join T_SFC_COMMAND c on c.COMMAND_ID = e.COMMAND_ID
  order by e.EVENT_ID desc limit 12;"
echo
echo "OEE of $day per machine and shift (korvex7 report oee):"
korvex7 report oee --from "$day" --to "$day"
echo
echo "where the scheduled hours of $day went, per machine and shift (korvex7 report losses):"
korvex7 report losses --from "$day" --to "$day"
echo
echo "downtimes of $day, largest first (korvex7 report downtimes):"
korvex7 report downtimes --from "$day" --to "$day"
korvex7 report html --from "$day" --to "$day" --output "$demo/report.html" >/dev/null
echo
echo "HTML report (OEE, loss waterfall, downtime Pareto, machine timelines of $day): $demo/report.html"
