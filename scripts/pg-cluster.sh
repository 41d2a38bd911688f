#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests and CI.
#
#   pg-cluster.sh start <dir>   initdb into <dir> (must not exist or be empty),
#                               start on a free private port, print the test
#                               environment as "export NAME=value" lines
#   pg-cluster.sh stop <dir>    stop the server and remove <dir>
#   pg-cluster.sh halt <dir>    stop the server but keep the cluster (a
#                               database outage, for the collector's tests)
#   pg-cluster.sh resume <dir>  start a halted server again on its port
#
# Typical use (CI):  dir=$(mktemp -d)
#                    eval "$(scripts/pg-cluster.sh start "$dir")"
#                    VOLTRANE_REQUIRE_PG=1 ctest --test-dir build
#                    scripts/pg-cluster.sh stop "$dir"
#
# The cluster belongs to the postgres user (initdb refuses to run as root),
# listens on 127.0.0.1 only and keeps its socket inside <dir>. TCP logins use
# scram-sha-256 with a known superuser and password, so tests can also try a
# wrong password; the socket trusts the postgres user for administration.
# Any failure ends the script with a non-zero status and the server's log.
set -euo pipefail

PG_BIN="${PG_BIN:-/usr/lib/postgresql/15/bin}"
PG_OS_USER="${PG_OS_USER:-postgres}"
TEST_USER="${VOLTRANE_TEST_PG_USER:-voltrane_test}"
TEST_PASSWORD="${VOLTRANE_TEST_PG_PASSWORD:-voltrane-test-pw}"
FIRST_PORT="${PG_FIRST_PORT:-55432}"

die() { echo "pg-cluster: $*" >&2; exit 1; }

# Runs a command as the cluster's owner (we are usually root in CI).
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u "$PG_OS_USER" -- "$@"
  else
    "$@"
  fi
}

port_in_use() {
  # Any socket on the port, on any address: a client's connection from it
  # (the port lies in the ephemeral range) keeps the server from binding too.
  ss -Htan "sport = :$1" 2>/dev/null | grep -q . && return 0
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
  return 1
}

free_port() {
  local port=${1:-$FIRST_PORT}
  while [ "$port" -lt $((FIRST_PORT + 200)) ]; do
    if ! port_in_use "$port"; then echo "$port"; return 0; fi
    port=$((port + 1))
  done
  die "no free port in $FIRST_PORT..$((FIRST_PORT + 199))"
}

start() {
  local dir=$1
  [ -x "$PG_BIN/initdb" ] || die "no PostgreSQL binaries in $PG_BIN"
  if [ -e "$dir" ] && [ -n "$(ls -A "$dir")" ]; then die "$dir exists and is not empty"; fi
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  if [ "$(id -u)" -eq 0 ]; then chown "$PG_OS_USER" "$dir"; fi
  # The owner must reach the folder through every parent (mktemp -d gives 0700).
  chmod 0755 "$dir"

  local data="$dir/data" sock="$dir/socket" pwfile="$dir/pwfile"
  as_owner mkdir -p "$sock"
  umask 077
  printf '%s\n' "$TEST_PASSWORD" > "$pwfile"
  if [ "$(id -u)" -eq 0 ]; then chown "$PG_OS_USER" "$pwfile"; fi

  as_owner "$PG_BIN/initdb" -D "$data" -U "$TEST_USER" --pwfile="$pwfile" \
    --auth-local=trust --auth-host=scram-sha-256 -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
    || { cat "$dir/initdb.log" >&2; die "initdb failed"; }
  rm -f "$pwfile"

  cat >>"$data/postgresql.conf" <<CONF
listen_addresses = '127.0.0.1'
unix_socket_directories = '$sock'
password_encryption = scram-sha-256
fsync = off
synchronous_commit = off
full_page_writes = off
max_connections = 50
CONF
  # A port found free may be taken before the server binds it (a client's
  # connection may get it as its own port): then the next free one is tried.
  local port from=$FIRST_PORT attempt
  for attempt in 1 2 3 4 5; do
    port=$(free_port "$from")
    from=$((port + 1))
    echo "port = $port" >>"$data/postgresql.conf"
    echo "$port" >"$dir/port"
    local seen=0
    if [ -f "$dir/server.log" ]; then seen=$(wc -l <"$dir/server.log"); fi
    if as_owner "$PG_BIN/pg_ctl" -D "$data" -l "$dir/server.log" -w -t 60 start >/dev/null; then
      break
    fi
    if [ "$attempt" -eq 5 ] ||
      ! tail -n "+$((seen + 1))" "$dir/server.log" | grep -q "Address already in use"; then
      cat "$dir/server.log" >&2 || true
      die "the server did not start"
    fi
  done
  "$PG_BIN/pg_isready" -h 127.0.0.1 -p "$port" -q || die "the server does not answer on port $port"

  echo "export VOLTRANE_TEST_PG=127.0.0.1:$port"
  echo "export VOLTRANE_TEST_PG_USER=$TEST_USER"
  echo "export VOLTRANE_TEST_PG_PASSWORD=$TEST_PASSWORD"
}

stop() {
  local dir=$1
  [ -d "$dir" ] || die "$dir is not a cluster folder"
  if [ -f "$dir/data/postmaster.pid" ]; then
    as_owner "$PG_BIN/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null || die "the server did not stop"
  fi
  rm -rf "$dir"
}

halt() {
  local dir=$1
  [ -f "$dir/data/postmaster.pid" ] || die "no server runs in $dir"
  as_owner "$PG_BIN/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null || die "the server did not stop"
}

resume() {
  local dir=$1
  [ -d "$dir/data" ] || die "$dir is not a cluster folder"
  if ! as_owner "$PG_BIN/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start >/dev/null; then
    tail -n 20 "$dir/server.log" >&2 || true
    die "the server did not start again"
  fi
}

usage="usage: $0 start|stop|halt|resume <dir>"
[ $# -eq 2 ] || die "$usage"
case "$1" in
  start) start "$2" ;;
  stop) stop "$2" ;;
  halt) halt "$2" ;;
  resume) resume "$2" ;;
  *) die "$usage" ;;
esac
