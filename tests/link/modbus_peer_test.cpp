#include <modbus/modbus.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "peer_fixture.h"

namespace {

// A libmodbus RTU slave (address 1) serving a register mapping on a pty, in its own thread.
class LibmodbusSlave {
 public:
  explicit LibmodbusSlave(const std::string& device)
      : m_ctx(modbus_new_rtu(device.c_str(), 9600, 'N', 8, 2)),
        m_map(modbus_mapping_new(0x400, 0x400, 0x400, 0)) {
    for (int k = 0; k < 0x400; ++k) {
      m_map->tab_bits[k] = k % 3 == 0;
      m_map->tab_input_bits[k] = k % 2;
      m_map->tab_registers[k] = static_cast<uint16_t>(0x1000 + k);
    }
    modbus_set_slave(m_ctx, 1);
    modbus_set_response_timeout(m_ctx, 0, 20000);
    modbus_set_indication_timeout(m_ctx, 0, 50000);  // lets the loop see the stop flag
    m_connected = modbus_connect(m_ctx) == 0;
    m_thread = std::thread([this] { Serve(); });
  }
  ~LibmodbusSlave() {
    m_stop = true;
    m_thread.join();
    modbus_close(m_ctx);
    modbus_free(m_ctx);
    modbus_mapping_free(m_map);
  }
  bool connected() const { return m_connected; }

 private:
  void Serve() {
    while (m_connected && !m_stop) {
      uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
      const int length = modbus_receive(m_ctx, query);
      if (length > 0) modbus_reply(m_ctx, query, length, m_map);
    }
  }

  modbus_t* m_ctx;
  modbus_mapping_t* m_map;
  bool m_connected = false;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

class LibmodbusPeer : public LinkOverNullModem {
 protected:
  void SetUp() override {
    OpenLink(kProtocolRtu);
    ASSERT_TRUE(slave.connected());
    link.Open();
    ASSERT_EQ(link.m_isOpen, 1);
  }

  LibmodbusSlave slave{theirs.slavePath};
};

std::vector<uint16_t> Counting(uint16_t from, size_t count) {
  std::vector<uint16_t> values;
  for (size_t k = 0; k < count; ++k) values.push_back(static_cast<uint16_t>(from + k));
  return values;
}

// Each request goes to the independent slave; its reply must complete with a good CRC and carry
// what the request asked for, so our frames were understood as intended. Writes are read back.
TEST_F(LibmodbusPeer, AnswersEveryStandardRequestWithAReplyOurAssemblerAccepts) {
  const uint16_t clock[4] = {2024, 0x0C07, 0x0D2A, 0x1E00};
  std::vector<uint16_t> parameters = Counting(0xA000, 44);
  struct Step {
    const char* name;
    std::function<void()> send;
    std::function<void()> check;
  };
  const std::vector<Step> steps = {
      {"ReadCoils", [&] { link.ReadCoils(0, 8); },
       [&] {
         EXPECT_EQ(Reply(4), (std::vector<uint8_t>{1, 1, 1, 0x49}));
       }},
      {"ReadInputs", [&] { link.ReadInputs(0, 8); },
       [&] {
         EXPECT_EQ(Reply(4), (std::vector<uint8_t>{1, 2, 1, 0xAA}));
       }},
      {"ReadHolding 0 69", [&] { link.ReadHolding(0, 69); },
       [&] { EXPECT_EQ(Registers(69), Counting(0x1000, 69)); }},
      {"ReadHolding 138 70", [&] { link.ReadHolding(138, 70); },
       [&] { EXPECT_EQ(Registers(70), Counting(0x1000 + 138, 70)); }},
      {"ReadHolding 768 44", [&] { link.ReadHolding(768, 44); },
       [&] { EXPECT_EQ(Registers(44), Counting(0x1000 + 768, 44)); }},
      {"WriteCoil", [&] { link.WriteCoil(4, 1); },
       [&] { EXPECT_EQ(Reply(8), std::vector<uint8_t>(link.m_txBuf, link.m_txBuf + 8)); }},
      {"ReadCoils after the write", [&] { link.ReadCoils(0, 8); },
       [&] {
         EXPECT_EQ(Reply(4), (std::vector<uint8_t>{1, 1, 1, 0x59}));
       }},
      {"WriteRegister", [&] { link.WriteRegister(0x0302, 0xBEEF); },
       [&] { EXPECT_EQ(Reply(8), std::vector<uint8_t>(link.m_txBuf, link.m_txBuf + 8)); }},
      {"ReadHolding 0x0302 1", [&] { link.ReadHolding(0x0302, 1); },
       [&] { EXPECT_EQ(Registers(1), std::vector<uint16_t>{0xBEEF}); }},
      {"WriteClock", [&] { link.WriteClock(clock); },
       [&] {
         EXPECT_EQ(Reply(6), (std::vector<uint8_t>{1, 0x10, 0x00, 0x82, 0x00, 0x04}));
       }},
      {"ReadHolding clock", [&] { link.ReadHolding(0x82, 4); },
       [&] { EXPECT_EQ(Registers(4), std::vector<uint16_t>(clock, clock + 4)); }},
      {"WriteParameters", [&] { link.WriteParameters(parameters.data()); },
       [&] {
         EXPECT_EQ(Reply(6), (std::vector<uint8_t>{1, 0x10, 0x03, 0x00, 0x00, 0x2C}));
       }},
      {"ReadHolding parameters", [&] { link.ReadHolding(768, 44); },
       [&] { EXPECT_EQ(Registers(44), parameters); }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    target.posted.clear();
    step.send();
    AwaitCompletion();
    ASSERT_EQ(target.posted, std::vector<Posted>{Done(0, 0)});
    step.check();
  }
}

}  // namespace
