#!/usr/bin/env bash
# quorvel.exe under Wine finds a meter it cannot reach: the simulated meter on COM1 is at address
# 5, 19200 baud, even parity, the console at its defaults (address 1, 9600, no parity). 工具 →
# 扫描总线…, chosen by keyboard (F10, Right, Down, Enter), opens the scan window; Shift+Tab to
# 开始 and Space start the scan, which stops at the meter found and chooses its row; Shift+Tab to
# 采用 and Space adopt it: the window closes and the console reads meter 5's parameter block at
# 19200 baud. The scan window with its result is saved as a screenshot.
# Usage: wine_scan.sh QUORVEL_EXE TAB_STEPS_EXE QUORVEL_SIM [SCREENSHOT]
set -eEuo pipefail
exe="$1"
tab_steps="$2"
sim="$3"
screenshot="${4:-}"
source "$(dirname "$0")/wine_needs.sh"
need_wine scan_under_wine "$sim" xdotool

source "$(dirname "$0")/wine_test_lib.sh"
trap cleanup EXIT

fail() {
  echo "--- meter (last lines)" >&2
  tail -n 12 "$work/meter.log" >&2 || true
  echo "--- quorvel.exe (last lines)" >&2
  tail -n 12 "$work/quorvel.log" >&2 || true
  echo "scan_under_wine: $1" >&2
  exit 1
}
trap 'echo "scan_under_wine: line $LINENO failed: $BASH_COMMAND" >&2' ERR

received() { grep -q "] rx $1" "$work/meter.log"; }

mkdir -p "$work/meter"
XDG_CONFIG_HOME="$work/meter" "$sim" --verbose --seed 5 --address 5 --baud 19200 --parity even \
  >"$work/meter.out" 2>"$work/meter.log" &
pids+=($!)
wait_for 10 grep -q "^device: " "$work/meter.out" || fail "the meter did not start"
ln -sfn "$(sed -n 's/^device: //p' "$work/meter.out")" "$com1"

to_start=$("$wine" "$tab_steps" --scan 1332 </dev/null 2>>"$work/quorvel.log" | tr -d '\r')
to_adopt=$("$wine" "$tab_steps" --scan 1336 1332 </dev/null 2>>"$work/quorvel.log" | tr -d '\r')
[[ "$to_start" =~ ^[0-9]+$ && "$to_adopt" =~ ^[0-9]+$ ]] ||
  fail "tab_steps gave '$to_start' '$to_adopt'"

find "$WINEPREFIX/drive_c/users" -path '*/Quorvel/quorvel.ini' -delete 2>/dev/null || true
"$wine" "$exe" </dev/null >>"$work/quorvel.log" 2>&1 &
console=$!
pids+=("$console")
window=""
find_window() { window=$(xdotool search --name 'quorvel\.exe' 2>/dev/null | head -n1); [ -n "$window" ]; }
wait_for 60 find_window || fail "no window captioned with quorvel.exe appeared"
# The console polls at 9600, which the meter at 19200 does not hear.
wait_for 60 grep -q "sent at 9600 baud: not heard" "$work/meter.log" || fail "the console did not poll COM1"
received "05 03" && fail "the meter at address 5 was asked before the scan"

xdotool windowfocus --sync "$window"
xdotool key F10
sleep 0.3
xdotool key Right
sleep 0.3
xdotool key Down
sleep 0.3
xdotool key Return
scan=""
find_scan() { scan=$(xdotool search --name '扫描总线' 2>/dev/null | head -n1); [ -n "$scan" ]; }
wait_for 20 find_scan || fail "工具 → 扫描总线… opened no scan window"
sleep 0.5
xdotool key --delay 40 $(for ((k = 0; k < to_start; ++k)); do echo shift+Tab; done) space
# The meter answers the probe at 19200 and then the read of its line settings (17 registers).
wait_for 60 received "05 03 03 00 00 11" || fail "the scan did not find the meter at address 5"
sleep 1.5  # the scan window takes in the end of the scan at its next ticks
if [ -n "$screenshot" ]; then
  eval "$(xdotool getwindowgeometry --shell "$scan")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$screenshot"
fi
blocks=$(grep -c "] rx 05 03 03 00 00 2C" "$work/meter.log" || true)
xdotool key --delay 40 $(for ((k = 0; k < to_adopt; ++k)); do echo shift+Tab; done) space
closed() { [ -z "$(xdotool search --name '扫描总线' 2>/dev/null)" ]; }
wait_for 20 closed || fail "采用 did not close the scan window"
read_block() { [ "$(grep -c "] rx 05 03 03 00 00 2C" "$work/meter.log" || true)" -gt "$blocks" ]; }
wait_for 30 read_block || fail "the console did not read meter 5's parameter block after 采用"

xdotool windowfocus --sync "$window"
xdotool key Escape
wait_for 20 bash -c "! kill -0 $console 2>/dev/null" || fail "Escape did not close the window"
wait "$console" || fail "quorvel.exe exited with $?"
echo "scan_under_wine: the meter at 5, 19200, EVEN found on COM1 and adopted"
