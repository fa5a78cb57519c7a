#!/usr/bin/env bash
# quorvel.exe under Wine and Xvfb (the run's screen) against the simulated meter, driven through its keyboard only:
# the console polls the rotation of three blocks; Enter stops continuous reading; Shift+Tab walks
# the tab order back to "清事件" and Space presses it: Escape in the question box sends nothing,
# 是 (Tab, Space) the clear (function 9); Shift+Tab then walks on to "写参数" and Space presses
# it, so the meter receives the parameter block (function 16 at 0x0300, 44 registers); the
# question box and the window are saved as screenshots; 文件 → 退出, chosen with F10, Down and
# Enter, closes the window, and both writes are in the journal under %LOCALAPPDATA%.
# Usage: wine_e2e.sh QUORVEL_EXE TAB_STEPS_EXE QUORVEL_SIM SCREENSHOT QUESTION_SCREENSHOT
# Wine's COM1 is $WINEPREFIX/quorvel-com1 (wine_prefix.sh), pointed at the meter's terminal here.
set -eEuo pipefail

# A window driven by synthetic keys under Wine and Xvfb depends on timings no test controls (the
# first start of a new prefix, a loaded machine): a failed run is reported with its reason and
# tried once more; a second failure fails the test.
# The reasons come last, where a short excerpt of the run shows them.
if [ -z "${QUORVEL_E2E_REASON:-}" ]; then
  reason=$(mktemp)
  reasons=()
  for attempt in 1 2; do
    status=0
    if [ "$attempt" = 2 ]; then
      # A fresh session: the failed attempt may have left Wine's programs hanging.
      bash "$(dirname "$0")/wine_session.sh" "$WINEPREFIX" stop
      bash "$(dirname "$0")/wine_session.sh" "$WINEPREFIX" start
    fi
    : >"$reason"
    QUORVEL_E2E_REASON=$reason bash "$0" "$@" || status=$?
    if [ "$status" = 0 ] || [ "$status" = 77 ]; then
      rm -f "$reason"
      exit "$status"
    fi
    reasons+=("console_under_wine: attempt $attempt failed (exit $status): $(cat "$reason")")
  done
  rm -f "$reason"
  printf '%s\n' "${reasons[@]}" >&2
  exit 1
fi

exe="$1"
tab_steps="$2"
sim="$3"
screenshot="$4"
question_screenshot="$5"
wine="${QUORVEL_WINE:-/usr/lib/wine/wine64}"

skip() {
  echo "console_under_wine: $1; the test does not run" >&2
  echo "$1" >"$QUORVEL_E2E_REASON"
  [ "${QUORVEL_REQUIRE_WINE:-0}" = 1 ] && exit 1
  exit 77
}
[ -x "$wine" ] || skip "Wine not found ($wine): install Debian's wine and wine64"
for tool in xdotool import; do
  command -v "$tool" >/dev/null || skip "$tool not found (xvfb, xdotool, imagemagick)"
done
[ -x "$sim" ] || skip "no quorvel-sim at '$sim': build the default preset first"
[ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] || { echo "no Wine prefix (wine_prefix)" >&2; exit 1; }
export WINEDEBUG=-all

source "$(dirname "$0")/wine_test_lib.sh"

fail() {
  echo "--- simulated meter (last lines)" >&2
  tail -n 20 "$work/sim.log" >&2 || true
  echo "--- quorvel.exe (last lines)" >&2
  tail -n 20 "$work/quorvel.log" >&2 || true
  echo "--- Wine session (last lines)" >&2
  grep -av '^0x\|^    [0-9a-f]\{4\}: ' "$WINEPREFIX/quorvel-session.log" | tail -n 5 >&2 || true
  echo "console_under_wine: $1" >&2
  echo "$1" >"$QUORVEL_E2E_REASON"
  exit 1
}
# A command that fails outside fail() names itself, so no run ends without a reason.
trap 'echo "line $LINENO failed: $BASH_COMMAND" | tee "$QUORVEL_E2E_REASON" >&2' ERR

