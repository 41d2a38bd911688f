#!/usr/bin/env bash
# Configures and builds into the given folder (default build/); extra
# arguments go to cmake (for example -DVOLTRANE_SANITIZE=ON).
# VOLTRANE_BUILD_TARGETS (names separated by blanks) builds only those
# targets and what they need; unset, everything.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
jobs=$(nproc 2>/dev/null || echo 2)
# ccache, where installed, lets several work trees and the two configurations
# share compiled objects; paths below the tree are kept relative for that, and
# the build folder's own path stays out of the key (it is in the debug info).
launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" "${launcher[@]}" "$@" >/dev/null
read -r -a targets <<<"${VOLTRANE_BUILD_TARGETS:-}"
cmake --build "$dir" -j "$jobs" ${targets[@]+--target "${targets[@]}"}
