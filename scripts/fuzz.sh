#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for the given number of seconds
# (default 60), starting from the committed seeds. Prints executions and coverage of each run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

declare -A max_len=([fuzz_assembler]=4096 [fuzz_decode]=300 [fuzz_text]=110000 [fuzz_profile]=20000)
status=0
for target in fuzz_assembler fuzz_decode fuzz_text fuzz_profile; do
  name=${target#fuzz_}
  work=build-fuzz/corpus/$name
  mkdir -p "$work" build-fuzz/artifacts
  echo "=== $target: ${seconds}s ==="
  if ! build-fuzz/bin/$target "$work" "fuzz/corpus/$name" -max_total_time="$seconds" \
      -max_len="${max_len[$target]}" -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/ \
      -timeout=10 -rss_limit_mb=2048 2>build-fuzz/$target.log; then
    status=1
    tail -40 build-fuzz/$target.log
  fi
  grep -E "stat::number_of_executed_units|cov:" build-fuzz/$target.log | tail -2 || true
done
exit $status
