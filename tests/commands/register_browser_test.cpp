#include <string>

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
    {"10300", 139, 0, "输入值超出范围（0000 至 FFFF）"},  // once read 0x0300
    {"0x114", 138, 0x0114, nullptr},
    {"0", 0, 0x0000, nullptr},
    {"356", 182, 0x0356, nullptr},
    {"301", -1, 0, "未定义寄存器 0301"},                 // odd
    {"10301", -1, 0, "输入值超出范围（0000 至 FFFF）"},  // refused: the selection stays
    {"116", -1, 0, "未定义寄存器 0116"},                 // the gap between the two blocks
    {"2FE", -1, 0, "未定义寄存器 02FE"},
    {"358", -1, 0, "未定义寄存器 0358"},
    {"FFFFFFFF", -1, 0, "输入值超出范围（0000 至 FFFF）"},
    {"30O", -1, 0, "请输入有效的数值。"},  // a letter O typed for a zero
};

TEST_F(RegisterBrowserTest, ReadRegisterLooksTheTypedNumberUpAndReadsOnlyDefinedRegisters) {
  for (const LookupCase& c : kLookupCases) {
    SCOPED_TRACE(c.typed);
    const int32_t selected = dialog.m_regIndex;
    window.Type(1073, c.typed);
    const size_t before = Sent();
    window.Click(1076);
    const bool refused = c.status != nullptr && std::string(c.status).find("未定义") != 0;
    EXPECT_EQ(dialog.m_regIndex, refused ? selected : c.index);
    if (c.status == nullptr) {
      ASSERT_EQ(Sent(), before + 1);
      EXPECT_EQ(LastFrame(), ReadOne(c.address));
      Answer(Closed({0x01, 0x03, 0x02, 0x12, 0x34}));
      EXPECT_EQ(Value(c.index), 0x1234);
    } else {
      EXPECT_EQ(Sent(), before);
      EXPECT_EQ(Shown(1072), c.status);
      if (c.index < 0) {
        EXPECT_EQ(Shown(1074), "");
      }
    }
  }
}

TEST_F(RegisterBrowserTest, TheLiteralFrameOfARegisterReadCarriesItsCrc) {
  window.Type(1073, "300");
  window.Click(1076);
  EXPECT_EQ(LastFrame(), (Bytes{0x01, 0x03, 0x03, 0x00, 0x00, 0x01, 0x84, 0x4E}));
}

// A number field that holds no number is refused with the reason and nothing is sent; an empty
// one keeps the register selected, which the refresh shows again before the button acts.
TEST_F(RegisterBrowserTest, ANumberFieldWithoutANumberChangesNothingAndSendsNothing) {
  dialog.m_regIndex = 5;
  for (const char* typed : {"xyz", " -", "一"}) {
    const size_t before = Sent();
    for (int button : {1076, 1077}) {
      window.Type(1073, typed);
      window.Click(button);
      EXPECT_EQ(Shown(1072), "请输入有效的数值。");
    }
    EXPECT_EQ(Sent(), before) << typed;
    EXPECT_EQ(dialog.m_regIndex, 5);
    EXPECT_EQ(Shown(1073), "000A");  // the refresh shows the register still selected
  }
  window.Type(1073, "");
  window.Click(1076);
  EXPECT_EQ(LastFrame(), ReadOne(0x000A));
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
  uint16_t pending;  // the value to write afterwards
  const char* hex;   // both fields show it
  const char* real;
  const char* status;  // nullptr: accepted
};

// Index 0 is "Uan": scale 0.1, two decimals. The fields hold the value to write; the image keeps
// what the meter last said.
const ValueCase kValueCases[] = {
    {1075, "230.5", 0x0901, "0901", "230.50", nullptr},
    {1075, "0.7", 7, "0007", "0.70", nullptr},    // 7 steps, though 0.7 / 0.1 is 6.999999999999999
    {1075, "volts", 7, "0007", "0.70", "请输入有效的数值。"},
    {1075, "-0.1", 7, "0007", "0.70", "输入值超出范围（0.00 至 6553.50）"},
    {1074, "0x2a", 0x002A, "002A", "4.20", nullptr},
    {1074, "1FFFF", 0x002A, "002A", "4.20", "输入值超出范围（0000 至 FFFF）"},  // once FFFF
    {1074, "2a h", 0x002A, "002A", "4.20", "请输入有效的数值。"},
    {1074, "g", 0x002A, "002A", "4.20", "请输入有效的数值。"},
    {1074, "", 0x002A, "002A", "4.20", nullptr},  // an empty field keeps the value
};

