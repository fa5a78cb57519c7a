#include "tools/meter-sim/uart_line.h"

namespace {

constexpr uint8_t kOddParity = 1;

// The parity bit a sender adds to `value`'s low `dataBits` bits.
bool ParityBit(uint32_t value, uint8_t dataBits, uint8_t parity) {
  bool ones = false;  // odd number of ones so far
  for (uint8_t k = 0; k < dataBits; ++k) ones ^= ((value >> k) & 1u) != 0;
  // Even parity makes the count of ones even, odd parity makes it odd.
  return parity == kOddParity ? !ones : ones;
}

// The line level in each bit time: 1 (mark) when idle and for stop bits, 0 (space) for a start
// bit. A stretch of idle line follows the last character, so the receiver always finds its stop.
std::vector<uint8_t> Serialise(const uint8_t* bytes, size_t count, const CharacterFormat& f) {
  std::vector<uint8_t> bits;
  for (size_t n = 0; n < count; ++n) {
    bits.push_back(0);
    for (uint8_t k = 0; k < f.dataBits; ++k) bits.push_back((bytes[n] >> k) & 1u);
    if (f.parity != 0) bits.push_back(ParityBit(bytes[n], f.dataBits, f.parity) ? 1 : 0);
    for (uint8_t k = 0; k < f.stopBits; ++k) bits.push_back(1);
  }
  bits.insert(bits.end(), 16, 1);
  return bits;
}

}  // namespace

HeardBytes ReceiveCharacters(const uint8_t* bytes, size_t count, const CharacterFormat& sender,
                             const CharacterFormat& receiver) {
  const std::vector<uint8_t> bits = Serialise(bytes, count, sender);
  const size_t span = 1u + receiver.dataBits + (receiver.parity != 0 ? 1u : 0u) + 1u;
  HeardBytes heard;
  size_t at = 0;
  while (true) {
    // A start bit is a fall from mark to space (the line idles at mark before the first one).
    while (at < bits.size() && !(bits[at] == 0 && (at == 0 || bits[at - 1] == 1))) ++at;
    if (at + span > bits.size()) break;
    uint32_t value = 0;
    for (uint8_t k = 0; k < receiver.dataBits; ++k) value |= uint32_t{bits[at + 1 + k]} << k;
    size_t next = at + 1 + receiver.dataBits;
    bool broken = false;
    if (receiver.parity != 0) {
      broken = (bits[next] == 1) != ParityBit(value, receiver.dataBits, receiver.parity);
      ++next;
    }
    if (bits[next] == 0) broken = true;  // no stop bit where this format has one
    heard.bytes.push_back(static_cast<uint8_t>(value));
    heard.broken.push_back(broken ? 1 : 0);
    at = next + 1;
  }
  return heard;
}

HeardBytes Hear(const uint8_t* bytes, size_t count, const SentFormat& sent,
                const CharacterFormat& meter) {
  HeardBytes heard;
  if (sent.format.baudRate != meter.baudRate) {
    heard.wrongSpeed = true;
    return heard;
  }
  if (!sent.characterKnown) {
    heard.bytes.assign(bytes, bytes + count);
    heard.broken.assign(count, 0);
    return heard;
  }
  return ReceiveCharacters(bytes, count, sent.format, meter);
}
