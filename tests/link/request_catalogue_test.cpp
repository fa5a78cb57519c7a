#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "fakes/fake_line.h"
#include "link/modbus_link.h"
#include "reference_crc.h"

namespace {

constexpr uint16_t kStartBefore = 0x1111;  // last-request fields before each request
constexpr uint16_t kCountBefore = 0x2222;

std::array<uint16_t, 44> ParameterValues() {
  std::array<uint16_t, 44> values{};
  for (size_t k = 0; k < values.size(); ++k) values[k] = static_cast<uint16_t>(0x0101 * k + 0x8001);
  return values;
}

std::vector<uint8_t> ParameterFrame() {
  std::vector<uint8_t> frame{0x01, 0x10, 0x03, 0x00, 0x00, 0x2C, 0x58};
  for (const uint16_t value : ParameterValues()) {
    frame.push_back(static_cast<uint8_t>(value >> 8));
    frame.push_back(static_cast<uint8_t>(value & 0xFF));
  }
  return WithCrc(frame);
}

struct Request {
  const char* name;
  std::function<void(ModbusLink&)> send;
  std::vector<uint8_t> frame;
  uint16_t readStart;
  uint16_t lastCount;
};

const uint16_t kClock[4] = {2024, 0x0C07, 0x0D2A, 0x1E00};

const std::vector<Request>& Catalogue() {
  static const std::vector<Request> requests = {
      {"ReadCoils",
       [](ModbusLink& l) { l.ReadCoils(0, 8); },
       {0x01, 0x01, 0x00, 0x00, 0x00, 0x08, 0x3D, 0xCC},
       kStartBefore,
       8},
      {"ReadInputs",
       [](ModbusLink& l) { l.ReadInputs(0, 8); },
       {0x01, 0x02, 0x00, 0x00, 0x00, 0x08, 0x79, 0xCC},
       kStartBefore,
       8},
      {"ReadHolding 0 69",
       [](ModbusLink& l) { l.ReadHolding(0, 69); },
       {0x01, 0x03, 0x00, 0x00, 0x00, 0x45, 0x84, 0x39},
       0,
       69},
      {"ReadHolding 0 1",
       [](ModbusLink& l) { l.ReadHolding(0, 1); },
       {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A},
       0,
       1},
      {"ReadHolding 768 44",
       [](ModbusLink& l) { l.ReadHolding(768, 44); },
       {0x01, 0x03, 0x03, 0x00, 0x00, 0x2C, 0x44, 0x53},
       768,
       44},
      {"WriteCoil high coil byte dropped",
       [](ModbusLink& l) { l.WriteCoil(0x0103, 1); },
       {0x01, 0x05, 0x00, 0x03, 0xFF, 0x00, 0x7C, 0x3A},
       kStartBefore,
       kCountBefore},
      {"WriteCoil state by its low byte",
       [](ModbusLink& l) { l.WriteCoil(2, 0x0100); },
       {0x01, 0x05, 0x00, 0x02, 0x00, 0x00, 0x6C, 0x0A},
       kStartBefore,
       kCountBefore},
      {"WriteRegister",
       [](ModbusLink& l) { l.WriteRegister(0x0302, 0xABCD); },
       {0x01, 0x06, 0x03, 0x02, 0xAB, 0xCD, 0x96, 0xEB},
       kStartBefore,
       1},
      {"ReadEvent",
       [](ModbusLink& l) { l.ReadEvent(63); },
       {0x01, 0x08, 0x00, 0x00, 0x00, 0x3F, 0xA0, 0x1B},
       kStartBefore,
       kCountBefore},
      {"ClearEvents",
       [](ModbusLink& l) { l.ClearEvents(); },
       {0x01, 0x09, 0x00, 0x00, 0x00, 0x00, 0xDD, 0xCB},
       kStartBefore,
       kCountBefore},
      {"WriteClock",
       [](ModbusLink& l) { l.WriteClock(kClock); },
       {0x01, 0x10, 0x00, 0x82, 0x00, 0x04, 0x08, 0x07, 0xE8, 0x0C, 0x07, 0x0D, 0x2A, 0x1E, 0x00,
        0xFB, 0xE3},
       kStartBefore,
       4},
      {"WriteParameters", [](ModbusLink& l) { l.WriteParameters(ParameterValues().data()); },
       ParameterFrame(), kStartBefore, 44},
  };
  return requests;
}

class RequestCatalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    wire = AttachFakeLine(link);
    link.SetDefaults();
    link.m_protocol = 0;
    link.m_readStart = kStartBefore;
    link.m_lastCount = kCountBefore;
  }

  std::vector<uint8_t> Tx(size_t n) const { return {link.m_txBuf, link.m_txBuf + n}; }

  ModbusLink link;
  std::shared_ptr<FakeWire> wire;
};

