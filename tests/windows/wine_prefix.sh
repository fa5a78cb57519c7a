#!/usr/bin/env bash
# Prepares the private Wine prefix of the Windows tests. It is created once (the first start of a
# new prefix takes a while). Wine opens /dev/ttyS<n-1> for any COMn whose link is missing or leads
# nowhere, and hands this machine's real /dev/ttyS* to the first free COMn: so COM1 to COM9 are
# all mapped, COM1 to $PREFIX/quorvel-com1 (which the end-to-end test points at the simulated
# meter's terminal while it runs) and COM2 to COM9 to an empty folder, which exists but opens as
# no port. Every Windows test of the run shares one Xvfb screen, started here and stopped by
# wine_stop.sh: Wine's desktop belongs to the whole Wine session, so a program without a display
# would leave the session without one. Window frames are drawn by Wine itself (there is no window
# manager under Xvfb). The run's Wine session is started here too (wine_session.sh) and ended by
# wine_stop.sh.
# Usage: wine_prefix.sh PREFIX
set -euo pipefail
prefix="$1"
no_port="$prefix/quorvel-no-port"
com1="$prefix/quorvel-com1"
com12="$prefix/quorvel-com12"
wine="${QUORVEL_WINE:-/usr/lib/wine/wine64}"
if [ ! -x "$wine" ] || ! command -v wineserver >/dev/null || ! command -v Xvfb >/dev/null; then
  echo "wine_prefix: Wine ($wine) or Xvfb not found: install Debian's wine, wine64 and xvfb" \
    "(scripts/install_deps.sh); the Windows tests do not run" >&2
  [ "${QUORVEL_REQUIRE_WINE:-0}" = 1 ] && exit 1
  exit 77
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe="
mkdir -p "$prefix"
bash "$(dirname "$0")/wine_stop.sh" "$prefix"  # what an earlier run may have left
: >"$prefix/quorvel-session.log"

display_file="$prefix/quorvel-display"
setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" \
  </dev/null >/dev/null 2>&1 &
echo $! >"$prefix/quorvel-xvfb.pid"
for _ in $(seq 50); do
  [ -s "$display_file" ] && break
  sleep 0.1
done
[ -s "$display_file" ] || { echo "wine_prefix: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$display_file")"
if [ ! -f "$prefix/system.reg" ]; then
  start=$(date +%s)
  "$wine" wineboot -i >/dev/null 2>&1
  wineserver -w
  echo "wine_prefix: created $prefix in $(($(date +%s) - start)) s"
fi

mkdir -p "$no_port"
ln -sfn "$no_port" "$com1"  # no port until the end-to-end test points it at the meter
ln -sfn "$no_port" "$com12"

settings="$prefix/quorvel-tests.reg"
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
  printf '"COM1"="%s"\r\n' "$com1"
  for n in 2 3 4 5 6 7 8 9; do printf '"COM%d"="%s"\r\n' "$n" "$no_port"; done
  # An adapter numbered above COM9, as USB adapters are on most field laptops.
  printf '"COM12"="%s"\r\n' "$com12"
  printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Decorated"="N"\r\n'
  printf '\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n'
  printf '"FontSmoothing"="2"\r\n"FontSmoothingType"=dword:00000001\r\n'
  # The system menu, captions and message boxes are drawn in the system's "MS Shell Dlg", not in
  # the window's own font; a Chinese Windows gives that a CJK face, and so does this prefix.
  printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
  for face in "MS Shell Dlg" "MS Shell Dlg 2" Tahoma; do
    printf '"%s"="Noto Sans CJK SC"\r\n' "$face"
  done
} >"$settings"
"$wine" regedit /S "$settings" </dev/null >>"$prefix/quorvel-session.log" 2>&1
bash "$(dirname "$0")/wine_session.sh" "$prefix" stop

# The run's session (wine_session.sh); its start lays the COM links out from the registry, and
# each must lead where it was mapped.
bash "$(dirname "$0")/wine_session.sh" "$prefix" start
bash "$(dirname "$0")/check_com_ports.sh" "$prefix"
echo "wine_prefix: COM1 -> $com1 (no port until the meter runs), COM2..COM9 -> no port"
