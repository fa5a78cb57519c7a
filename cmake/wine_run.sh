#!/usr/bin/env bash
# Runs a Windows program under Wine (64-bit), in the private prefix $WINEPREFIX that the test
# fixture prepared. Without Wine the test is skipped (exit 77), unless QUORVEL_REQUIRE_WINE=1 says
# it must run, as in scripts/test.sh.
set -euo pipefail
wine="${QUORVEL_WINE:-/usr/lib/wine/wine64}"
if [ ! -x "$wine" ]; then
  echo "wine_run: $wine not found: install Debian's wine and wine64 (scripts/install_deps.sh)" >&2
  [ "${QUORVEL_REQUIRE_WINE:-0}" = 1 ] && exit 1
  exit 77
fi
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine_run: WINEPREFIX is not set; the tests use a private prefix in the build folder" >&2
  exit 1
fi
export WINEDEBUG="${WINEDEBUG:--all}"
exec "$wine" "$@"
