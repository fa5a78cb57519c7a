#!/usr/bin/env bash
# Ends the Wine session (and what outlives it) and the Xvfb screen of the Windows tests
# (wine_prefix.sh).
# Usage: wine_stop.sh PREFIX
set -uo pipefail
prefix="$1"
bash "$(dirname "$0")/wine_session.sh" "$prefix" stop
pid_file="$prefix/quorvel-xvfb.pid"
if [ -f "$pid_file" ]; then
  pid=$(cat "$pid_file")
  # Only the Xvfb this script family started, never a process that reused its number.
  [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ] && kill "$pid"
  rm -f "$pid_file" "$prefix/quorvel-display"
fi
exit 0
