#pragma once

#include <cstdint>
#include <vector>

// CRC-16/MODBUS computed bit by bit (reflected polynomial 0xA001, initial 0xFFFF), independent of
// the link's tables. Returns the CRC value itself, whose low byte goes on the wire first.
inline uint16_t BitwiseModbusCrc(const std::vector<uint8_t>& data) {
  uint16_t crc = 0xFFFF;
  for (const uint8_t byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) != 0 ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
  }
  return crc;
}

// The frame with its two CRC bytes appended, low byte of the CRC value first.
inline std::vector<uint8_t> WithCrc(std::vector<uint8_t> frame) {
  const uint16_t crc = BitwiseModbusCrc(frame);
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}
