// Safe writes end to end: the operator's sequences that once sent values nobody typed, given
// through the window of the whole console against the simulated meter. The meter's own log of
// the requests it received is the witness of what went out, and of what did not.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "e2e/sim_harness.h"
#include "link/frame_codec.h"
#include "sim/sim_process.h"

namespace {

constexpr int kTxLog = 1009;  // a control whose focus runs no handler

// A request as the meter's log shows it: the body closed with its CRC, "%02X " per byte.
std::string Frame(std::vector<uint8_t> body) {
  body.resize(body.size() + 2);
  CloseFrame(body.data(), static_cast<uint16_t>(body.size()));
  std::string hex;
  AppendHex(hex, body.data(), static_cast<int>(body.size()));
  return hex;
}

std::string WriteBlock(const std::array<uint16_t, kParameterCount>& values) {
  std::vector<uint8_t> body = {0x01, 0x10, 0x03, 0x00, 0x00, 0x2C, 0x58};
  for (uint16_t v : values) {
    body.push_back(static_cast<uint8_t>(v >> 8));
    body.push_back(static_cast<uint8_t>(v & 0xFF));
  }
  return Frame(body);
}

const std::string kReadSlaveAddress = Frame({0x01, 0x03, 0x03, 0x00, 0x00, 0x01});
// The read-back that follows every write of the block.
const std::string kReadBlock = Frame({0x01, 0x03, 0x03, 0x00, 0x00, 0x2C});

class SafeWritesAtSimulatedMeter : public e2e::ConsoleOnLine {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.Start({"--seed", "5", "--verbose"})) << sim.Output();
    beforeTick = [this] { sim.Drain(); };
    StartConsole(sim.ConfigHome());
    ASSERT_TRUE(TickUntil([&] { return dialog.m_paramsValid == 1 && Idle(); }));
    StopPolling();
    m_seen = sim.ReceivedFrames().size();
  }

  void Edit(int id, const std::string& text) {
    window.Focus(id);
    window.Type(id, text);
    window.Focus(kTxLog);
  }
  // Types into a field and presses a button straight away, as an operator in a hurry does.
  void TypeAndClick(int id, const std::string& text, int button) {
    window.Focus(id);
    window.Type(id, text);
    window.Click(button);
  }
  // The requests the meter received since the last look.
  std::vector<std::string> NewFrames() {
    const std::vector<std::string> all = sim.ReceivedFrames();
    std::vector<std::string> fresh(all.begin() + static_cast<long>(m_seen), all.end());
    m_seen = all.size();
    return fresh;
  }
  // Nothing went out since the last look: the next request the meter sees is a read of 0300.
  void ExpectNothingSentSinceLastLook() {
    window.Type(1073, "300");
    ASSERT_TRUE(Transact([&] { window.Click(1076); }));
    EXPECT_EQ(NewFrames(), std::vector<std::string>{kReadSlaveAddress});
  }
  std::array<uint16_t, kParameterCount> Block() const {
    std::array<uint16_t, kParameterCount> values{};
    for (int k = 0; k < kParameterCount; ++k)
      values[k] = dialog.m_regTable[kParameterFirst + k].value;
    return values;
  }

  SimProcess sim;
  size_t m_seen = 0;
};

// Delay 313 and hold 626 once went out as 312 and 625 after a visit to their fields.
TEST_F(SafeWritesAtSimulatedMeter, AParameterWriteCarriesOnlyWhatWasTyped) {
  window.Type(1073, "340");
  window.Type(1074, "139");  // 313
  ASSERT_TRUE(Transact([&] { window.Click(1077); }));
  window.Type(1073, "342");
  window.Type(1074, "272");  // 626
  ASSERT_TRUE(Transact([&] { window.Click(1077); }));
  ASSERT_TRUE(Transact([&] { window.Click(1099); }));
  std::array<uint16_t, kParameterCount> expected = Block();
  ASSERT_EQ(expected[171 - kParameterFirst], 313);
  NewFrames();

  for (int field : {1049, 1050, 1058, 1057, 1056, 1059, 1063, 1062, 1061, 1060, 1066, 1065, 1064,
                    1067, 1087, 1086, 1159}) {
    window.Focus(field);
  }
  Edit(1055, "75");
  ASSERT_TRUE(Transact([&] { window.Click(1088); }));
  expected[148 - kParameterFirst] = 75;
  expected[149 - kParameterFirst] = 0;
  EXPECT_EQ(NewFrames(), (std::vector<std::string>{WriteBlock(expected), kReadBlock}));
}

