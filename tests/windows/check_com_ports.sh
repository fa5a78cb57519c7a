#!/usr/bin/env bash
# Checks that COM1 to COM9 of the tests' Wine prefix lead nowhere but where wine_prefix.sh mapped
# them: COM2 to COM9 to the empty folder, COM1 to it too or to the pseudo-terminal given. Wine
# would open a real /dev/ttyS* for a missing or dangling link.
# Usage: check_com_ports.sh PREFIX [COM1_DEVICE]
set -euo pipefail
prefix="$1"
com1_device="${2:-}"
no_port=$(readlink -f "$prefix/quorvel-no-port")
for n in 1 2 3 4 5 6 7 8 9; do
  link="$prefix/dosdevices/com$n"
  if [ ! -L "$link" ]; then
    echo "check_com_ports: com$n is not mapped (Wine would open /dev/ttyS$((n - 1)))" >&2
    exit 1
  fi
  target=$(readlink -f "$link" || true)
  [ -d "$target" ] && [ "$target" = "$no_port" ] && continue
  if [ "$n" = 1 ] && [ -n "$com1_device" ] && [ "$target" = "$(readlink -f "$com1_device")" ]; then
    continue
  fi
  echo "check_com_ports: com$n leads to '$target' ($(readlink "$link"))" >&2
  exit 1
done
