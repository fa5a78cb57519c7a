#!/usr/bin/env bash
# Builds the benchmarks (the default preset with benchmarks on, in its own build folder), runs
# them, runs the real program against the simulated meter and on a line that goes away and comes
# back, and writes bench/RESULTS.md. Every figure is taken in QUORVEL_BENCH_RUNS runs (3) and
# given as min / median / max, with the load average when its runs began.
# Nothing here fails on a slow machine: the figures are reported beside their goals.
#
#   bench/run.sh                      everything, each live run 60 s
#   QUORVEL_BENCH_SECONDS=20 bench/run.sh
#   QUORVEL_BENCH_BASELINE=<git revision> bench/run.sh
#                                     also builds the program at that revision and measures its
#                                     CPU and start-up beside this tree's, runs alternating
#   QUORVEL_BENCH_BUILD=build-x bench/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."

build=${QUORVEL_BENCH_BUILD:-build-bench}
seconds=${QUORVEL_BENCH_SECONDS:-60}
runs=${QUORVEL_BENCH_RUNS:-3}
jobs=${QUORVEL_BENCH_JOBS:-2}
baseline=${QUORVEL_BENCH_BASELINE:-}
out=$build/bench-out
mkdir -p "$out"
rm -f "$out"/*.json "$out"/*.txt "$out"/*.log

echo "=== configure and build ($build) ==="
cmake --preset default -B "$build" -DQUORVEL_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j "$jobs" --target quorvel_bench first_byte line_loss record_handover scan_time
# The Qt window, the program and the simulated meter, when this tree has them.
for target in quorvel_qt_bench transaction_cpu quorvel quorvel-sim; do
  if ninja -C "$build" -t query "$target" >/dev/null 2>&1; then
    cmake --build "$build" -j "$jobs" --target "$target"
  else
    echo "no target $target: its figures are left out"
  fi
done
bin=$build/bin

# The program at an earlier revision, built from a worktree of its own in the same build folder.
base_bin=""
if [[ -n $baseline ]]; then
  echo "=== the program at $baseline, for the figures before and after ==="
  base_src=$PWD/$build/baseline-src
  base_build=$PWD/$build/baseline-build
  if [[ -d $base_src ]]; then
    git -C "$base_src" checkout -q --detach "$baseline"
  else
    git worktree add -q --detach "$base_src" "$baseline"
  fi
  (cd "$base_src" && cmake --preset default -B "$base_build" >/dev/null)
  cmake --build "$base_build" -j "$jobs" --target quorvel
  base_bin=$base_build/bin
  git -C "$base_src" rev-parse --short HEAD >"$out/baseline.txt"
fi
git rev-parse --short HEAD >"$out/revision.txt"

cut -d' ' -f1-3 /proc/loadavg >"$out/loadavg.txt"
# The 1-minute load average as a stage begins: "stage=load".
note_load() { echo "$1=$(cut -d' ' -f1 /proc/loadavg)" >>"$out/load.txt"; }

repeat=(--benchmark_repetitions="$runs" --benchmark_out_format=json)

note_load headless
echo "=== headless window ==="
"$bin/quorvel_bench" "${repeat[@]}" --benchmark_out="$out/headless.json"

if [[ -x $bin/quorvel_qt_bench ]]; then
  note_load qt
  echo "=== Qt window, offscreen ==="
  QT_QPA_PLATFORM=offscreen "$bin/quorvel_qt_bench" "${repeat[@]}" \
    --benchmark_out="$out/qt.json" 2> >(grep -v XDG_RUNTIME_DIR >&2)
fi

if [[ -x $bin/transaction_cpu ]]; then
  note_load transaction
  echo "=== CPU per polled transaction, simulated time ==="
  for ((r = 1; r <= runs; ++r)); do
    "$bin/transaction_cpu" 300 2> >(grep -v XDG_RUNTIME_DIR >&2) | tee "$out/transaction_$r.txt"
  done
fi

# The records: the same transactions without and with the capture and the data log, run by run;
# then the hand-over of lines to the records' files.
if [[ -x $bin/transaction_cpu ]]; then
  note_load records
  echo "=== CPU per polled transaction, capture and data log off and on ==="
  for ((r = 1; r <= runs; ++r)); do
    records=$(mktemp -d /tmp/quorvel-bench-records-XXXXXX)
    "$bin/transaction_cpu" 300 2> >(grep -v XDG_RUNTIME_DIR >&2) | tee "$out/records_off_$r.txt"
    "$bin/transaction_cpu" 300 --records "$records" 2> >(grep -v XDG_RUNTIME_DIR >&2) |
      tee "$out/records_on_$r.txt"
    rm -rf "$records"
  done
fi
note_load handover
echo "=== hand-over of lines to the records' files ==="
for ((r = 1; r <= runs; ++r)); do
  "$bin/record_handover" | tee "$out/handover_$r.txt"
done

# The bus scan on a pseudo-terminal: 247 silent addresses at one setting against the floor, then
# the default order until it finds a simulated meter at address 200, 19200 baud, even parity.
note_load scan
echo "=== the bus scan ==="
for ((r = 1; r <= runs; ++r)); do
  "$bin/scan_time" silent | tee "$out/scan_silent_$r.txt"
  if [[ -x $bin/quorvel-sim ]]; then
    "$bin/scan_time" find "$bin/quorvel-sim" | tee "$out/scan_find_$r.txt"
  fi
done

# Start-up: each run is the median of five starts.
first_byte() {
  local tag=$1 program=$2 r
  for ((r = 1; r <= runs; ++r)); do
    "$bin/first_byte" "$program" 5 | tee "$out/first_byte_${tag}_$r.txt"
  done
}
if [[ -x $bin/quorvel ]]; then
  note_load first_byte
  echo "=== start-up to the first byte on the wire ==="
  first_byte after "$bin/quorvel"
  [[ -z $base_bin ]] || first_byte before "$base_bin/quorvel"
fi

if [[ -x $bin/quorvel ]]; then
  note_load line_loss
  echo "=== a lost line: detection, CPU while lost, recovery ==="
  "$bin/line_loss" "$bin/quorvel" "${QUORVEL_LINE_LOSS_RUNS:-5}" 10 | tee "$out/line_loss.txt"
fi

# The program polling the simulated meter (this tree's meter for both builds): CPU of all its
# threads (/proc/<pid>/task/*/schedstat), polled transactions, peak memory, and the rotation
# period from the meter's log of requests.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%d", s}'; }
requests() { grep -c '] rx ' "$1" || true; }
live_run() {
  local tag=$1 dir=$2 r=$3 home sim_pid pid link t0 t1 cpu0 cpu1 n0 n1 hwm log
  home=$(mktemp -d /tmp/quorvel-bench-XXXXXX)
  log=$out/sim_${tag}_$r.log
  export XDG_CONFIG_HOME=$home HOME=$home QT_QPA_PLATFORM=offscreen
  "$bin/quorvel-sim" --seed 1 --verbose >"$home/sim.out" 2>"$log" &
  sim_pid=$!
  link=$home/quorvel/ports/COM1
  for _ in $(seq 100); do [[ -L $link ]] && break; sleep 0.1; done
  "$dir/quorvel" >/dev/null 2>&1 &
  pid=$!
  sleep 3  # start-up over, polling under way
  cpu0=$(cpu_ns "$pid")
  n0=$(requests "$log")
  t0=$(date +%s.%N)
  sleep "$seconds"
  cpu1=$(cpu_ns "$pid")
  n1=$(requests "$log")
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
    echo "cpu_ns=$((cpu1 - cpu0))"
    echo "transactions=$((n1 - n0))"
    echo "vmhwm_kb=$hwm"
  } >"$out/live_${tag}_$r.txt"
  echo "$tag run $r: $(tr '\n' ' ' <"$out/live_${tag}_$r.txt")"
}

if [[ -x $bin/quorvel && -x $bin/quorvel-sim ]]; then
  note_load live
  echo "=== the program polling the simulated meter, $runs runs of $seconds s ==="
  for ((r = 1; r <= runs; ++r)); do
    live_run after "$bin" "$r"
    [[ -z $base_bin ]] || live_run before "$base_bin" "$r"
  done
fi

python3 bench/write_results.py "$out" bench/RESULTS.md
echo "=== bench/RESULTS.md written ==="
