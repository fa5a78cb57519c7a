#!/usr/bin/env bash
# Prepares the private Wine prefix of the Windows tests. It is created once (the first start of a
# new prefix takes a while); then COM1 is mapped to the simulated meter's link and COM2 to COM9 to
# nothing, since Wine otherwise hands this machine's real /dev/ttyS* to the first free COMn, and
# window frames are drawn by Wine itself (there is no window manager under Xvfb).
# Usage: wine_prefix.sh PREFIX COM1_PATH
set -euo pipefail
prefix="$1"
com1="$2"
wine="${QUORVEL_WINE:-/usr/lib/wine/wine64}"
if [ ! -x "$wine" ] || ! command -v wineserver >/dev/null; then
  echo "wine_prefix: Wine not found ($wine): install Debian's wine and wine64" \
    "(scripts/install_deps.sh); the Windows tests do not run" >&2
  [ "${QUORVEL_REQUIRE_WINE:-0}" = 1 ] && exit 1
  exit 77
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe="
unset DISPLAY  # the prefix needs no display; nothing may pop up on the developer's screen

wineserver -k 2>/dev/null || true
if [ ! -f "$prefix/system.reg" ]; then
  start=$(date +%s)
  "$wine" wineboot -i >/dev/null 2>&1
  wineserver -w
  echo "wine_prefix: created $prefix in $(($(date +%s) - start)) s"
fi

settings="$prefix/quorvel-tests.reg"
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
  printf '"COM1"="%s"\r\n' "$com1"
  for n in 2 3 4 5 6 7 8 9; do printf '"COM%d"=""\r\n' "$n"; done
  printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Decorated"="N"\r\n'
  printf '\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n'
  printf '"FontSmoothing"="2"\r\n"FontSmoothingType"=dword:00000001\r\n'
} >"$settings"
"$wine" regedit /S "$settings"
wineserver -k 2>/dev/null || true

# The next start lays the COM links out from the registry; none may lead to a real device.
"$wine" reg query 'HKLM\Software\Wine\Ports' >/dev/null
for n in 1 2 3 4 5 6 7 8 9; do
  link="$prefix/dosdevices/com$n"
  [ -L "$link" ] || continue
  target=$(readlink "$link")
  if [ "$n" != 1 ] || [ "$target" != "$com1" ]; then
    echo "wine_prefix: com$n leads to $target, not to the simulated meter" >&2
    exit 1
  fi
done
echo "wine_prefix: COM1 -> $com1, COM2..COM9 unmapped"
