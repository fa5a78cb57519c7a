#!/usr/bin/env bash
# quorvel-cli.exe, the console program of the command-line verbs, under Wine against a simulated
# meter on COM1 at address 3, 19200 baud, even parity: `--scan` prints the meter with its own line
# and exits 0; a scan that finds nothing exits 1; a port with nothing behind it exits 2 with the
# reason; a profile saved from the meter and applied to it again has nothing to change (exit 0).
# Usage: wine_cli.sh QUORVEL_CLI_EXE QUORVEL_SIM
set -eEuo pipefail
cli="$1"
sim="$2"
source "$(dirname "$0")/wine_needs.sh"
need_wine cli_under_wine "$sim"

source "$(dirname "$0")/wine_test_lib.sh"
trap cleanup EXIT

fail() {
  echo "--- meter (last lines)" >&2
  tail -n 8 "$work/meter.log" >&2 || true
  echo "cli_under_wine: $1" >&2
  exit 1
}
trap 'echo "cli_under_wine: line $LINENO failed: $BASH_COMMAND" >&2' ERR

mkdir -p "$work/meter"
XDG_CONFIG_HOME="$work/meter" "$sim" --verbose --seed 5 --address 3 --baud 19200 --parity even \
  >"$work/meter.out" 2>"$work/meter.log" &
pids+=($!)
wait_for 10 grep -q "^device: " "$work/meter.out" || fail "the meter did not start"
ln -sfn "$(sed -n 's/^device: //p' "$work/meter.out")" "$com1"

# Runs quorvel-cli.exe with the options; its standard output (CR LF made LF) in $out, standard
# error in $err, the exit status in $status.
run() {
  status=0
  "$wine" "$cli" "$@" </dev/null >"$work/out" 2>"$work/err" || status=$?
  out=$(tr -d '\r' <"$work/out")
  err=$(tr -d '\r' <"$work/err")
}

scan=(--scan --port COM1 --bauds 19200 --parity N --protocol rtu --wait 300)
run "${scan[@]}" --addresses 1-4
[ "$status" = 0 ] || fail "--scan exited $status: $err"
[ "$out" = $'3\t19200\tNONE\tModbus RTU\t本仪表\tModbus RTU,3:19200,EVEN,8,2' ] ||
  fail "--scan printed '$out'"
run "${scan[@]}" --addresses 5-6
[ "$status" = 1 ] && [ -z "$out" ] || fail "a scan of 5-6 exited $status and printed '$out'"
run --scan --port COM8 --addresses 1
[ "$status" = 2 ] && [ -n "$err" ] || fail "a scan of COM8 exited $status, saying '$err'"

# A profile saved from the meter, into a folder with a Chinese name, and applied to it again: the
# meter already holds it, so nothing is written.
line=(--port COM1 --address 3 --baud 19200 --parity even)
mkdir -p "$WINEPREFIX/drive_c/users/Public/现场"
run --save-profile 'C:\users\Public\现场\参数.json' "${line[@]}"
[ "$status" = 0 ] || fail "--save-profile exited $status: $out $err"
grep -q '"format": *"quorvel-profile"' "$WINEPREFIX/drive_c/users/Public/现场/参数.json" ||
  fail "--save-profile wrote no profile"
run --apply-profile 'C:\users\Public\现场\参数.json' "${line[@]}" --yes
[ "$status" = 0 ] || fail "--apply-profile of the meter's own block exited $status: $out $err"
rm -rf "$WINEPREFIX/drive_c/users/Public/现场"
grep -q "] rx 03 10\|] rx 03 06\|] rx 03 05\|] rx 00 " "$work/meter.log" &&
  fail "the meter received a write or a broadcast"
echo "cli_under_wine: --scan found the meter at 3, 19200, EVEN; exit 1 for none, 2 for no port; a profile saved and applied"
