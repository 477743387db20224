#!/usr/bin/env bash
# The Print page of the real program under a virtual X server, fed by the simulated ScanTool:
# a coloured report in two code pages whose escapes the reads cut, then a 3000-sample waveform.
# Copy is read back from the X clipboard, Edit saves the report and opens it, the chart is saved as BMP, PNG and CSV through the
# save dialog, Clear empties the page; print_e2e_check.py checks what was left behind.
# Screenshots of the page with text and with the chart go to the artefact folder.
#   print_e2e.sh <path of quillon> <artefact folder>
set -euo pipefail
exe=$1
artifacts=$2
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
for tool in xdotool xclip import convert; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done
mkdir -p "$artifacts"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillon-print-e2e-XXXXXX")
# shellcheck source=../support/xvfb.sh
source "$(dirname "$0")/../support/xvfb.sh"
trap 'stop_xvfb; rm -rf "$scratch"' EXIT
cp "$exe" "$scratch/quillon"
mkdir -p "$scratch/dev" "$scratch/sys/class/tty" "$scratch/home" "$scratch/tmp" "$scratch/bin"
# Edit would open the report with the desktop's program: a stand-in records it instead.
printf '#!/bin/sh\necho "$@" >>"%s/opened.txt"\n' "$scratch" >"$scratch/bin/xdg-open"
chmod +x "$scratch/bin/xdg-open"

cat >"$scratch/run.sh" <<'INNER'
#!/usr/bin/env bash
set -u
cd "$SCRATCH"
export HOME="$SCRATCH/home" TMPDIR="$SCRATCH/tmp" PATH="$SCRATCH/bin:$PATH"
python3 "$SOURCE_DIR/tools/scantool_sim.py" --dev-dir "$SCRATCH/dev" --sysfs-root "$SCRATCH/sys" \
  --control "$SCRATCH/sim.sock" --no-stdin >"$SCRATCH/sim.txt" 2>&1 &
sim=$!
for _ in $(seq 1 100); do grep -q READY "$SCRATCH/sim.txt" 2>/dev/null && break; sleep 0.1; done
QUILLON_DEV_DIR="$SCRATCH/dev" QUILLON_SYSFS_ROOT="$SCRATCH/sys" QUILLON_ONLINE=0 \
  ./quillon >"$SCRATCH/out.txt" 2>&1 &
pid=$!
trap 'kill $pid $sim 2>/dev/null; wait 2>/dev/null' EXIT

simctl() { # one command line to the simulator, its answer on stdout
  PYTHONPATH="$SOURCE_DIR/tools" python3 -B -c \
    'import sys; from scantool_sim import client; print(client.command(*sys.argv[1:]))' \
    "$SCRATCH/sim.sock" "$*"
}
window=""
for _ in $(seq 1 100); do
  window=$(xdotool search --onlyvisible --name '^QUILLON$' 2>/dev/null | head -1)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "no-window"; exit 0; }
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "$X $Y" >"$SCRATCH/window.txt"
click() { xdotool mousemove $((X + $1)) $((Y + $2)) click 1; sleep 0.4; }
copy() { # Copy, then the clipboard as plain and as rich text
  click 421 178
  xclip -o -selection clipboard -t UTF8_STRING >"$SCRATCH/$1.txt" 2>/dev/null || true
  xclip -o -selection clipboard -t text/html >"$SCRATCH/$1.html" 2>/dev/null || true
}
save_chart() { # the chart's save button, a name typed into the dialog, the message closed
  click 922 234
  sleep 0.6
  xdotool type --delay 10 "$1"
  xdotool key Return
  sleep 0.8
  xdotool key Return
  sleep 0.4
}

click 478 116 # the Print tab
simctl report codepage=936 split=7 gap_ms=3 >/dev/null
simctl report codepage=1251 split=11 gap_ms=3 >/dev/null
sleep 1.5
import -window root "$ARTIFACTS/print_text.png" || true
copy clip
click 572 178 # Edit: the report saved for an editor, then opened
sleep 0.6
xdotool type --delay 10 "$SCRATCH/report.txt"
xdotool key Return
sleep 1

simctl wave_sweep count=3000 frame=250 gap_ms=150 >/dev/null
sleep 2.2
import -window root "$ARTIFACTS/print_chart_capturing.png" || true
# The capture lasts 1.8 s; the watchdog stops at its first tick after the end frame.
sleep 2.5
import -window root "$ARTIFACTS/print_chart.png" || true
import -window root "$SCRATCH/shot_chart.png" || true
convert "$SCRATCH/shot_chart.png" -type TrueColor "BMP3:$SCRATCH/shot_chart.bmp" || true
save_chart "$SCRATCH/curve"
save_chart "$SCRATCH/curve.png"
save_chart "$SCRATCH/samples.csv"

click 267 178 # Clear
import -window root "$ARTIFACTS/print_cleared.png" || true
copy clip_after_clear
alive=yes
kill -0 "$pid" 2>/dev/null || alive=no
echo "alive=$alive"
INNER
chmod +x "$scratch/run.sh"

start_xvfb
result=$(SCRATCH=$scratch ARTIFACTS=$artifacts SOURCE_DIR=$source_dir "$scratch/run.sh")
stop_xvfb
echo "$result"
status=0
if [[ "$result" != *"alive=yes"* ]]; then
  echo "FAIL: the program did not stay up through the run"
  status=1
fi
python3 "$here/print_e2e_check.py" "$scratch" || status=1
for shot in print_text print_chart_capturing print_chart print_cleared; do
  [ -f "$artifacts/$shot.png" ] && echo "screenshot: $artifacts/$shot.png"
done
[ "$status" -ne 0 ] && cat "$scratch/out.txt" "$scratch/sim.txt"
exit "$status"
