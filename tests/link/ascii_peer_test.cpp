// An independent Modbus ASCII slave (pymodbus, in a Python child process) on the far end of a
// pseudo-terminal pair answers the link in ASCII mode: our characters and LRCs are understood as
// intended, and its replies, which we did not frame, are taken by our receiver.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "link/modbus_link.h"
#include "null_modem.h"
#include "peers/python_peer.h"
#include "pty_support.h"
#include "recording_target.h"

namespace {

constexpr int kPeerStartMs =
    20000;  // the interpreter and the library load slowly on a busy machine

class PymodbusAsciiSlave : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ours.ok() && theirs.ok());
    home.Link("COM1", ours.slavePath);
    ASSERT_TRUE(peer.Start("ascii_slave.py", {theirs.slavePath})) << peer.Output();
    ASSERT_TRUE(peer.WaitFor("ready", kPeerStartMs)) << peer.Output();
    link.SetDefaults();
    link.m_protocol = kProtocolAscii;
    link.m_dataBits = 7;  // as an ASCII line is set up
    link.m_parity = 2;
    link.m_stopBits = 1;
    link.m_notifyWnd = &target;
    link.m_timeoutTicks = 1000000;  // the deadline below bounds the wait instead
    link.Open();
    ASSERT_EQ(link.m_isOpen, 1);
  }

  // Pumps the receiver whenever input waits, until the link reports or the deadline passes.
  void AwaitCompletion() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (target.posted.empty() && std::chrono::steady_clock::now() < end) {
      ours.SlaveReadable(20);
      link.PumpReceive();
    }
  }

  std::vector<uint8_t> Reply(size_t n) const { return {link.m_rxBuf, link.m_rxBuf + n}; }

  std::vector<uint16_t> Registers(size_t count) const {
    std::vector<uint16_t> values;
    for (size_t k = 0; k < count; ++k) {
      values.push_back(
          static_cast<uint16_t>(link.m_rxBuf[3 + 2 * k] << 8 | link.m_rxBuf[4 + 2 * k]));
    }
    return values;
  }

  RawPty ours;
  RawPty theirs;
  PortsHome home;
  NullModem cable{ours.master, theirs.master};
  PythonPeer peer;
  RecordingTarget target;
  ModbusLink link;
};

std::vector<uint16_t> Counting(uint16_t from, size_t count) {
  std::vector<uint16_t> values;
  for (size_t k = 0; k < count; ++k) values.push_back(static_cast<uint16_t>(from + k));
  return values;
}

TEST_F(PymodbusAsciiSlave, AnswersReadsAndWritesWithRepliesOurReceiverTakes) {
  std::vector<uint16_t> parameters = Counting(0xA000, 44);
  struct Step {
    const char* name;
    std::function<void()> send;
    Posted posted;
    std::function<void()> check;
  };
  const std::vector<Step> steps = {
      {"ReadHolding 768 44", [&] { link.ReadHolding(768, 44); }, Done(0, 0),
       [&] { EXPECT_EQ(Registers(44), Counting(0x1000 + 768, 44)); }},
      {"WriteRegister", [&] { link.WriteRegister(0x0302, 0xBEEF); }, Done(0, 0),
       [&] { EXPECT_EQ(Reply(8), std::vector<uint8_t>(link.m_txBuf, link.m_txBuf + 8)); }},
      {"ReadHolding 0x0302 1", [&] { link.ReadHolding(0x0302, 1); }, Done(0, 0),
       [&] { EXPECT_EQ(Registers(1), std::vector<uint16_t>{0xBEEF}); }},
      {"WriteParameters", [&] { link.WriteParameters(parameters.data()); }, Done(0, 0),
       [&] {
         EXPECT_EQ(Reply(6), (std::vector<uint8_t>{1, 0x10, 0x03, 0x00, 0x00, 0x2C}));
       }},
      {"ReadHolding parameters", [&] { link.ReadHolding(768, 44); }, Done(0, 0),
       [&] { EXPECT_EQ(Registers(44), parameters); }},
      {"WriteCoil", [&] { link.WriteCoil(4, 1); }, Done(0, 0),
       [&] { EXPECT_EQ(Reply(8), std::vector<uint8_t>(link.m_txBuf, link.m_txBuf + 8)); }},
      {"ReadCoils", [&] { link.ReadCoils(0, 8); }, Done(0, 0),
       [&] {
         EXPECT_EQ(Reply(4), (std::vector<uint8_t>{1, 1, 1, 0xBA}));
         std::string log;
         link.DumpRx(log);
         EXPECT_EQ(log, ":010101BA43");
       }},
      {"ReadHolding past the map", [&] { link.ReadHolding(0x0400, 1); }, Done(2, kLinkException),
       [] {}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    target.posted.clear();
    step.send();
    AwaitCompletion();
    ASSERT_EQ(target.posted, std::vector<Posted>{step.posted}) << peer.Output();
    step.check();
  }
}

}  // namespace
