#!/usr/bin/env bash
# The main job on the embedded SQLite default: installs the packages, builds,
# creates the demo plant database when it is missing, appends a short scripted
# run of commands for the demo machines, drains the log with
# `korvex7 process` as the collector service would, and prints what happened.
#
# The demo database and its settings store live in build/demo/ (override with
# VOLTRANE_DEMO_DIR), away from this computer's own settings. Run it again to
# append and process another round.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${VOLTRANE_SKIP_SETUP:-0}" != 1 ]; then
  scripts/setup-deps.sh
fi
echo "==> building"
scripts/build.sh build

demo=${VOLTRANE_DEMO_DIR:-$PWD/build/demo}
mkdir -p "$demo"
demo=$(cd "$demo" && pwd)
db="$demo/mdc.db"
# A settings store of its own: the diagnostic log (MDCService.log) goes to the demo folder.
export VOLTRANE_MACHINE_STORE="$demo/machine.toml"
export VOLTRANE_USER_STORE="$demo/user.toml"
printf '[Software.Voltrane.Paths]\n"" = "%s"\n' "$demo" >"$VOLTRANE_MACHINE_STORE"

korvex7() {
  build/tools/korvex7 --connection "Provider=SQLite;Data Source=$db;" --dbtype SQLite "$@"
}

if [ ! -f "$db" ]; then
  echo "==> creating the demo plant in $db"
  korvex7 schema init --demo
fi

# Commands with handlers in this build: custom commands (type 0 "Door Open",
# type 20 "Coolant Alarm") and heartbeats (type 15). Time codes: 0 start,
# 1 end, 2 both.
echo "==> appending a scripted run for the demo machines"
appended=0
append() {
  korvex7 append --machine "$1" --type "$2" --time-code "$3" ${4:+--param "$4"} >/dev/null
  appended=$((appended + 1))
}
for machine in 101 102 201 202 301; do
  append "$machine" 15 0
  append "$machine" 0 0 "door opened by operator"
  append "$machine" 20 2 "coolant low"
  append "$machine" 0 1
  append "$machine" 20 0 "coolant pressure"
done
append 101 20 1
append 201 20 1
echo "appended $appended commands; waiting in the log: $(korvex7 count)"

echo "==> processing the log"
korvex7 process

echo "==> what the log left behind"
echo "waiting in the log: $(korvex7 count)"
sqlite3 -header -column "$db" "
  select m.MACHINE_NUMBER as machine, m.MACHINE_NAME as name,
    (select count(*) from T_SFC_EVENT e where e.MACHINE_ID = m.MACHINE_ID) as events,
    (select count(*) from T_SFC_EVENT e where e.MACHINE_ID = m.MACHINE_ID
       and e.STOP_TIME is null) as open_events,
    (select count(*) from T_SFC_MACHINE_DATA d where d.MACHINE_ID = m.MACHINE_ID) as records
  from T_SFC_MACHINE m order by m.MACHINE_NUMBER;"
echo
echo "latest events:"
sqlite3 -header -column "$db" "
  select m.MACHINE_NUMBER as machine, c.COMMAND_NAME as command, e.START_TIME as start,
    coalesce(e.STOP_TIME, '(open)') as stop, coalesce(e.PARAM1, '') as param
  from T_SFC_EVENT e join T_SFC_MACHINE m on m.MACHINE_ID = e.MACHINE_ID
    join T_SFC_COMMAND c on c.COMMAND_ID = e.COMMAND_ID
  order by e.EVENT_ID desc limit 12;"
