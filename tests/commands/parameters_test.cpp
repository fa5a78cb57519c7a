#include <optional>
#include <string>
#include <vector>

#include "command_fixture.h"

namespace {

using ParametersTest = CommandTest;

const EditorCase kEditorCases[] = {
    {1060, "0.3", 174, 3, "0.30"},         // 3 steps of 0.1, though 0.3 / 0.1 is 2.9999999999999996
    {1059, "1.2345", 170, 1234, "1.234"},  // between two steps: truncated
    {1057, "1", 171, 312, "1.00"},         // scale 0.00319844, not 0.0032
    {1056, "  2.5 ", 172, 781, "2.50"},    // blanks around the number
    {1062, "1e1", 175, 3126, "10.00"},
    {1061, "0", 176, 0, "0.00"},
    {1065, "abc", 179, std::nullopt, nullptr},  // no number keeps the register
    {1064, "", 180, std::nullopt, nullptr},
    {1067, "0.001", 178, 1, "0.001"},
    {1049, "三相三线一压二流", 140, 6, "三相三线一压二流"},  // typed, not in the list
    {1049, "三相三线", 140, 2, "三相三线"},
    {1058, "未使能", 173, 0, "未使能"},  // the meter's 9011 showed as "巳使能"
    {1058, "巳使能", 173, 1, "巳使能"},
    {1063, "未使能", 177, 0, "未使能"},
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

struct RefusalCase {
  int field;
  const char* typed;
  const char* reason;
};

// What does not fit its register, or is no number, stores nothing and sends nothing: the click
// that left the field is dropped, and the field shows the stored value again.
const RefusalCase kRefusals[] = {
    {1059, "70", "输入值超出范围（0.000 至 65.535）"},  // once wrapped to 4464
    {1059, "-1", "输入值超出范围（0.000 至 65.535）"},  // once wrapped to 64536
    {1060, "1e400", "输入值超出范围（0.00 至 6553.50）"},
    {1057, "209.62", "输入值超出范围（0.00 至 209.61）"},
    {1056, "2.5 s", "请输入有效的数值。"},
    {1057, "1,5", "请输入有效的数值。"},
    {1062, "0。5", "请输入有效的数值。"},  // typed with a Chinese input method
    {1050, "99999999999", "输入值超出范围（-2147483648 至 2147483647）"},
    {1055, "4294967297", "输入值超出范围（-2147483648 至 2147483647）"},
    {1055, "12a", "请输入有效的数值。"},
    {1049, "三相三线 ", "请从列表中选择一项。"},  // a trailing blank is another text
    {1058, "已使能", "请从列表中选择一项。"},     // one character differs
};

TEST_F(ParametersTest, TextThatDoesNotFitIsRefusedWithItsReasonAndNothingIsSent) {
  for (const RefusalCase& c : kRefusals) {
    SCOPED_TRACE(std::to_string(c.field) + " <- \"" + c.typed + "\"");
    std::vector<uint16_t> before;
    for (int k = 0; k < kParameterCount; ++k) before.push_back(Value(kParameterFirst + k));
    const std::string shown = Shown(c.field);
    const size_t sent = Sent();
    window.Focus(c.field);
    window.Type(c.field, c.typed);
    window.Click(1088);  // "写参数" right away
    EXPECT_EQ(Sent(), sent);
    EXPECT_EQ(Shown(1072), c.reason);
    EXPECT_EQ(Shown(c.field), shown);
    for (int k = 0; k < kParameterCount; ++k) EXPECT_EQ(Value(kParameterFirst + k), before[k]);
  }
  window.Click(1088);  // a second press, nothing refused meanwhile, writes
  EXPECT_EQ(LastFrame().size(), 97u);
}

// A slave address typed but not yet applied (its field never left) is applied first: the read
// goes to the meter the field shows.
TEST_F(ParametersTest, ReadParametersFirstAppliesAnAddressTypedButNotYetLeft) {
  window.Type(1028, "7");
  window.Click(1099);
  EXPECT_EQ(LastFrame(), Closed({0x07, 0x03, 0x03, 0x00, 0x00, 0x2C}));
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
    const uint16_t expected = index == 174   ? 3
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

namespace {

// Delay and hold show fewer digits than they step (0.00319844 per count, two decimals; 44,574
// values once drifted): entering and leaving the field without typing stores nothing, for every
// value the meter can hold. Hold times have the same scale and format as delays.
TEST_F(ParametersTest, LeavingACoarseFieldUntouchedStoresNothingForEveryRawValue) {
  int drifted = 0;
  for (int raw = 0; raw <= 0xFFFF; ++raw) {
    dialog.m_regTable[171].value = static_cast<uint16_t>(raw);
    dialog.RefreshDisplay();
    dialog.OnParameterEdited(1057);  // what leaving the delay field runs
    if (Value(171) != raw) ++drifted;
  }
  EXPECT_EQ(drifted, 0);
}

// Before: a run that only changed CT also sent delay 313 as 312 and hold 626 as 625.
TEST_F(ParametersTest, AWriteAfterVisitingEveryFieldSendsOnlyWhatWasTyped) {
  dialog.m_regTable[171].value = 313;
  dialog.m_regTable[172].value = 626;
  dialog.m_regTable[174].value = 3;  // row 1 setpoint 0.30
  dialog.RefreshDisplay();
  for (int field :
       {1049, 1050, 1058, 1057, 1056, 1059, 1063, 1062, 1061, 1060, 1066, 1065, 1064, 1067}) {
    window.Focus(field);
  }
  window.Focus(1055);
  window.Type(1055, "75");
  window.Click(1088);
  const Bytes& frame = LastFrame();
  ASSERT_EQ(frame.size(), 97u);
  for (int k = 0; k < kParameterCount; ++k) {
    const int index = kParameterFirst + k;
    const uint16_t sent = static_cast<uint16_t>(frame[7 + 2 * k] << 8 | frame[8 + 2 * k]);
    const uint16_t expected = index == 148 ? 75 : index == 149 ? 0 : Value(index);
    EXPECT_EQ(sent, expected) << "index " << index;
  }
  EXPECT_EQ(Value(171), 313);
  EXPECT_EQ(Value(172), 626);
  EXPECT_EQ(Value(174), 3);
}

// A reply that arrives while the operator types does not overwrite the typing.
TEST_F(ParametersTest, ARefreshSparesTheFieldBeingTypedIn) {
  window.Click(1099);  // "读参数" outstanding
  window.Focus(1059);
  window.Type(1059, "7.5");
  Answer(HoldingReply(StartBlock()));
  EXPECT_EQ(Shown(1059), "7.5");
  window.Focus(kRestingFocus);
  EXPECT_EQ(Value(170), 7500);
  EXPECT_EQ(Shown(1059), "7.500");
}

struct ReachChange {
  const char* name;
  int field;
  const char* typed;  // nullptr: the field is a list, choose `entry`
  int entry;
};

// The parameter block belongs to the meter it was read from: after the address, the port or a
// line setting changes, "写参数" and "校时" wait for a whole block read at the new settings, and
// a reply to a read made before the change validates nothing.
TEST_F(ParametersTest, AChangeOfMeterInvalidatesTheBlockUntilItIsReadAgain) {
  const ReachChange changes[] = {
      {"address", 1028, "5", 0},       {"port", 1002, nullptr, 1},
      {"baud", 1003, nullptr, 6},      {"parity", 1004, nullptr, 2},
      {"data bits", 1005, nullptr, 0}, {"stop bits", 1006, nullptr, 0},
  };
  for (const ReachChange& c : changes) {
    SCOPED_TRACE(c.name);
    window.Click(1099);  // a read outstanding while the settings change
    window.Focus(c.field);
    if (c.typed != nullptr) {
      window.Type(c.field, c.typed);
    } else {
      window.Choose(c.field, c.entry);
    }
    window.Focus(kRestingFocus);
    EXPECT_EQ(dialog.m_paramsValid, 0);
    EXPECT_EQ(Shown(1050), "");
    Answer(HoldingReply(StartBlock(), LastFrame()[0]));  // the old request's reply
    EXPECT_EQ(dialog.m_paramsValid, 0);
    EXPECT_FALSE(window.IsControlEnabled(1088));
    EXPECT_FALSE(window.IsControlEnabled(1130));

    window.Click(1099);
    Answer(HoldingReply(StartBlock(), LastFrame()[0]));
    EXPECT_EQ(dialog.m_paramsValid, 1);
    EXPECT_TRUE(window.IsControlEnabled(1088));
  }
  // Leaving a list unchanged reopens the port but keeps the block.
  window.Focus(1003);
  window.Focus(kRestingFocus);
  EXPECT_EQ(dialog.m_paramsValid, 1);
}

}  // namespace
