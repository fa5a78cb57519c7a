#!/usr/bin/env bash
# quorvel.exe under Wine with an adapter numbered above COM9: the prefix maps COM12
# (wine_prefix.sh) to a second simulated meter, COM1 to a first. The port list, dropped down by
# keyboard, offers COM12 after COM1: to COM9:; chosen and left, it takes the polls from COM1. The
# console remembers it: a second run, untouched, polls COM12 from the start (quorvel.ini in the
# prefix's %APPDATA%).
# Usage: wine_adapter.sh QUORVEL_EXE TAB_STEPS_EXE QUORVEL_SIM [SCREENSHOT]
set -eEuo pipefail
exe="$1"
tab_steps="$2"
sim="$3"
screenshot="${4:-}"
source "$(dirname "$0")/wine_needs.sh"
need_wine console_adapter_under_wine "$sim" xdotool

source "$(dirname "$0")/wine_test_lib.sh"
com12="$WINEPREFIX/quorvel-com12"
trap 'ln -sfn "$WINEPREFIX/quorvel-no-port" "$com12"; cleanup' EXIT

fail() {
  for meter in one twelve; do
    echo "--- meter on COM${meter} (last lines)" >&2
    tail -n 8 "$work/$meter.log" >&2 || true
  done
  echo "--- quorvel.exe (last lines)" >&2
  tail -n 12 "$work/quorvel.log" >&2 || true
  echo "console_adapter_under_wine: $1" >&2
  exit 1
}
trap 'echo "console_adapter_under_wine: line $LINENO failed: $BASH_COMMAND" >&2' ERR

received() { grep -q "] rx $2" "$work/$1.log"; }
requests() { grep -c "] rx " "$work/$1.log" || true; }

# Two meters, each on a pseudo-terminal of its own: COM1 and COM12 of the prefix.
start_meter() {
  mkdir -p "$work/$1"
  XDG_CONFIG_HOME="$work/$1" "$sim" --verbose --seed 5 >"$work/$1.out" 2>"$work/$1.log" &
  pids+=($!)
  wait_for 10 grep -q "^device: " "$work/$1.out" || fail "the meter for $1 did not start"
  ln -sfn "$(sed -n 's/^device: //p' "$work/$1.out")" "$2"
}
start_meter one "$com1"
start_meter twelve "$com12"

steps=$("$wine" "$tab_steps" 1002 </dev/null 2>>"$work/quorvel.log" | tr -d '\r')
onward=$("$wine" "$tab_steps" 1002 1068 </dev/null 2>>"$work/quorvel.log" | tr -d '\r')
[[ "$steps" =~ ^[0-9]+$ && "$onward" =~ ^[0-9]+$ ]] || fail "tab_steps gave '$steps' '$onward'"

run_console() {
  "$wine" "$exe" </dev/null >>"$work/quorvel.log" 2>&1 &
  console=$!
  pids+=("$console")
  window=""
  find_window() { window=$(xdotool search --name 'quorvel\.exe' 2>/dev/null | head -n1); [ -n "$window" ]; }
  wait_for 60 find_window || fail "no window captioned with quorvel.exe appeared"
}
close_console() {
  xdotool windowfocus --sync "$window"
  xdotool key Escape
  wait_for 20 bash -c "! kill -0 $console 2>/dev/null" || fail "Escape did not close the window"
  wait "$console" || fail "quorvel.exe exited with $?"
}

# The first run starts as without a file, on COM1.
find "$WINEPREFIX/drive_c/users" -path '*/Quorvel/quorvel.ini' -delete 2>/dev/null || true
run_console
wait_for 60 received one "01 03 00 00 00 45" || fail "no poll of COM1's meter"
xdotool windowfocus --sync "$window"
xdotool key Return  # stops continuous reading: every button is enabled, as tab_steps counts
sleep 1
xdotool key --delay 40 $(for ((k = 0; k < steps; ++k)); do echo shift+Tab; done)
xdotool key alt+Down  # the list drops down, brought up to date
sleep 0.5
xdotool key End  # the last entry: the adapter after COM9:
sleep 0.3
if [ -n "$screenshot" ]; then  # the window and the list that drops out of it
  eval "$(xdotool getwindowgeometry --shell "$window")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$screenshot"
fi
xdotool key alt+Up
before=$(requests twelve)
# Leaving the list reopens the port; on to "连续读数据", which turns continuous reading on.
xdotool key --delay 40 $(for ((k = 0; k < onward; ++k)); do echo Tab; done) space
wait_for 20 received twelve "01 03" || fail "COM12 was not listed, chosen or polled"
polled_twelve() { [ "$(requests twelve)" -ge $((before + 3)) ]; }
wait_for 20 polled_twelve || fail "the polls did not go on at COM12"
ones=$(requests one)
sleep 1
[ "$(requests one)" = "$ones" ] || fail "COM1's meter was still polled after COM12 was chosen"
close_console
grep -aq 'port=\\\\.\\COM12' "$(find "$WINEPREFIX/drive_c/users" -path '*/Quorvel/quorvel.ini')" ||
  fail "quorvel.ini does not hold COM12"

# The second run starts on COM12 by itself.
twelves=$(requests twelve)
ones=$(requests one)
run_console
polled_again() { [ "$(requests twelve)" -ge $((twelves + 2)) ]; }
wait_for 60 polled_again || fail "the second run did not start on COM12"
[ "$(requests one)" = "$ones" ] || fail "the second run polled COM1"
close_console
find "$WINEPREFIX/drive_c/users" -path '*/Quorvel/quorvel.ini' -delete
echo "console_adapter_under_wine: COM12 listed, polled and remembered"
