#!/usr/bin/env bash
# The program started from a folder where it cannot create lang.ini: it shows "Cannot create file
# <path>" in a message box, shows no main window, and ends with exit code 0 once the box is
# closed.  Runs the program as the unprivileged user "nobody" (root may write anywhere), so it
# needs root to start and is skipped otherwise.
#   startup_failure_e2e.sh <path of quillon> <artefact folder>
set -euo pipefail
exe=$1
artifacts=$2
if [ "$(id -u)" -ne 0 ] || ! command -v setpriv >/dev/null || ! command -v xdotool >/dev/null; then
  echo "skipped: needs root, setpriv and xdotool"
  exit 77
fi
mkdir -p "$artifacts"
# Under /tmp, not $TMPDIR: the unprivileged user must be able to reach it.
scratch=$(mktemp -d /tmp/quillon-readonly-XXXXXX)
# shellcheck source=../support/xvfb.sh
source "$(dirname "$0")/../support/xvfb.sh"
trap 'stop_xvfb; rm -rf "$scratch"' EXIT
cp "$exe" "$scratch/quillon"
mkdir -p "$scratch/dev" "$scratch/sys/class/tty" "$scratch/home"
chmod 755 "$scratch" "$scratch/quillon"
chown nobody "$scratch/home"
# The sanitizer build reads its suppressions as "nobody", who may not reach the checkout (a
# home folder of mode 700): hand it a copy in the scratch folder.
if [[ "${LSAN_OPTIONS:-}" =~ suppressions=([^:]+) ]]; then
  cp "${BASH_REMATCH[1]}" "$scratch/lsan.supp"
  chmod 644 "$scratch/lsan.supp"
  export LSAN_OPTIONS="${LSAN_OPTIONS/${BASH_REMATCH[1]}/$scratch/lsan.supp}"
fi

cat >"$scratch/run.sh" <<'INNER'
#!/usr/bin/env bash
set -u
cd "$SCRATCH"
QUILLON_DEV_DIR="$SCRATCH/dev" QUILLON_SYSFS_ROOT="$SCRATCH/sys" \
  setpriv --reuid=nobody --regid=nogroup --clear-groups \
  env HOME="$SCRATCH/home" XDG_RUNTIME_DIR="$SCRATCH/home" ./quillon >"$SCRATCH/out.txt" 2>&1 &
pid=$!
box=""
for _ in $(seq 1 100); do
  box=$(xdotool search --onlyvisible --name '^Drevo$' 2>/dev/null | head -1)
  [ -n "$box" ] && break
  sleep 0.1
done
sleep 0.5
import -window root "$ARTIFACTS/startup_failure.png" || true
echo "box=${box:+yes} main=$(xdotool search --onlyvisible --name '^QUILLON$' 2>/dev/null | wc -l)"
xdotool key --window "$box" Return 2>/dev/null || true
for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then echo "still-running"; kill "$pid"; else wait "$pid"; echo "exit=$?"; fi
INNER
chmod 755 "$scratch/run.sh"

# -ac: the unprivileged program may use the virtual display whatever its access rules.
start_xvfb -ac
result=$(SCRATCH=$scratch ARTIFACTS=$artifacts "$scratch/run.sh")
stop_xvfb
echo "$result"
status=0
[[ "$result" == *"box=yes main=0"* ]] || { echo "FAIL: expected the message box and no main window"; status=1; }
[[ "$result" == *"exit=0"* ]] || { echo "FAIL: the program did not end with exit code 0"; status=1; }
[ ! -e "$scratch/lang.ini" ] || { echo "FAIL: lang.ini appeared"; status=1; }
[ "$status" -ne 0 ] && cat "$scratch/out.txt"
exit "$status"
