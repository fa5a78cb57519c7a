#pragma once

#include <cstdint>
#include <vector>

// The meter in Modbus ASCII: requests come as characters and replies leave as characters, while
// the slave itself reads and writes RTU-form frames (the bytes closed with their CRC).

// The characters of one request, ':' to LF, as the RTU frame the slave reads; empty when they
// are no good ASCII frame (a wrong LRC, a character that is not hexadecimal), which the meter
// leaves unanswered as it would a bad CRC.
std::vector<uint8_t> RtuFromAscii(const std::vector<uint8_t>& characters);

// A reply in RTU form as the characters that go on the line. A reply whose CRC was broken on
// purpose (fault injection) leaves with its LRC broken instead.
std::vector<uint8_t> AsciiFromRtu(const std::vector<uint8_t>& frame);
