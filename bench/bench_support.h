#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "console/main_dialog.h"
#include "link/frame_codec.h"
#include "link/serial_port.h"

// A line that holds one frame and hands it over again every time it is rewound: PumpReceive
// reads it the way it reads a driver, one waiting byte at a time, with nothing else in the way.
class ReplayLine : public SerialLine {
 public:
  explicit ReplayLine(std::vector<uint8_t> frame) : m_frame(std::move(frame)) {}
  void Rewind() { m_next = 0; }

  bool Open(const SerialPort&) override { return true; }
  void Configure(const SerialPort&) override {}
  void Close() override {}
  bool BytesWaiting() override { return m_next < m_frame.size(); }
  uint8_t ReadByte() override { return m_frame[m_next++]; }
  bool Write(const uint8_t*, uint16_t) override { return true; }

 private:
  std::vector<uint8_t> m_frame;
  size_t m_next = 0;
};

// The three blocks the console polls: the real-time block, the harmonic block, the parameter
// block.
struct PolledBlock {
  const char* name;
  uint16_t start;
  uint16_t count;
};
inline constexpr PolledBlock kPolledBlocks[] = {
    {"realtime", 0, 69}, {"harmonic", 138, 70}, {"parameter", 768, 44}};

// A function 3 reply from slave 1 carrying `count` registers, each derived from `seed`, with its
// CRC. Different seeds change every value the display shows.
inline std::vector<uint8_t> BlockReply(uint16_t count, uint32_t seed) {
  std::vector<uint8_t> frame = {0x01, 0x03, static_cast<uint8_t>(count * 2)};
  for (uint16_t k = 0; k < count; ++k) {
    const auto value = static_cast<uint16_t>(seed * 40503u + k * 977u);
    frame.push_back(static_cast<uint8_t>(value >> 8));
    frame.push_back(static_cast<uint8_t>(value & 0xFF));
  }
  frame.resize(frame.size() + 2);
  CloseFrame(frame.data(), static_cast<uint16_t>(frame.size()));
  return frame;
}

// A good reply to a block read as the completion handler sees it: decoded into the image and the
// field texts, then the whole display refreshed into the window. Two replies with different
// values alternate, so every field's text changes on every pass, as it does while polling a
// live meter. afterPass runs inside the timed loop after each pass.
template <typename AfterPass>
void DecodeAndRefresh(benchmark::State& state, MainDialog& dialog, AfterPass afterPass) {
  const PolledBlock& block = kPolledBlocks[state.range(0)];
  const std::vector<uint8_t> replies[2] = {BlockReply(block.count, 1), BlockReply(block.count, 2)};
  dialog.m_link.m_readStart = block.start;
  dialog.m_link.m_lastCount = block.count;
  size_t pass = 0;
  for (auto _ : state) {
    const std::vector<uint8_t>& reply = replies[pass++ & 1];
    std::copy(reply.begin(), reply.end(), dialog.m_link.m_rxBuf);
    dialog.DecodeReply();
    dialog.RefreshDisplay();
    afterPass();
  }
  state.SetLabel(block.name);
}

inline void DecodeAndRefresh(benchmark::State& state, MainDialog& dialog) {
  DecodeAndRefresh(state, dialog, [] {});
}
