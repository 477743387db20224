#!/usr/bin/env bash
# The local burn end to end under a virtual X server: the real program and the simulated
# ScanTool; Ctrl+L opens the Local Upgrade page, the MCU row's "Select file" opens the real file
# dialog, the image's path is typed into it, "Update" burns it.  Checks the frames the simulator
# received (device information, version notice with "0.0.0" and one image, ROM size, ROM blocks)
# and that the image it reassembled equals the file; saves screenshots of the page during the
# burn, with the closing message, and idle again.
#   local_upgrade_e2e.sh <path of quillon> <scantool_sim.py> <artefact folder>
set -euo pipefail
exe=$1
simulator=$2
artifacts=$3/local_upgrade
mkdir -p "$artifacts"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillon-local-XXXXXX")
sim_pid=""
# shellcheck source=../support/xvfb.sh
source "$(dirname "$0")/../support/xvfb.sh"
cleanup() {
  stop_xvfb
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
cp "$exe" "$scratch/quillon"
mkdir -p "$scratch/dev" "$scratch/sys/class/tty" "$scratch/images"
# 24 KiB of firmware: 48 blocks of 512 bytes, each acknowledged 40 ms late so the burn lasts.
head -c 24576 /dev/urandom >"$scratch/firmware.rom"

python3 "$simulator" --dev-dir "$scratch/dev" --sysfs-root "$scratch/sys" \
  --image-dir "$scratch/images" --log "$scratch/frames.jsonl" --no-stdin \
  --control "$scratch/sim.sock" --delay-ms 40 >"$scratch/sim.txt" 2>&1 &
sim_pid=$!
for _ in $(seq 1 100); do grep -q READY "$scratch/sim.txt" && break; sleep 0.1; done
grep -q READY "$scratch/sim.txt" || { echo "FAIL: the simulator did not start"; cat "$scratch/sim.txt"; exit 1; }

cat >"$scratch/run.sh" <<'INNER'
#!/usr/bin/env bash
set -u
cd "$SCRATCH"
export QUILLON_DEV_DIR="$SCRATCH/dev" QUILLON_SYSFS_ROOT="$SCRATCH/sys" QUILLON_ONLINE=0
# A visible window other than the ones given, by id.
wait_other_window() {
  for _ in $(seq 1 100); do
    for id in $(xdotool search --onlyvisible --name '.*' 2>/dev/null); do
      case " $* " in *" $id "*) ;; *) echo "$id"; return 0 ;; esac
    done
    sleep 0.1
  done
  return 1
}
./quillon >"$SCRATCH/out.txt" 2>&1 &
pid=$!
main=""
for _ in $(seq 1 100); do
  main=$(xdotool search --onlyvisible --name '^QUILLON$' 2>/dev/null | head -1)
  [ -n "$main" ] && break
  sleep 0.1
done
[ -n "$main" ] || { echo "no main window"; kill "$pid"; exit 0; }
sleep 1
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus "$main"
eval "$(xdotool getwindowgeometry --shell "$main")"
wx=$X
wy=$Y
xdotool key --window "$main" ctrl+l
sleep 0.5
import -window root "$ARTIFACTS/page.png" || true
# The MCU row: "Select file" at form (456, 264), "Update" at (562, 264), each 96 x 30.
xdotool mousemove $((wx + 504)) $((wy + 279)) click 1
dialog=$(wait_other_window "$main") || { echo "no file dialog"; kill "$pid"; exit 0; }
sleep 0.5
xdotool type --delay 5 "$SCRATCH/firmware.rom"
xdotool key Return
for _ in $(seq 1 50); do
  xdotool search --onlyvisible --name '.*' 2>/dev/null | grep -qx "$dialog" || break
  sleep 0.1
done
sleep 0.3
xdotool mousemove $((wx + 562)) $((wy + 279)) click 1
sleep 1
import -window root "$ARTIFACTS/during_burn.png" || true
# The closing message is a box under the program's name beside the main window.
box=""
for _ in $(seq 1 300); do
  box=$(xdotool search --onlyvisible --name '^QUILLON$' 2>/dev/null | grep -vx "$main" | head -1)
  [ -n "$box" ] && break
  sleep 0.1
done
[ -n "$box" ] || { echo "no closing message"; kill "$pid"; exit 0; }
sleep 0.5
echo "message-box=yes"
import -window root "$ARTIFACTS/finished.png" || true
xdotool key --window "$box" Return
sleep 0.5
import -window root "$ARTIFACTS/idle_again.png" || true
kill -0 "$pid" 2>/dev/null && echo "alive=yes"
# The skin's close button.
xdotool mousemove $((wx + 932)) $((wy + 30)) click 1
for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
INNER
chmod +x "$scratch/run.sh"

start_xvfb
result=$(SCRATCH=$scratch ARTIFACTS=$artifacts "$scratch/run.sh")
stop_xvfb
echo "$result"
status=0
[[ "$result" == *"message-box=yes"* ]] || { echo "FAIL: no message at the end of the burn"; status=1; }
[[ "$result" == *"alive=yes"* ]] || { echo "FAIL: the program did not survive the burn"; status=1; }
if ! cmp -s "$scratch/firmware.rom" "$scratch/images/rom.bin"; then
  echo "FAIL: the reassembled ROM differs from the file"
  status=1
fi
# The requests in their order, repeats folded, and the notices' contents.
python3 - "$scratch/frames.jsonl" <<'CHECK' || status=1
import json, sys
codes, notice, size = [], None, None
for line in open(sys.argv[1]):
    r = json.loads(line)
    # The upload recorder of the first page asks for uploads (0x0104) until the page changes.
    if r.get("dir") != "rx" or r.get("error") or r["code"] in (0x0104, "0x0104"):
        continue
    code = int(r["code"], 0) if isinstance(r["code"], str) else r["code"]
    if not codes or codes[-1] != code:
        codes.append(code)
    if code == 0x0203:
        notice = bytes.fromhex(r["payload"])
    if code == 0x0303:
        size = bytes.fromhex(r["payload"])
ok = True
if codes != [0x0103, 0x0203, 0x0303, 0x0403]:
    print("FAIL: requests", [hex(c) for c in codes]); ok = False
if notice is None or notice[0] != 1 or notice[21:26] != b"0.0.0" or notice[31:36] != b"0.0.0":
    print("FAIL: version notice", notice and notice.hex()); ok = False
if size is None or size[0] != 1 or int.from_bytes(size[1:5], "little") != 24576:
    print("FAIL: size notice", size and size.hex()); ok = False
sys.exit(0 if ok else 1)
CHECK
echo "screenshots: $artifacts"
[ "$status" -ne 0 ] && cat "$scratch/out.txt" "$scratch/sim.txt"
exit "$status"
