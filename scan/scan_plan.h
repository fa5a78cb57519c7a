#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the bus scan tries: line settings and slave addresses, and the order it tries them in.

// A line setting the meter can be set to: its speed, its parity, and its framing, Modbus RTU with
// 8 data bits or Modbus ASCII with 7. The scan always sends 2 stop bits, which a meter set to 1
// understands as well; the stop bits the meter uses are read from it, not guessed.
struct ScanSetting {
  uint32_t baud = 9600;
  uint8_t parity = 0;    // 0 NONE, 1 ODD, 2 EVEN
  uint8_t protocol = 0;  // 0 Modbus RTU, 1 Modbus ASCII
  bool operator==(const ScanSetting&) const = default;
};

// The data bits a framing is tried with.
uint8_t DataBitsOf(const ScanSetting& setting);

// What the operator asked for.
struct ScanRequest {
  std::string port;  // the port list's entry: "COM3" or an adapter's path
  int firstAddress = 1;
  int lastAddress = 247;
  std::vector<uint32_t> bauds = {300, 600, 1200, 2400, 4800, 9600, 19200};
  std::vector<uint8_t> parities = {0, 1, 2};
  std::vector<uint8_t> protocols = {0, 1};
  int waitMs = 100;  // silence allowed after a request has left the wire, before a first byte
  bool stopAtFirst = false;
  // The console's line and address when the scan starts: tried first.
  ScanSetting current;
  int currentAddress = 1;
};

// The limits of a request, and why one is refused (in the operator's words), or nullopt.
constexpr int kFirstScanAddress = 1;
constexpr int kLastScanAddress = 247;
constexpr int kShortestWaitMs = 20;
constexpr int kLongestWaitMs = 2000;
std::optional<std::string> RefusalOf(const ScanRequest& request);

// One probe: an address at a setting.
struct Probe {
  ScanSetting setting;
  int address = 0;
  bool operator==(const Probe&) const = default;
};

// Every probe of the request once, most likely first: the console's own setting and address;
// then 9600 and 19200, no parity and even, Modbus RTU, at addresses 1 to 10; then every other
// address at each setting, the console's setting and the likely ones first, then the others by
// speed (9600, 19200, 4800, 2400, 1200, 600, 300), parity (NONE, EVEN, ODD) and framing (RTU,
// ASCII). Only settings and addresses the request asks for.
std::vector<Probe> PlanProbes(const ScanRequest& request);
