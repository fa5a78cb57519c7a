#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The serial ports the port list offers after COM1 to COM9: the adapters present now, each under a
// name the operator recognises and the path the console opens. The path is the entry's identity;
// the name is only shown.
struct PortEntry {
  std::string name;  // as the port list and the settings summary show it
  std::string path;  // the device opened: a /dev/serial/by-id link, /dev/ttyUSB0, \\.\COM14
  bool operator==(const PortEntry&) const = default;
};

// The adapters present that none of COM1 to COM9 stands for, in a stable order. Looks at names
// and numbers only: nothing is opened. One backend per platform (port_catalog_posix.cpp,
// port_catalog_win32.cpp).
std::vector<PortEntry> ListAdapters();

// The most entries the list takes: a folder of thousands of links must not make the list
// unusable (or the program slow) when it drops down.
constexpr size_t kMaxAdapters = 64;

// POSIX: a short name for an adapter from its /dev/serial/by-id link: the model and serial number the
// maker put into the link's name, then the kernel's name of the device, e.g.
// "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0" on ttyUSB0 gives "FT232R A50285BI (ttyUSB0)".
// Control characters never reach the name.
std::string AdapterName(const std::string& byIdName, const std::string& kernelName);
// The name of an adapter that is not there now (chosen earlier, or remembered from the last run),
// from its path alone: without the kernel's name, which only a present device has.
std::string AbsentAdapterName(const std::string& path);
