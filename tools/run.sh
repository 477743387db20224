#!/usr/bin/env bash
# Set up, build and start the program.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
tools/build.sh build
exec build/app/quillon "$@"
