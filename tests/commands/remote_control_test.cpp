#include "command_fixture.h"

namespace {

using RemoteControlTest = CommandTest;

struct ExecuteCase {
  const char* channel;
  const char* state;
  const char* confirm;
  Bytes frame;  // empty: refused, nothing sent
};

const ExecuteCase kExecuteCases[] = {
    {"3", "1", "1", {0x01, 0x05, 0x00, 0x03, 0xFF, 0x00, 0x7C, 0x3A}},
    {"0", "0", "0", {0x01, 0x05, 0x00, 0x00, 0x00, 0x00, 0xCD, 0xCA}},
    {" 9 ", "1", "\t1", Closed({0x01, 0x05, 0x00, 0x09, 0xFF, 0x00})},  // blanks around aside
    {"12", "1", "1", {}},  // each list holds exactly one of its entries
    {"9", "1x", "1y", {}},
    {"1", "10", "1", {}},
    {"１", "1", "1", {}},
    {"3", "1", "0", {}},  // state and confirmation differ
    {"3", "0", "1", {}},
    {"a", "1", "1", {}},
    {"", "1", "1", {}},
    {"3", "2", "2", {}},
    {"3", "", "", {}},  // both empty give the same code 0, still refused
    {":", "1", "1", {}},
};

TEST_F(RemoteControlTest, ExecuteSwitchesAnOutputOnlyWhenStateAndConfirmationAgree) {
  for (const ExecuteCase& c : kExecuteCases) {
    SCOPED_TRACE(std::string(c.channel) + "/" + c.state + "/" + c.confirm);
    window.Type(1143, c.channel);
    window.Type(1145, c.state);
    window.Type(1144, c.confirm);
    const size_t before = Sent();
    window.Click(1142);
    if (c.frame.empty()) {
      EXPECT_EQ(Sent(), before);
      EXPECT_EQ(Shown(1072), "遥控参数设置不当");
      EXPECT_TRUE(window.IsControlEnabled(1142));
    } else {
      ASSERT_EQ(Sent(), before + 1);
      EXPECT_EQ(LastFrame(), c.frame);
      EXPECT_EQ(Shown(1072), "正在通信");
      Echo();
      EXPECT_EQ(Shown(1072), "通讯成功");
    }
  }
}

// Nothing is chosen for the operator: the lists start empty, so an untouched "执  行" is refused,
// and after every press "分/合" and "确 认" are empty again, so a second switching needs a fresh
// confirmation even for another channel.
TEST_F(RemoteControlTest, EachSwitchingNeedsAFreshConfirmation) {
  for (int id : {1143, 1145, 1144}) {
    EXPECT_EQ(Shown(id), "") << id;
    EXPECT_EQ(window.ListSelection(id), -1) << id;
  }
  const size_t before = Sent();
  window.Click(1142);
  EXPECT_EQ(Sent(), before);
  EXPECT_EQ(Shown(1072), "遥控参数设置不当");

  for (const bool valid : {true, false}) {
    window.Choose(1143, 3);
    window.Choose(1145, 1);
    window.Choose(1144, valid ? 1 : 0);
    window.Click(1142);
    if (valid) Echo();
    EXPECT_EQ(Shown(1143), "3");
    EXPECT_EQ(Shown(1145), "");
    EXPECT_EQ(Shown(1144), "");
  }
  const size_t after = Sent();
  window.Choose(1143, 4);
  window.Click(1142);
  EXPECT_EQ(Sent(), after);
  EXPECT_EQ(Shown(1072), "遥控参数设置不当");
}

TEST_F(RemoteControlTest, ReadButtonsAskForEightInputsOrEightCoils) {
  window.Click(1045);
  EXPECT_EQ(LastFrame(), (Bytes{0x01, 0x02, 0x00, 0x00, 0x00, 0x08, 0x79, 0xCC}));
  Answer(Closed({0x01, 0x02, 0x01, 0x1A}));
  EXPECT_EQ(Shown(1046), "01 1010");

  window.Click(1047);
  EXPECT_EQ(LastFrame(), (Bytes{0x01, 0x01, 0x00, 0x00, 0x00, 0x08, 0x3D, 0xCC}));
  Answer(Closed({0x01, 0x01, 0x01, 0x1A}));
  EXPECT_EQ(Shown(1048), "0001 1010");
}

}  // namespace
