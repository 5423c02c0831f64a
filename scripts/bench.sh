#!/usr/bin/env bash
# Builds the benchmarks in release mode into build-bench/ and runs them all.
# The time to open a level in the running editor is measured apart, under
# Xvfb: bench/measure_open.sh BUILD_DIR SOURCE_DIR [PAGES] (see its header).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQTE_BENCH=ON -DQTE_TESTS=OFF
cmake --build build-bench -j"$(nproc)"
cd build-bench
for b in bench/bench_*; do
  [[ -x "$b" && -f "$b" ]] || continue
  echo "== $b"
  "$b" "$@"
done
