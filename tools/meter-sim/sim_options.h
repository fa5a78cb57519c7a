#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/meter-sim/fault_injector.h"
#include "tools/meter-sim/meter_model.h"

struct SimOptions {
  uint32_t port = 1;  // COM1
  std::string byId;   // when set: listed as an adapter of this by-id name instead of COMn
  // The meters on the line in the order of --address, each with the serial settings it starts
  // with (by default one meter: address 1, Modbus RTU, 9600 baud, no parity, 8 data, 2 stop bits).
  std::vector<LineSettings> meters = {LineSettings{}};
  bool garbleWrongSpeed = false;
  uint32_t seed = 0;
  bool seedGiven = false;
  bool verbose = false;
  bool help = false;
  FaultPlan faults;
  // Every meter answers writes to the register at this address as taken and keeps its value;
  // -1: none.
  int32_t ignoreWrites = -1;
};

// Reads the command line (argv[0] is the program). False, with the reason in error, for an
// unknown option, a missing or malformed value, a list of another length than --address (one
// value stands for every meter) or an address given twice.
bool ParseOptions(int argc, const char* const* argv, SimOptions& options, std::string& error);

std::string HelpText();
