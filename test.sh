#!/usr/bin/env bash
# Builds everything and runs every test: the normal build (unit, GUI offscreen, end-to-end), the core
# tests under AddressSanitizer + UndefinedBehaviorSanitizer and under ThreadSanitizer, and
# each fuzz target for a bounded time. Installs missing Debian packages first.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)
FUZZ_SECONDS=${FUZZ_SECONDS:-30}

. scripts/packages.sh
ensure_packages cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev libbenchmark-dev \
  qt6-base-dev libudev-dev fonts-wqy-microhei fonts-liberation2 poppler-utils python3-xlrd xvfb xauth \
  libgl-dev tzdata
ensure_packages locales  # localedef: the tests make a comma-decimal locale with it

export QT_QPA_PLATFORM=offscreen
status=0

echo "== build (RelWithDebInfo)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
echo "== tests"
ctest --test-dir build --output-on-failure -j "$jobs" || status=1

echo "== core tests under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTHERMIVO_SANITIZE=address,undefined \
      -DTHERMIVO_BUILD_GUI=OFF -DTHERMIVO_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs" --target thermivo_core_tests
ctest --test-dir build-asan --output-on-failure -j "$jobs" -L unit || status=1

echo "== core tests under ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTHERMIVO_SANITIZE=thread \
      -DTHERMIVO_BUILD_GUI=OFF -DTHERMIVO_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan -j "$jobs" --target thermivo_core_tests
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -j "$jobs" -L unit || status=1

echo "== fuzz targets (${FUZZ_SECONDS} s each)"
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTHERMIVO_FUZZ=ON \
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

if [ $status -eq 0 ]; then echo "== all tests passed"; else echo "== FAILURES"; fi
exit $status
