#include <optional>

#include "command_fixture.h"

namespace {

using ClockSettingsTest = CommandTest;

TEST_F(ClockSettingsTest, SyncClockWritesTheLocalTimeIntoTheFourClockRegisters) {
  dialog.m_localTime = [] { return LocalTime{2026, 3, 5, 14, 7, 9}; };
  window.Click(1130);
  const Bytes expected = {0x01, 0x10, 0x00, 0x82, 0x00, 0x04, 0x08, 0x07, 0xEA,
                          0x03, 0x05, 0x0E, 0x07, 0x09, 0x00, 0x3E, 0xA1};
  EXPECT_EQ(LastFrame(), expected);
  EXPECT_EQ(Value(65), 2026);
  EXPECT_EQ(Value(66), 0x0305);
  EXPECT_EQ(Value(67), 0x0E07);
  EXPECT_EQ(Value(68), 0x0900);
  EXPECT_EQ(Shown(1128), "2026.3.5");
  EXPECT_EQ(Shown(1129), "14:07:09");
}

TEST_F(ClockSettingsTest, SyncClockWithoutAnInjectedClockSendsAPlausibleDate) {
  window.Click(1130);
  ASSERT_EQ(LastFrame().size(), 17u);
  EXPECT_GE(Value(65), 2024);
  EXPECT_GE(Value(66) >> 8, 1);
  EXPECT_LE(Value(66) >> 8, 12);
  EXPECT_LE(Value(67) >> 8, 23);
  EXPECT_EQ(Value(68) & 0xFF, 0);
}

// A time of day from 0:00 to 24:00 or nothing: what is refused leaves the register as it was.
const EditorCase kPeriodCases[] = {
    {1087, "8:30", 158, 510, " 8:30"},
    {1086, "8", 159, 480, " 8:00"},
    {1090, "23:59", 160, 1439, "23:59"},
    {1089, "24:00", 161, 1440, "24:00"},
    {1115, " 7:45 ", 164, 465, " 7:45"},          // blanks around the numbers
    {1094, "25:99", 162, std::nullopt, nullptr},  // beyond a day: refused
    {1094, "-1:30", 162, std::nullopt, nullptr},
    {1094, "24:01", 162, std::nullopt, nullptr},
    {1094, "8:60", 162, std::nullopt, nullptr},
    {1091, "8:30:15", 163, std::nullopt, nullptr},  // not a time of day
    {1091, "8:", 163, std::nullopt, nullptr},
    {1091, "8：30", 163, std::nullopt, nullptr},  // a full-width colon
    {1131, ":30", 166, std::nullopt, nullptr},    // no hours: kept silently
    {1116, "", 167, std::nullopt, nullptr},
    {1133, "noon", 168, std::nullopt, nullptr},
};

TEST_F(ClockSettingsTest, PeriodEditorsStoreMinutesAndShowHoursAndMinutes) {
  ExpectEdits(kPeriodCases);
}

TEST_F(ClockSettingsTest, EveryDisplayedPeriodParsesBackToItsValue) {
  for (int field : {1087, 1086, 1090, 1089, 1094, 1091, 1115, 1095, 1131, 1116, 1133, 1132}) {
    std::vector<uint16_t> before;
    for (int k = 158; k <= 169; ++k) before.push_back(Value(k));
    window.Focus(field);
    window.Focus(kRestingFocus);
    for (int k = 158; k <= 169; ++k) EXPECT_EQ(Value(k), before[k - 158]) << field;
  }
}

TEST_F(ClockSettingsTest, PeriodTextIsCutAfter511Characters) {
  Edit(1087, "8:" + std::string(508, '0') + "5");  // 511 characters: the 5 counts
  EXPECT_EQ(Value(158), 485);
  Edit(1087, "8:" + std::string(509, '0') + "5");  // the 5 is the 512th
  EXPECT_EQ(Value(158), 480);
}

TEST_F(ClockSettingsTest, RefusedPeriodsSayWhyAndHugeHoursDoNotOverflow) {
  Edit(1094, "25:99");
  EXPECT_EQ(Shown(1072), "输入值超出范围（0:00 至 24:00）");
  EXPECT_EQ(Shown(1094), dialog.FormatPeriod(StartValue(162)));  // the stored value again
  Edit(1091, "8:30:15");
  EXPECT_EQ(Shown(1072), "请输入有效的数值。");
  EXPECT_EQ(dialog.ParsePeriod("2147483647:59").outcome, Entry::OutOfRange);
  EXPECT_EQ(dialog.ParsePeriod("99999999999999999999:00").outcome, Entry::OutOfRange);
  for (const char* typed : {"x", "-0:30", "+8:00", ":30", "８：００"}) {
    EXPECT_EQ(dialog.ParsePeriod(typed).outcome, Entry::Malformed) << typed;
  }
  EXPECT_EQ(dialog.ParsePeriod("  ").outcome, Entry::NoNumber);
  EXPECT_EQ(dialog.ParsePeriod("８:３０").value, 510);
}

// The six registers in the order of the line: protocol, address, baud, parity, data, stop.
constexpr int kSettingIndexes[] = {141, 139, 143, 142, 154, 155};

struct SettingsCase {
  std::string typed;
  std::vector<uint16_t> codes;  // kSettingIndexes order; empty: refused, nothing stored
  std::string shown;            // the line afterwards, or the reason of a refusal; "": unchecked
};

// codes empty: the line is refused with the reason shown and stores nothing.
const SettingsCase kSettingsCases[] = {
    {"Modbus ASCII,5:19200,EVEN,7,1", {1, 5, 6, 2, 1, 1}, "Modbus ASCII,5:19200,EVEN,7,1 "},
    {"modbus rtu,1:9600bps,none,8,2", {0, 1, 5, 0, 0, 0}, "Modbus RTU,1:9600,NONE,8,2 "},
    {"Modbus-ASCII , 247 : 4800 , e v e n , 7 , 1", {1, 247, 4, 2, 1, 1}, ""},
    {"Modbus RTU,1:115200,ODD,8,1", {}, "无法识别的波特率：115200"},
    {"Modbus RTU,1:9601,ODD,8,1", {}, "无法识别的波特率：9601"},
    {"Modbus TCP,7:9600,NONE,8,2", {}, "无法识别的通讯规约：Modbus TCP"},
    {"Modbus RTU,7:9600,MARK,8,2", {}, "无法识别的奇偶校验：MARK"},
    {"Modbus RTU,7:9600,NONE,6,2", {}, "无法识别的数据位：6"},
    {"Modbus RTU,7:9600,NONE,8,3", {}, "无法识别的停止位：3"},
    {"Modbus ASCII,x:9600,ODD,7,1", {}, "无法识别的从机地址：x"},
    {"Modbus RTU,300:9600,NONE,8,2", {}, "输入值超出范围（1 至 247）"},
    {"Modbus RTU,0:9600,NONE,8,2", {}, "输入值超出范围（1 至 247）"},
    {"Modbus ASCII", {}, "从机通讯设定缺少从机地址"},  // the text ends early
    // The protocol token is cut at 127 characters, losing "ASCII".
    {"Modbus" + std::string(121, ' ') + "ASCII,2:9600,NONE,8,1", {}, "无法识别的通讯规约：Modbus"},
    // The line is cut at 255 characters, losing the stop bits.
    {"Modbus RTU,2:9600,NONE,8," + std::string(230, ' ') + "1", {}, "从机通讯设定缺少停止位"},
};

TEST_F(ClockSettingsTest, SlaveSettingsLineFillsTheSixRegistersOrNone) {
  for (const SettingsCase& c : kSettingsCases) {
    SCOPED_TRACE(c.typed);
    std::vector<uint16_t> before;
    for (int index : kSettingIndexes) before.push_back(Value(index));
    Edit(1159, c.typed);
    for (size_t k = 0; k < std::size(kSettingIndexes); ++k) {
      const uint16_t expected = c.codes.empty() ? before[k] : c.codes[k];
      EXPECT_EQ(Value(kSettingIndexes[k]), expected) << "index " << kSettingIndexes[k];
    }
    if (!c.shown.empty()) {
      EXPECT_EQ(Shown(c.codes.empty() ? 1072 : 1159), c.shown);
    }
  }
}

TEST_F(ClockSettingsTest, LeavingTheSettingsLineUnchangedStoresTheSameValues) {
  for (const char* line : {"Modbus ASCII,5:19200,EVEN,7,1", "Modbus RTU,247:300,ODD,8,2"}) {
    Edit(1159, line);
    std::vector<uint16_t> stored;
    for (int index : kSettingIndexes) stored.push_back(Value(index));
    window.Focus(1159);
    window.Focus(kRestingFocus);
    for (size_t k = 0; k < std::size(kSettingIndexes); ++k) {
      EXPECT_EQ(Value(kSettingIndexes[k]), stored[k]) << line;
    }
  }
}

TEST_F(ClockSettingsTest, EditedPeriodsAndSettingsTravelWithTheParameterWrite) {
  Edit(1087, "7:15");
  Edit(1159, "Modbus ASCII,5:19200,EVEN,7,1");
  window.Click(1088);
  const Bytes& frame = LastFrame();
  ASSERT_EQ(frame.size(), 97u);
  auto sent = [&](int index) {
    const int k = index - kParameterFirst;
    return static_cast<uint16_t>(frame[7 + 2 * k] << 8 | frame[8 + 2 * k]);
  };
  EXPECT_EQ(sent(158), 435);
  EXPECT_EQ(sent(139), 5);
  EXPECT_EQ(sent(141), 1);
  EXPECT_EQ(sent(143), 6);
}

}  // namespace
