#!/usr/bin/env bash
# Runs the soak test once under valgrind's memcheck: any leak or memory error fails the run.
# valgrind is tens of times slower than the plain build, so the run is shorter
# (QUORVEL_SOAK_TICKS, 200000 ticks unless set). Uses the default preset's build unless
# QUORVEL_SOAK_BUILD names another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${QUORVEL_SOAK_BUILD:-build}
if [[ ! -d $build ]]; then
  cmake --preset default -B "$build" >/dev/null
fi
cmake --build "$build" --target soak_test

export QUORVEL_SOAK_TICKS=${QUORVEL_SOAK_TICKS:-200000}
valgrind --leak-check=full --errors-for-leak-kinds=definite,indirect,possible \
  --error-exitcode=1 "$build/bin/soak_test"
