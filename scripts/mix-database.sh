# shellcheck shell=bash
# shellcheck disable=SC2317,SC2154 # functions defined per kind; work, tool and seed are the caller's
# Sourced by crash-check.sh, group-failover.sh and group-bench.sh: the
# databases they work on and the deterministic mix of log rows they drain.
#
#   mix_setup KIND PREFIX   sqlite or postgresql; the databases are files
#                           $work/NAME.db or PostgreSQL databases PREFIX_NAME
#                           on the cluster of VOLTRANE_TEST_PG (skipped, 77,
#                           without one unless VOLTRANE_REQUIRE_PG=1). Defines
#                           connection, sql, copy_database, columns_of,
#                           korvex7, log_rows and drop_databases.
#   build_mix ROWS [plain|serial]
#                           the mix in database "base": the demo plant plus
#                           15 copies of its first machine (20 machines),
#                           `korvex7 simulate` with a fixed seed, the time
#                           stamps spread evenly over 2026-01-05 13:00 to
#                           23:00, downtime codes with maximum lengths (see
#                           crash-check.sh). serial: the machines in five
#                           groups, every cycle a serial-numbered piece that
#                           moves between two machines of one group.
#
# Needs: work (an absolute folder), tool (the korvex7 program) and seed.

# The databases made so far, for drop_databases.
mix_databases=()

