#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "console/main_dialog.h"
#include "fakes/fake_line.h"
#include "link/frame_codec.h"
#include "window/headless_window.h"

// A read of the parameter block (start 768, 44 registers), the first frame of every run.
inline const std::vector<uint8_t> kParameterRead = {0x01, 0x03, 0x03, 0x00, 0x00, 0x2C};

// A function 3 reply with `registers` registers of made-up data, closed with its CRC.
inline std::vector<uint8_t> HoldingReply(uint16_t registers, uint8_t slave = 1) {
  std::vector<uint8_t> frame = {slave, 0x03, static_cast<uint8_t>(registers * 2)};
  for (uint16_t k = 0; k < registers * 2; ++k) frame.push_back(static_cast<uint8_t>(k & 0x0F));
  frame.resize(frame.size() + 2);
  CloseFrame(frame.data(), static_cast<uint16_t>(frame.size()));
  return frame;
}

// The start and count of a function 3 request frame.
struct BlockRead {
  uint16_t start;
  uint16_t count;
  bool operator==(const BlockRead&) const = default;
};

inline BlockRead BlockOf(const std::vector<uint8_t>& frame) {
  return {static_cast<uint16_t>(frame.at(2) << 8 | frame.at(3)),
          static_cast<uint16_t>(frame.at(4) << 8 | frame.at(5))};
}

inline void PrintTo(const BlockRead& b, std::ostream* os) {
  *os << "(" << b.start << ", " << b.count << ")";
}

// The whole dialog on a headless window over a scripted line, started as the program starts it;
// the focus then lands on the send log, which has no focus handler.
class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MainDialog::s_pollBlock = 0;
    wire = AttachFakeLine(dialog.m_link);
    window.SetHandler(&dialog);
  }
  void TearDown() override { window.SetHandler(nullptr); }

  void Start() {
    ASSERT_TRUE(dialog.OnInitDialog());
    window.Focus(1009);
  }

  // Answers the frame last written as a meter at address 1 would.
  void AnswerLast() { wire->Feed(HoldingReply(BlockOf(wire->written.back()).count)); }

  // Ticks until a new frame is written; the number of ticks it took, or 0 when none was.
  int TicksToNextFrame(int limit = 20) {
    const size_t before = wire->written.size();
    for (int k = 1; k <= limit; ++k) {
      window.Tick();
      if (wire->written.size() != before) return k;
    }
    return 0;
  }

  HeadlessWindow window;
  MainDialog dialog{window};
  std::shared_ptr<FakeWire> wire;
};
