// A parameter block read from one meter is never written to another, and a command sends what the
// fields show: races between a reply and the operator, reopens, and edits that never left their
// field.
#include <string>
#include <vector>

#include "commands/command_fixture.h"
#include "console_fixture.h"

namespace {

// One way the meter addressed can change while the parameter read is outstanding.
struct Readdress {
  const char* name;
  int field;
  int entry;         // the list entry chosen; -1: the text is typed
  const char* text;  // typed into the field
};

void PrintTo(const Readdress& r, std::ostream* os) { *os << r.name; }

const Readdress kReaddresses[] = {
    {"SlaveAddress", IDC_SLAVE_ADDRESS, -1, "5"}, {"Port", IDC_PORT, 1, nullptr},
    {"Protocol", IDC_PROTOCOL, 1, nullptr},       {"Baud", IDC_BAUD, 6, nullptr},
    {"Parity", IDC_PARITY, 2, nullptr},           {"DataBits", IDC_DATA_BITS, 0, nullptr},
    {"StopBits", IDC_STOP_BITS, 0, nullptr},
};

class ReaddressTest : public ConsoleTest,
                      public ::testing::WithParamInterface<std::tuple<Readdress, bool>> {};

// The reply to the start-up parameter read lands while the operator is changing where the console
// points (before or after leaving the field): in the end no block is valid, so "写参数" cannot send
// the first meter's block to the second.
TEST_P(ReaddressTest, AReplyLandingMeanwhileValidatesNoBlock) {
  const auto& [change, replyFirst] = GetParam();
  Start();
  window.Focus(change.field);
  if (change.entry >= 0) {
    window.Choose(change.field, change.entry);
  } else {
    window.Type(change.field, change.text);
  }
  if (!replyFirst) window.Focus(IDC_TX_LOG);
  AnswerLast();
  window.Tick();
  window.Focus(IDC_TX_LOG);
  if (dialog.m_autoPoll != 0) window.Click(IDC_AUTO_POLL);

  EXPECT_EQ(dialog.m_paramsValid, 0);
  EXPECT_FALSE(window.IsControlEnabled(IDC_WRITE_PARAMS));
  const size_t sent = wire->written.size();
  dialog.OnNotify(IDC_WRITE_PARAMS, Notification::Clicked);
  dialog.OnWriteParameters();  // even called directly it refuses
  EXPECT_EQ(wire->written.size(), sent);
  EXPECT_EQ(window.GetText(IDC_STATUS), "请先读参数");
}

INSTANTIATE_TEST_SUITE_P(Settings, ReaddressTest,
                         ::testing::Combine(::testing::ValuesIn(kReaddresses), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) ? "ReplyFirst" : "LeftFirst");
                         });

// The adapter went away and another came under the same name; the operator leaves the port list
// unchanged before the retry: the port reopens, and the old bus's block is no longer valid.
TEST_F(ConsoleTest, AReopenByHandAfterALossInvalidatesTheBlock) {
  Start();
  AnswerLast();
  window.Tick();
  ASSERT_EQ(dialog.m_paramsValid, 1);
  wire->lost = true;
  window.Tick();
  ASSERT_EQ(dialog.m_link.m_isOpen, 0);
  wire->lost = false;
  window.Focus(IDC_PORT);
  window.Focus(IDC_TX_LOG);
  EXPECT_EQ(dialog.m_link.m_isOpen, 1);
  EXPECT_EQ(dialog.m_paramsValid, 0);
  EXPECT_FALSE(window.IsControlEnabled(IDC_WRITE_PARAMS));
}

// A port opened through a link is retried only through that link: while the link is missing the
// port stays closed, whatever device the name would fall back to.
TEST(SerialPortReopen, OpensOnlyWhatTheLastGoodOpenOpened) {
  SerialPort port;
  auto wire = AttachFakeLine(port);
  port.m_port = 1;
  port.Open();
  ASSERT_EQ(port.m_isOpen, 1);
  const std::string first = wire->openPaths.back();
  port.Close();
  wire->openFails = true;
  for (int k = 0; k < 3; ++k) port.Reopen();
  wire->openFails = false;
  port.Reopen();
  EXPECT_EQ(port.m_isOpen, 1);
  EXPECT_EQ(wire->openPaths, std::vector<std::string>(5, first));
  EXPECT_EQ(port.m_openCount, 2u);
}

using EditedFieldTest = CommandTest;

// A reply changed PT while the operator typed in it; typing the old value again and leaving
// stores it: the value the meter just sent does not silently win.
TEST_F(EditedFieldTest, RetypingTheOldValueAfterAReplyChangedItStoresIt) {
  const std::string old = Shown(IDC_PT);
  window.Click(IDC_READ_PARAMS);
  window.Focus(IDC_PT);
  window.Type(IDC_PT, "777");
  std::vector<uint16_t> changed = StartBlock();
  changed[kRegPtLow - kParameterFirst] = 4321;
  changed[kRegPtLow + 1 - kParameterFirst] = 0;
  Answer(HoldingReply(changed));
  ASSERT_EQ(Value(kRegPtLow), 4321);
  ASSERT_EQ(Shown(IDC_PT), "777");  // the typing is left alone
  window.Type(IDC_PT, old);
  window.Focus(kRestingFocus);
  EXPECT_EQ(std::to_string(Value(kRegPtLow) | Value(kRegPtLow + 1) << 16), old);
}

// Text that reached fields without their editor running (a menu command takes no focus) is
// stored, or refused, before a command sends.
TEST_F(EditedFieldTest, ACommandRunsTheEditorsOfFieldsNeverLeft) {
  window.Type(IDC_PT, "4321");
  window.Click(IDC_WRITE_PARAMS);
  const Bytes& frame = LastFrame();
  EXPECT_EQ(frame.at(1), 0x10);
  EXPECT_EQ(frame.at(7 + 2 * (kRegPtLow - kParameterFirst) + 1), 4321 & 0xFF);
  EXPECT_EQ(Value(kRegPtLow), 4321);
  Echo();

  const size_t sent = Sent();
  window.Type(IDC_CT, "abc");
  window.Type(IDC_YK1_DELAY, "1.5");
  window.Click(IDC_WRITE_PARAMS);
  EXPECT_EQ(Sent(), sent);
  EXPECT_EQ(Shown(IDC_STATUS), "请输入有效的数值。");
}

// "清事件" asks first; 否 (and Enter or Escape, which answer it) changes nothing at all.
TEST_F(EditedFieldTest, ClearingTheEventLogAsksAndNoChangesNothing) {
  StartPolling();
  dialog.m_eventOffset = 5;
  const size_t sent = Sent();
  window.Click(IDC_CLEAR_EVENTS);
  EXPECT_EQ(window.Questions(),
            std::vector<std::string>{"确定清除仪表中的全部事件记录吗？此操作不可恢复。"});
  EXPECT_EQ(Sent(), sent);
  EXPECT_NE(dialog.m_autoPoll, 0);
  EXPECT_EQ(dialog.m_eventOffset, 5);
  EXPECT_FALSE(dialog.m_clearPending);
}

}  // namespace
