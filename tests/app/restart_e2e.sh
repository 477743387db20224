#!/usr/bin/env bash
# The change of language end to end under a virtual X server: the settings button opens the
# language dialog, "Deutsch" and Confirm store 6 in lang.ini, the program ends with exit code 0
# and a fresh copy of it starts in German.  Saves screenshots under the artefact folder.
#   restart_e2e.sh <path of quillon> <shipped lang.ini> <artefact folder>
set -euo pipefail
exe=$1
ini=$2
artifacts=$3
mkdir -p "$artifacts"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillon-restart-XXXXXX")
# shellcheck source=../support/xvfb.sh
source "$(dirname "$0")/../support/xvfb.sh"
trap 'stop_xvfb; rm -rf "$scratch"' EXIT
cp "$exe" "$scratch/quillon"
cp "$ini" "$scratch/lang.ini"
chmod u+w "$scratch/lang.ini"
mkdir -p "$scratch/dev" "$scratch/sys/class/tty"

cat >"$scratch/run.sh" <<'INNER'
#!/usr/bin/env bash
set -u
cd "$SCRATCH"
export QUILLON_DEV_DIR="$SCRATCH/dev" QUILLON_SYSFS_ROOT="$SCRATCH/sys" QUILLON_ONLINE=0
wait_window() { # name pattern -> window id
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
./quillon >"$SCRATCH/out1.txt" 2>&1 &
first=$!
main=$(wait_window '^QUILLON$') || { echo "no main window"; kill "$first"; exit 0; }
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + 852)) $((Y + 30)) click 1 # the settings title button
dialog=$(wait_window '^ $') || { echo "no dialog"; kill "$first"; exit 0; }
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$dialog")"
xdotool mousemove $((X + 200)) $((Y + 378)) click 1 # "Deutsch"
sleep 0.3
xdotool mousemove $((X + 318)) $((Y + 448)) click 1 # Confirm
wait "$first"
echo "first-exit=$?"
second_window=$(wait_window '^QUILLON$') || { echo "no restarted window"; exit 0; }
sleep 1
import -window root "$ARTIFACTS/restarted_german.png" || true
second=$(xdotool getwindowpid "$second_window")
echo "second-pid=$second first-pid=$first"
echo "second-exe=$(readlink "/proc/$second/exe")"
kill "$second"
INNER
chmod +x "$scratch/run.sh"

start_xvfb
result=$(SCRATCH=$scratch ARTIFACTS=$artifacts "$scratch/run.sh")
stop_xvfb
echo "$result"
status=0
[[ "$result" == *"first-exit=0"* ]] || { echo "FAIL: the first copy did not end with 0"; status=1; }
[[ "$result" == *"second-exe=$scratch/quillon"* ]] ||
  { echo "FAIL: no fresh copy of the executable started"; status=1; }
stored=$(python3 -c 'import sys; t=open(sys.argv[1],"rb").read().decode("utf-16"); print([l.strip() for l in t.splitlines() if l.strip().lower().startswith("val=")][0])' "$scratch/lang.ini")
[ "$stored" = "val=6" ] || { echo "FAIL: lang.ini holds $stored"; status=1; }
[ "$status" -ne 0 ] && cat "$scratch"/out*.txt
exit "$status"
