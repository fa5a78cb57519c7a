# Sourced by the tests that run quorvel.exe under Wine against a meter on COM1: a work folder, the
# processes the test starts (pids, ended with it), COM1 led back to no port at the end, and
# bounded waits.
work=$(mktemp -d)
pids=()
com1="$WINEPREFIX/quorvel-com1"
# quorvel.exe starts as without saved settings: what an earlier run remembered goes.
find "$WINEPREFIX/drive_c/users" -path '*/Quorvel/quorvel.ini' -delete 2>/dev/null || true
cleanup() {
  [ -L "$com1" ] && ln -sfn "$WINEPREFIX/quorvel-no-port" "$com1"
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}
