#include "link/frame_codec.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "reference_crc.h"

namespace {

uint16_t Crc(const std::vector<uint8_t>& data) {
  return Crc16(data.data(), static_cast<uint16_t>(data.size()));
}

TEST(Crc16, ClosesThePublishedReadHoldingRequestsWith840AAnd8439) {
  EXPECT_EQ(Crc({0x01, 0x03, 0x00, 0x00, 0x00, 0x01}), 0x840A);
  EXPECT_EQ(Crc({0x01, 0x03, 0x00, 0x00, 0x00, 0x45}), 0x8439);
}

TEST(Crc16, OfNoBytesIsFFFF) { EXPECT_EQ(Crc16(nullptr, 0), 0xFFFF); }

// The routine's result is the CRC value with its bytes swapped: high byte = the byte sent first.
TEST(Crc16, AgreesWithABitwiseCrcOnEveryByteValueAndOnRandomData) {
  for (int value = 0; value < 256; ++value) {
    const std::vector<uint8_t> one{static_cast<uint8_t>(value)};
    const uint16_t reference = BitwiseModbusCrc(one);
    ASSERT_EQ(Crc(one), static_cast<uint16_t>(reference << 8 | reference >> 8)) << value;
  }
  std::mt19937 random(20240611);
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> data(random() % 300);
    for (auto& byte : data) byte = static_cast<uint8_t>(random());
    const uint16_t reference = BitwiseModbusCrc(data);
    ASSERT_EQ(Crc(data), static_cast<uint16_t>(reference << 8 | reference >> 8)) << round;
  }
}

TEST(CheckFrame, ReportsReceivedMinusComputedAsASignedDifference) {
  std::vector<uint8_t> frame = WithCrc({0x01, 0x06, 0x00, 0x01, 0x00, 0x03});  // ... 98 0B
  EXPECT_EQ(CheckFrame(frame.data(), 8), 0);
  frame[7] = 0x0C;
  EXPECT_EQ(CheckFrame(frame.data(), 8), 1);
  frame[6] = 0x00;
  frame[7] = 0x00;
  EXPECT_EQ(CheckFrame(frame.data(), 8), -0x980B);
  frame[6] = 0xFF;
  frame[7] = 0xFF;
  EXPECT_EQ(CheckFrame(frame.data(), 8), 0xFFFF - 0x980B);
}

TEST(AppendHex, WritesTwoUpperCaseDigitsAndASpacePerByteAfterTheHeading) {
  const uint8_t bytes[] = {0x00, 0x0A, 0xFF, 0x5C};
  std::string text = "TX:";
  AppendHex(text, bytes, 4);
  EXPECT_EQ(text, "TX:00 0A FF 5C ");
}

}  // namespace
