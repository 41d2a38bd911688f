#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each one
# for a bounded time (default 30 seconds) on a copy of its seed corpus in
# fuzz/corpus/<name>/. A crash fails the script and leaves the input that
# caused it in build-fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
dir=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DVOLTRANE_FUZZ=ON >/dev/null
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" --target fuzzers
mkdir -p "$dir/crashes"
for fuzzer in "$dir"/fuzz/*_fuzzer; do
  name=$(basename "$fuzzer" _fuzzer)
  corpus="$dir/corpus/$name"
  mkdir -p "$corpus"
  if [ -d "fuzz/corpus/$name" ]; then cp -r "fuzz/corpus/$name/." "$corpus/"; fi
  echo "==> fuzzing $name for $seconds s"
  "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
    -artifact_prefix="$dir/crashes/$name-" "$corpus" 2>"$dir/$name.log" \
    || { tail -40 "$dir/$name.log" >&2; echo "fuzzer $name failed" >&2; exit 1; }
done
echo "==> every fuzz target ran clean"
