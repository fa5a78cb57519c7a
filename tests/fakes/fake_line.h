#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "link/serial_port.h"

// What a scripted line holds: bytes the test queues wait to be read one at a time; frames
// written are recorded. Shared between the test and the FakeLine the port owns.
struct FakeWire {
  std::deque<uint8_t> incoming;
  std::vector<std::vector<uint8_t>> written;
  bool openFails = false;
  LineError openError;  // what a failing open reports
  bool lost = false;    // the device has gone away: the open line says so when asked
  bool writeFails = false;  // the line refuses every frame (a device that went away mid-write)
  std::vector<std::string> openPaths;  // the path of every open tried
  int opens = 0;
  int closes = 0;
  int configures = 0;
  bool open = false;

  void Feed(const std::vector<uint8_t>& bytes) {
    incoming.insert(incoming.end(), bytes.begin(), bytes.end());
  }
};

class FakeLine : public SerialLine {
 public:
  explicit FakeLine(std::shared_ptr<FakeWire> wire) : m_wire(std::move(wire)) {}

  bool Open(const SerialPort& settings) override {
    ++m_wire->opens;
    m_wire->openPaths.push_back(settings.m_openPath);
    m_error = {};
    if (m_wire->openFails) {
      m_error = m_wire->openError;
      return false;
    }
    m_wire->open = true;
    m_error.device = settings.m_openPath;
    Configure(settings);
    return true;
  }
  void Configure(const SerialPort&) override { ++m_wire->configures; }
  void Close() override {
    ++m_wire->closes;
    m_wire->open = false;
  }
  bool BytesWaiting() override { return !m_wire->incoming.empty(); }
  uint8_t ReadByte() override {
    if (m_wire->incoming.empty()) return 0;
    const uint8_t b = m_wire->incoming.front();
    m_wire->incoming.pop_front();
    return b;
  }
  bool Write(const uint8_t* buffer, uint16_t length) override {
    if (m_wire->writeFails) return false;
    m_wire->written.emplace_back(buffer, buffer + length);
    return true;
  }
  bool Lost() override {
    if (m_wire->lost) m_error = {LineFault::Lost, 0, "/dev/fake", "hung up"};
    return m_wire->lost;
  }

 private:
  std::shared_ptr<FakeWire> m_wire;
};

// Puts a fresh scripted line under a port and returns its wire.
inline std::shared_ptr<FakeWire> AttachFakeLine(SerialPort& port) {
  auto wire = std::make_shared<FakeWire>();
  port.SetLine(std::make_unique<FakeLine>(wire));
  return wire;
}