TEST_F(RegisterBrowserTest, ValueEditorsHoldTheValueToWriteAndShowItBothWays) {
  dialog.m_regIndex = 0;
  for (const ValueCase& c : kValueCases) {
    SCOPED_TRACE(std::to_string(c.field) + " <- " + c.typed);
    window.SetText(1072, "");
    Edit(c.field, c.typed);
    EXPECT_EQ(dialog.m_regPending, c.pending);
    EXPECT_EQ(Value(0), 0);  // the image changes only with the meter's echo
    EXPECT_EQ(Shown(1074), c.hex);
    EXPECT_EQ(Shown(1075), c.real);
    EXPECT_EQ(Shown(1093), "Uan");
    if (c.status != nullptr) {
      EXPECT_EQ(Shown(1072), c.status);
    }
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

namespace {

// Frequency and angles show fewer digits than they step: leaving "实际值" untouched keeps
// nothing to write, for every value the meter can hold.
TEST_F(RegisterBrowserTest, LeavingTheRealValueUntouchedHoldsNothingForEveryRawValue) {
  for (const int index : {27, 70}) {  // "f" (0.00106813 per count), "ArgIa" (0.005729578)
    dialog.m_regIndex = index;
    int drifted = 0;
    for (int raw = 0; raw <= 0xFFFF; ++raw) {
      dialog.m_regTable[index].value = static_cast<uint16_t>(raw);
      dialog.RefreshDisplay();
      dialog.OnRegisterValueEdited(1075);  // what leaving the field runs
      if (dialog.m_regPending || Value(index) != raw) ++drifted;
    }
    EXPECT_EQ(drifted, 0) << "index " << index;
  }
}

// With 0300 (the meter's own slave address) selected, the operator means to write 5 into 0302.
// Whichever field is typed first, the write goes to 0302 with 5, and nothing else changes.
TEST_F(RegisterBrowserTest, WriteRegisterSendsTheTypedValueToTheTypedRegisterInEitherOrder) {
  const Bytes expected = {0x01, 0x06, 0x03, 0x02, 0x00, 0x05, 0xE8, 0x4D};
  for (const bool numberFirst : {true, false}) {
    SCOPED_TRACE(numberFirst ? "number first" : "value first");
    window.Type(1073, "300");
    window.Click(1076);
    Answer(Closed({0x01, 0x03, 0x02, 0x00, 0x01}));
    ASSERT_EQ(Shown(1074), "0001");
    if (numberFirst) {
      Edit(1073, "302");
      Edit(1074, "5");
    } else {
      Edit(1074, "5");
      Edit(1073, "302");
    }
    EXPECT_EQ(Shown(1073), "0302");
    EXPECT_EQ(Shown(1074), "0005");
    EXPECT_EQ(Value(139), 1);  // the slave address register was never touched
    window.Focus(1074);
    window.Click(1077);
    EXPECT_EQ(LastFrame(), expected);
    Echo();
    EXPECT_EQ(Value(140), 5);
    EXPECT_EQ(Value(139), 1);
    // The read-back of the register written, a transaction of its own.
    EXPECT_EQ(LastFrame(), Closed({0x01, 0x03, 0x03, 0x02, 0x00, 0x01}));
    Answer(Closed({0x01, 0x03, 0x02, 0x00, 0x05}));
    EXPECT_EQ(Shown(1072), "寄存器已写入，读回一致");
  }
  window.Click(1088);  // a later "写参数" sends the slave address as the meter has it
  EXPECT_EQ(LastFrame()[7], 0x00);
  EXPECT_EQ(LastFrame()[8], 0x01);
}

TEST_F(RegisterBrowserTest, LeavingTheNumberFieldSelectsWithoutReading) {
  const size_t before = Sent();
  Edit(1073, "302");
  EXPECT_EQ(dialog.m_regIndex, 140);
  EXPECT_EQ(Shown(1093), "接线方式");
  Edit(1073, "303");
  EXPECT_EQ(dialog.m_regIndex, -1);
  EXPECT_EQ(Shown(1072), "未定义寄存器 0303");
  EXPECT_EQ(Sent(), before);
}

}  // namespace
