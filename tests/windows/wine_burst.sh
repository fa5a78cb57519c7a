#!/usr/bin/env bash
# quorvel.exe under Wine against a meter whose replies arrive whole, in one burst (burst_meter.py):
# the console must take each long reply in as fast as it came and keep its rotation of polls going
# (blocks at 0, 138 and 768).
# Usage: wine_burst.sh QUORVEL_EXE
set -euo pipefail
exe="$1"
wine="${QUORVEL_WINE:-/usr/lib/wine/wine64}"
if [ ! -x "$wine" ]; then
  echo "console_burst_under_wine: Wine not found ($wine); the test does not run" >&2
  [ "${QUORVEL_REQUIRE_WINE:-0}" = 1 ] && exit 1
  exit 77
fi
[ -n "${WINEPREFIX:-}" ] && [ -s "$WINEPREFIX/quorvel-display" ] ||
  { echo "no prepared Wine prefix (wine_prefix)" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$WINEPREFIX/quorvel-display")" WINEDEBUG=-all

source "$(dirname "$0")/wine_test_lib.sh"

fail() {
  echo "--- meter (last lines)" >&2
  tail -n 12 "$work/meter.log" >&2 || true
  echo "--- quorvel.exe (last lines)" >&2
  tail -n 12 "$work/quorvel.log" >&2 || true
  echo "console_burst_under_wine: $1" >&2
  exit 1
}
polls() { grep -c " rx 01 03 $1" "$work/meter.log" || true; }

/usr/bin/python3 "$(dirname "$0")/burst_meter.py" "$work/meter-link" 120 >"$work/meter.log" 2>&1 &
pids+=($!)
wait_for 10 grep -q "^device " "$work/meter.log" || fail "the meter did not start"
ln -sfn "$(readlink "$work/meter-link")" "$com1"
bash "$(dirname "$0")/check_com_ports.sh" "$WINEPREFIX" "$(readlink "$work/meter-link")" ||
  fail "COM ports of the prefix"

started=$SECONDS
# Wine's programs never write to the test's own output (see wine_e2e.sh).
"$wine" "$exe" </dev/null >"$work/quorvel.log" 2>&1 &
pids+=($!)
# Three rounds of the rotation: each poll of the block at 138 follows a 143-byte reply to the one
# at 0, and each poll of the parameters a 145-byte reply to the one at 138.
rounds() { [ "$(polls "00 8a")" -ge 3 ] && [ "$(polls "03 00")" -ge 4 ]; }
wait_for 60 rounds || fail "the rotation stopped: $(polls "00 8a") polls at 138 in $((SECONDS - started)) s"
# Each long reply was taken in at once: the next request followed it within 1 s, five times the
# pace of the rotation (a block every 200 ms). Read a byte per request under Wine, a reply took
# 1 to 2 s, and a time-out (2.5 s at least) could leave the port dead.
slow=$(awk '/ rx / { if (long && $1 - at >= 1) printf "%s after %.1f s; ", what, $1 - at
                     at = $1; what = $3 " " $4 " " $5 " " $6; long = / 01 03 00 (00|8a) / }' \
  "$work/meter.log")
[ -z "$slow" ] || fail "long replies were taken in slowly: $slow"
echo "console_burst_under_wine: three rounds in $((SECONDS - started)) s"
