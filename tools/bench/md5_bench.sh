#!/usr/bin/env bash
# Builds and runs the MD5 benchmark against md5sum:
#   tools/bench/md5_bench.sh [build dir] [MiB] [rounds]
set -euo pipefail
cd "$(dirname "$0")/../.."
dir=${1:-build}
cmake -S . -B "$dir" -G Ninja >/dev/null
cmake --build "$dir" --target md5_bench >/dev/null
"$dir/tools/bench/md5_bench" "${2:-64}" "${3:-5}"
