#include "scan/probe_reply.h"

#include <algorithm>

#include "link/frame_codec.h"
#include "link/function_table.h"

namespace {

constexpr uint8_t kReadHolding = 3;

// The bytes received after an adapter's echo of the request, when it echoed it.
std::vector<uint8_t> WithoutEcho(const std::vector<uint8_t>& request,
                                 const std::vector<uint8_t>& received) {
  if (received.size() >= request.size() &&
      std::equal(request.begin(), request.end(), received.begin())) {
    return std::vector<uint8_t>(received.begin() + static_cast<long>(request.size()),
                                received.end());
  }
  return received;
}

// A frame of n bytes (CRC removed for ASCII, kept for RTU) from the address, judged.
ProbeReply Judge(const uint8_t* frame, size_t n, uint16_t quantity) {
  ProbeReply reply{ProbeAnswer::OtherReply, {}};
  if (frame[1] == kReadHolding && n >= 3 && frame[2] == 2 * quantity) {
    reply.answer = ProbeAnswer::Registers;
    for (uint16_t k = 0; k < quantity; ++k) {
      reply.registers.push_back(static_cast<uint16_t>(frame[3 + 2 * k] << 8 | frame[4 + 2 * k]));
    }
  }
  return reply;
}

// The length of an RTU frame starting at `at`, from its function and count; 0 when its first bytes
// are not all there yet or its function has no frame.
size_t RtuLength(const std::vector<uint8_t>& bytes, size_t at) {
  if (at + 3 > bytes.size()) return 0;
  const int32_t length = LengthOf(RuleOf(bytes[at + 1]).reply, bytes.data() + at);
  return length > 0 ? static_cast<size_t>(length) : 0;
}

ProbeReply ReadRtu(int address, uint16_t quantity, const std::vector<uint8_t>& bytes) {
  for (size_t at = 0; at + 1 < bytes.size(); ++at) {
    if (bytes[at] != address) continue;
    const size_t length = RtuLength(bytes, at);
    if (length == 0 || at + length > bytes.size()) continue;
    if (CheckFrame(bytes.data() + at, static_cast<uint16_t>(length)) != 0) continue;
    return Judge(bytes.data() + at, length, quantity);
  }
  return {bytes.empty() ? ProbeAnswer::Silence : ProbeAnswer::Garbled, {}};
}

ProbeReply ReadAscii(int address, uint16_t quantity, const std::vector<uint8_t>& chars) {
  uint8_t frame[kMaxAsciiFrameLen];
  for (size_t start = 0; start < chars.size(); ++start) {
    if (chars[start] != ':') continue;
    const auto end = std::find(chars.begin() + static_cast<long>(start), chars.end(), '\n');
    if (end == chars.end()) break;
    const auto length = static_cast<int>(end - chars.begin()) - static_cast<int>(start) + 1;
    if (length > kMaxAsciiFrameLen) continue;
    uint16_t n = 0;
    if (DecodeAscii(chars.data() + start, length, frame, n) != 0 || n < 2) continue;
    if (frame[0] != address) continue;
    if (frame[1] == kReadHolding && (n < 3 || n != 3 + frame[2])) {
      return {ProbeAnswer::OtherReply, {}};  // a count its data does not have
    }
    return Judge(frame, n, quantity);
  }
  return {chars.empty() ? ProbeAnswer::Silence : ProbeAnswer::Garbled, {}};
}

}  // namespace

std::vector<uint8_t> ProbeRequest(const ScanSetting& setting, int address, uint16_t start,
                                  uint16_t quantity) {
  std::vector<uint8_t> frame = {static_cast<uint8_t>(address),
                                kReadHolding,
                                static_cast<uint8_t>(start >> 8),
                                static_cast<uint8_t>(start & 0xFF),
                                static_cast<uint8_t>(quantity >> 8),
                                static_cast<uint8_t>(quantity & 0xFF),
                                0,
                                0};
  CloseFrame(frame.data(), static_cast<uint16_t>(frame.size()));
  if (setting.protocol == 0) return frame;
  std::vector<uint8_t> chars(static_cast<size_t>(AsciiFrameLength(6)));
  chars.resize(EncodeAscii(frame.data(), 6, chars.data()));
  return chars;
}

ProbeReply ReadProbeReply(const ScanSetting& setting, int address, uint16_t quantity,
                          const std::vector<uint8_t>& request,
                          const std::vector<uint8_t>& received) {
  const std::vector<uint8_t> bytes = WithoutEcho(request, received);
  return setting.protocol == 0 ? ReadRtu(address, quantity, bytes)
                               : ReadAscii(address, quantity, bytes);
}

int LongestProbeReply(const ScanSetting& setting, uint16_t quantity) {
  const int bytes = 5 + 2 * quantity;
  return setting.protocol == 0 ? bytes : AsciiFrameLength(bytes - 2);
}
