#!/usr/bin/env bash
# Builds everything and runs every test: the normal build (unit, GUI offscreen, end-to-end), the core
# tests under AddressSanitizer + UndefinedBehaviorSanitizer and under ThreadSanitizer, and
# each fuzz target for a bounded time; then Release builds with GCC and Clang (warnings are errors in every
# build here) and the Debian package, installed, used and removed. Installs missing Debian packages first.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)
FUZZ_SECONDS=${FUZZ_SECONDS:-30}

. scripts/packages.sh
ensure_packages cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev libbenchmark-dev \
  qt6-base-dev libudev-dev fonts-wqy-microhei fonts-liberation2 poppler-utils python3-xlrd xvfb xauth \
  libgl-dev tzdata
# A private print server for the print-queue test (tests/print-server/run.sh, run by ctest).
ensure_packages cups cups-client cups-filters libcups2-dev
ensure_packages libxlsxwriter-dev pkgconf python3-openpyxl
# Header-only libraries of the command-line tool (JSON, argument parsing).
ensure_packages nlohmann-json3-dev libcli11-dev
# The history of downloads and files.
ensure_packages libsqlite3-dev
# The package and its checks; Qt's own translations for the dialogs.
ensure_packages help2man dpkg-dev lintian appstream shared-mime-info xdg-utils libglib2.0-bin qt6-translations-l10n \
  bash-completion
ensure_packages locales  # localedef: the tests make a comma-decimal locale with it
ensure_packages clang-format-14  # scripts/check-format.sh

export QT_QPA_PLATFORM=offscreen
status=0

echo "== formatting (.clang-format)"
scripts/check-format.sh || status=1

echo "== build (RelWithDebInfo)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTHERMIVO_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
echo "== tests"
ctest --test-dir build --output-on-failure -j "$jobs" || status=1

echo "== core tests under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTHERMIVO_SANITIZE=address,undefined -DTHERMIVO_WERROR=ON \
      -DTHERMIVO_BUILD_GUI=OFF -DTHERMIVO_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs" --target thermivo_core_tests
ctest --test-dir build-asan --output-on-failure -j "$jobs" -L unit || status=1

echo "== core tests under ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTHERMIVO_SANITIZE=thread -DTHERMIVO_WERROR=ON \
      -DTHERMIVO_BUILD_GUI=OFF -DTHERMIVO_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan -j "$jobs" --target thermivo_core_tests
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -j "$jobs" -L unit || status=1

echo "== fuzz targets (${FUZZ_SECONDS} s each)"
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTHERMIVO_FUZZ=ON -DTHERMIVO_WERROR=ON \
      -DTHERMIVO_SANITIZE=address,undefined -DTHERMIVO_BUILD_GUI=OFF -DTHERMIVO_BUILD_TESTS=OFF \
      -DTHERMIVO_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$jobs"
for f in build-fuzz/fuzz/fuzz_*; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  corpus="build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds="$root/fuzz/seeds/${name#fuzz_}"
  args=("$corpus"); [ -d "$seeds" ] && args+=("$seeds")
  echo "-- $name"
  if ! "$f" -max_total_time="$FUZZ_SECONDS" -print_final_stats=0 -artifact_prefix="build-fuzz/" "${args[@]}" \
       >"build-fuzz/$name.log" 2>&1; then
    tail -n 40 "build-fuzz/$name.log"; status=1
  fi
done

echo "== Release builds without a warning: GCC (the package) and Clang"
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTHERMIVO_WERROR=ON -DTHERMIVO_BUILD_TESTS=OFF \
      -DTHERMIVO_BUILD_BENCH=OFF -DTHERMIVO_UDEV_RULES_DIR=lib/udev/rules.d >/dev/null
cmake --build build-release -j "$jobs" || status=1
CXX=clang++ cmake -S . -B build-clang -G Ninja -DCMAKE_BUILD_TYPE=Release -DTHERMIVO_WERROR=ON \
      -DTHERMIVO_BUILD_TESTS=OFF -DTHERMIVO_BUILD_BENCH=OFF >/dev/null
cmake --build build-clang -j "$jobs" || status=1

echo "== Debian package: lintian, install, use, remove"
scripts/check-package.sh build-release || status=1

if [ $status -eq 0 ]; then echo "== all tests passed"; else echo "== FAILURES"; fi
exit $status
