// An independent Modbus ASCII slave (pymodbus, in a Python child process) on the far end of a
// pseudo-terminal pair answers the link in ASCII mode: our characters and LRCs are understood as
// intended, and its replies, which we did not frame, are taken by our receiver.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "peer_fixture.h"
#include "peers/python_peer.h"

namespace {

constexpr int kPeerStartMs =
    20000;  // the interpreter and the library load slowly on a busy machine

class PymodbusAsciiSlave : public LinkOverNullModem {
 protected:
  void SetUp() override {
    OpenLink(kProtocolAscii);
    ASSERT_TRUE(peer.Start("ascii_slave.py", {theirs.slavePath})) << peer.Output();
    ASSERT_TRUE(peer.WaitFor("ready", kPeerStartMs)) << peer.Output();
    link.m_dataBits = 7;  // as an ASCII line is set up
    link.m_parity = 2;
    link.m_stopBits = 1;
    link.Open();
    ASSERT_EQ(link.m_isOpen, 1);
  }

  PythonPeer peer;
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
