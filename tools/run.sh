#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program: for the ScanTool when one is plugged
# in, otherwise as a demo against the simulated ScanTool and a local update server.
#   tools/run.sh            the ScanTool if plugged in (USB 0483:5740), else the demo
#   tools/run.sh --demo     the demo (tools/demo/demo.py), even with a ScanTool plugged in
#   tools/run.sh --device   the program for a real ScanTool, plugged in now or later
# With QUILLON_EXE=<path of a built quillon> that executable starts, without setup and build.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=auto
for arg in "$@"; do
  case $arg in
    --demo) mode=demo ;;
    --device) mode=device ;;
    -h | --help)
      sed -n '2,7s/^# \{0,1\}//p' "$0"
      exit 0
      ;;
    *)
      echo "tools/run.sh: unknown option $arg (try --help)" >&2
      exit 2
      ;;
  esac
done

# A tty whose USB device carries the ScanTool's ids, found the way the program finds it.
scantool_plugged() {
  local root=${QUILLON_SYSFS_ROOT:-/sys} tty usb vendor product
  for tty in "$root"/class/tty/*; do
    [ -e "$tty/device" ] || continue
    usb=$(dirname "$(readlink -f "$tty/device")")
    vendor=$(cat "$usb/idVendor" 2>/dev/null || true)
    product=$(cat "$usb/idProduct" 2>/dev/null || true)
    [ "${vendor,,}" = 0483 ] && [ "${product,,}" = 5740 ] && return 0
  done
  return 1
}

if [ -n "${QUILLON_EXE:-}" ]; then
  exe=$QUILLON_EXE
else
  tools/setup.sh
  tools/build.sh build
  exe=build/app/quillon
fi

[ -x "$exe" ] || {
  echo "tools/run.sh: $exe is not an executable program" >&2
  exit 1
}

if [ "$mode" = auto ]; then
  if scantool_plugged; then
    mode=device
  else
    echo "No ScanTool is plugged in: starting the demo (tools/run.sh --device starts the" \
      "program for a real one)."
    mode=demo
  fi
fi
if [ "$mode" = device ]; then
  exec "$exe"
fi
exec python3 -B tools/demo/demo.py "$exe"
