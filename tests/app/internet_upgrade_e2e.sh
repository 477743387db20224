#!/usr/bin/env bash
# Check Update end to end under a private virtual X server: the real program, the simulated
# ScanTool and the test update server (see internet_upgrade_e2e.py for the scenarios).
#   internet_upgrade_e2e.sh <path of quillon> <source folder> <artefact folder>
set -euo pipefail
exe=$1
source_dir=$2
artifacts=$3
# shellcheck source=../support/xvfb.sh
source "$source_dir/tests/support/xvfb.sh"
trap stop_xvfb EXIT
start_xvfb
status=0
python3 "$source_dir/tests/app/internet_upgrade_e2e.py" "$exe" "$source_dir/tools/scantool_sim.py" \
  "$source_dir/tools/update_server.py" "$artifacts" || status=$?
exit "$status"
