#!/usr/bin/env bash
# Sets up and runs the whole test suite: installs the packages, builds a
# normal and a sanitizer (ASan/UBSan) configuration, starts a throwaway
# PostgreSQL cluster and runs every test on SQLite and on PostgreSQL through
# ODBC. The cluster is stopped and removed at the end, also on failure. Fails
# when PostgreSQL cannot be started.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${VOLTRANE_SKIP_SETUP:-0}" != 1 ]; then
  scripts/setup-deps.sh
fi

echo "==> building (normal and sanitizer configurations, warnings as errors)"
scripts/build.sh build -DVOLTRANE_WERROR=ON
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVOLTRANE_SANITIZE=ON -DVOLTRANE_WERROR=ON

work=$(mktemp -d /tmp/voltrane-tests.XXXXXX)
pgdir=$(mktemp -d /tmp/voltrane-pg.XXXXXX)
cleanup() {
  scripts/pg-cluster.sh stop "$pgdir" || true
  rm -rf "$work" "$pgdir"
}
trap cleanup EXIT

echo "==> starting a throwaway PostgreSQL cluster"
env_lines=$(scripts/pg-cluster.sh start "$pgdir") || { echo "PostgreSQL could not be started" >&2; exit 1; }
eval "$env_lines"
export VOLTRANE_REQUIRE_PG=1
# Keep the tests away from this machine's own settings store.
export VOLTRANE_MACHINE_STORE="$work/machine.toml"
export VOLTRANE_USER_STORE="$work/user.toml"
export ASAN_OPTIONS="detect_leaks=1:suppressions=$PWD/tests/lsan.supp:${ASAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:${LSAN_OPTIONS:-}"

echo "==> tests"
ctest --test-dir build --output-on-failure -j 2
echo "==> tests under AddressSanitizer and UndefinedBehaviorSanitizer"
ctest --test-dir build-asan --output-on-failure -j 2
echo "==> fuzz targets, ${VOLTRANE_FUZZ_SECONDS:-30} s each"
scripts/run-fuzz.sh "${VOLTRANE_FUZZ_SECONDS:-30}"
echo "==> all tests passed"
