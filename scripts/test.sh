#!/usr/bin/env bash
# Builds Quorvel and runs every test: the default preset, then again under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the Debian package (built, installed and run), then quorvel.exe
# for Windows with its tests under Wine, and a short run of each fuzzer. The last line gives the
# test count of all three presets.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_deps.sh

jobs=$(nproc)
passed=0
failed=0
# Runs one preset's tests and adds them to the counts. With strict=1 a test that did not run (a
# skip) fails the run.
run_tests() {
  local preset="$1" strict="$2"
  shift 2
  local log status=0 total bad
  log=$(mktemp)
  ctest --preset "$preset" -j "$jobs" --timeout 300 --output-on-failure "$@" 2>&1 | tee "$log" ||
    status=$?
  total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -1)
  bad=$(sed -n 's/.* \([0-9]*\) tests failed out of.*/\1/p' "$log" | tail -1)
  if [ "$strict" = 1 ] && grep -qE 'Skipped|Not Run|did not run' "$log"; then
    echo "=== $preset: tests were skipped, which this run does not allow ==="
    bad=$((${bad:-0} + 1))
    [ "$status" -ne 0 ] || status=1
  fi
  if [ "$status" -ne 0 ]; then
    # What each failed test printed, again at the end where a short excerpt of the run shows it.
    echo "=== $preset: output of the failed tests ==="
    awk '/\*\*\*(Failed|Timeout|Exception)/ { show = 1; lines = 0 }
         / Test +#[0-9]+: .* Passed/ { show = 0 }
         show && lines++ < 40' "$log"
  fi
  rm -f "$log"
  passed=$((passed + ${total:-0} - ${bad:-0}))
  failed=$((failed + ${bad:-0}))
  if [ "$status" -ne 0 ]; then
    echo "tests: $passed passed, $failed failed"
    exit "$status"
  fi
}

for preset in default asan; do
  echo "=== $preset ==="
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  run_tests "$preset" 0
done

echo "=== Debian package: built, installed with apt-get, run ==="
scripts/package_check.sh build

# The Windows tests must run here: without Wine they fail instead of being skipped.
echo "=== Windows: quorvel.exe (MinGW-w64) and its tests under Wine ==="
windows_start=$SECONDS
cmake --preset windows
cmake --build --preset windows -j "$jobs"
QUORVEL_REQUIRE_WINE=1 run_tests windows 1 -L windows
scripts/cross_windows.sh  # and quorvel.exe needs no DLL beside it
echo "=== Windows stage: $((SECONDS - windows_start)) s ==="

echo "=== Fuzzers, ${QUORVEL_FUZZ_SECONDS:-60} s each ==="
scripts/fuzz.sh "${QUORVEL_FUZZ_SECONDS:-60}"

# All presets together, in the form CI reads.
echo "tests: $passed passed, $failed failed"
