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

const EditorCase kPeriodCases[] = {
    {1087, "8:30", 158, 510, " 8:30"},
    {1086, "8", 159, 480, " 8:00"},
    {1090, "23:59", 160, 1439, "23:59"},
    {1089, "25:99", 161, 1599, "26:39"},     // no range check
    {1094, "-1:30", 162, 65506, "1091:46"},  // -30 kept as its low 16 bits
    {1091, "8:30:15", 163, 510, " 8:30"},    // the minutes stop at the second colon
    {1115, " 8:30", 164, 510, " 8:30"},      // the displayed form parses back
    {1095, "8:", 165, 480, " 8:00"},
    {1131, ":30", 166, std::nullopt, nullptr},  // no hours: kept
    {1116, "", 167, std::nullopt, nullptr},
    {1133, "noon", 168, std::nullopt, nullptr},
    {1132, "1092:16", 169, 0, " 0:00"},  // 65536 minutes wrap to 0
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

TEST_F(ClockSettingsTest, ParsePeriodWrapsHugeHoursWithoutOverflow) {
  EXPECT_EQ(dialog.ParsePeriod("2147483647:59"), static_cast<int32_t>(0x7FFFFFFFu * 60u + 59u));
  EXPECT_EQ(dialog.ParsePeriod("-2147483648:-1"), static_cast<int32_t>(0x80000000u * 60u - 1u));
  EXPECT_EQ(dialog.ParsePeriod("x"), std::nullopt);
}

// The six registers in the order of the line: protocol, address, baud, parity, data, stop.
constexpr int kSettingIndexes[] = {141, 139, 143, 142, 154, 155};

struct SettingsCase {
  std::string typed;
  std::vector<uint16_t> codes;  // kSettingIndexes order; the address 0xFFFF means kept
  const char* shown;
};

const SettingsCase kSettingsCases[] = {
    {"Modbus ASCII,5:19200,EVEN,7,1", {1, 5, 6, 2, 1, 1}, "Modbus ASCII,5:19200,EVEN,7,1 "},
    {"modbus rtu,1:9600bps,none,8,2", {0, 1, 5, 0, 0, 0}, "Modbus RTU,1:9600,NONE,8,2 "},
    {"Modbus RTU,1:115200,ODD,8,1", {0, 1, 0, 1, 0, 1}, "Modbus RTU,1:300,ODD,8,1 "},
    {"Modbus-ASCII , 300 : 4800 , e v e n , 7 , 1", {1, 300, 4, 2, 1, 1}, nullptr},
    {"Modbus TCP,70000:9600,MARK,6,3", {0, 4464, 5, 0, 0, 0}, "Modbus RTU,4464:9600,NONE,8,2 "},
    {"Modbus ASCII,x:9600,ODD,7,1", {1, 0xFFFF, 5, 1, 1, 1}, nullptr},
    {"Modbus ASCII", {1, 0xFFFF, 0, 0, 0, 0}, nullptr},  // the text ends early
    {"", {0, 0xFFFF, 0, 0, 0, 0}, nullptr},
    // The protocol token is cut at 127 characters, losing "ASCII".
    {"Modbus" + std::string(121, ' ') + "ASCII,2:9600,NONE,8,1", {0, 2, 5, 0, 0, 1}, nullptr},
    // The line is cut at 255 characters, losing the stop bits.
    {"Modbus RTU,2:9600,NONE,8," + std::string(230, ' ') + "1", {0, 2, 5, 0, 0, 0}, nullptr},
};

TEST_F(ClockSettingsTest, SlaveSettingsLineFillsTheSixRegisters) {
  for (const SettingsCase& c : kSettingsCases) {
    SCOPED_TRACE(c.typed);
    const uint16_t address = Value(139);
    Edit(1159, c.typed);
    for (size_t k = 0; k < std::size(kSettingIndexes); ++k) {
      const uint16_t expected = (k == 1 && c.codes[k] == 0xFFFF) ? address : c.codes[k];
      EXPECT_EQ(Value(kSettingIndexes[k]), expected) << "index " << kSettingIndexes[k];
    }
    if (c.shown != nullptr) {
      EXPECT_EQ(Shown(1159), c.shown);
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
