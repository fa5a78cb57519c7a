#include "command_fixture.h"

namespace {

using RegisterBrowserTest = CommandTest;

Bytes ReadOne(uint16_t address) {
  return Closed({0x01, 0x03, static_cast<uint8_t>(address >> 8),
                 static_cast<uint8_t>(address & 0xFF), 0x00, 0x01});
}

struct LookupCase {
  const char* typed;
  int32_t index;       // selected afterwards
  uint16_t address;    // read; unused when nothing is sent
  const char* status;  // nullptr: a request goes out
};

const LookupCase kLookupCases[] = {
    {"300", 139, 0x0300, nullptr},
    {"10300", 139, 0x0300, nullptr},  // the key is the number modulo 65536
    {"0x114", 138, 0x0114, nullptr},
    {"0", 0, 0x0000, nullptr},
    {"356", 182, 0x0356, nullptr},
    {"301", -1, 0, "未定义寄存器 0301"},  // odd
    {"10301", -1, 0, "未定义寄存器 10301"},
    {"116", -1, 0, "未定义寄存器 0116"},  // the gap between the two blocks
    {"2FE", -1, 0, "未定义寄存器 02FE"},
    {"358", -1, 0, "未定义寄存器 0358"},
    {"FFFFFFFF", -1, 0, "未定义寄存器 FFFFFFFF"},
};

TEST_F(RegisterBrowserTest, ReadRegisterLooksTheTypedNumberUpAndReadsOnlyDefinedRegisters) {
  for (const LookupCase& c : kLookupCases) {
    SCOPED_TRACE(c.typed);
    window.Type(1073, c.typed);
    const size_t before = Sent();
    window.Click(1076);
    EXPECT_EQ(dialog.m_regIndex, c.index);
    if (c.status == nullptr) {
      ASSERT_EQ(Sent(), before + 1);
      EXPECT_EQ(LastFrame(), ReadOne(c.address));
      Answer(Closed({0x01, 0x03, 0x02, 0x12, 0x34}));
      EXPECT_EQ(Value(c.index), 0x1234);
    } else {
      EXPECT_EQ(Sent(), before);
      EXPECT_EQ(Shown(1072), c.status);
      EXPECT_EQ(Shown(1073), "");
      EXPECT_EQ(Shown(1074), "");
    }
  }
}

TEST_F(RegisterBrowserTest, TheLiteralFrameOfARegisterReadCarriesItsCrc) {
  window.Type(1073, "300");
  window.Click(1076);
  EXPECT_EQ(LastFrame(), (Bytes{0x01, 0x03, 0x03, 0x00, 0x00, 0x01, 0x84, 0x4E}));
}

TEST_F(RegisterBrowserTest, ANumberFieldWithoutANumberChangesNothingAndSendsNothing) {
  dialog.m_regIndex = 5;
  const std::string status = Shown(1072);
  for (const char* typed : {"", "xyz", " -"}) {
    const size_t before = Sent();
    for (int button : {1076, 1077}) {
      window.Type(1073, typed);
      window.Click(button);
    }
    EXPECT_EQ(Sent(), before) << typed;
    EXPECT_EQ(dialog.m_regIndex, 5);
    EXPECT_EQ(Shown(1072), status);
    EXPECT_EQ(Shown(1073), "000A");  // the refresh shows the register still selected
  }
}

struct StepCase {
  int32_t from;
  int button;  // 1097 "+" or 1098 "-"
  int32_t to;
  uint16_t address;
};

const StepCase kStepCases[] = {
    {139, 1097, 140, 0x0302}, {182, 1097, 0, 0x0000},   {-1, 1097, 0, 0x0000},
    {138, 1097, 139, 0x0300}, {139, 1098, 138, 0x0114}, {0, 1098, 182, 0x0356},
    {-1, 1098, 182, 0x0356},  {1, 1098, 0, 0x0000},
};

TEST_F(RegisterBrowserTest, StepButtonsWrapAroundTheTableAndReadTheNewRegister) {
  for (const StepCase& c : kStepCases) {
    SCOPED_TRACE(std::to_string(c.from) + (c.button == 1097 ? " +" : " -"));
    dialog.m_regIndex = c.from;
    window.Click(c.button);
    EXPECT_EQ(dialog.m_regIndex, c.to);
    EXPECT_EQ(LastFrame(), ReadOne(c.address));
    char number[8];
    std::snprintf(number, sizeof number, "%04X", c.address);
    EXPECT_EQ(Shown(1073), number);
    Answer(Closed({0x01, 0x03, 0x02, 0x00, 0x00}));  // the buttons come back
  }
}

TEST_F(RegisterBrowserTest, PlusAfterAFailedLookupSelectsTheFirstRegister) {
  window.Type(1073, "301");
  window.Click(1076);
  ASSERT_EQ(dialog.m_regIndex, -1);
  window.Click(1097);
  EXPECT_EQ(dialog.m_regIndex, 0);
  EXPECT_EQ(LastFrame(), ReadOne(0x0000));
}

struct ValueCase {
  int field;  // 1074 "值(Hex)" or 1075 "实际值"
  const char* typed;
  uint16_t stored;
  const char* hex;
  const char* real;
};

// Index 0 is "Uan": scale 0.1, two decimals.
const ValueCase kValueCases[] = {
    {1075, "230.5", 0x0901, "0901", "230.50"},
    {1075, "0.7", 6, "0006", "0.60"},  // 0.7 / 0.1 is 6.999999999999999
    {1075, "-0.1", 0xFFFF, "FFFF", "6553.50"},
    {1075, "volts", 0xFFFF, "FFFF", "6553.50"},  // no number: kept
    {1074, "1FFFF", 0xFFFF, "FFFF", "6553.50"},
    {1074, "0x2a", 0x002A, "002A", "4.20"},
    {1074, "g", 0x002A, "002A", "4.20"},
};

TEST_F(RegisterBrowserTest, ValueEditorsStoreRawOrScaledValueAndShowBoth) {
  dialog.m_regIndex = 0;
  for (const ValueCase& c : kValueCases) {
    SCOPED_TRACE(std::to_string(c.field) + " <- " + c.typed);
    Edit(c.field, c.typed);
    EXPECT_EQ(Value(0), c.stored);
    EXPECT_EQ(Shown(1074), c.hex);
    EXPECT_EQ(Shown(1075), c.real);
    EXPECT_EQ(Shown(1093), "Uan");
  }
}

TEST_F(RegisterBrowserTest, ValueEditorsChangeNoRegisterWhileNoneIsSelected) {
  window.Type(1073, "301");
  window.Click(1076);
  ASSERT_EQ(dialog.m_regIndex, -1);
  std::vector<uint16_t> before;
  for (int k = 0; k < kRegisterCount; ++k) before.push_back(Value(k));
  Edit(1074, "1234");
  Edit(1075, "5");
  for (int k = 0; k < kRegisterCount; ++k) EXPECT_EQ(Value(k), before[k]) << "index " << k;
}

TEST_F(RegisterBrowserTest, WriteRegisterSendsTheHexFieldToTheTypedAddress) {
  Edit(1074, "5");  // the editor acts on the register shown, 0x0300
  window.Type(1073, "302");
  window.Click(1077);
  EXPECT_EQ(dialog.m_regIndex, 140);
  EXPECT_EQ(LastFrame(), (Bytes{0x01, 0x06, 0x03, 0x02, 0x00, 0x05, 0xE8, 0x4D}));
  Echo();
  EXPECT_EQ(Value(140), 5);  // the echo lands in the register written
}

TEST_F(RegisterBrowserTest, WriteRegisterSendsNothingForAnUndefinedAddressOrAnEmptyValue) {
  window.Type(1073, "301");
  const size_t before = Sent();
  window.Click(1077);
  EXPECT_EQ(Shown(1072), "未定义寄存器 0301");
  window.Type(1073, "302");  // selects the register; "值(Hex)" was emptied by the failed lookup
  window.Click(1077);
  EXPECT_EQ(Sent(), before);
  EXPECT_EQ(dialog.m_regIndex, 140);
}

}  // namespace
