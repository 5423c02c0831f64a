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

# The sanitizers do not see into system libraries (libpng, libjpeg): the
# image suite runs once more under valgrind, in a build without them.
cmake -S . -B build-valgrind -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQTE_TESTS=ON
cmake --build build-valgrind -j"$jobs" --target imaging_tests
echo "Running the image suite under valgrind"
# libjpeg's SIMD code is too new for this valgrind, which misreads it; the
# plain code decodes the same pixels.
JSIMD_FORCENONE=1 timeout 1200 valgrind -q --error-exitcode=1 --track-origins=yes \
  build-valgrind/tests/imaging_tests --gtest_filter='image_suite.*' --gtest_brief=1

# The Windows build (QTE_WINDOWS=1, as CI sets it): the core's tests under
# Wine, and qte-tool.exe against the Linux tool just built.
if [[ "${QTE_WINDOWS:-}" == 1 ]]; then
  scripts/build-windows.sh --test build-test/qte-tool
fi

# Fuzz targets: clang with libFuzzer and the sanitizers, seeded from the demo
# level, the test pictures and, for the image decoders, the public suites.
fuzz_seconds=${QTE_FUZZ_SECONDS:-60}
suites=$root/../shared/testimages
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug \
  -DQTE_FUZZ=ON -DQTE_SANITIZE=ON -DQTE_TESTS=OFF
cmake --build build-fuzz -j"$jobs"
shopt -s nullglob
for target in build-fuzz/fuzz/fuzz_*; do
  [[ -x "$target" && -f "$target" ]] || continue
  name=$(basename "$target")
  corpus="build-fuzz/fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [[ -d "$root/fuzz/seeds/$name" ]] && seeds+=("$root/fuzz/seeds/$name")
  case $name in
    fuzz_bmp_decode) seeds+=("$suites/bmpsuite") ;;
    fuzz_png_import) seeds+=("$suites/pngsuite" "$suites/testpngs") ;;
    fuzz_level_round_trip) seeds+=("$root/fuzz/seeds/fuzz_load_level") ;;
  esac
  echo "Fuzzing $name for ${fuzz_seconds}s"
  "$target" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -print_final_stats=1 \
    "$corpus" "${seeds[@]}" 2>&1 | tail -n 15
  [[ ${PIPESTATUS[0]} -eq 0 ]] || { echo "fuzz target $name failed"; exit 1; }
done
echo "All tests and fuzz runs passed."