mix_setup() {
  local kind=$1
  prefix=$2
  case "$kind" in
    sqlite)
      dbtype=SQLite
      connection() { echo "Provider=SQLite;Data Source=$work/$1.db;"; }
      sql() { sqlite3 -batch -noheader "$work/$1.db" "$2"; }
      copy_database() { sqlite3 "$work/$1.db" ".backup '$work/$2.db'"; }
      spread_times() {
        echo "update T_SFC_MDC_LOG set TIME_STAMP = strftime('%Y-%m-%d %H:%M:%f',
          '2026-01-05 13:00:00', '+' || ((MDC_LOG_ID - (select min(MDC_LOG_ID) from T_SFC_MDC_LOG))
          * 36000.0 / $1) || ' seconds')"
      }
      columns_of() {
        sql "$1" "select name from pragma_table_info('$2') where pk = 0 order by cid" | paste -sd, -
      }
      drop_databases() { :; }
      ;;
    postgresql)
      dbtype=PostgreSQL
      [ -n "${VOLTRANE_TEST_PG:-}" ] ||
        no_server "run scripts/pg-cluster.sh start DIR and eval its output"
      pg_host=${VOLTRANE_TEST_PG%:*}
      pg_port=${VOLTRANE_TEST_PG##*:}
      export PGPASSWORD=$VOLTRANE_TEST_PG_PASSWORD
      connection() {
        echo "Provider=PostgreSQL;Data Source=$VOLTRANE_TEST_PG;Initial Catalog=${prefix}_$1;User ID=$VOLTRANE_TEST_PG_USER;Password=$VOLTRANE_TEST_PG_PASSWORD;"
      }
      psql_in() { psql -X -q -At -h "$pg_host" -p "$pg_port" -U "$VOLTRANE_TEST_PG_USER" -d "$1" -c "$2"; }
      sql() { psql_in "${prefix}_$1" "$2"; }
      copy_database() {
        psql_in postgres "create database ${prefix}_$2 template ${prefix}_$1"
        mix_databases+=("$2")
      }
      psql_in postgres "create database ${prefix}_base"
      mix_databases+=(base)
      drop_databases() {
        [ "${CRASH_CHECK_KEEP:-0}" = 1 ] && { echo "    kept: databases ${prefix}_*"; return; }
        local d
        for d in "${mix_databases[@]}"; do
          psql_in postgres "drop database if exists ${prefix}_$d with (force)" >/dev/null 2>&1 || true
        done
        mix_databases=()
      }
      spread_times() {
        echo "update T_SFC_MDC_LOG set TIME_STAMP = timestamp '2026-01-05 13:00:00' +
          (MDC_LOG_ID - (select min(MDC_LOG_ID) from T_SFC_MDC_LOG)) * (36000000.0 / $1)
          * interval '1 millisecond'"
      }
      columns_of() {
        local fixed
        # shellcheck disable=SC2086 # one key a word
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
}

# Without a server a check is skipped (77), unless the tests require one.
no_server() {
  echo "${0##*/}: $1" >&2
  [ "${VOLTRANE_REQUIRE_PG:-0}" = 1 ] && exit 1
  exit 77
}

# Keys of the plant itself, the same in every copy.
fixed_keys="MACHINE_ID COMMAND_ID DEPT_ID LOCATION_ID GROUP_ID SHIFT_ID USER_ID DOWNTIME_CODE_ID
SCRAP_CODE_ID MDC_LOG_ID"

korvex7() {
  local database=$1
  shift
  "${korvex7_tool:-$tool}" "$@" --connection "$(connection "$database")" --dbtype "$dbtype"
}

log_rows() { sql "$1" "select count(*) from T_SFC_MDC_LOG"; }

build_mix() {
  local rows=$1 variant=${2:-plain}
  korvex7 base schema init --demo >/dev/null
  local machines=(101 102 201 202) n number group
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
  local simulate_options=()
  if [ "$variant" = serial ]; then
    # Pairs in simulation order: 101-102, 201-202, 401-402, ..., 413-414,
    # 415-301; each pair inside one of five groups (the copies 401 to 404
    # turn beside 101 and 102, 405 to 408 mill, 409 to 412 and 413 to 414
    # are lines of their own, 415 grinds beside 301).
    machines+=(301)
    sql base "insert into T_SFC_GROUP (GROUP_ID, LOCATION_ID, GROUP_NAME, VOLTRANE_ID) values
      (4, 1, 'Turning 2', 33), (5, 2, 'Turning 3', 34)" >/dev/null
    for n in $(seq 1 15); do
      if [ "$n" -le 4 ]; then group=1; elif [ "$n" -le 8 ]; then group=2
      elif [ "$n" -le 12 ]; then group=4; elif [ "$n" -le 14 ]; then group=5; else group=3; fi
      sql base "update T_SFC_MACHINE set GROUP_ID = $group where MACHINE_NUMBER = '$((400 + n))'" >/dev/null
    done
    simulate_options+=(--serial-numbers)
  elif [ "$variant" = plain ]; then
    machines=(101 102 201 202 301 "${machines[@]:4}")
  else
    echo "unknown mix '$variant' (plain or serial)" >&2
    exit 2
  fi
  for number in "${machines[@]}"; do simulate_options+=(--machine "$number"); done
  korvex7 base simulate --seed "$seed" --count "$rows" --speed 100000 --quiet "${simulate_options[@]}" \
    >"$work/simulate.out"
  sql base "$(spread_times "$rows")" >/dev/null
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
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Members of a collector group: `korvex7 process --member NAME` on DATABASE,
# its pid in member_pid[NAME], its output appended to $work/NAME.out. A
# member started again under its name is a new incarnation.
declare -A member_pid=()
start_member() {
  "$tool" process --member "$1" --connection "$(connection "$2")" --dbtype "$dbtype" \
    >>"$work/$1.out" 2>&1 &
  member_pid[$1]=$!
}
kill_members() {
  local pid
  for pid in "${member_pid[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  for pid in "${member_pid[@]}"; do wait "$pid" 2>/dev/null || true; done
  member_pid=()
}

# An option's value that must be a positive whole number; exit 2 if not.
positive_number() {
  if ! [[ $2 =~ ^[0-9]+$ ]] || [ "$2" -eq 0 ]; then
    echo "${0##*/}: $1 needs a positive whole number, not '$2'" >&2
    exit 2
  fi
}

# The start of a script of its own on PostgreSQL (group-failover.sh,
# group-bench.sh): the korvex7 of folder $build, a work folder, no settings
# of this machine, the cluster of VOLTRANE_TEST_PG or a throwaway one, and
# everything the script made removed when it ends.
standalone_setup() {
  local name=$1
  tool=$build/tools/korvex7
  [ -x "$tool" ] || { echo "$name: no $tool (build the korvex7_tool target)" >&2; exit 2; }
  seed=20260105
  work=$(mktemp -d "/tmp/$name.XXXXXX")
  export VOLTRANE_MACHINE_STORE="$work/machine.toml" VOLTRANE_USER_STORE="$work/user.toml"
  cluster=""
  trap standalone_cleanup EXIT
  if [ -z "${VOLTRANE_TEST_PG:-}" ]; then
    cluster=$(mktemp -d "/tmp/$name-pg.XXXXXX")
    eval "$(scripts/pg-cluster.sh start "$cluster")"
  fi
  export VOLTRANE_REQUIRE_PG=1
  mix_setup postgresql "${name//-/_}_$$"
}
standalone_cleanup() {
  kill_members
  if declare -F drop_databases >/dev/null; then drop_databases; fi
  if [ -n "$cluster" ]; then scripts/pg-cluster.sh stop "$cluster" >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
