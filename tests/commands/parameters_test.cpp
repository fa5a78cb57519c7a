#include <optional>

#include "command_fixture.h"

namespace {

using ParametersTest = CommandTest;

const EditorCase kEditorCases[] = {
    {1060, "0.3", 174, 2, "0.20"},  // 0.3 / 0.1 is 2.9999999999999996
    {1059, "1.2345", 170, 1234, "1.234"},
    {1059, "70", 170, 4464, "4.464"},     // 70000 wraps modulo 65536
    {1059, "-1", 170, 64536, "64.536"},   // negative values wrap as well
    {1057, "1", 171, 312, "1.00"},        // scale 0.00319844, not 0.0032
    {1056, "  2.5 s", 172, 781, "2.50"},  // blanks before, text after the number
    {1062, "1e1", 175, 3126, "10.00"},
    {1061, "0", 176, 0, "0.00"},
    {1065, "abc", 179, std::nullopt, nullptr},  // no number keeps the register
    {1064, "", 180, std::nullopt, nullptr},
    {1067, "0.001", 178, 1, "0.001"},
    {1049, "三相三线一压二流", 140, 6, "三相三线一压二流"},  // typed, not in the list
    {1049, "三相三线", 140, 2, "三相三线"},
    {1049, "三相三线 ", 140, 0, "三相四线"},  // a trailing blank is another text
    {1049, "", 140, 0, "三相四线"},
    {1058, "巳使能", 173, 1, "巳使能"},
    {1058, "已使能", 173, 0, "未使能"},  // one character differs
    {1063, "未使能", 177, 0, "未使能"},
    {1066, "巳使能 ", 181, 0, "未使能"},
};

TEST_F(ParametersTest, EachEditorStoresItsConversionAndShowsTheStoredValue) {
  ExpectEdits(kEditorCases);
}

struct RatioCase {
  int field;
  const char* typed;
  int low;
  std::optional<uint32_t> stored;  // both halves; nullopt keeps them
  const char* shown;
};

const RatioCase kRatioCases[] = {
    {1050, "100000", 146, 0x000186A0u, "100000"},
    {1050, "-1", 146, 0xFFFFFFFFu, "-1"},
    {1055, "65536", 148, 0x00010000u, "65536"},
    {1055, "-2147483648", 148, 0x80000000u, "-2147483648"},
    {1050, "4294967297", 146, 0x00000001u, "1"},  // low 32 bits of an overflowing number
    {1055, "CT", 148, std::nullopt, nullptr},
};

TEST_F(ParametersTest, RatioFieldsSplitTheirNumberIntoLowAndHighRegister) {
  for (const RatioCase& c : kRatioCases) {
    SCOPED_TRACE(std::to_string(c.field) + " <- \"" + c.typed + "\"");
    const uint32_t before = uint32_t{Value(c.low + 1)} << 16 | Value(c.low);
    Edit(c.field, c.typed);
    const uint32_t expected = c.stored.value_or(before);
    EXPECT_EQ(Value(c.low), expected & 0xFFFF);
    EXPECT_EQ(Value(c.low + 1), expected >> 16);
    if (c.shown != nullptr) {
      EXPECT_EQ(Shown(c.field), c.shown);
    }
  }
}

TEST_F(ParametersTest, ReadParametersSendsTheBlockReadWithoutCapturingFirst) {
  window.Type(1028, "7");  // a slave address typed but not yet applied
  window.Click(1099);
  EXPECT_EQ(LastFrame(), (Bytes{0x01, 0x03, 0x03, 0x00, 0x00, 0x2C, 0x44, 0x53}));
  EXPECT_FALSE(window.IsControlEnabled(1099));  // busy until the reply
}

TEST_F(ParametersTest, WriteRightAfterReadSendsBackExactlyTheValuesRead) {
  std::vector<uint16_t> meter;
  for (int k = 0; k < kParameterCount; ++k) meter.push_back(static_cast<uint16_t>(0xA000 + 37 * k));
  window.Click(1099);
  Answer(HoldingReply(meter));
  ASSERT_TRUE(window.IsControlEnabled(1088));

  window.Click(1088);
  Bytes expected = {0x01, 0x10, 0x03, 0x00, 0x00, 0x2C, 0x58};
  for (uint16_t v : meter) {
    expected.push_back(static_cast<uint8_t>(v >> 8));
    expected.push_back(static_cast<uint8_t>(v & 0xFF));
  }
  ASSERT_EQ(LastFrame().size(), 97u);
  EXPECT_EQ(LastFrame(), Closed(expected));
}

TEST_F(ParametersTest, WriteCarriesTheEditedValuesAndLeavesTheOthersAsRead) {
  Edit(1060, "0.3");
  Edit(1050, "100000");
  window.Click(1088);
  const Bytes& frame = LastFrame();
  ASSERT_EQ(frame.size(), 97u);
  for (int k = 0; k < kParameterCount; ++k) {
    const int index = kParameterFirst + k;
    const uint16_t sent = static_cast<uint16_t>(frame[7 + 2 * k] << 8 | frame[8 + 2 * k]);
    const uint16_t expected = index == 174   ? 2
                              : index == 146 ? 0x86A0
                              : index == 147 ? 0x0001
                                             : StartValue(index);
    EXPECT_EQ(sent, expected) << "index " << index;
  }
}

TEST_F(ParametersTest, EnteringAParameterFieldStopsContinuousReading) {
  StartPolling();
  window.Focus(1057);
  EXPECT_EQ(dialog.m_autoPoll, 0);
  EXPECT_EQ(Shown(kAutoPollButton), "连续读数据");
}

}  // namespace