// With 0300 selected, 5 meant for 0302 once went to 0300: the meter's own address.
TEST_F(SafeWritesAtSimulatedMeter, TheRegisterBrowserWritesTheTypedValueToTheTypedRegister) {
  const std::vector<std::string> expected = {Frame({0x01, 0x06, 0x03, 0x02, 0x00, 0x05}),
                                             Frame({0x01, 0x03, 0x03, 0x02, 0x00, 0x01})};
  for (const bool numberFirst : {true, false}) {
    SCOPED_TRACE(numberFirst ? "number first" : "value first");
    window.Type(1073, "300");
    ASSERT_TRUE(Transact([&] { window.Click(1076); }));
    NewFrames();
    Edit(numberFirst ? 1073 : 1074, numberFirst ? "302" : "5");
    TypeAndClick(numberFirst ? 1074 : 1073, numberFirst ? "5" : "302", 1077);
    ASSERT_TRUE(TickUntil([&] { return Idle(); }));
    EXPECT_EQ(NewFrames(), expected);  // the write and its read-back
    ExpectNothingSentSinceLastLook();
    EXPECT_EQ(Text(1074), "0001");  // the meter still answers at address 1
  }
}

struct Refused {
  int field;
  const char* typed;
  int button;
};

// Numbers that do not fit once became other valid values on the wire; now nothing goes out.
TEST_F(SafeWritesAtSimulatedMeter, RefusedInputSendsNothing) {
  const Refused refused[] = {
      {1074, "10002", 1077},  // once wrote 0x0002 into the slave address
      {1073, "10300", 1076},  // once read 0x0300
      {1055, "99999999999", 1088},
      {1059, "1e400", 1088},
      {1059, "-1", 1088},
      {1060, "1,5", 1088},
      {1060, "0。5", 1088},
      {1159, "Modbus RTU,1:9601,NONE,8,2", 1088},
      {1159, "Modbus RTU,256:9600,NONE,8,2", 1088},
      {1087, "25:99", 1088},
  };
  window.Type(1073, "300");
  ASSERT_TRUE(Transact([&] { window.Click(1076); }));
  NewFrames();
  for (const Refused& r : refused) {
    SCOPED_TRACE(r.typed);
    TypeAndClick(r.field, r.typed, r.button);
    EXPECT_FALSE(Text(1072).empty());
    window.Focus(kTxLog);
    ExpectNothingSentSinceLastLook();
  }
  // Slave address 256 was once sent as the broadcast address 0.
  window.ClearMessageBoxes();
  TypeAndClick(1028, "256", 1099);
  EXPECT_EQ(window.MessageBoxes(),
            std::vector<std::string>{"请输入一个介于 1 和 247 之间的整数。"});
  ASSERT_TRUE(TickUntil([&] { return Idle(); }));
  EXPECT_EQ(NewFrames(), std::vector<std::string>{Frame({0x01, 0x03, 0x03, 0x00, 0x00, 0x2C})});
}

// The confirmation lists once started at 0/0/0, so one click opened output 0.
TEST_F(SafeWritesAtSimulatedMeter, AnOutputSwitchesOnlyOnAFreshConfirmation) {
  window.Click(1142);
  EXPECT_EQ(Text(1072), "遥控参数设置不当");
  ExpectNothingSentSinceLastLook();

  window.Choose(1143, 2);
  window.Choose(1145, 1);
  window.Choose(1144, 1);
  ASSERT_TRUE(Transact([&] { window.Click(1142); }));
  EXPECT_EQ(NewFrames(), std::vector<std::string>{Frame({0x01, 0x05, 0x00, 0x02, 0xFF, 0x00})});

  window.Choose(1143, 3);  // another channel, with no new confirmation
  window.Click(1142);
  EXPECT_EQ(Text(1072), "遥控参数设置不当");
  ExpectNothingSentSinceLastLook();
}

// After the address changed, the first meter's block was once written into the second.
TEST_F(SafeWritesAtSimulatedMeter, ABlockIsWrittenOnlyToTheMeterItWasReadFrom) {
  Edit(1028, "7");  // a meter that is not there
  EXPECT_FALSE(window.IsControlEnabled(1088));
  EXPECT_EQ(Text(1050), "");
  ASSERT_FALSE(Transact([&] { window.Click(1099); }));  // nobody answers at 7
  EXPECT_FALSE(window.IsControlEnabled(1088));
  EXPECT_EQ(NewFrames(), std::vector<std::string>{Frame({0x07, 0x03, 0x03, 0x00, 0x00, 0x2C})});

  Edit(1028, "1");
  EXPECT_FALSE(window.IsControlEnabled(1088));  // back at 1, the block must be read again
  ASSERT_TRUE(Transact([&] { window.Click(1099); }));
  ASSERT_TRUE(window.IsControlEnabled(1088));
  const std::array<uint16_t, kParameterCount> block = Block();
  NewFrames();
  ASSERT_TRUE(Transact([&] { window.Click(1088); }));
  EXPECT_EQ(NewFrames(), (std::vector<std::string>{WriteBlock(block), kReadBlock}));
}

}  // namespace