# The meter received a request starting with these bytes (upper-case hex, as it logs them).
received() { grep -q "] rx $1" "$work/sim.log"; }

# The run's screen (wine_prefix.sh).
[ -s "$WINEPREFIX/quorvel-display" ] || fail "no Xvfb screen of the Wine prefix"
export DISPLAY=":$(head -n1 "$WINEPREFIX/quorvel-display")"

# Wine's programs never write to the test's own output: what they leave running (a session after
# a crash) would hold it open.
# Shift+Tab presses from the send log, where the focus starts, to "清事件" (1154), and from there
# to "写参数" (1088).
steps=()
for route in 1154 "1088 1154"; do
  "$wine" "$tab_steps" $route </dev/null >"$work/steps.txt" 2>>"$work/quorvel.log" ||
    fail "tab_steps did not run"
  steps+=("$(tr -d '\r' <"$work/steps.txt")")
  [[ "${steps[-1]}" =~ ^[0-9]+$ ]] || fail "tab_steps $route gave '${steps[-1]}'"
done

# The simulated meter on a pseudo-terminal, which becomes Wine's COM1; no other COMn of the
# prefix leads to a port.
XDG_CONFIG_HOME="$work" "$sim" --verbose --seed 13 >"$work/sim.out" 2>"$work/sim.log" &
pids+=($!)
wait_for 10 grep -q "^link: " "$work/sim.out" || fail "the simulated meter did not start"
device=$(sed -n 's/^device: //p' "$work/sim.out")
[ -c "$device" ] || fail "the simulated meter's terminal '$device' is no device"
ln -sfn "$device" "$com1"
bash "$(dirname "$0")/check_com_ports.sh" "$WINEPREFIX" "$device" || fail "COM ports of the prefix"

# The journal of writes (%LOCALAPPDATA%\Quorvel\journal) is checked at the end for this run's
# writes: what earlier runs left goes first.
users="$WINEPREFIX/drive_c/users"
find "$users" -type d -path '*/Quorvel/journal' -prune -exec rm -rf {} + 2>/dev/null || true

started=$SECONDS
"$wine" "$exe" </dev/null >>"$work/quorvel.log" 2>&1 &
console=$!
pids+=("$console")

window=""
find_window() { window=$(xdotool search --name 'quorvel\.exe' 2>/dev/null | head -n1); [ -n "$window" ]; }
wait_for 60 find_window || fail "no window captioned with quorvel.exe appeared"
echo "window after $((SECONDS - started)) s: $(xdotool getwindowname "$window")"

# The start-up parameter read, then the rotation: blocks at 0, 138 (0x8A) and 768 (0x300).
wait_for 60 received "01 03 00 00 00 45" || fail "no poll of the block at 0"
wait_for 10 received "01 03 00 8A 00 46" || fail "no poll of the block at 138"
parameter_reads() { grep -c "] rx 01 03 03 00 00 2C" "$work/sim.log" || true; }
first_reads=$(parameter_reads)
polled_parameters() { [ "$(parameter_reads)" -gt "$first_reads" ]; }
wait_for 10 polled_parameters || fail "no poll of the parameter block after the start-up read"
# In order: the start-up parameter read, then the blocks at 0, 138 and 768.
reads=$(sed -n 's/.*\] rx 01 03 \(.. ..\) .*/\1/p' "$work/sim.log" | head -n4 | tr '\n' ' ')
[ "$reads" = "03 00 00 00 00 8A 03 00 " ] ||
  fail "the first reads started at '$reads', not at 0300, 0000, 008A and 0300"
echo "rotation seen after $((SECONDS - started)) s"

# The keyboard goes to the window (there is no window manager to give it the focus).
xdotool windowfocus --sync "$window"
xdotool key Return  # stops continuous reading
quiet() {
  local lines
  lines=$(wc -l <"$work/sim.log")
  sleep 1
  [ "$(wc -l <"$work/sim.log")" = "$lines" ]
}
wait_for 15 quiet || fail "polling went on after Enter"

