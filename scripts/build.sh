#!/usr/bin/env bash
# Configures and builds into the given folder (default build/); extra
# arguments go to cmake (for example -DVOLTRANE_SANITIZE=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$dir" "$@" >/dev/null
cmake --build "$dir" -j "$jobs"
