#!/usr/bin/env bash
# Builds Quorvel and runs every test: the default preset, then again under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the Windows cross-compile of the link.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_deps.sh

jobs=$(nproc)
for preset in default asan; do
  echo "=== $preset ==="
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs" --timeout 300
done

echo "=== Windows cross-compile of link/ ==="
scripts/cross_windows.sh

echo "=== Fuzzers, ${QUORVEL_FUZZ_SECONDS:-60} s each ==="
scripts/fuzz.sh "${QUORVEL_FUZZ_SECONDS:-60}"
