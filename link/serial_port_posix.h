#pragma once

#include <termios.h>

#include <cstdint>
#include <string>
#include <vector>

#include "link/serial_port.h"

// The POSIX backend's line settings: turns a terminal's settings into the raw line the link
// needs, with the speed, data bits, parity and stop bits of the port. Rates termios has no
// constant for fall back to 9600 bit/s.
void SetLineTermios(termios& tio, const SerialPort& settings);

// The folder that holds the COMn links: $XDG_CONFIG_HOME/quorvel/ports, else
// ~/.config/quorvel/ports.
std::string PortsFolder();
// The device COMn stands for as the user named it: the target written in its link (not
// resolved further, so a /dev/serial/by-id name shows as such), else /dev/ttyS<n-1>.
std::string PortDeviceName(uint32_t port);
// The same for a path: the target written in a link, else the path itself.
std::string DeviceNameOf(const std::string& path);
// The names in a folder, "." and ".." left out, sorted; none when it cannot be read.
std::vector<std::string> SortedFolderNames(const std::string& folder);
// What an errno from looking up or opening a device means for the operator.
LineFault FaultOfErrno(int code);
