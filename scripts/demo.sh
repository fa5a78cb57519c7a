#!/usr/bin/env bash
# One command to see Quorvel at work without a meter: installs what the console and the
# simulated meter need, builds those two programs only (scripts/test.sh builds the rest), starts
# the simulated meter on COM1 and the console against it (with --defaults: on COM1, whatever
# line the console remembers), and stops the meter when the console closes. Without a display the
# console runs under Xvfb for 20 seconds and a screenshot of it is saved to demo.png.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

DEMO_SECONDS=20
SCREENSHOT="$ROOT/demo.png"
SIM="$ROOT/build/bin/quorvel-sim"
CONSOLE="$ROOT/build/bin/quorvel"

# Where the console looks for COM1: $XDG_CONFIG_HOME/quorvel/ports/COM1 or ~/.config/...
link_path() {
  local base="${XDG_CONFIG_HOME:-}"
  [[ $base == /* ]] || base="$HOME/.config"
  echo "$base/quorvel/ports/COM1"
}

SIM_PID=""
SIM_LOG=""
stop_meter() {
  if [[ -n $SIM_PID ]] && kill -0 "$SIM_PID" 2>/dev/null; then
    kill -TERM "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
  fi
  SIM_PID=""
  [[ -n $SIM_LOG ]] && rm -f "$SIM_LOG"
  SIM_LOG=""
}
trap stop_meter EXIT
trap 'exit 130' INT TERM

start_meter() {
  SIM_LOG="$(mktemp)"
  "$SIM" --port COM1 >"$SIM_LOG" 2>&1 &
  SIM_PID=$!
  for _ in $(seq 100); do
    grep -q '^link: ' "$SIM_LOG" && break
    if ! kill -0 "$SIM_PID" 2>/dev/null; then
      cat "$SIM_LOG" >&2
      echo "demo: the simulated meter did not start (is COM1 linked to a device already?)" >&2
      exit 1
    fi
    sleep 0.1
  done
  cat "$SIM_LOG"
  [[ -L $(link_path) ]] || { echo "demo: no link at $(link_path)" >&2; exit 1; }
}

run_console_headless() {
  echo "demo: no display; running the console under Xvfb for $DEMO_SECONDS seconds"
  rm -f "$SCREENSHOT"
  # shellcheck disable=SC2016 # the inner script gets its values as arguments
  xvfb-run -a -s "-screen 0 1366x768x24" bash -c '
    "$1" --defaults & console=$!
    sleep "$3"
    import -window root "$2"
    kill "$console" 2>/dev/null
    wait "$console" 2>/dev/null
    exit 0' demo "$CONSOLE" "$SCREENSHOT" "$DEMO_SECONDS"
  if [[ -f $SCREENSHOT ]]; then
    echo "demo: screenshot saved to $SCREENSHOT"
  else
    echo "demo: no screenshot was taken" >&2
    exit 1
  fi
}

bash scripts/install_deps.sh --console
# The tests are switched off for this configure only: the default preset switches them on again
# for the test command, which then builds them beside the programs built here.
cmake --preset default -DQUORVEL_BUILD_TESTS=OFF
cmake --build --preset default --target quorvel quorvel-sim
echo "demo: the console and the simulated meter ready after $SECONDS s"

if [[ ! -x $CONSOLE ]]; then
  echo "demo: $CONSOLE was not built" >&2
  exit 1
fi
start_meter
if [[ -n ${DISPLAY:-} ]]; then
  echo "demo: the console polls the simulated meter on COM1; close its window to stop"
  "$CONSOLE" --defaults  # on COM1, where the meter is, whatever the last run chose
else
  run_console_headless
fi
