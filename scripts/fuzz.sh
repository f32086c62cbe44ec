#!/usr/bin/env bash
# Builds the fuzz targets with clang, AddressSanitizer and UBSan into
# build-fuzz/, then runs each for SECONDS (default 60) from its seed corpus.
# The seeds in fuzz/corpus/ stay unchanged; what the fuzzer learns goes to
# build-fuzz/corpus/. A crash stops the script and leaves the input in
# build-fuzz/crash-<target>-*: fix it, then add the input to the seeds.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
case "$seconds" in
  ''|*[!0-9]*) echo "usage: scripts/fuzz.sh [SECONDS]" >&2; exit 1 ;;
esac
jobs=$(nproc 2>/dev/null || echo 2)
targets=(world_state connect properties command_line)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOCCER_FUZZ=ON \
  -DSOCCER_TESTS=OFF -DSOCCER_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$jobs" --target "${targets[@]/#/fuzz_}"

# Absolute paths: the targets work in a scratch directory of their own.
root="$PWD"
for t in "${targets[@]}"; do
  echo "== fuzz_$t (${seconds} s)"
  mkdir -p "$root/build-fuzz/corpus/$t"
  # 16 KiB is the largest datagram the agent reads.
  log="$root/build-fuzz/fuzz_$t.log"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "$root/build-fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$root/build-fuzz/crash-$t-" -print_final_stats=1 \
      "$root/build-fuzz/corpus/$t" "$root/fuzz/corpus/$t" > "$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "fuzz_$t found a fault; the input is kept as build-fuzz/crash-$t-*" >&2
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|DONE' "$log" || true
done