TEST_F(RequestCatalogue, EveryEntryPointSendsItsFrameAndRecordsTheLastRequest) {
  link.Open();
  for (const Request& request : Catalogue()) {
    SCOPED_TRACE(request.name);
    link.m_readStart = kStartBefore;
    link.m_lastCount = kCountBefore;
    link.m_rxPos = 5;
    link.m_ticks = 0;
    wire->written.clear();
    request.send(link);
    ASSERT_EQ(wire->written.size(), 1u);
    EXPECT_EQ(wire->written[0], request.frame);
    EXPECT_EQ(Tx(request.frame.size()), request.frame);
    EXPECT_EQ(link.m_readStart, request.readStart);
    EXPECT_EQ(link.m_lastCount, request.lastCount);
    EXPECT_EQ(link.m_rxPos, 0);
    EXPECT_EQ(link.m_ticks, 1);
  }
}

// An address outside 1 to 247 once went out as its low byte: 257 reached meter 1 and -1 the
// reserved 255. Now nothing goes out and no transaction starts.
TEST_F(RequestCatalogue, OnlyAnAddressAMeterCanHaveGoesOut) {
  link.Open();
  for (const int32_t address : {0, 248, 255, 256, 257, -1}) {
    SCOPED_TRACE(address);
    link.m_slaveAddress = address;
    link.ReadHolding(0, 1);
    EXPECT_TRUE(wire->written.empty());
    EXPECT_EQ(link.m_ticks, 0);
  }
  link.m_slaveAddress = 247;
  link.ReadHolding(0, 1);
  EXPECT_EQ(wire->written.at(0).at(0), 247);
}

// Mode 0 and 1 with the port closed, and any unknown mode with the port open: nothing changes.
TEST_F(RequestCatalogue, ClosedPortOrUnknownModeLeavesEverythingAsItWas) {
  wire->openFails = true;
  link.Open();
  ASSERT_EQ(link.m_isOpen, 0);
  auto check = [&](int32_t mode) {
    link.m_protocol = mode;
    std::memset(link.m_txBuf, 0xA5, sizeof(link.m_txBuf));
    link.m_rxPos = 3;
    link.m_ticks = 7;
    for (const Request& request : Catalogue()) {
      SCOPED_TRACE(std::string(request.name) + " in mode " + std::to_string(mode));
      request.send(link);
      EXPECT_EQ(Tx(kFrameBufferSize), std::vector<uint8_t>(kFrameBufferSize, 0xA5));
      EXPECT_EQ(link.m_rxPos, 3);
      EXPECT_EQ(link.m_ticks, 7);
      EXPECT_EQ(link.m_readStart, kStartBefore);
      EXPECT_EQ(link.m_lastCount, kCountBefore);
    }
  };
  check(0);
  check(1);
  wire->openFails = false;
  link.Open();
  ASSERT_EQ(link.m_isOpen, 1);
  check(2);
  check(-1);
  EXPECT_TRUE(wire->written.empty());
}

TEST_F(RequestCatalogue, SetDefaultsGivesTheConsolesStartingValues) {
  link.m_successCount = link.m_failureCount = link.m_ticks = link.m_rxPos = 9;
  link.SetDefaults();
  EXPECT_EQ(link.m_successCount, 0);
  EXPECT_EQ(link.m_failureCount, 0);
  EXPECT_EQ(link.m_ticks, 0);
  EXPECT_EQ(link.m_rxPos, 0);
  EXPECT_EQ(link.m_timeoutTicks, 50);
  EXPECT_EQ(link.m_timerPeriod, 50);
  EXPECT_EQ(link.m_slaveAddress, 1);
  EXPECT_EQ(link.m_port, 1u);
  EXPECT_EQ(link.m_baudRate, 9600u);
  EXPECT_EQ(link.m_parity, 0);
  EXPECT_EQ(link.m_dataBits, 8);
  EXPECT_EQ(link.m_stopBits, 2);
}

// The frame logs.

std::string DumpTx(const ModbusLink& link) {
  std::string text = "> ";
  link.DumpTx(text);
  return text;
}

std::string DumpRx(const ModbusLink& link) {
  std::string text = "< ";
  link.DumpRx(text);
  return text;
}

TEST_F(RequestCatalogue, TransmitLogShowsTheWholeFrameOrSaysTheCodeIsUnknown) {
  EXPECT_EQ(DumpTx(link), "> 未知功能码");  // nothing built yet: all zero
  link.Open();
  link.ReadHolding(0, 69);
  EXPECT_EQ(DumpTx(link), "> 01 03 00 00 00 45 84 39 ");
  link.WriteClock(kClock);
  EXPECT_EQ(DumpTx(link), "> 01 10 00 82 00 04 08 07 E8 0C 07 0D 2A 1E 00 FB E3 ");
  link.WriteParameters(ParameterValues().data());
  const std::string dump = DumpTx(link);
  EXPECT_EQ(dump.size(), 2u + 291u);
  EXPECT_EQ(dump.substr(0, 23), "> 01 10 03 00 00 2C 58 ");
  for (const uint8_t code : {0, 7, 10, 15, 17, 97, 255}) {
    link.m_txBuf[1] = code;
    EXPECT_EQ(DumpTx(link), "> 未知功能码") << int{code};
  }
}

