#!/usr/bin/env bash
# Builds the desktop program and starts it. Installs missing Debian packages first. Every argument is passed
# on to thermivo, e.g. ./run.sh day1.kvlu  or  ./run.sh --port /dev/ttyUSB0
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc 2>/dev/null || echo 2)

need=(cmake ninja-build g++ googletest libgtest-dev libgmock-dev qt6-base-dev libudev-dev libgl-dev
      fonts-wqy-microhei fonts-liberation2 tzdata)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

echo "== build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs" --target thermivo

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run.sh: no display (DISPLAY or WAYLAND_DISPLAY) to show the window on" >&2
  exit 1
fi
echo "== starting thermivo $*"
exec ./build/src/gui/thermivo "$@"
