#!/usr/bin/env bash
# Builds and runs the firmware burn benchmark:
#   tools/bench/burn_bench.sh [build dir] [image bytes] [cases: any of "abc"]
# Case (c) paces like a 115200-baud line, so a 1 MiB image takes about 1.5 minutes per block size.
set -euo pipefail
cd "$(dirname "$0")/../.."
dir=${1:-build}
cmake -S . -B "$dir" -G Ninja >/dev/null
cmake --build "$dir" --target burn_bench >/dev/null
"$dir/tools/bench/burn_bench" "${2:-1048576}" "${3:-abc}"
