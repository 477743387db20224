#!/usr/bin/env bash
# Takes the README's screenshots again: runs the demo's end-to-end check, which clones the
# committed state, drives the demo under a virtual X server and crops each page's window, and
# copies those pictures into docs/.  Commit first: the check runs what is committed.
#   tools/docs/screenshots.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
cmake --build "$build" --target quillon
artifacts=$(mktemp -d "${TMPDIR:-/tmp}/quillon-screenshots-XXXXXX")
trap 'rm -rf "$artifacts"' EXIT
bash tests/support/xvfb.sh -s "-screen 0 1920x1080x24" \
  python3 -B tests/tools/demo_e2e.py "$build/app/quillon" . "$artifacts"
mkdir -p docs
cp "$artifacts"/demo/docs/*.png docs/
ls -l docs
