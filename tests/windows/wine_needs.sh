# Sourced first by the Wine tests that drive quorvel.exe or quorvel-cli.exe against a simulated
# meter. need_wine NAME QUORVEL_SIM [TOOL...]: Wine (in $wine) and the tools given must be there,
# or the test does not run (exit 77; a failure when QUORVEL_REQUIRE_WINE=1); the simulated meter
# must be built and the prefix prepared by wine_prefix.sh, whose display the test then uses.
need_wine() {
  local name=$1 sim=$2 tool
  shift 2
  wine="${QUORVEL_WINE:-/usr/lib/wine/wine64}"
  for tool in "$wine" "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "$name: $tool not found; the test does not run" >&2
      [ "${QUORVEL_REQUIRE_WINE:-0}" = 1 ] && exit 1
      exit 77
    fi
  done
  [ -x "$sim" ] || { echo "no quorvel-sim at '$sim': build the default preset first" >&2; exit 1; }
  [ -n "${WINEPREFIX:-}" ] && [ -s "$WINEPREFIX/quorvel-display" ] ||
    { echo "no prepared Wine prefix (wine_prefix)" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$WINEPREFIX/quorvel-display")" WINEDEBUG=-all
}
