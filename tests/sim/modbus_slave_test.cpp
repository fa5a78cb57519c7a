#include <gtest/gtest.h>

#include <vector>

#include "link/frame_codec.h"
#include "tools/meter-sim/meter_model.h"
#include "tools/meter-sim/modbus_slave.h"

namespace {

constexpr CivilTime kMorning{2026, 3, 5, 9, 0, 0};

std::vector<uint8_t> Frame(std::vector<uint8_t> body) {
  body.resize(body.size() + 2);
  CloseFrame(body.data(), static_cast<uint16_t>(body.size()));
  return body;
}

std::vector<uint8_t> WriteBlock(uint16_t start, const std::vector<uint16_t>& values) {
  std::vector<uint8_t> body = {1,
                               16,
                               static_cast<uint8_t>(start >> 8),
                               static_cast<uint8_t>(start & 0xFF),
                               0,
                               static_cast<uint8_t>(values.size()),
                               static_cast<uint8_t>(2 * values.size())};
  for (uint16_t v : values) {
    body.push_back(static_cast<uint8_t>(v >> 8));
    body.push_back(static_cast<uint8_t>(v & 0xFF));
  }
  return Frame(body);
}

class ModbusSlaveTest : public ::testing::Test {
 protected:
  std::vector<uint8_t> Ask(const std::vector<uint8_t>& request) {
    return slave.Answer(request.data(), request.size());
  }
  MeterModel meter{1, kMorning};
  ModbusSlave slave{meter};
};

TEST_F(ModbusSlaveTest, OurRequestFramesCarryTheStandardCrc) {
  // Known good frames, so the tests below do not rest on our own CRC alone.
  EXPECT_EQ(Frame({1, 3, 0, 0, 0, 0x45}), (std::vector<uint8_t>{1, 3, 0, 0, 0, 0x45, 0x84, 0x39}));
  EXPECT_EQ(Frame({1, 3, 0, 0, 0, 1}), (std::vector<uint8_t>{1, 3, 0, 0, 0, 1, 0x84, 0x0A}));
}

struct ReplyCase {
  const char* what;
  std::vector<uint8_t> request;  // without CRC
  uint8_t function;              // of the reply; bit 7 set for an exception
  size_t length;                 // of the reply, CRC included
  uint8_t exception;             // byte 2 of an exception reply
};

TEST_F(ModbusSlaveTest, AnswersEveryRequestWithTheRightReplyOrException) {
  const ReplyCase cases[] = {
      {"real-time block", {1, 3, 0x00, 0x00, 0, 69}, 3, 5 + 138, 0},
      {"harmonic block", {1, 3, 0x00, 0x8A, 0, 70}, 3, 5 + 140, 0},
      {"parameter block", {1, 3, 0x03, 0x00, 0, 44}, 3, 5 + 88, 0},
      {"last harmonic register", {1, 3, 0x01, 0x14, 0, 1}, 3, 7, 0},
      {"last parameter register", {1, 3, 0x03, 0x56, 0, 1}, 3, 7, 0},
      {"clock", {1, 3, 0x00, 0x82, 0, 4}, 3, 13, 0},
      {"the gap after the harmonics", {1, 3, 0x01, 0x16, 0, 1}, 0x83, 5, 2},
      {"an odd address", {1, 3, 0x00, 0x01, 0, 1}, 0x83, 5, 2},
      {"across the gap", {1, 3, 0x01, 0x12, 0, 3}, 0x83, 5, 2},
      {"past the end", {1, 3, 0x03, 0x56, 0, 2}, 0x83, 5, 2},
      {"near the top of the address space", {1, 3, 0xFF, 0xFE, 0, 2}, 0x83, 5, 2},
      {"quantity 0", {1, 3, 0x00, 0x00, 0, 0}, 0x83, 5, 3},
      {"quantity 126", {1, 3, 0x00, 0x00, 0, 126}, 0x83, 5, 3},
      {"coils 0 to 7", {1, 1, 0, 0, 0, 8}, 1, 6, 0},
      {"coils 0 to 8", {1, 1, 0, 0, 0, 9}, 0x81, 5, 2},
      {"no coils", {1, 1, 0, 0, 0, 0}, 0x81, 5, 3},
      {"inputs 0 to 7", {1, 2, 0, 0, 0, 8}, 2, 6, 0},
      {"inputs 4 to 7", {1, 2, 0, 4, 0, 4}, 2, 6, 0},
      {"switch output 3 on", {1, 5, 0, 2, 0xFF, 0}, 5, 8, 0},
      {"switch a fourth output", {1, 5, 0, 3, 0xFF, 0}, 0x85, 5, 2},
      {"a coil value other than FF00 or 0000", {1, 5, 0, 0, 0x12, 0x34}, 0x85, 5, 3},
      {"write one parameter", {1, 6, 0x03, 0x26, 0x01, 0xF4}, 6, 8, 0},
      {"write a real-time register", {1, 6, 0x00, 0x00, 0, 1}, 0x86, 5, 2},
      {"write an impossible baud code", {1, 6, 0x03, 0x08, 0, 9}, 0x86, 5, 3},
      {"newest event", {1, 8, 0, 0, 0, 0}, 8, 29, 0},
      {"event place 63", {1, 8, 0, 0, 0, 63}, 8, 29, 0},
      {"event place 64", {1, 8, 0, 0, 0, 64}, 0x88, 5, 2},
      {"a diagnostics sub-function", {1, 8, 0, 1, 0, 0}, 0x88, 5, 1},
      {"clear the log", {1, 9, 0, 0, 0, 0}, 9, 8, 0},
      {"input registers", {1, 4, 0, 0, 0, 1}, 0x84, 5, 1},
      {"an unknown function", {1, 7}, 0x87, 5, 1},
  };
  for (const ReplyCase& c : cases) {
    MeterModel fresh(1, kMorning);
    ModbusSlave s(fresh);
    const std::vector<uint8_t> request = Frame(c.request);
    const std::vector<uint8_t> reply = s.Answer(request.data(), request.size());
    ASSERT_EQ(reply.size(), c.length) << c.what;
    EXPECT_EQ(reply[0], 1) << c.what;
    EXPECT_EQ(reply[1], c.function) << c.what;
    EXPECT_EQ(CheckFrame(reply.data(), static_cast<uint16_t>(reply.size())), 0) << c.what;
    if ((c.function & 0x80) != 0) {
      EXPECT_EQ(reply[2], c.exception) << c.what;
    } else if (c.function <= 3 || c.function == 8) {
      EXPECT_EQ(reply[2], c.length - 5) << c.what;
    } else if (c.function != 9) {
      EXPECT_TRUE(std::equal(reply.begin(), reply.begin() + 6, request.begin())) << c.what;
    }
  }
}

TEST_F(ModbusSlaveTest, StaysSilentForBadFramesOtherSlavesAndBroadcasts) {
  std::vector<uint8_t> badCrc = Frame({1, 3, 0, 0, 0, 1});
  badCrc[7] ^= 1;
  const std::vector<std::vector<uint8_t>> silent = {
      badCrc, Frame({2, 3, 0, 0, 0, 1}), Frame({0, 6, 0x03, 0x26, 0, 1}), {1, 3, 0}};
  for (const auto& request : silent) EXPECT_TRUE(Ask(request).empty());
  EXPECT_EQ(meter.Parameter(param::kPeakPeriods), 480);  // the broadcast wrote nothing
}

TEST_F(ModbusSlaveTest, RegisterRepliesCarryTheValuesHighByteFirst) {
  const std::vector<uint8_t> reply = Ask(Frame({1, 3, 0x03, 0x00, 0, 44}));
  ASSERT_EQ(reply.size(), 93u);
  for (int n = 0; n < kParameterCount; ++n) {
    EXPECT_EQ(reply[3 + 2 * n] << 8 | reply[4 + 2 * n], meter.Parameter(n)) << n;
  }
  const std::vector<uint8_t> single = Ask(Frame({1, 3, 0x00, 0x36, 0, 1}));
  uint16_t f = 0;
  meter.ReadRegister(0x0036, f);
  EXPECT_EQ(single[3] << 8 | single[4], f);
}

TEST_F(ModbusSlaveTest, SwitchedOutputsReadBackAndAreLoggedWithTheirState) {
  Ask(Frame({1, 5, 0, 0, 0xFF, 0}));
  Ask(Frame({1, 5, 0, 2, 0xFF, 0}));
  EXPECT_EQ(Ask(Frame({1, 1, 0, 0, 0, 8}))[3], 0x05);
  EXPECT_EQ(Ask(Frame({1, 1, 0, 1, 0, 2}))[3], 0x02);  // coils 1 and 2, from bit 0
  const std::vector<uint8_t> event = Ask(Frame({1, 8, 0, 0, 0, 0}));
  EXPECT_EQ(event[3 + 1], 0x33);
  EXPECT_EQ(event[3 + 9], 0x05);
  EXPECT_NE(event[3 + 22] | event[3 + 23], 0);
}

TEST_F(ModbusSlaveTest, InputRepliesShowTheInputs) {
  EXPECT_EQ(Ask(Frame({1, 2, 0, 0, 0, 8}))[3], meter.Inputs());
}

TEST_F(ModbusSlaveTest, ClearingTheLogEchoesZerosAndEmptiesEveryPlace) {
  const std::vector<uint8_t> reply = Ask(Frame({1, 9, 0, 0, 0, 0}));
  EXPECT_EQ(reply, Frame({1, 9, 0, 0, 0, 0}));
  for (uint8_t place : {0, 1, 63}) {
    const std::vector<uint8_t> event = Ask(Frame({1, 8, 0, 0, 0, place}));
    EXPECT_EQ(event[3 + 22] | event[3 + 23], 0);
  }
}

TEST_F(ModbusSlaveTest, BlockWritesOfTheParameterBlockAndTheClockAreEchoed) {
  std::vector<uint16_t> block;
  for (int n = 0; n < kParameterCount; ++n) block.push_back(meter.Parameter(n));
  block[param::kPtLow] = 350;
  const std::vector<uint8_t> request = WriteBlock(0x0300, block);
  ASSERT_EQ(request.size(), 97u);
  EXPECT_EQ(Ask(request), Frame({1, 16, 0x03, 0x00, 0, 44}));
  EXPECT_EQ(meter.Parameter(param::kPtLow), 350);
  EXPECT_EQ(Ask(WriteBlock(0x0082, {2026, 0x0305, 0x0E07, 0x0900})),
            Frame({1, 16, 0x00, 0x82, 0, 4}));
  EXPECT_EQ(meter.Clock().Now().minute, 7);
}

TEST_F(ModbusSlaveTest, RefusesMalformedOrMisplacedBlockWrites) {
  const struct {
    const char* what;
    std::vector<uint8_t> request;
    uint8_t exception;
  } cases[] = {
      {"real-time registers", WriteBlock(0x0000, {1, 2}), 2},
      {"across the parameter block's end", WriteBlock(0x0356, {1, 2}), 2},
      {"an invalid clock", WriteBlock(0x0082, {2026, 0x0D01, 0, 0}), 3},
      {"byte count not twice the quantity", Frame({1, 16, 0x03, 0x00, 0, 2, 2, 0, 1, 0, 2}), 3},
  };
  for (const auto& c : cases) {
    const std::vector<uint8_t> reply = Ask(c.request);
    ASSERT_EQ(reply.size(), 5u) << c.what;
    EXPECT_EQ(reply[1], 0x90) << c.what;
    EXPECT_EQ(reply[2], c.exception) << c.what;
  }
}

TEST_F(ModbusSlaveTest, ANewAddressTakesEffectAfterTheReplyToItsWrite) {
  const std::vector<uint8_t> reply = Ask(Frame({1, 6, 0x03, 0x00, 0, 5}));
  EXPECT_EQ(reply, Frame({1, 6, 0x03, 0x00, 0, 5}));
  EXPECT_TRUE(Ask(Frame({1, 3, 0, 0, 0, 1})).empty());
  const std::vector<uint8_t> fromFive = Ask(Frame({5, 3, 0, 0, 0, 1}));
  ASSERT_EQ(fromFive.size(), 7u);
  EXPECT_EQ(fromFive[0], 5);
}

TEST(RequestLength, PredictsEachFunctionsFrameLength) {
  const struct {
    std::vector<uint8_t> bytes;
    int length;
  } cases[] = {{{1}, 0},
               {{1, 3}, 8},
               {{1, 5}, 8},
               {{1, 8}, 8},
               {{1, 9}, 8},
               {{1, 16, 3, 0, 0}, 0},
               {{1, 16, 3, 0, 0, 44, 88}, 97},
               {{1, 7}, -1},
               {{1, 0x83}, -1}};
  for (const auto& c : cases) EXPECT_EQ(RequestLength(c.bytes.data(), c.bytes.size()), c.length);
}

}  // namespace
