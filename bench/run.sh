#!/usr/bin/env bash
# Builds the benchmarks (the default preset with benchmarks on, in its own build folder), runs
# them, runs the real program against the simulated meter and on a line that goes away and comes
# back, and writes bench/RESULTS.md.
# Nothing here fails on a slow machine: the figures are reported beside their goals.
#
#   bench/run.sh                      everything, the live run 60 s
#   QUORVEL_BENCH_SECONDS=20 bench/run.sh
#   QUORVEL_BENCH_BUILD=build-x bench/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."

build=${QUORVEL_BENCH_BUILD:-build-bench}
seconds=${QUORVEL_BENCH_SECONDS:-60}
jobs=${QUORVEL_BENCH_JOBS:-2}
out=$build/bench-out
mkdir -p "$out"
rm -f "$out"/*.json "$out"/*.txt "$out"/*.log

echo "=== configure and build ($build) ==="
cmake --preset default -B "$build" -DQUORVEL_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j "$jobs" --target quorvel_bench first_byte line_loss
# The Qt window, the program and the simulated meter, when this tree has them.
for target in quorvel_qt_bench quorvel quorvel-sim; do
  if ninja -C "$build" -t query "$target" >/dev/null 2>&1; then
    cmake --build "$build" -j "$jobs" --target "$target"
  else
    echo "no target $target: its figures are left out"
  fi
done
bin=$build/bin

repeat=(--benchmark_repetitions=5 --benchmark_report_aggregates_only=true
        --benchmark_out_format=json)

cut -d' ' -f1-3 /proc/loadavg >"$out/loadavg.txt"
echo "=== headless window ==="
"$bin/quorvel_bench" "${repeat[@]}" --benchmark_out="$out/headless.json"

if [[ -x $bin/quorvel_qt_bench ]]; then
  echo "=== Qt window, offscreen ==="
  QT_QPA_PLATFORM=offscreen "$bin/quorvel_qt_bench" "${repeat[@]}" \
    --benchmark_out="$out/qt.json" 2> >(grep -v XDG_RUNTIME_DIR >&2)
fi

if [[ -x $bin/quorvel ]]; then
  echo "=== start-up to the first byte on the wire ==="
  "$bin/first_byte" "$bin/quorvel" 11 | tee "$out/first_byte.txt"
fi

if [[ -x $bin/quorvel ]]; then
  echo "=== a lost line: detection, CPU while lost, recovery ==="
  "$bin/line_loss" "$bin/quorvel" "${QUORVEL_LINE_LOSS_RUNS:-5}" 10 | tee "$out/line_loss.txt"
fi

# The program polling the simulated meter: CPU share, peak memory and the rotation period.
# The meter logs every request with its time, which gives the period of the rotation.
live_run() {
  local home sim_pid pid link tick t0 t1 cpu0 cpu1 hwm
  home=$(mktemp -d /tmp/quorvel-bench-XXXXXX)
  export XDG_CONFIG_HOME=$home HOME=$home QT_QPA_PLATFORM=offscreen
  "$bin/quorvel-sim" --seed 1 --verbose >"$out/sim.out" 2>"$out/sim.log" &
  sim_pid=$!
  link=$home/quorvel/ports/COM1
  for _ in $(seq 100); do [[ -L $link ]] && break; sleep 0.1; done
  "$bin/quorvel" >/dev/null 2>&1 &
  pid=$!
  sleep 3  # start-up over, polling under way
  cpu_ticks() { sed 's/.*) //' "/proc/$pid/stat" | awk '{print $12 + $13}'; }
  tick=$(getconf CLK_TCK)
  cpu0=$(cpu_ticks)
  t0=$(date +%s.%N)
  sleep "$seconds"
  cpu1=$(cpu_ticks)
  t1=$(date +%s.%N)
  hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status")
  kill -TERM "$pid"
  wait "$pid" || true
  kill -TERM "$sim_pid"
  wait "$sim_pid" || true
  rm -rf "$home"
  {
    echo "wall_start=$t0"
    echo "wall_end=$t1"
    echo "cpu_ticks=$((cpu1 - cpu0))"
    echo "clock_ticks_per_second=$tick"
    echo "vmhwm_kb=$hwm"
  } >"$out/live.txt"
  cat "$out/live.txt"
}

if [[ -x $bin/quorvel && -x $bin/quorvel-sim ]]; then
  echo "=== the program polling the simulated meter for $seconds s ==="
  live_run
fi

python3 bench/write_results.py "$out" bench/RESULTS.md
echo "=== bench/RESULTS.md written ==="
