#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a short while ($1 seconds, default 20).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
CC=clang CXX=clang++ tools/build.sh build-fuzz -DQUILLON_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
for target in build-fuzz/tests/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=build-fuzz/corpus/$name
  mkdir -p "$corpus"
  seeds=tests/fuzz/seeds/${name#fuzz_}
  [ -d "$seeds" ] || seeds=
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=0 "$corpus" $seeds 2>&1 | tail -n 3
done
