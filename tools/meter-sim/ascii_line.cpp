#include "tools/meter-sim/ascii_line.h"

#include "link/frame_codec.h"

std::vector<uint8_t> RtuFromAscii(const std::vector<uint8_t>& characters) {
  std::vector<uint8_t> frame(characters.size() / 2 + 2);
  uint16_t n = 0;
  if (DecodeAscii(characters.data(), static_cast<int>(characters.size()), frame.data(), n) != 0) {
    return {};
  }
  frame.resize(n + 2u);
  CloseFrame(frame.data(), static_cast<uint16_t>(frame.size()));
  return frame;
}

std::vector<uint8_t> AsciiFromRtu(const std::vector<uint8_t>& frame) {
  if (frame.size() < 2) return {};
  const auto n = static_cast<uint16_t>(frame.size() - 2);
  std::vector<uint8_t> line(static_cast<size_t>(AsciiFrameLength(n)));
  EncodeAscii(frame.data(), n, line.data());
  if (CheckFrame(frame.data(), static_cast<uint16_t>(frame.size())) != 0) {
    // Every bit of the LRC inverted, as the fault inverts every bit of the CRC.
    const auto broken = static_cast<uint8_t>(~Lrc(frame.data(), n));
    constexpr char kDigits[] = "0123456789ABCDEF";
    line[1 + 2u * n] = static_cast<uint8_t>(kDigits[broken >> 4]);
    line[2 + 2u * n] = static_cast<uint8_t>(kDigits[broken & 0x0F]);
  }
  return line;
}
