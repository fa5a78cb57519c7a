// The dialog's tick, completions, logs, counters and button states, driven as an operator and a
// meter would: focus, clicks, ticks and reply bytes on a scripted line.
#include <climits>
#include <string>
#include <vector>

#include "console_fixture.h"

namespace {

constexpr const char* kOk = "通讯成功";
constexpr const char* kFailed = "通讯失败";
constexpr const char* kPause = "暂停读数据";
constexpr const char* kResume = "连续读数据";

// Every button whose state follows polling and the outstanding transaction.
const std::vector<int> kIdleOnly = {1076, 1097, 1098, 1045, 1047, 1012, 1013, 1142, 1099, 1077};
const std::vector<int> kNeedParams = {1088, 1130};
const std::vector<int> kNeverDisabled = {1092, 1068, 1000, 1126, 1127, 1154};

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::vector<uint8_t> WithBadCrc(std::vector<uint8_t> frame) {
  frame.back() ^= 0x01;
  return frame;
}

TEST_F(ConsoleTest, StartUpSendsTheParameterReadFirstAndKeepsContinuousReadingOn) {
  Start();
  ASSERT_EQ(wire->written.size(), 1u);
  EXPECT_EQ(wire->written[0],
            (std::vector<uint8_t>{0x01, 0x03, 0x03, 0x00, 0x00, 0x2C, 0x44, 0x53}));
  EXPECT_EQ(window.GetText(1009), "第 1 次发送信息帖(Hex) : 01 03 03 00 00 2C 44 53 ");
  EXPECT_EQ(dialog.m_autoPoll, 1);
  EXPECT_EQ(window.GetText(1068), kPause);
  EXPECT_NE(dialog.m_link.m_ticks, 0);
}

TEST_F(ConsoleTest, PollsTheThreeBlocksInTurnOnTheFourthIdleTick) {
  Start();
  AnswerLast();
  const std::vector<BlockRead> expected = {{0, 69}, {138, 70}, {768, 44}, {0, 69}};
  for (const BlockRead& block : expected) {
    // The tick that completes the previous transaction is the first of the four.
    EXPECT_EQ(TicksToNextFrame(), 4);
    EXPECT_EQ(BlockOf(wire->written.back()), block);
    AnswerLast();
  }
  EXPECT_EQ(wire->written[1],
            (std::vector<uint8_t>{0x01, 0x03, 0x00, 0x00, 0x00, 0x45, 0x84, 0x39}));
  EXPECT_EQ(dialog.m_link.m_successCount, 4);
}

TEST_F(ConsoleTest, ThePhaseStandsStillWhileATransactionIsOutstanding) {
  Start();
  // The parameter read times out on the 50th tick; that tick counts as the first idle one.
  EXPECT_EQ(TicksToNextFrame(100), 53);
  EXPECT_EQ(dialog.m_link.m_failureCount, 1);
  EXPECT_EQ(BlockOf(wire->written.back()), (BlockRead{0, 69}));
}

TEST_F(ConsoleTest, PausingAndResumingContinuesTheRotationWhereItStopped) {
  Start();
  AnswerLast();
  ASSERT_EQ(TicksToNextFrame(), 4);  // (0, 69)
  AnswerLast();
  window.Tick();

  window.Click(1068);
  EXPECT_EQ(window.GetText(1068), kResume);
  EXPECT_EQ(TicksToNextFrame(40), 0);

  window.Click(1068);
  EXPECT_EQ(window.GetText(1068), kPause);
  EXPECT_EQ(TicksToNextFrame(), 4);
  EXPECT_EQ(BlockOf(wire->written.back()), (BlockRead{138, 70}));
}

struct Outcome {
  const char* name;
  std::vector<uint8_t> bytes;  // what the meter sends to the parameter read
  bool good;
};

void PrintTo(const Outcome& o, std::ostream* os) { *os << o.name; }

class CompletionTest : public ConsoleTest, public ::testing::WithParamInterface<Outcome> {};

// 50 ticks cover a reply handled in the first tick and a time-out in the last one.
TEST_P(CompletionTest, IsCountedAndLogged) {
  Start();
  wire->Feed(GetParam().bytes);
  window.Ticks(50);

  const bool good = GetParam().good;
  EXPECT_EQ(window.GetText(1072), good ? kOk : kFailed);
  EXPECT_EQ(dialog.m_link.m_successCount, good ? 1 : 0);
  EXPECT_EQ(dialog.m_link.m_failureCount, good ? 0 : 1);
  EXPECT_EQ(window.GetText(1069), good ? "S1/F0" : "S0/F1");
  EXPECT_EQ(dialog.m_rxCount, 1);
  if (good) {
    EXPECT_TRUE(StartsWith(window.GetText(1011), "第 1 次接收信息帖(Hex) : 01 03 58 "));
  } else {
    EXPECT_EQ(window.GetText(1011), "第 1 次接收失败");
  }
  // Only a reply to the parameter read itself makes the parameter block valid.
  EXPECT_EQ(dialog.m_paramsValid, good ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, CompletionTest,
    ::testing::Values(Outcome{"GoodReply", HoldingReply(44), true},
                      Outcome{"WrongCrc", WithBadCrc(HoldingReply(44)), false},
                      Outcome{"Silence", {}, false},
                      Outcome{"ThreeBytesThenSilence", {0x01, 0x03, 0x58}, false},
                      Outcome{"GoodCrcButTheWrongLength", HoldingReply(69), false},
                      Outcome{"GoodCrcButTooShort", HoldingReply(1), false}),
    [](const auto& info) { return std::string(info.param.name); });

// Nothing is outstanding after the time-out: the late reply answers nothing and counts nowhere.
TEST_F(ConsoleTest, AReplyArrivingAfterItsTimeOutIsDroppedUncounted) {
  Start();
  window.Ticks(50);
  ASSERT_EQ(dialog.m_link.m_failureCount, 1);
  wire->Feed(HoldingReply(44));
  window.Tick();
  EXPECT_EQ(dialog.m_link.m_successCount, 0);
  EXPECT_EQ(dialog.m_link.m_failureCount, 1);
  EXPECT_EQ(dialog.m_rxLog, "第 1 次接收失败");
  EXPECT_EQ(dialog.m_paramsValid, 0);
  EXPECT_EQ(dialog.m_link.m_discardedFrames, 1u);
}

// A meter that refuses says why: the transaction ends at once as a failure, and the status and
// the receive log carry the meter's code and frame.
TEST_F(ConsoleTest, AnExceptionReplyShowsTheMetersReason) {
  const std::pair<uint8_t, const char*> codes[] = {
      {0x01, "通讯失败：从机返回异常码 01（非法功能）"},
      {0x02, "通讯失败：从机返回异常码 02（非法数据地址）"},
      {0x03, "通讯失败：从机返回异常码 03（非法数据值）"},
      {0x04, "通讯失败：从机返回异常码 04（从机设备故障）"},
      {0x05, "通讯失败：从机返回异常码 05（确认（正在处理））"},
      {0x06, "通讯失败：从机返回异常码 06（从机设备忙）"},
      {0x0B, "通讯失败：从机返回异常码 0B"},
  };
  Start();
  window.Click(1068);  // no polls in between
  int32_t failures = 0;
  for (const auto& [code, text] : codes) {
    if (dialog.m_link.m_ticks == 0) window.Click(1099);
    std::vector<uint8_t> refusal = {0x01, 0x83, code, 0, 0};
    CloseFrame(refusal.data(), 5);
    wire->Feed(refusal);
    window.Tick();
    EXPECT_EQ(window.GetText(1072), text);
    EXPECT_EQ(dialog.m_link.m_failureCount, ++failures);
    char logged[64];
    std::snprintf(logged, sizeof logged, "第 %d 次接收失败(Hex) : 01 83 %02X %02X %02X ", failures,
                  code, refusal[3], refusal[4]);
    EXPECT_EQ(window.GetText(1011), logged);
  }
}

// A stale reply costs its own request the time-out and nothing more: the read outstanding skips
// it, stores nothing of it, and takes its own answer after it.
TEST_F(ConsoleTest, AStaleReplyToAnOlderRequestIsSkippedAndStoresNothing) {
  Start();
  ASSERT_EQ(TicksToNextFrame(100), 53);  // the parameter read timed out; (0, 69) is out
  wire->Feed(HoldingReply(44));          // the parameter block arrives after all
  window.Tick();
  EXPECT_EQ(dialog.m_status, kFailed);
  EXPECT_EQ(dialog.m_link.m_failureCount, 1);
  EXPECT_EQ(dialog.m_link.m_discardedFrames, 1u);
  EXPECT_NE(dialog.m_link.m_ticks, 0);
  AnswerLast();
  window.Tick();
  EXPECT_EQ(dialog.m_status, kOk);
  EXPECT_EQ(dialog.m_link.m_successCount, 1);
  EXPECT_EQ(dialog.m_link.m_failureCount, 1);
  EXPECT_EQ(dialog.m_paramsValid, 0);
  EXPECT_EQ(dialog.m_regTable[kParameterFirst].value, 0);
}

struct Wrap {
  const char* name;
  int32_t success, failure, rx;
  bool good;
  int32_t successAfter, failureAfter;
  const char* rxLogPrefix;
};

void PrintTo(const Wrap& w, std::ostream* os) { *os << w.name; }

class CounterWrapTest : public ConsoleTest, public ::testing::WithParamInterface<Wrap> {};

TEST_P(CounterWrapTest, CountersWrapAsTwosComplement) {
  const Wrap& w = GetParam();
  Start();
  dialog.m_link.m_successCount = w.success;
  dialog.m_link.m_failureCount = w.failure;
  dialog.m_rxCount = w.rx;
  wire->Feed(w.good ? HoldingReply(44) : WithBadCrc(HoldingReply(44)));
  window.Tick();
  EXPECT_EQ(dialog.m_link.m_successCount, w.successAfter);
  EXPECT_EQ(dialog.m_link.m_failureCount, w.failureAfter);
  EXPECT_EQ(dialog.m_rxCount, INT32_MIN);
  EXPECT_TRUE(StartsWith(dialog.m_rxLog, w.rxLogPrefix)) << dialog.m_rxLog;
}

INSTANTIATE_TEST_SUITE_P(Counters, CounterWrapTest,
                         ::testing::Values(
                             // A success count that wraps to 0 takes the failure count with it.
                             Wrap{"SuccessToZeroClearsFailures", -1, 7, INT32_MAX, true, 0, 0,
                                  "第 -2147483648 次接收信息帖"},
                             Wrap{"SuccessPastTheTop", INT32_MAX, 7, INT32_MAX, true, INT32_MIN, 7,
                                  "第 -2147483648 次接收信息帖"},
                             Wrap{"FailurePastTheTop", 3, INT32_MAX, INT32_MAX, false, 3, INT32_MIN,
                                  "第 -2147483648 次接收失败"},
                             Wrap{"FailureToZeroKeepsSuccesses", 3, -1, INT32_MAX, false, 3, 0,
                                  "第 -2147483648 次接收失败"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConsoleTest, TheSendLogCountWrapsToo) {
  Start();
  dialog.m_txCount = INT32_MAX;
  dialog.LogTxFrame();
  EXPECT_TRUE(StartsWith(window.GetText(1009), "第 -2147483648 次发送信息帖(Hex) : 01 03 03 00 "));
}

class ResetWhileOutstandingTest : public ConsoleTest,
                                  public ::testing::WithParamInterface<Outcome> {};

TEST_P(ResetWhileOutstandingTest, CountsTheCompletionThatFollowsAsTheFirst) {
  Start();
  window.Click(1092);
  EXPECT_EQ(dialog.m_autoPoll, 0);
  EXPECT_EQ(window.GetText(1009), "");
  EXPECT_EQ(window.GetText(1011), "");
  EXPECT_EQ(window.GetText(1072), "");
  EXPECT_EQ(window.GetText(1069), "S0/F0");
  EXPECT_EQ(window.GetText(1068), kResume);

  wire->Feed(GetParam().bytes);
  window.Ticks(50);
  const bool good = GetParam().good;
  EXPECT_EQ(window.GetText(1069), good ? "S1/F0" : "S0/F1");
  EXPECT_TRUE(StartsWith(window.GetText(1011), good ? "第 1 次接收信息帖" : "第 1 次接收失败"));
  EXPECT_EQ(dialog.m_txCount, 0);  // and no poll went out
  EXPECT_EQ(wire->written.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Replies, ResetWhileOutstandingTest,
                         ::testing::Values(Outcome{"GoodReply", HoldingReply(44), true},
                                           Outcome{"Silence", {}, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The editable fields and lists whose focus stops continuous reading.
const std::vector<int> kFocusStops = {1028, 1050, 1055, 1056, 1057, 1059, 1060, 1061, 1062, 1064,
                                      1065, 1067, 1073, 1074, 1075, 1086, 1087, 1089, 1090, 1091,
                                      1094, 1095, 1115, 1116, 1131, 1132, 1133, 1159, 1002, 1003,
                                      1004, 1005, 1008, 1049, 1058, 1063, 1066, 1143, 1144, 1145};

TEST_F(ConsoleTest, FocusingAnEditableFieldStopsContinuousReading) {
  Start();
  for (int id : kFocusStops) {
    window.Focus(1009);
    dialog.m_autoPoll = 1;
    window.Focus(id);
    EXPECT_EQ(dialog.m_autoPoll, 0) << id;
    EXPECT_EQ(window.GetText(1068), kResume) << id;
  }
}

TEST_F(ConsoleTest, FocusingTheStopBitsListOrAReadOnlyFieldLeavesReadingOn) {
  Start();
  for (int id : {1006, 1011, 1007, 1069, 1072, 1001, 1093}) {
    window.Focus(1009);
    dialog.m_autoPoll = 1;
    window.Focus(id);
    EXPECT_EQ(dialog.m_autoPoll, 1) << id;
  }
}

TEST_F(ConsoleTest, AReplyOutstandingWhenAFieldIsFocusedIsStillDecoded) {
  Start();
  window.Focus(1073);
  AnswerLast();
  window.Tick();
  EXPECT_EQ(dialog.m_link.m_successCount, 1);
  EXPECT_EQ(dialog.m_paramsValid, 1);
  EXPECT_EQ(TicksToNextFrame(40), 0);
}

TEST_F(ConsoleTest, AClearHeldBackByAnOutstandingReadGoesOutAfterItsCompletion) {
  Start();
  window.AnswerNext(true);  // 是
  window.Click(1154);  // "清事件" while the parameter read is outstanding
  EXPECT_EQ(wire->written.size(), 1u);
  AnswerLast();
  window.Tick();
  EXPECT_EQ(dialog.m_link.m_successCount, 1);  // the read was not replaced
  EXPECT_EQ(dialog.m_paramsValid, 1);
  ASSERT_EQ(wire->written.size(), 2u);
  EXPECT_EQ(wire->written[1].at(1), 0x09);
  EXPECT_FALSE(dialog.m_clearPending);
  EXPECT_TRUE(StartsWith(window.GetText(1009), "第 2 次发送信息帖(Hex) : 01 09 "));
}

class LeaveListTest : public ConsoleTest, public ::testing::WithParamInterface<int> {};

TEST_P(LeaveListTest, ReopensThePortAndZeroesOnlyTheSuccessAndFailureCounts) {
  Start();  // the parameter read stays outstanding
  dialog.m_link.m_successCount = 3;
  dialog.m_link.m_failureCount = 2;
  dialog.m_rxCount = 9;
  const std::string txLog = window.GetText(1009);
  const int opens = wire->opens;
  const int closes = wire->closes;

  window.Focus(GetParam());
  window.Focus(1009);  // unchanged choice: leaving is enough

  EXPECT_EQ(wire->closes, closes + 1);
  EXPECT_EQ(wire->opens, opens + 1);
  EXPECT_EQ(dialog.m_link.m_isOpen, 1);
  EXPECT_EQ(window.GetText(1069), "S0/F0");
  EXPECT_EQ(dialog.m_txCount, 1);
  EXPECT_EQ(dialog.m_rxCount, 9);
  EXPECT_EQ(window.GetText(1009), txLog);
  EXPECT_NE(dialog.m_link.m_ticks, 0);  // the transaction is still outstanding
  EXPECT_EQ(dialog.m_autoPoll, GetParam() == 1006 ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(SettingsLists, LeaveListTest,
                         ::testing::Values(1002, 1003, 1004, 1005, 1006, 1008));

struct ButtonStates {
  int32_t autoPoll, ticks, paramsValid;
  bool idleOnly, needParams;
  const char* caption;
};

void PrintTo(const ButtonStates& s, std::ostream* os) {
  *os << "autoPoll " << s.autoPoll << ", ticks " << s.ticks << ", paramsValid " << s.paramsValid;
}

class ButtonStateTest : public ConsoleTest, public ::testing::WithParamInterface<ButtonStates> {};

TEST_P(ButtonStateTest, FollowPollingTheTransactionAndTheParameterBlock) {
  const ButtonStates& s = GetParam();
  Start();
  dialog.m_autoPoll = s.autoPoll;
  dialog.m_link.m_ticks = s.ticks;
  dialog.m_paramsValid = s.paramsValid;
  dialog.UpdateControlStates();
  for (int id : kIdleOnly) EXPECT_EQ(window.IsControlEnabled(id), s.idleOnly) << id;
  for (int id : kNeedParams) EXPECT_EQ(window.IsControlEnabled(id), s.needParams) << id;
  for (int id : kNeverDisabled) EXPECT_TRUE(window.IsControlEnabled(id)) << id;
  EXPECT_EQ(window.GetText(1068), s.caption);
}

INSTANTIATE_TEST_SUITE_P(States, ButtonStateTest,
                         ::testing::Values(ButtonStates{1, 0, 1, false, false, kPause},
                                           ButtonStates{3, 1, 1, false, false, kPause},
                                           ButtonStates{0, 7, 1, false, false, kResume},
                                           ButtonStates{0, 0, 0, true, false, kResume},
                                           ButtonStates{0, 0, 1, true, true, kResume}));

TEST_F(ConsoleTest, TheButtonsReopenWhenAPausedTransactionCompletes) {
  Start();
  window.Click(1068);
  EXPECT_FALSE(window.IsControlEnabled(1099));  // the parameter read is still outstanding
  AnswerLast();
  window.Tick();
  for (int id : kIdleOnly) EXPECT_TRUE(window.IsControlEnabled(id)) << id;
  for (int id : kNeedParams) EXPECT_TRUE(window.IsControlEnabled(id)) << id;
}

TEST_F(ConsoleTest, EnterStopsContinuousReadingAndNothingElse) {
  Start();
  AnswerLast();
  dialog.OnOK();
  EXPECT_EQ(dialog.m_autoPoll, 0);
  EXPECT_EQ(window.GetText(1068), kPause);  // the caption catches up with the next transaction step
  window.Tick();
  EXPECT_EQ(window.GetText(1068), kResume);
  EXPECT_EQ(dialog.m_link.m_successCount, 1);
  EXPECT_EQ(TicksToNextFrame(40), 0);
}

// The reply as a meter in Modbus ASCII sends it: the bytes without the CRC, in characters.
std::vector<uint8_t> AsAscii(const std::vector<uint8_t>& rtu) {
  std::vector<uint8_t> line(static_cast<size_t>(AsciiFrameLength(static_cast<int>(rtu.size()))));
  line.resize(EncodeAscii(rtu.data(), static_cast<uint16_t>(rtu.size() - 2), line.data()));
  return line;
}

// Switched to Modbus ASCII the console polls on in that framing: its requests go out as
// characters, the answers are counted and decoded as in RTU, and the logs show the frames as they
// went. The parameter block read through the other framing no longer counts.
TEST_F(ConsoleTest, InModbusAsciiPollsCountsAndLogsAsInRtu) {
  Start();
  AnswerLast();
  window.Tick();
  ASSERT_EQ(dialog.m_paramsValid, 1);

  window.Focus(1008);
  window.Choose(1008, 1);  // "Modbus ASCII"
  window.Click(1068);      // leaving the list applies it; the click resumes reading
  ASSERT_EQ(dialog.m_link.m_protocol, 1);
  EXPECT_EQ(dialog.m_paramsValid, 0);

  ASSERT_GT(TicksToNextFrame(), 0);
  const std::string poll = ":010300000045B7";
  const std::string line = poll + "\r\n";
  EXPECT_EQ(wire->written.back(), std::vector<uint8_t>(line.begin(), line.end()));
  EXPECT_EQ(window.GetText(1009), "第 2 次发送信息帖(Hex) : " + poll);

  wire->Feed(AsAscii(HoldingReply(69)));
  EXPECT_EQ(TicksToNextFrame(), 4);  // the tick that takes the reply is the first of the four
  EXPECT_EQ(dialog.m_link.m_successCount, 1);
  EXPECT_EQ(window.GetText(1072), kOk);
  EXPECT_TRUE(StartsWith(window.GetText(1011), "第 2 次接收信息帖(Hex) : :01038A0001"));

  std::vector<uint8_t> damaged = AsAscii(HoldingReply(70));
  damaged[10] = damaged[10] == '0' ? '1' : '0';  // a data digit: the LRC no longer holds
  wire->Feed(damaged);
  window.Tick();
  EXPECT_EQ(dialog.m_link.m_failureCount, 1);
  EXPECT_EQ(window.GetText(1072), kFailed);
  EXPECT_EQ(window.GetText(1011), "第 3 次接收失败");
}

// With the port closed nothing reaches a line, so nothing is logged or counted: the rotation
// goes on silently, a reading command says why nothing went out, and the commands that change the
// meter cannot be pressed.
TEST_F(ConsoleTest, WithThePortClosedNothingIsLoggedAndTheCommandsThatWriteAreDisabled) {
  wire->openFails = true;
  wire->openError = {LineFault::Missing, 2, "/dev/ttyS0", ""};
  Start();
  EXPECT_EQ(window.GetText(1007), "COM1: 打不开 ");
  window.Ticks(12);
  EXPECT_EQ(dialog.m_txCount, 0);
  EXPECT_EQ(window.GetText(1009), "");

  window.Click(1068);  // continuous reading off: the reading commands are enabled
  for (int command : {1099, 1076, 1045, 1047, 1127, 1000, 1126}) {
    SCOPED_TRACE(command);
    window.Click(command);
    EXPECT_EQ(window.GetText(1072), "串口未打开：COM1（/dev/ttyS0）：设备不存在");
    EXPECT_EQ(window.GetText(1009), "");
  }
  for (int command : {1088, 1077, 1142, 1130, 1154}) {
    EXPECT_FALSE(window.IsControlEnabled(command)) << command;
  }
  EXPECT_TRUE(window.Questions().empty());
  EXPECT_EQ(dialog.m_txCount, 0);
  EXPECT_TRUE(wire->written.empty());
  EXPECT_EQ(window.GetText(1069), "S0/F0");
}

}  // namespace
