// An independent Modbus master (libmodbus) against the simulator on its pseudo-terminal: the
// replies and their CRCs are checked by code we did not write.
#include <modbus.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>

#include "sim/sim_process.h"

namespace {

class LibmodbusMaster : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.Start()) << sim.Output();
    Connect(1);
  }
  void TearDown() override {
    if (ctx != nullptr) {
      modbus_close(ctx);
      modbus_free(ctx);
    }
  }
  void Connect(int slave) {
    ctx = modbus_new_rtu(sim.DevicePath().c_str(), 9600, 'N', 8, 2);
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(modbus_set_slave(ctx, slave), 0);
    modbus_set_response_timeout(ctx, 2, 0);
    ASSERT_EQ(modbus_connect(ctx), 0) << modbus_strerror(errno);
  }

  SimProcess sim;
  modbus_t* ctx = nullptr;
};

TEST_F(LibmodbusMaster, ReadsTheThreeRegisterBlocksAndSingleRegisters) {
  uint16_t regs[70];
  ASSERT_EQ(modbus_read_registers(ctx, 0x0000, 69, regs), 69) << modbus_strerror(errno);
  EXPECT_NEAR(regs[0] * 0.1, 230, 5);           // Uan
  EXPECT_NEAR(regs[27] * 0.00106813, 50, 0.1);  // f
  ASSERT_EQ(modbus_read_registers(ctx, 0x008A, 70, regs), 70) << modbus_strerror(errno);
  ASSERT_EQ(modbus_read_registers(ctx, 0x0300, 44, regs), 44) << modbus_strerror(errno);
  EXPECT_EQ(regs[0], 1);    // address
  EXPECT_EQ(regs[4], 5);    // 9600 baud
  EXPECT_EQ(regs[7], 100);  // PT
  EXPECT_EQ(regs[9], 50);   // CT
  uint16_t one = 0;
  ASSERT_EQ(modbus_read_registers(ctx, 0x0308, 1, &one), 1);
  EXPECT_EQ(one, 5);
  ASSERT_EQ(modbus_read_registers(ctx, 0x0114, 1, &one), 1);
}

TEST_F(LibmodbusMaster, GetsExceptionRepliesForMissingRegisters) {
  uint16_t regs[4];
  EXPECT_EQ(modbus_read_registers(ctx, 0x0116, 1, regs), -1);
  EXPECT_EQ(errno, EMBXILADD);
  EXPECT_EQ(modbus_read_registers(ctx, 0x0354, 3, regs), -1);
  EXPECT_EQ(errno, EMBXILADD);
  EXPECT_EQ(modbus_write_register(ctx, 0x0000, 1), -1);
  EXPECT_EQ(errno, EMBXILADD);
  // The meter goes on answering after its refusals.
  EXPECT_EQ(modbus_read_registers(ctx, 0x0300, 1, regs), 1);
}

TEST_F(LibmodbusMaster, SwitchesOutputsAndReadsThemBackAsCoilsAndAsTheYkRegister) {
  ASSERT_EQ(modbus_write_bit(ctx, 1, TRUE), 1) << modbus_strerror(errno);
  ASSERT_EQ(modbus_write_bit(ctx, 2, TRUE), 1);
  ASSERT_EQ(modbus_write_bit(ctx, 2, FALSE), 1);
  uint8_t bits[8];
  ASSERT_EQ(modbus_read_bits(ctx, 0, 8, bits), 8) << modbus_strerror(errno);
  const uint8_t expected[8] = {0, 1, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(bits[i], expected[i]) << i;
  uint16_t yk = 0;
  ASSERT_EQ(modbus_read_registers(ctx, 0x0016, 1, &yk), 1);
  EXPECT_EQ(yk, 0x02);
  EXPECT_EQ(modbus_write_bit(ctx, 5, TRUE), -1);
  EXPECT_EQ(errno, EMBXILADD);
}

TEST_F(LibmodbusMaster, ReadsTheInputsAsTheYxRegisterShowsThem) {
  uint8_t bits[8];
  uint16_t yx = 0;
  ASSERT_EQ(modbus_read_registers(ctx, 0x0006, 1, &yx), 1);
  ASSERT_EQ(modbus_read_input_bits(ctx, 0, 8, bits), 8) << modbus_strerror(errno);
  // An input may change between the two reads; bits 6 and 7 never exist.
  EXPECT_EQ(bits[6], 0);
  EXPECT_EQ(bits[7], 0);
  int same = 0;
  for (int i = 0; i < 6; ++i) same += bits[i] == ((yx >> i) & 1);
  EXPECT_GE(same, 5);
}

TEST_F(LibmodbusMaster, WritesOneParameterAndTheWholeBlock) {
  ASSERT_EQ(modbus_write_register(ctx, 0x0356, 7), 1) << modbus_strerror(errno);
  uint16_t block[44];
  ASSERT_EQ(modbus_read_registers(ctx, 0x0300, 44, block), 44);
  EXPECT_EQ(block[43], 7);
  block[19] = 510;  // first peak period from 8:30
  block[7] = 200;   // PT
  ASSERT_EQ(modbus_write_registers(ctx, 0x0300, 44, block), 44) << modbus_strerror(errno);
  uint16_t back[44];
  ASSERT_EQ(modbus_read_registers(ctx, 0x0300, 44, back), 44);
  for (int i = 0; i < 44; ++i) EXPECT_EQ(back[i], block[i]) << i;
}

TEST_F(LibmodbusMaster, SetsTheClockWhichRunsOnFromThere) {
  const uint16_t clock[4] = {2031, 0x0C1F, 0x173B, 0x3B00};  // 2031-12-31 23:59:59
  ASSERT_EQ(modbus_write_registers(ctx, 0x0082, 4, clock), 4) << modbus_strerror(errno);
  uint16_t now[4];
  ASSERT_EQ(modbus_read_registers(ctx, 0x0082, 4, now), 4);
  // Read back at once or after the new year began.
  EXPECT_TRUE(now[0] == 2031 || (now[0] == 2032 && now[1] == 0x0101)) << now[0];
}

TEST_F(LibmodbusMaster, KeepsServingWhenThePortIsClosedAndOpenedAgain) {
  uint16_t value = 0;
  ASSERT_EQ(modbus_read_registers(ctx, 0x0300, 1, &value), 1);
  for (int round = 0; round < 3; ++round) {
    modbus_close(ctx);
    ASSERT_EQ(modbus_connect(ctx), 0) << modbus_strerror(errno);
    ASSERT_EQ(modbus_read_registers(ctx, 0x0300, 1, &value), 1) << round;
    EXPECT_EQ(value, 1);
  }
}

TEST_F(LibmodbusMaster, AnswersOnlyItsOwnAddress) {
  modbus_set_response_timeout(ctx, 0, 300000);
  modbus_set_slave(ctx, 2);
  uint16_t value = 0;
  EXPECT_EQ(modbus_read_registers(ctx, 0x0300, 1, &value), -1);
  EXPECT_EQ(errno, ETIMEDOUT);
  modbus_flush(ctx);
  modbus_set_slave(ctx, 1);
  EXPECT_EQ(modbus_read_registers(ctx, 0x0300, 1, &value), 1);
}

}  // namespace
