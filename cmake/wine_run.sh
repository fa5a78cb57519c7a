#!/usr/bin/env bash
# Runs a Windows program under Wine (64-bit), in the private prefix $WINEPREFIX and on the Xvfb
# screen that the test fixture prepared (tests/windows/wine_prefix.sh). Without Wine the test is
# skipped (exit 77), unless QUORVEL_REQUIRE_WINE=1 says it must run, as in scripts/test.sh.
set -euo pipefail
wine="${QUORVEL_WINE:-/usr/lib/wine/wine64}"
if [ ! -x "$wine" ]; then
  echo "wine_run: $wine not found: install Debian's wine and wine64 (scripts/install_deps.sh)" >&2
  [ "${QUORVEL_REQUIRE_WINE:-0}" = 1 ] && exit 1
  exit 77
fi
if [ -z "${WINEPREFIX:-}" ] || [ ! -s "$WINEPREFIX/quorvel-display" ]; then
  echo "wine_run: no prepared Wine prefix (WINEPREFIX='${WINEPREFIX:-}'): run the tests with" \
    "ctest, whose wine_prefix fixture prepares it" >&2
  exit 1
fi
export DISPLAY=":$(head -n1 "$WINEPREFIX/quorvel-display")"
export WINEDEBUG="${WINEDEBUG:--all}"
exec "$wine" "$@"
