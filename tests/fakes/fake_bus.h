#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "link/frame_codec.h"
#include "link/serial_port.h"
#include "scan/scan_plan.h"
#include "scan/scanner.h"

// Time that passes only when the scan sleeps.
class FakeScanClock : public ScanClock {
 public:
  int64_t NowUs() override { return now; }
  void SleepUs(int64_t us) override { now += us; }
  int64_t now = 0;
};

// One meter on the fake bus: its address, its line and its line registers 0x0300 to 0x0320.
struct BusMeter {
  int address;
  ScanSetting line;
  uint8_t stopBits = 1;
  bool otherDevice = false;  // answers every read of its address with an exception
};

// A line with meters on it, as a UART sees it: a meter hears a request only at its own speed,
// parity and framing; at its speed but another parity or framing it answers (it takes the request
// for one of its own) with bytes that come out garbled. An echoing adapter repeats every request.
// Replies come after `latencyUs`, whole.
class FakeBus : public SerialLine {
 public:
  FakeBus(FakeScanClock& clock, std::vector<BusMeter> meters)
      : m_clock(clock), m_meters(std::move(meters)) {}

  bool echo = false;
  int64_t latencyUs = 5000;
  int opens = 0;
  int writes = 0;
  bool openFails = false;

  bool Open(const SerialPort& settings) override {
    ++opens;
    if (openFails) {
      m_error = {LineFault::Busy, 16, settings.m_openPath, "busy"};
      return false;
    }
    Configure(settings);
    return true;
  }
  void Configure(const SerialPort& s) override {
    m_line = {s.m_baudRate, s.m_parity, static_cast<uint8_t>(s.m_dataBits == 7 ? 1 : 0)};
  }
  void Close() override { m_waiting.clear(); }
  bool BytesWaiting() override {
    return !m_waiting.empty() && m_waiting.front().at <= m_clock.now;
  }
  uint8_t ReadByte() override {
    const uint8_t b = m_waiting.front().byte;
    m_waiting.pop_front();
    return b;
  }
  void DiscardInput() override { m_waiting.clear(); }
  bool Write(const uint8_t* bytes, uint16_t n) override {
    ++writes;
    const std::vector<uint8_t> request(bytes, bytes + n);
    if (echo) Queue(request, 0);
    std::vector<uint8_t> frame = request;
    if (m_line.protocol == 1) {
      uint16_t count = 0;
      frame.resize(n);
      if (DecodeAscii(bytes, n, frame.data(), count) != 0) return true;
      frame.resize(count + 2u);
      CloseFrame(frame.data(), static_cast<uint16_t>(frame.size()));
    }
    for (const BusMeter& meter : m_meters) {
      if (frame[0] != meter.address || meter.line.baud != m_line.baud) continue;
      if (meter.line.parity != m_line.parity || meter.line.protocol != m_line.protocol) {
        // It took the request for one of its own; its reply, as a UART set otherwise reads it.
        if (!meter.otherDevice) Queue({0xF0, 0x0F, 0xE7}, latencyUs);
        continue;
      }
      Queue(Reply(meter, frame), latencyUs);
    }
    return true;
  }

 private:
  struct Timed {
    int64_t at;
    uint8_t byte;
  };
  void Queue(const std::vector<uint8_t>& bytes, int64_t after) {
    for (uint8_t b : bytes) m_waiting.push_back({m_clock.now + after, b});
  }
  std::vector<uint8_t> Reply(const BusMeter& m, const std::vector<uint8_t>& request) const {
    std::vector<uint8_t> frame = {request[0], 0x03};
    if (m.otherDevice) {
      frame = {request[0], 0x83, 0x02, 0, 0};
    } else {
      const uint16_t quantity = static_cast<uint16_t>(request[4] << 8 | request[5]);
      uint16_t line[17] = {};  // 0x0300 to 0x0320
      line[0] = static_cast<uint16_t>(m.address);
      line[2] = m.line.protocol;
      line[3] = m.line.parity;
      line[4] = BaudCode(m.line.baud);
      line[15] = m.line.protocol;  // Modbus ASCII with 7 data bits
      line[16] = m.stopBits == 1 ? 1 : 0;
      frame.push_back(static_cast<uint8_t>(2 * quantity));
      for (uint16_t k = 0; k < quantity && k < 17; ++k) {
        frame.push_back(static_cast<uint8_t>(line[k] >> 8));
        frame.push_back(static_cast<uint8_t>(line[k] & 0xFF));
      }
      frame.resize(frame.size() + 2);
    }
    CloseFrame(frame.data(), static_cast<uint16_t>(frame.size()));
    if (m.line.protocol == 0) return frame;
    std::vector<uint8_t> chars(static_cast<size_t>(AsciiFrameLength(static_cast<int>(frame.size()))));
    chars.resize(EncodeAscii(frame.data(), static_cast<uint16_t>(frame.size() - 2), chars.data()));
    return chars;
  }
  static uint16_t BaudCode(uint32_t baud) {
    const uint32_t bauds[] = {300, 600, 1200, 2400, 4800, 9600, 19200};
    for (uint16_t k = 0; k < 7; ++k) {
      if (bauds[k] == baud) return k;
    }
    return 9;
  }

  FakeScanClock& m_clock;
  std::vector<BusMeter> m_meters;
  ScanSetting m_line;
  std::deque<Timed> m_waiting;
};