TEST_F(RequestCatalogue, ReceiveLogFollowsTheByteCountOrTheFixedLength) {
  const uint8_t reply[] = {0x01, 0x03, 0x02, 0x00, 0x01, 0x79, 0x84, 0xEE, 0xEE};
  std::memcpy(link.m_rxBuf, reply, sizeof(reply));
  EXPECT_EQ(DumpRx(link), "< 01 03 02 00 01 79 84 ");
  for (const uint8_t code : {5, 6, 9, 16}) {
    link.m_rxBuf[1] = code;
    EXPECT_EQ(DumpRx(link).size(), 2u + 24u) << int{code};
  }
  for (const uint8_t code : {0, 7, 97, 105, 112}) {
    link.m_rxBuf[1] = code;
    EXPECT_EQ(DumpRx(link), "< 未知功能码") << int{code};
  }
  link.m_rxBuf[1] = 0x83;  // an exception reply: address, function, code and the CRC
  EXPECT_EQ(DumpRx(link), "< 01 83 02 00 01 ");
}

// In ASCII mode each request is the same request in characters. The frames are those an
// independent Modbus library's ASCII framer produces for the same requests; the send log shows
// them from ':' to the LRC.
TEST_F(RequestCatalogue, AsciiModeSendsEachRequestAsItsAsciiFrame) {
  struct AsciiRequest {
    std::function<void(ModbusLink&)> send;
    std::string frame;
  };
  const uint16_t clock[4] = {2026, 0x0305, 0x0E07, 0x0900};
  const AsciiRequest requests[] = {
      {[](ModbusLink& l) { l.ReadCoils(0, 8); }, ":010100000008F6"},
      {[](ModbusLink& l) { l.ReadInputs(0, 8); }, ":010200000008F5"},
      {[](ModbusLink& l) { l.ReadHolding(0, 1); }, ":010300000001FB"},
      {[](ModbusLink& l) { l.ReadHolding(0x300, 44); }, ":01030300002CCD"},
      {[](ModbusLink& l) { l.WriteCoil(3, 1); }, ":01050003FF00F8"},
      {[](ModbusLink& l) { l.WriteRegister(0x302, 5); }, ":010603020005EF"},
      {[](ModbusLink& l) { l.ReadEvent(0x3F); }, ":01080000003FB8"},
      {[](ModbusLink& l) { l.ReadEvent(0); }, ":010800000000F7"},
      // Worked by hand: 01 + 09 = 0A, whose two's complement is F6.
      {[](ModbusLink& l) { l.ClearEvents(); }, ":010900000000F6"},
      {[&](ModbusLink& l) { l.WriteClock(clock); }, ":0110008200040807EA03050E0709004A"},
  };
  link.Open();
  link.m_protocol = kProtocolAscii;
  for (const AsciiRequest& request : requests) {
    SCOPED_TRACE(request.frame);
    wire->written.clear();
    request.send(link);
    const std::string line = request.frame + "\r\n";
    ASSERT_EQ(wire->written.size(), 1u);
    EXPECT_EQ(wire->written[0], std::vector<uint8_t>(line.begin(), line.end()));
    EXPECT_EQ(CheckFrame(link.m_txBuf, link.m_txBuf[1] == 16 ? 17 : 8), 0);  // RTU form kept
    EXPECT_EQ(DumpTx(link), "> " + request.frame);
    EXPECT_EQ(link.m_ticks, 1);
  }
  link.WriteParameters(ParameterValues().data());
  EXPECT_EQ(wire->written.back().size(), 1u + 2 * 96 + 2);
  EXPECT_EQ(link.m_lastCount, 44);
}

TEST_F(RequestCatalogue, AsciiLogsShowTheFrameAndAnUnknownModeSaysSo) {
  link.Open();
  link.ReadHolding(0, 1);
  const uint8_t exception[] = {0x01, 0x83, 0x02, 0xC0, 0xF1};
  std::memcpy(link.m_rxBuf, exception, sizeof(exception));
  link.m_protocol = kProtocolAscii;
  EXPECT_EQ(DumpTx(link), "> :010300000001FB");
  EXPECT_EQ(DumpRx(link), "< :0183027A");
  link.m_rxBuf[1] = 7;
  EXPECT_EQ(DumpRx(link), "< 未知功能码");
  link.m_protocol = 2;
  EXPECT_EQ(DumpTx(link), "> 未知通讯规约");
  EXPECT_EQ(DumpRx(link), "< 未知通讯规约");
}

}  // namespace
