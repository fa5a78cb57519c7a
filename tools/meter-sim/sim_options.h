#pragma once

#include <cstdint>
#include <string>

#include "tools/meter-sim/fault_injector.h"

struct SimOptions {
  uint32_t port = 1;  // COM1
  std::string byId;   // when set: listed as an adapter of this by-id name instead of COMn
  uint8_t address = 1;
  uint8_t protocol = 0;  // 0 Modbus RTU, 1 Modbus ASCII
  uint32_t seed = 0;
  bool seedGiven = false;
  bool verbose = false;
  bool help = false;
  FaultPlan faults;
};

// Reads the command line (argv[0] is the program). False, with the reason in error, for an
// unknown option, a missing or malformed value.
bool ParseOptions(int argc, const char* const* argv, SimOptions& options, std::string& error);

std::string HelpText();
