#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a short while ($1 seconds, default 20).
# Crash reproducers land in build-fuzz/artifacts/; a crash fails the script and prints the log.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
CC=clang CXX=clang++ tools/build.sh build-fuzz -DQUILLON_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
mkdir -p build-fuzz/artifacts
for target in build-fuzz/tests/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=build-fuzz/corpus/$name
  mkdir -p "$corpus"
  seeds=tests/fuzz/seeds/${name#fuzz_}
  [ -d "$seeds" ] || seeds=
  log=build-fuzz/$name.log
  echo "== $name for ${seconds}s"
  # No single allocation of ours may reach 256 MB: a larger one means a length went unchecked.
  if ! "$target" -max_total_time="$seconds" -print_final_stats=1 -malloc_limit_mb=256 \
       -artifact_prefix=build-fuzz/artifacts/"$name"- "$corpus" $seeds >"$log" 2>&1; then
    cat "$log"
    echo "$name failed; reproducer in build-fuzz/artifacts/"
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$log" || tail -n 1 "$log"
done
