#!/usr/bin/env bash
# Builds quorvel.exe for 64-bit Windows on Debian with MinGW-w64 (preset `windows`): one static
# program, build-windows/bin/quorvel.exe, that needs no DLL beside it. With --test it then runs
# the Windows tests under Wine (label `windows`): the headless tests on the Windows ABI and
# quorvel.exe against the simulated meter, the default preset's build/bin/quorvel-sim (built here
# when missing).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_deps.sh
cmake --preset windows >/dev/null
if [ "${1:-}" = --test ]; then
  if [ ! -x build/bin/quorvel-sim ]; then  # the meter the end-to-end test talks to
    cmake --preset default >/dev/null
    cmake --build --preset default -j "$(nproc)" --target quorvel-sim
  fi
  cmake --build --preset windows -j "$(nproc)"
else
  cmake --build --preset windows -j "$(nproc)" --target quorvel
fi

exe=build-windows/bin/quorvel.exe
# Only DLLs that every Windows has may be imported.
system_dlls='^(KERNEL32|USER32|GDI32|COMCTL32|COMDLG32|msvcrt|ADVAPI32|SHELL32|ole32|SETUPAPI)\.dll$'
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
if grep -viqE "$system_dlls" <<<"$imports"; then
  echo "cross_windows: $exe needs DLLs beside it:" $(grep -viE "$system_dlls" <<<"$imports") >&2
  exit 1
fi
echo "cross_windows: $exe ($(stat -c %s "$exe") bytes; imports $(echo $imports))"

if [ "${1:-}" = --test ]; then
  ctest --preset windows -L windows --timeout 300
fi
