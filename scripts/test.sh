#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once on the normal
# build (with the Debian package built, unpacked into a scratch root and
# played with: LabPackage), once more on a build with AddressSanitizer and
# UBSan, then each fuzz target for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/bootstrap.sh all
jobs=$(nproc 2>/dev/null || echo 2)

echo "== tests (build/)"
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 300

echo "== tests with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DSOCCER_SANITIZE=ON -DSOCCER_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 600

echo "== fuzz targets, ${SOCCER_FUZZ_SECONDS:-30} s each (build-fuzz/)"
./scripts/fuzz.sh "${SOCCER_FUZZ_SECONDS:-30}"
