#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "fakes/fake_line.h"
#include "link/modbus_link.h"
#include "recording_target.h"
#include "reference_crc.h"

namespace {

using Bytes = std::vector<uint8_t>;

class ReplyAssembler : public ::testing::Test {
 protected:
  void SetUp() override {
    wire = AttachFakeLine(link);
    link.SetDefaults();
    link.m_protocol = 0;
    link.m_notifyWnd = &target;
    link.Open();
  }

  void Ticks(int n) {
    for (int k = 0; k < n; ++k) link.PumpReceive();
  }

  ModbusLink link;
  RecordingTarget target;
  std::shared_ptr<FakeWire> wire;
};

// Each reply class, fed whole but for its last byte, waits; the last byte completes it.
TEST_F(ReplyAssembler, CompletesEachReplyClassAtItsPredictedLength) {
  Bytes data24(24, 0x5A);
  Bytes event{0x01, 0x08, 24};
  event.insert(event.end(), data24.begin(), data24.end());
  const std::vector<Bytes> replies = {
      WithCrc({0x01, 0x01, 0x01, 0x05}),
      WithCrc({0x01, 0x02, 0x01, 0x0A}),
      WithCrc({0x01, 0x03, 0x02, 0x00, 0x01}),  // 7 bytes: 5 + byte count 2
      WithCrc({0x01, 0x03, 0x00}),              // byte count 0: 5 bytes
      WithCrc({0x01, 0x04, 0x02, 0x12, 0x34}),
      WithCrc(event),
      WithCrc({0x01, 0x61, 0x01, 0x00}),
      WithCrc({0x01, 0x69, 0x00}),
      WithCrc({0x01, 0x70, 0x02, 0xAA, 0xBB}),
      WithCrc({0x01, 0x05, 0x00, 0x03, 0xFF, 0x00}),
      WithCrc({0x01, 0x06, 0x00, 0x01, 0x00, 0x03}),
      WithCrc({0x01, 0x09, 0x00, 0x00, 0x00, 0x00}),
      WithCrc({0x01, 0x10, 0x00, 0x82, 0x00, 0x04}),
  };
  for (const Bytes& reply : replies) {
    SCOPED_TRACE(::testing::PrintToString(reply));
    target.posted.clear();
    link.ReadHolding(0, 1);
    wire->Feed(Bytes(reply.begin(), reply.end() - 1));
    Ticks(1);
    EXPECT_TRUE(target.posted.empty());
    EXPECT_EQ(link.m_rxPos, static_cast<int32_t>(reply.size()) - 1);
    wire->Feed({reply.back()});
    Ticks(1);
    EXPECT_EQ(target.posted, std::vector<Posted>{Done(0, 0)});
    EXPECT_EQ(Bytes(link.m_rxBuf, link.m_rxBuf + reply.size()), reply);
    EXPECT_EQ(link.m_rxPos, 0);
    EXPECT_EQ(link.m_ticks, 0);
  }
}

TEST_F(ReplyAssembler, ReportsABadCrcAsReceivedMinusComputed) {
  struct Case {
    Bytes reply;
    int32_t wParam;
  };
  const Case cases[] = {
      {{0x01, 0x06, 0x00, 0x01, 0x00, 0x03, 0x98, 0x0C}, 1},  // good CRC: 98 0B
      {{0x01, 0x06, 0x00, 0x01, 0x00, 0x03, 0x00, 0x00}, -0x980B},
      {{0x01, 0x03, 0x02, 0x00, 0x01, 0x79, 0x85}, 1},  // good CRC: 79 84
  };
  for (const Case& c : cases) {
    target.posted.clear();
    link.ReadHolding(0, 1);
    wire->Feed(c.reply);
    Ticks(1);
    EXPECT_EQ(target.posted, std::vector<Posted>{Done(c.wParam, 0)});
  }
  Bytes altered = WithCrc({0x01, 0x03, 0x02, 0x00, 0x01});
  altered[4] ^= 0x40;
  target.posted.clear();
  wire->Feed(altered);
  Ticks(1);
  ASSERT_EQ(target.posted.size(), 1u);
  EXPECT_NE(target.posted[0].wParam, 0);
  EXPECT_EQ(target.posted[0].lParam, 0);
}

TEST_F(ReplyAssembler, TimesOutOnTheFiftiethTickWithTheBytesSoFar) {
  link.ReadHolding(0, 1);
  Ticks(49);
  EXPECT_TRUE(target.posted.empty());
  EXPECT_EQ(link.m_ticks, 50);
  Ticks(1);
  EXPECT_EQ(target.posted, std::vector<Posted>{Done(0, 1)});
  EXPECT_EQ(link.m_ticks, 0);
  Ticks(100);
  EXPECT_EQ(target.posted.size(), 1u);

  // An exception reply is predicted at 8 bytes and never completes.
  target.posted.clear();
  link.ReadHolding(0, 1);
  wire->Feed(WithCrc({0x01, 0x83, 0x02}));
  Ticks(50);
  EXPECT_EQ(target.posted, std::vector<Posted>{Done(5, 1)});
  EXPECT_EQ(link.m_rxPos, 0);
}

TEST_F(ReplyAssembler, DropsAFrameOfAnUnknownCodeAfterItsSeventhByte) {
  wire->Feed({0x01, 0x07, 0x10, 0x11, 0x12, 0x13, 0x14});
  Ticks(1);
  EXPECT_EQ(link.m_rxPos, 0);
  wire->Feed({0x42});
  Ticks(1);
  EXPECT_EQ(link.m_rxPos, 1);
  EXPECT_EQ(link.m_rxBuf[0], 0x42);
  EXPECT_TRUE(target.posted.empty());
}

TEST_F(ReplyAssembler, ReportsOneFramePerTickAndLeavesTheNextInTheDriver) {
  const Bytes first = WithCrc({0x01, 0x06, 0x00, 0x01, 0x00, 0x03});
  const Bytes second = WithCrc({0x01, 0x06, 0x00, 0x02, 0x00, 0x04});
  link.ReadHolding(0, 1);
  wire->Feed(first);
  wire->Feed(second);
  Ticks(1);
  EXPECT_EQ(target.posted, std::vector<Posted>{Done(0, 0)});
  EXPECT_EQ(wire->incoming.size(), second.size());
  Ticks(1);
  EXPECT_EQ(target.posted, (std::vector<Posted>{Done(0, 0), Done(0, 0)}));
  EXPECT_EQ(Bytes(link.m_rxBuf, link.m_rxBuf + 8), second);
}

// A late reply completes after the time-out, is reported on its own, and a partial one
// starts the next frame.
TEST_F(ReplyAssembler, ReadsBytesWaitingAtTheTimeOutAsANewFrame) {
  link.ReadHolding(0, 1);
  Ticks(49);
  wire->Feed(WithCrc({0x01, 0x03, 0x02, 0x00, 0x01}));
  Ticks(1);
  EXPECT_EQ(target.posted, (std::vector<Posted>{Done(0, 1), Done(0, 0)}));

  target.posted.clear();
  link.ReadHolding(0, 1);
  wire->Feed({0x01, 0x03});
  Ticks(49);
  wire->Feed({0x02, 0x00});
  Ticks(1);
  EXPECT_EQ(target.posted, std::vector<Posted>{Done(2, 1)});
  EXPECT_EQ(link.m_rxPos, 2);
  EXPECT_EQ(link.m_rxBuf[0], 0x02);
}

TEST_F(ReplyAssembler, AsciiModeReadsNothingAndTimesOutOnlyBackInRtu) {
  link.m_protocol = 1;
  link.ReadHolding(0, 1);
  wire->Feed(WithCrc({0x01, 0x06, 0x00, 0x01, 0x00, 0x03}));
  Ticks(200);
  EXPECT_TRUE(target.posted.empty());
  EXPECT_EQ(link.m_ticks, 1);
  EXPECT_EQ(wire->incoming.size(), 8u);
  link.m_protocol = 0;
  Ticks(1);
  EXPECT_EQ(target.posted, std::vector<Posted>{Done(0, 0)});
  link.m_protocol = 1;
  link.ReadHolding(0, 1);
  link.m_protocol = 0;
  Ticks(49);
  EXPECT_EQ(target.posted.size(), 1u);
  Ticks(1);
  EXPECT_EQ(target.posted.back(), Done(0, 1));
}

// Random traffic: well-formed replies, truncated ones, unknown codes and noise, with requests
// issued at random. The assembly position stays inside the longest reply, and every transaction
// ends within the time-out by a completion or a time-out.
TEST_F(ReplyAssembler, RandomTrafficKeepsAssemblyBoundedAndEndsEveryTransaction) {
  std::mt19937 random(7);
  auto byte = [&] { return static_cast<uint8_t>(random()); };
  const uint8_t codes[] = {1, 2, 3, 4, 8, 97, 105, 112, 5, 6, 9, 16, 7, 0x83, 0, 255};
  int ticksOutstanding = 0;
  for (int round = 0; round < 20000; ++round) {
    const uint32_t action = random() % 40;
    if (action == 0) {
      link.ReadHolding(byte(), byte());
      ticksOutstanding = 0;
    } else if (action <= 2) {
      Bytes body{byte(), codes[random() % std::size(codes)], byte()};
      const size_t extra = random() % 2 == 0 ? body[2] : random() % 12;
      for (size_t k = 0; k < extra; ++k) body.push_back(byte());
      Bytes frame = WithCrc(body);
      if (random() % 4 == 0) frame.resize(random() % frame.size());
      wire->Feed(frame);
    } else if (action == 3) {
      wire->Feed({byte()});
    }
    const bool outstanding = link.m_ticks != 0;
    const size_t postedBefore = target.posted.size();
    link.PumpReceive();
    ASSERT_GE(link.m_rxPos, 0);
    ASSERT_LT(link.m_rxPos, kMaxReplyLen);
    for (size_t k = postedBefore; k < target.posted.size(); ++k) {
      ASSERT_TRUE(target.posted[k].lParam == 0 || target.posted[k].lParam == 1);
    }
    if (outstanding) {
      ++ticksOutstanding;
      ASSERT_LE(ticksOutstanding, 50);
      if (link.m_ticks == 0) {
        ASSERT_GT(target.posted.size(), postedBefore);
      }
    }
  }
  const auto timeOuts = std::count_if(target.posted.begin(), target.posted.end(),
                                      [](const Posted& p) { return p.lParam == 1; });
  const auto good = std::count(target.posted.begin(), target.posted.end(), Done(0, 0));
  EXPECT_GT(timeOuts, 10);
  EXPECT_GT(good, 10);
}

}  // namespace
