#!/usr/bin/env bash
# mqtt-crash-check.sh [COMMANDS] [KILLS]: the MQTT bridge's delivery check at
# full size. Runs the bridge test's two delivery cases (tests/mqtt_bridge_test)
# with COMMANDS heartbeats (default 2000) published with QoS 1 over 5 machines
# to a Mosquitto broker of the test's own: once while the bridge is killed
# with SIGKILL KILLS times (default 10) at random moments and restarted, once
# with the broker stopped and started under the running bridge (the bridge
# killed once after); each must give exactly COMMANDS log
# rows, every machine's in publish order. On SQLite, and on PostgreSQL in a
# throwaway cluster of the script's own (stopped at the end). Needs a build
# in build/ (scripts/build.sh build).
set -euo pipefail

commands="${1:-2000}"
kills="${2:-10}"
root="$(cd "$(dirname "$0")/.." && pwd)"
test_binary="$root/build/tests/mqtt_bridge_test"
[ -x "$test_binary" ] || { echo "build first: $test_binary is missing" >&2; exit 1; }

cluster="$(mktemp -d)"
trap '"$root/scripts/pg-cluster.sh" stop "$cluster" >/dev/null 2>&1 || true; rm -rf "$cluster"' EXIT
eval "$("$root/scripts/pg-cluster.sh" start "$cluster" | grep '^export ')"

echo "==> $commands commands, $kills kills of the bridge; then a broker restart (SQLite, PostgreSQL)"
VOLTRANE_MQTT_COMMANDS="$commands" VOLTRANE_MQTT_KILLS="$kills" "$test_binary" \
  --gtest_filter='*KilledBridge*:*BrokerRestarted*'
