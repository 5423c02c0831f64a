#!/usr/bin/env bash
# Installs what is missing, builds a release build into build/ and starts the
# editor with build/ as its working directory.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQTE_TESTS=OFF
cmake --build build -j"$(nproc)"
cd build
exec ./qte
