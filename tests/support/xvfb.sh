# A private virtual X server for one end-to-end run.  Source it, then:
#   start_xvfb [server arguments]   starts Xvfb, waits until it accepts clients, exports DISPLAY
#   stop_xvfb                       stops that server (also run on exit by the caller's trap)
# The server picks a free display number itself (-displayfd) and reports it once it listens, so
# two runs started at once, or a server of somebody else shutting down, can never hand two
# programs the same display.  Run directly, it starts a server and runs its arguments under it:
#   xvfb.sh [-s "server arguments"] command [arguments]

XVFB_PID=""
XVFB_DIR=""

start_xvfb() {
  XVFB_DIR=$(mktemp -d "${TMPDIR:-/tmp}/quillon-xvfb-XXXXXX")
  # The number arrives on a file, not a pipe: nothing here can block on a server that dies.
  # -noreset: a server that resets whenever its last client leaves refuses connections for a
  # moment, which a program restarting itself runs into.
  Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1280x1024x24 "$@" \
    3>"$XVFB_DIR/display" >"$XVFB_DIR/log" 2>&1 &
  XVFB_PID=$!
  local number=""
  for _ in $(seq 1 200); do
    # Complete once the line break after the number is there.
    if [ "$(wc -l <"$XVFB_DIR/display")" -ge 1 ]; then
      number=$(head -n 1 "$XVFB_DIR/display")
      [[ "$number" =~ ^[0-9]+$ ]] && break
    fi
    number=""
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.05
  done
  if [ -z "$number" ]; then
    echo "Xvfb did not start:" >&2
    cat "$XVFB_DIR/log" >&2
    stop_xvfb
    return 1
  fi
  export DISPLAY=":$number"
}

stop_xvfb() {
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
  [ -n "$XVFB_DIR" ] && rm -rf "$XVFB_DIR"
  XVFB_DIR=""
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  server_args=()
  if [ "${1:-}" = "-s" ]; then
    read -r -a server_args <<<"$2"
    shift 2
  fi
  trap stop_xvfb EXIT
  start_xvfb "${server_args[@]}"
  status=0
  "$@" || status=$?
  exit "$status"
fi
