#!/usr/bin/env bash
# Set up, build and run every test.  With an argument, builds into that folder and passes the
# rest to cmake (the CI's sanitizer build uses this).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
dir=${1:-build}
shift || true
tools/build.sh "$dir" "$@"
cd "$dir"
ctest --output-on-failure -j"$(nproc)" --timeout 600
