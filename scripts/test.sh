#!/usr/bin/env bash
# Installs what the tests need, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-test/, runs every test with ctest,
# then gives each fuzz target (clang, libFuzzer) a short bounded run.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/install-deps.sh --test

jobs=$(nproc)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# The benchmarks are built too (not run), so they keep up with the code.
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DQTE_SANITIZE=ON -DQTE_TESTS=ON -DQTE_BENCH=ON
cmake --build build-test -j"$jobs"
# One virtual X display for the tests that draw; the end-to-end tests start
# their own displays.
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
(cd build-test && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure -j"$jobs")

# Fuzz targets: clang with libFuzzer and the sanitizers, seeded from the demo
# level and the test pictures.
fuzz_seconds=${QTE_FUZZ_SECONDS:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug \
  -DQTE_FUZZ=ON -DQTE_SANITIZE=ON -DQTE_TESTS=OFF
cmake --build build-fuzz -j"$jobs"
shopt -s nullglob
for target in build-fuzz/fuzz/fuzz_*; do
  [[ -x "$target" && -f "$target" ]] || continue
  name=$(basename "$target")
  corpus="build-fuzz/fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds="$root/fuzz/seeds/$name"
  [[ -d "$seeds" ]] || seeds=""
  echo "Fuzzing $name for ${fuzz_seconds}s"
  "$target" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -print_final_stats=1 \
    "$corpus" ${seeds:+"$seeds"} 2>&1 | tail -n 15
  [[ ${PIPESTATUS[0]} -eq 0 ]] || { echo "fuzz target $name failed"; exit 1; }
done
echo "All tests and fuzz runs passed."
