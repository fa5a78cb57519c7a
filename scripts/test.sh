#!/usr/bin/env bash
# Builds Quorvel and runs every test: the default preset, then again under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the Debian package (built, installed and run), the Windows
# cross-compile of the link and a short run of each fuzzer. The last line gives the test count
# of both presets.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_deps.sh

jobs=$(nproc)
passed=0
failed=0
for preset in default asan; do
  echo "=== $preset ==="
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  log=$(mktemp)
  status=0
  ctest --preset "$preset" -j "$jobs" --timeout 300 2>&1 | tee "$log" || status=$?
  total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -1)
  bad=$(sed -n 's/.* \([0-9]*\) tests failed out of.*/\1/p' "$log" | tail -1)
  rm -f "$log"
  passed=$((passed + ${total:-0} - ${bad:-0}))
  failed=$((failed + ${bad:-0}))
  if [ "$status" -ne 0 ]; then
    echo "tests: $passed passed, $failed failed"
    exit "$status"
  fi
done

echo "=== Debian package: built, installed with apt-get, run ==="
scripts/package_check.sh build

echo "=== Windows cross-compile of link/ ==="
scripts/cross_windows.sh

echo "=== Fuzzers, ${QUORVEL_FUZZ_SECONDS:-60} s each ==="
scripts/fuzz.sh "${QUORVEL_FUZZ_SECONDS:-60}"

# Both presets together, in the form CI reads.
echo "tests: $passed passed, $failed failed"
