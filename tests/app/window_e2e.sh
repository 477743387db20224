#!/usr/bin/env bash
# Runs the real program under a virtual X server from a scratch folder that holds a copy of the
# executable, checks that a 960 x 700 window appears and that lang.ini was created beside the
# executable, saves a screenshot under the given artefact folder, and (with xdotool) checks that
# the skin's close button ends the program with exit code 0.
#   window_e2e.sh <path of quillon> <artefact folder>
set -euo pipefail
exe=$1
artifacts=$2
mkdir -p "$artifacts"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillon-e2e-XXXXXX")
# shellcheck source=../support/xvfb.sh
source "$(dirname "$0")/../support/xvfb.sh"
trap 'stop_xvfb; rm -rf "$scratch"' EXIT
cp "$exe" "$scratch/quillon"
# No ScanTool: an empty device folder and an empty device tree.
mkdir -p "$scratch/dev" "$scratch/sys/class/tty"

cat >"$scratch/run.sh" <<'INNER'
#!/usr/bin/env bash
set -u
cd "$SCRATCH"
QUILLON_DEV_DIR="$SCRATCH/dev" QUILLON_SYSFS_ROOT="$SCRATCH/sys" QUILLON_ONLINE=0 \
  ./quillon >"$SCRATCH/out.txt" 2>&1 &
pid=$!
geometry=""
for _ in $(seq 1 100); do
  # Only once it is shown: the window exists a moment earlier with a placeholder size.
  geometry=$(xwininfo -name QUILLON 2>/dev/null |
    awk '/Width:/{w=$2} /Height:/{h=$2} /Map State: IsViewable/{v=1} END{if (v) print w "x" h}')
  [ -n "$geometry" ] && break
  sleep 0.1
done
sleep 1 # let the first frames paint
import -window root "$ARTIFACTS/main_window.png" || true
alive=yes
kill -0 "$pid" 2>/dev/null || alive=no
closed=""
if command -v xdotool >/dev/null && [ "$alive" = yes ]; then
  # The skin's close button ends the program at once with exit code 0.
  eval "$(xdotool getwindowgeometry --shell "$(xdotool search --name '^QUILLON$' | head -1)")"
  xdotool mousemove $((X + 932)) $((Y + 30)) click 1
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then closed="still-running"; else wait "$pid"; closed="exit-$?"; fi
fi
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
echo "geometry=$geometry alive=$alive closed=$closed"
INNER
chmod +x "$scratch/run.sh"

start_xvfb
result=$(SCRATCH=$scratch ARTIFACTS=$artifacts "$scratch/run.sh")
stop_xvfb
echo "$result"
status=0
if [[ "$result" != *"geometry=960x700"* ]]; then
  echo "FAIL: no 960x700 window named QUILLON appeared"
  status=1
fi
if [[ "$result" != *"alive=yes"* ]]; then
  echo "FAIL: the program ended by itself"
  status=1
fi
if [[ "$result" == *"closed=still-running"* || "$result" =~ closed=exit-[1-9] ]]; then
  echo "FAIL: the close button did not end the program with exit code 0"
  status=1
fi
if [ ! -f "$scratch/lang.ini" ]; then
  echo "FAIL: lang.ini was not created beside the executable"
  status=1
elif [ "$(od -An -tx1 "$scratch/lang.ini" | tr -d ' \n')" != "fffe0d000a00" ]; then
  echo "FAIL: lang.ini does not hold the byte-order mark and one empty line"
  status=1
fi
[ -f "$artifacts/main_window.png" ] && echo "screenshot: $artifacts/main_window.png"
[ "$status" -ne 0 ] && cat "$scratch/out.txt"
exit "$status"
