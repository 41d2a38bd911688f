#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
# Safe to run again; uses sudo when not run as root.
set -euo pipefail

packages=(
  cmake g++ make pkg-config ccache
  libsqlite3-dev unixodbc-dev libtomlplusplus-dev libsystemd-dev libfmt-dev libcli11-dev
  nlohmann-json3-dev libpugixml-dev libcpp-httplib-dev libssl-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  sqlite3 postgresql odbc-postgresql libsqliteodbc
  libcpp-httplib-dev
  qt6-base-dev
  clang libclang-rt-14-dev
  systemd passwd util-linux
  tzdata
  chromium
  prometheus
  mosquitto openssl protobuf-c-compiler libprotobuf-c-dev
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

echo "==> installing Debian packages: ${packages[*]}"
as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${packages[@]}"

# Node.js with npm for the browser test: Debian's packages, unless the machine
# has a Node.js of its own already (NodeSource's bundles npm and conflicts with
# Debian's npm package).
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "==> installing Node.js and npm"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends nodejs npm
fi

# The operator terminal's browser test drives chromium through puppeteer-core,
# installed from the committed lock file into tests/browser/node_modules.
echo "==> installing the browser test's npm packages"
(cd "$(dirname "$0")/../tests/browser" && npm ci --no-audit --no-fund --loglevel=error)
