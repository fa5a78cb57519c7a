#!/usr/bin/env bash
# Starts or ends the Wine session of the Windows tests' prefix.
# start: a wineserver that stays until the session is ended, and the session's own programs
# (services, device drivers, the desktop), all writing to $PREFIX/quorvel-session.log. Wine hands
# a new session's programs the output of whichever program started it; started here, they never
# hold a test's output open, so ctest never waits on them.
# stop: ends the session, then kills whatever of it outlives the end: after a crash of the
# wineserver its programs hang on, holding whatever output they were given.
# Usage: wine_session.sh PREFIX start|stop
set -uo pipefail
prefix="$1"
wine="${QUORVEL_WINE:-/usr/lib/wine/wine64}"
log="$prefix/quorvel-session.log"
export WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}"

# Processes of Wine (their program is one of Wine's) that run in this prefix.
leftovers() {
  local dir exe pid
  dir=$(dirname "$(readlink -f "$wine")")
  for exe in $(find /proc -mindepth 2 -maxdepth 2 -name exe -lname "$dir/*" 2>/dev/null); do
    pid=$(basename "$(dirname "$exe")")
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$prefix" && echo "$pid"
  done
}

case "${2:-}" in
  start)
    [ -n "${DISPLAY:-}" ] || export DISPLAY=":$(head -n1 "$prefix/quorvel-display")"
    wineserver -p </dev/null >>"$log" 2>&1
    "$wine" reg query 'HKLM\Software\Wine\Ports' </dev/null >/dev/null 2>>"$log"
    ;;
  stop)
    wineserver -k 2>/dev/null
    for _ in $(seq 10); do
      [ -z "$(leftovers)" ] && exit 0
      sleep 0.2
    done
    pids=$(leftovers)
    [ -n "$pids" ] && echo "wine_session: killing what outlived the session: $(echo $pids)" >&2
    kill -9 $pids 2>/dev/null
    ;;
  *)
    echo "usage: wine_session.sh PREFIX start|stop" >&2
    exit 2
    ;;
esac
exit 0
