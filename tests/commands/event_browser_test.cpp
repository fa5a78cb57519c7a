#include <climits>

#include "command_fixture.h"

namespace {

using EventBrowserTest = CommandTest;

constexpr int kCurrent = 1127;
constexpr int kPrevious = 1000;
constexpr int kNext = 1126;
constexpr int kClear = 1154;

// The eleven event texts that "清事件" empties.
constexpr int kEventTexts[] = {1079, 1080, 1082, 1083, 1084, 1085, 1113, 1114, 1122, 1123, 1124};

Bytes EventRead(uint8_t index) { return Closed({0x01, 0x08, 0x00, 0x00, 0x00, index}); }
const Bytes kClearFrame = {0x01, 0x09, 0x00, 0x00, 0x00, 0x00, 0xDD, 0xCB};

// A reply holding one event: sequence 7, input 3 closed, 5 March 2026 14:07:09.
Bytes EventReply() {
  Bytes frame = {0x01, 0x08, 24, 7, 0x13, 126, 3, 5, 14, 7, 9, 0x1A, 0x1A};
  for (int k = 0; k < 6; ++k) {
    frame.push_back(0xE8);  // 1000 counts, low byte first
    frame.push_back(0x03);
  }
  frame.push_back(0x01);  // record marker: an event is held here
  frame.push_back(0x00);
  return Closed(frame);
}

struct StepCase {
  std::vector<int> presses;
  const char* offset;
  uint8_t index;
};

const StepCase kStepCases[] = {
    {{kPrevious}, "-1", 63},
    {{kNext}, "1", 1},
    {std::vector<int>(64, kNext), "64", 0},
    {std::vector<int>(65, kPrevious), "-65", 63},
    {{kNext, kNext, kPrevious}, "1", 1},
    {{kPrevious, kPrevious, kCurrent}, "0", 0},
};

TEST_F(EventBrowserTest, StepsCountWithoutBoundAndAskForTheOffsetModulo64) {
  for (const StepCase& c : kStepCases) {
    SCOPED_TRACE(std::string("offset ") + c.offset);
    window.Click(kCurrent);
    for (int button : c.presses) window.Click(button);
    EXPECT_EQ(Shown(1125), c.offset);
    EXPECT_EQ(LastFrame(), EventRead(c.index));
  }
}

TEST_F(EventBrowserTest, PreviousFromZeroSendsIndex63WithItsCrc) {
  window.Click(kPrevious);
  EXPECT_EQ(LastFrame(), (Bytes{0x01, 0x08, 0x00, 0x00, 0x00, 0x3F, 0xA0, 0x1B}));
}

TEST_F(EventBrowserTest, TheOffsetWrapsAtTheEndsOfItsRange) {
  dialog.m_eventOffset = INT32_MAX;
  dialog.RefreshDisplay();
  window.Click(kNext);
  EXPECT_EQ(dialog.m_eventOffset, INT32_MIN);
  EXPECT_EQ(LastFrame(), EventRead(0));
  window.Click(kPrevious);
  EXPECT_EQ(dialog.m_eventOffset, INT32_MAX);
  EXPECT_EQ(LastFrame(), EventRead(63));
}

TEST_F(EventBrowserTest, EventButtonsWorkDuringContinuousReadingAndLeaveItOn) {
  StartPolling();
  window.Click(kCurrent);
  EXPECT_EQ(LastFrame(), EventRead(0));
  EXPECT_NE(dialog.m_autoPoll, 0);
  Answer(EventReply());
  EXPECT_EQ(Shown(1079), "26.3.5");
  EXPECT_EQ(Shown(1081), "7");
}

TEST_F(EventBrowserTest, ClearWhileIdleSendsAtOnceAndEmptiesTheRecord) {
  window.Click(kCurrent);
  Answer(EventReply());
  ASSERT_EQ(Shown(1082), "遥信3通");
  window.Click(kNext);
  window.AnswerNext(true);  // 是
  window.Click(kClear);
  EXPECT_EQ(LastFrame(), kClearFrame);
  for (int id : kEventTexts) EXPECT_EQ(Shown(id), "") << id;
  EXPECT_EQ(Shown(1125), "0");
  EXPECT_EQ(Shown(1081), "0");
}

TEST_F(EventBrowserTest, ClearDuringAnOutstandingReadWaitsUntilItsReplyHasBeenHandled) {
  StartPolling();
  window.Click(kCurrent);  // outstanding while continuous reading is on
  window.AnswerNext(true);  // 是
  window.Click(kClear);
  EXPECT_EQ(LastFrame(), EventRead(0));  // held back
  EXPECT_EQ(dialog.m_autoPoll, 0);
  EXPECT_EQ(Shown(1068), "连续读数据");

  const int successes = dialog.m_link.m_successCount;
  Answer(EventReply());
  EXPECT_EQ(dialog.m_link.m_successCount, successes + 1);  // the reply was handled...
  EXPECT_EQ(LastFrame(), kClearFrame);                     // ...and then the clear went out
  for (int id : kEventTexts) EXPECT_EQ(Shown(id), "") << id;
  EXPECT_EQ(Shown(1081), "0");
  EXPECT_EQ(Shown(1125), "0");
}

TEST_F(EventBrowserTest, ClearWaitsForAnAutomaticPollAndGoesOutOnce) {
  StartPolling();
  size_t before = Sent();
  for (int k = 0; k < 10 && Sent() == before; ++k) window.Tick();
  ASSERT_EQ(Sent(), before + 1);  // a poll is outstanding
  const Bytes poll = LastFrame();

  window.AnswerNext(true);  // 是
  window.Click(kClear);
  window.AnswerNext(true);  // 是
  window.Click(kClear);  // pressed again while held back
  EXPECT_EQ(LastFrame(), poll);

  Answer(HoldingReply(std::vector<uint16_t>(69, 0)));
  EXPECT_EQ(LastFrame(), kClearFrame);
  before = Sent();
  Echo();
  window.Ticks(10);
  EXPECT_EQ(Sent(), before);  // no second clear, and polling stays off
}

TEST_F(EventBrowserTest, AHeldBackClearGoesOutAfterThePollTimesOut) {
  StartPolling();
  const size_t before = Sent();
  for (int k = 0; k < 10 && Sent() == before; ++k) window.Tick();
  ASSERT_EQ(Sent(), before + 1);
  window.AnswerNext(true);  // 是
  window.Click(kClear);
  const int failures = dialog.m_link.m_failureCount;
  for (int k = 0; k < 60 && LastFrame() != kClearFrame; ++k) window.Tick();
  EXPECT_EQ(LastFrame(), kClearFrame);
  EXPECT_EQ(dialog.m_link.m_failureCount, failures + 1);
}

TEST_F(EventBrowserTest, AHeldBackClearSurvivesTheOperatorReopeningThePort) {
  StartPolling();
  const size_t before = Sent();
  for (int k = 0; k < 10 && Sent() == before; ++k) window.Tick();
  ASSERT_EQ(Sent(), before + 1);
  window.AnswerNext(true);  // 是
  window.Click(kClear);
  window.Focus(1002);  // leaving the port list closes and reopens the port
  window.Focus(kRestingFocus);
  ASSERT_EQ(wire->closes, 1);
  window.Ticks(60);
  ASSERT_EQ(Sent(), before + 2);
  EXPECT_EQ(LastFrame(), kClearFrame);
}

}  // namespace
