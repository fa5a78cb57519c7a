#!/usr/bin/env bash
# Installs the Debian packages Quorvel builds, tests and runs with, when any is missing.
# With --console, only what builds and runs the console and the simulated meter, and shows the
# console under Xvfb without a display (scripts/demo.sh).
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev libgl1-mesa-dev
  libmodbus-dev nlohmann-json3-dev
  python3 python3-pymodbus python3-serial python3-serial-asyncio
  fonts-noto-cjk xvfb xauth imagemagick x11-utils
  g++-mingw-w64-x86-64 wine wine64 xdotool
  locales util-linux socat valgrind
  dpkg-dev file desktop-file-utils appstream
)
if [[ ${1:-} == --console ]]; then
  packages=(cmake ninja-build g++ qt6-base-dev libgl1-mesa-dev nlohmann-json3-dev fonts-noto-cjk
            xvfb xauth imagemagick)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

[[ ${1:-} == --console ]] && exit 0

# A decimal-comma locale, so the tests can show that numbers print and parse the same under it.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "note: could not generate de_DE.UTF-8"
fi
