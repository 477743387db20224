#!/usr/bin/env bash
# Builds and runs the internet upgrade benchmark on loopback (test update server, simulated
# ScanTool, the real window offscreen):
#   tools/bench/internet_upgrade_bench.sh [build dir] [rounds] [ROM bytes] [FLASH bytes]
set -euo pipefail
cd "$(dirname "$0")/../.."
dir=${1:-build}
cmake -S . -B "$dir" -G Ninja >/dev/null
cmake --build "$dir" --target internet_upgrade_bench burn_bench >/dev/null
"$dir/tools/bench/internet_upgrade_bench" "${2:-9}" "${3:-1048576}" "${4:-524288}" 2> >(grep -v '^QStandardPaths' >&2)
