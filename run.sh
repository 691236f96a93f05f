#!/usr/bin/env bash
# Builds the desktop program and starts it. Installs missing Debian packages first. Every argument but --help
# is passed on to thermivo, e.g. ./run.sh day1.kvlu  or  ./run.sh --port /dev/ttyUSB0. With no arguments and
# no instrument attached it starts in demo mode on the built-in virtual instrument. ./run.sh --help says more.
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc 2>/dev/null || echo 2)

usage() {
  cat <<'USAGE'
Usage: ./run.sh [THERMIVO OPTIONS] [FILE.kvlu]
Installs the Debian packages the build needs (when missing), builds the desktop program into build/ and starts
it with these arguments. Without arguments and without an instrument attached it starts in demo mode on the
built-in virtual instrument.

Options of thermivo, passed on:
  --port PATH    also treat this serial device as an instrument port (repeatable; or THERMIVO_PORT=PATH)
  --simulate     talk to the built-in virtual instrument instead of a real one
  --trace FILE   write every frame sent to and received from the instrument to FILE
  FILE.kvlu      a recording to open at start
  --version      thermivo's version (after the build)

  -h, --help     this text (nothing is installed or built)

Needs a display (DISPLAY or WAYLAND_DISPLAY, or QT_QPA_PLATFORM such as offscreen).
The tests: ./test.sh
USAGE
}
for a in "$@"; do
  case $a in
    --) break ;;
    -h | --help) usage; exit 0 ;;
  esac
done
# No window can be shown: say so before minutes of building, not after.
needs_display=1
for a in "$@"; do [ "$a" = --version ] && needs_display=0; done
if [ $needs_display = 1 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run.sh: no display (DISPLAY or WAYLAND_DISPLAY) to show the window on; nothing was built" >&2
  exit 1
fi

. scripts/packages.sh
ensure_packages cmake ninja-build g++ googletest libgtest-dev libgmock-dev qt6-base-dev libudev-dev libgl-dev \
  fonts-wqy-microhei fonts-liberation2 tzdata
ensure_packages libxlsxwriter-dev pkgconf
# Header-only libraries of the command-line tool (JSON, argument parsing).
ensure_packages nlohmann-json3-dev libcli11-dev
# The history of downloads and files.
ensure_packages libsqlite3-dev
# Printing: libcups lets the program confirm that the print service took a job.
ensure_packages libcups2-dev
# Qt's own dialogs in the system language.
ensure_packages qt6-translations-l10n

echo "== build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs" --target thermivo

# A CH34x bridge is a tty whose USB device (up the sysfs tree) carries one of these vendor:product ids.
bridge_attached() {
  local ids=" 1a86:7523 1a86:7522 1a86:5523 4348:5523 9986:7523 2184:0057 " tty dev
  for tty in /sys/class/tty/*; do
    [ -e "$tty/device" ] || continue
    dev=$(readlink -f "$tty/device")
    while [ -n "$dev" ] && [ "$dev" != "/" ] && [ "$dev" != "/sys" ]; do
      if [ -f "$dev/idVendor" ] && [ -f "$dev/idProduct" ]; then
        case "$ids" in *" $(cat "$dev/idVendor"):$(cat "$dev/idProduct") "*) return 0 ;; esac
        break
      fi
      dev=$(dirname "$dev")
    done
  done
  return 1
}

# Without arguments and without an instrument, show the whole cycle on the built-in virtual instrument.
if [ $# -eq 0 ] && [ -z "${THERMIVO_PORT:-}" ] && ! bridge_attached; then
  echo "== no instrument attached: starting with the built-in virtual instrument (demo mode)"
  set -- --simulate
fi
echo "== starting thermivo $*"
exec ./build/src/gui/thermivo "$@"
