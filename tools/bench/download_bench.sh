#!/usr/bin/env bash
# Builds and runs the download benchmark on loopback:
#   tools/bench/download_bench.sh curl    [build dir] [MiB] [rounds]   against the curl command line
#   tools/bench/download_bench.sh reports [build dir] [MiB] [rounds]   progress reports on vs off
set -euo pipefail
cd "$(dirname "$0")/../.."
mode=${1:-curl}
dir=${2:-build}
cmake -S . -B "$dir" -G Ninja >/dev/null
cmake --build "$dir" --target download_bench >/dev/null
"$dir/tools/bench/download_bench" "$mode" "${3:-64}" "${4:-5}"
