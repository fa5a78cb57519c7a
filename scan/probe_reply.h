#pragma once

#include <cstdint>
#include <vector>

#include "scan/scan_plan.h"

// One read the scan sends (function 3) and what came back for it, read without the console's
// receiver: the scan keeps its own deadlines and its own verdicts.

// The request: function 3 from `start`, `quantity` registers, to `address`, as it goes on the line
// in the setting's framing (RTU bytes with their CRC, or the ASCII characters to LF).
std::vector<uint8_t> ProbeRequest(const ScanSetting& setting, int address, uint16_t start,
                                  uint16_t quantity);

enum class ProbeAnswer : uint8_t {
  Silence,     // nothing came
  Registers,   // the registers asked for, from that address, with a good check
  OtherReply,  // another well-formed frame from that address: an exception, another length
  Garbled,     // bytes, but no good frame from that address: a line at other settings
};

struct ProbeReply {
  ProbeAnswer answer = ProbeAnswer::Silence;
  std::vector<uint16_t> registers;  // when Registers
};

// Reads what came back. Bytes before a frame (noise) are skipped, and an adapter's echo of the
// request itself is no reply.
ProbeReply ReadProbeReply(const ScanSetting& setting, int address, uint16_t quantity,
                          const std::vector<uint8_t>& request,
                          const std::vector<uint8_t>& received);

// The bytes of the longest reply the read can draw, in the setting's framing.
int LongestProbeReply(const ScanSetting& setting, uint16_t quantity);