# Presses Shift+Tab $1 times (all buttons are enabled while idle).
back_tab() {
  local keys=() k
  for ((k = 0; k < $1; ++k)); do keys+=(shift+Tab); done
  [ "$1" = 0 ] || xdotool key --delay 40 "${keys[@]}"
}
# The question box: the other window captioned with quorvel.exe, given the keyboard.
box=""
find_box() {
  box=$(xdotool search --onlyvisible --name 'quorvel\.exe' 2>/dev/null | grep -vx "$window" | head -n1)
  [ -n "$box" ]
}
box_closed() { ! find_box; }
ask_clear() {
  xdotool key space
  wait_for 10 find_box || fail "清事件 asked nothing: no question box"
  sleep 0.3  # drawn
}

back_tab "${steps[0]}"
ask_clear
[ -z "$question_screenshot" ] || import -window root "$question_screenshot"
xdotool windowfocus --sync "$box"
xdotool key Escape
wait_for 10 box_closed || fail "Escape did not close the question box"
sleep 1
! grep -q "] rx 01 09" "$work/sim.log" || fail "the events were cleared although Escape answered 否"
xdotool windowfocus --sync "$window"
ask_clear
xdotool windowfocus --sync "$box"
xdotool key Tab space
wait_for 10 box_closed || fail "是 did not close the question box"
wait_for 10 received "01 09 00 00 00 00 DD CB" || fail "no 清事件 frame after 是 (function 9)"
[ "$(grep -c "] rx 01 09" "$work/sim.log")" = 1 ] || fail "more than one clear reached the meter"
wait_for 10 grep -q "] tx 01 09" "$work/sim.log" || fail "the meter did not answer the clear"
sleep 0.5  # the completion is handled and the buttons are enabled again
echo "清事件 asked, refused and cleared after $((SECONDS - started)) s"

xdotool windowfocus --sync "$window"
back_tab "${steps[1]}"
xdotool key space
wait_for 15 received "01 10 03 00 00 2C 58" || fail "no 写参数 frame (function 16 at 0x0300, 44 registers)"
wait_for 10 grep -q "] tx 01 10 03 00 00 2C" "$work/sim.log" || fail "the meter did not answer the write"
sleep 0.5  # the reply's completion and the refresh that follows are drawn
echo "写参数 received after $((SECONDS - started)) s"

import -window "$window" "$screenshot"
echo "screenshot: $screenshot"

# 文件 → 退出 by the keyboard, as the menu bar is reached on Windows: F10, then Down opens 文件
# with its first item chosen, Up wraps round to the last, 退出, and Enter takes it.
xdotool key F10
sleep 0.3
xdotool key Down
sleep 0.3
xdotool key Up
sleep 0.3
xdotool key Return
wait_for 20 bash -c "! kill -0 $console 2>/dev/null" || fail "文件 → 退出 did not close the window"
status=0
wait "$console" || status=$?
[ "$status" = 0 ] || fail "quorvel.exe exited with $status"
# The two writes are journaled under %LOCALAPPDATA% in UTF-8, the Chinese text intact: the clear,
# and the parameter block written back as it was read.
journal=$(find "$users" -path '*Local*/Quorvel/journal/*.csv' 2>/dev/null | head -n1)
[ -n "$journal" ] || fail "no journal of the writes under %LOCALAPPDATA%\\Quorvel\\journal"
[ "$(head -c3 "$journal" | od -An -tx1 | tr -d ' ')" = efbbbf ] ||
  fail "the journal does not start with the UTF-8 byte-order mark"
grep -q '^1,.*,1,9,事件记录,0x0000,,全部清除,,已确认' "$journal" ||
  fail "the journal has no line for 清事件: $(cat "$journal")"
grep -q '^2,.*,1,16,无变化,0x0300,,,,已确认' "$journal" ||
  fail "the journal has no line for 写参数: $(cat "$journal")"
echo "journal: ${journal#"$users"/}"
grep "] rx" "$work/sim.log" | cut -c 14-40 | sort | uniq -c
echo "console_under_wine: passed in $((SECONDS - started)) s"
