#!/usr/bin/env bash
# Compiles the serial line and Modbus link for Windows with the MinGW-w64 cross compiler and links
# them into a small program, so the Win32 backend keeps building on a Linux machine.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cxx="${CXX_MINGW:-x86_64-w64-mingw32-g++-posix}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

flags=(-std=c++20 -Wall -Wextra -Werror -I"$root")
objects=()
# The link, and the window's Win32 system-menu item (plain Win32, no Qt).
for source in "$root"/link/*.cpp "$root"/window/qt/system_menu_win32.cpp; do
  [[ "$(basename "$source")" == *_posix.cpp ]] && continue
  object="$work/$(basename "$source" .cpp).o"
  echo "compile ${source#"$root"/}"
  "$cxx" "${flags[@]}" -c "$source" -o "$object"
  objects+=("$object")
done

cat >"$work/main.cpp" <<'CPP'
#include <string>

#include "link/modbus_link.h"

int main() {
  ModbusLink link;
  link.SetDefaults();
  link.Open();
  link.ReadHolding(0, 69);
  link.PumpReceive();
  std::string text;
  link.DumpTx(text);
  link.Close();
  return text.empty() ? 1 : 0;
}
CPP
"$cxx" "${flags[@]}" -c "$work/main.cpp" -o "$work/main.o"
"$cxx" "$work/main.o" "${objects[@]}" -static -o "$work/link_check.exe"
echo "cross_windows: ok ($(basename "$work")/link_check.exe linked)"
