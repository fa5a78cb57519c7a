#include "window/data_exchange.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "console/main_dialog.h"
#include "window/headless_window.h"

namespace {

bool IsList(ControlKind kind) {
  return kind == ControlKind::DropList || kind == ControlKind::DropDown;
}

// Every control of the window that holds a value: fields, lists and the frame logs.
std::vector<const ControlTemplate*> Fields() {
  std::vector<const ControlTemplate*> fields;
  for (const ControlTemplate& c : MainDialogTemplate().controls) {
    if (c.kind == ControlKind::Edit || IsList(c.kind)) fields.push_back(&c);
  }
  return fields;
}

class DialogFields : public ::testing::Test {
 protected:
  HeadlessWindow window;
  MainDialog dialog{window};
};

TEST_F(DialogFields, BindEveryFieldOfTheWindowToOneMemberAndOnlyThreeToIntegers) {
  std::vector<int> integers;
  for (const ControlTemplate* c : Fields()) {
    const bool text = dialog.TextMember(c->id) != nullptr;
    const bool integer = dialog.IntegerMember(c->id) != nullptr;
    EXPECT_NE(text, integer) << c->id;
    if (integer) integers.push_back(c->id);
  }
  EXPECT_EQ(Fields().size(), 134u);
  EXPECT_EQ(integers, (std::vector<int>{1028, 1081, 1125}));
}

// ---- Integer fields ----

class IntegerFieldText : public DialogFields, public ::testing::WithParamInterface<const char*> {};

TEST_P(IntegerFieldText, ThatHoldsNoIntegerStopsTheCaptureAtThatField) {
  dialog.m_protocolText = "old protocol";
  dialog.m_addressField = 17;
  dialog.m_portText = "COM7:";
  dialog.m_eventOffset = 5;
  dialog.m_valleyEnd2 = "old period";
  window.Choose(1008, 1);
  window.Type(1028, GetParam());
  window.Choose(1002, 2);
  window.Type(1125, "9");
  window.Type(1132, "12:00");

  EXPECT_FALSE(dialog.CaptureFields());

  EXPECT_EQ(window.MessageBoxes(), std::vector<std::string>{"请键入一个整数。"});
  EXPECT_EQ(dialog.m_protocolText, "Modbus ASCII");  // bound before the address: captured
  EXPECT_EQ(dialog.m_addressField, 17);              // the field itself keeps its member
  EXPECT_EQ(dialog.m_portText, "COM7:");             // bound after it: not captured
  EXPECT_EQ(dialog.m_eventOffset, 5);
  EXPECT_EQ(dialog.m_valleyEnd2, "old period");
}

INSTANTIATE_TEST_SUITE_P(NotAnInteger, IntegerFieldText,
                         ::testing::Values("", "   ", "abc", "12abc", "1 2", "3.5", "0x10", "-",
                                           "+ 4", "１２ａ", "一"));

TEST_F(DialogFields, CaptureADecimalIntegerWithBlanksAroundAndASign) {
  const std::pair<const char*, int32_t> cases[] = {
      {"300", 300},         {" 42 ", 42},         {"\t7", 7},          {"-1", -1},
      {"+5", 5},            {"007", 7},           {"0", 0},             {"２０", 20},
      {"－５", -5},          {"4294967297", INT32_MAX}, {"-99999999999", INT32_MIN}};
  for (const auto& [text, value] : cases) {
    window.Type(1028, text);
    window.Type(1081, text);
    window.Type(1125, text);
    dialog.m_addressField = dialog.m_eventSeq = dialog.m_eventOffset = 12345;
    EXPECT_TRUE(dialog.CaptureFields()) << text;
    EXPECT_EQ(dialog.m_addressField, value) << text;
    EXPECT_EQ(dialog.m_eventSeq, value) << text;
    EXPECT_EQ(dialog.m_eventOffset, value) << text;
  }
  EXPECT_TRUE(window.MessageBoxes().empty());
}

TEST_F(DialogFields, ShowIntegerMembersInDecimal) {
  dialog.m_addressField = -300;
  dialog.m_eventSeq = INT32_MIN;
  dialog.m_eventOffset = 64;
  dialog.PushFields();
  EXPECT_EQ(window.GetText(1028), "-300");
  EXPECT_EQ(window.GetText(1081), "-2147483648");
  EXPECT_EQ(window.GetText(1125), "64");
}

// A refresh passes over a field whose member it gave the field last time and whose text nothing
// has changed since. The record of what every field shows must still be what the window shows,
// and a capture must still give what the window holds, whatever changed in between.
TEST_F(DialogFields, KeepTheRecordOfWhatEachFieldShowsWhenARefreshPassesOverIt) {
  struct Step {
    const char* what;
    std::function<void()> act;
  };
  const Step steps[] = {
      {"nothing", [] {}},
      {"the members",
       [&] {
         dialog.m_ptRatio = "100";
         dialog.m_wiringText = "三相三线";
         dialog.m_protocolText = "Modbus ASCII";
         dialog.m_addressField = 9;
         dialog.m_rxLog = "第 1 次接收信息帖(Hex) : 01 03";
       }},
      {"nothing again", [] {}},
      {"the operator, in fields without the focus",
       [&] {
         window.Type(1050, "75");
         window.Type(1049, "三相");
         window.Choose(1008, 0);
         window.Type(1028, "12");
       }},
      {"the logic, in the window",
       [&] {
         window.SetText(1028, "200");
         window.SetText(1011, "");
       }},
      {"a member back to its old text", [&] { dialog.m_ptRatio = "75"; }},
  };
  window.Focus(1009);
  dialog.PushFields();
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.act();
    dialog.PushFields();
    ASSERT_TRUE(dialog.CaptureFields());
    for (const ControlTemplate* c : Fields()) {
      EXPECT_EQ(dialog.ShownText(c->id), window.GetText(c->id)) << c->id;
      if (const std::string* member = dialog.TextMember(c->id)) {
        EXPECT_EQ(*member, window.GetText(c->id)) << c->id;
      }
    }
  }
  EXPECT_EQ(window.GetText(1050), "75");
  EXPECT_EQ(window.GetText(1028), "9");

  // The field being typed in is spared however often the window is refreshed, and given back
  // its member once the operator has left it.
  window.Focus(1050);
  window.Type(1050, "7");
  dialog.m_ptRatio = "75";
  dialog.PushFields();
  dialog.PushFields();
  EXPECT_EQ(window.GetText(1050), "7");
  EXPECT_EQ(dialog.ShownText(1050), "75");
  window.Focus(1009);
  dialog.PushFields();
  EXPECT_EQ(window.GetText(1050), "75");
}

// ---- Lists ----

struct ListCase {
  const char* what;
  int id;
  int selectedBefore;  // -1: none
  const char* member;
  int selectedAfter;
  const char* shownAfter;
};

// "a fixed list keeps its selection" -> "AFixedListKeepsItsSelection"
std::string SentenceName(const char* what) {
  std::string name;
  bool upper = true;
  for (const char* p = what; *p != '\0'; ++p) {
    if (*p == ' ') {
      upper = true;
    } else {
      name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(*p))) : *p;
      upper = false;
    }
  }
  return name;
}

class ListRefresh : public ::testing::TestWithParam<ListCase> {};

TEST_P(ListRefresh, SelectsTheFirstEntryThatBeginsWithTheText) {
  const ListCase& c = GetParam();
  HeadlessWindow window;
  if (c.selectedBefore >= 0) window.Choose(c.id, c.selectedBefore);
  RefreshText(window, c.id, c.member);
  EXPECT_EQ(window.ListSelection(c.id), c.selectedAfter);
  EXPECT_EQ(window.GetText(c.id), c.shownAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ListRefresh,
    ::testing::Values(
        ListCase{"equal baud entries select the first", 1003, 7, "19200", 6, "19200"},
        ListCase{"a prefix selects its entry", 1008, -1, "Modbus A", 1, "Modbus ASCII"},
        ListCase{"the first of several matches wins", 1008, 1, "Modbus", 0, "Modbus RTU"},
        ListCase{"ASCII case is ignored", 1004, 0, "even", 2, "EVEN"},
        ListCase{"case and prefix together", 1002, -1, "com3", 2, "COM3:"},
        ListCase{"an empty text shows no entry in a fixed list", 1003, 5, "", -1, ""},
        ListCase{"an empty text shows no entry in an editable list", 1058, 1, "", -1, ""},
        ListCase{"a text longer than every entry matches none", 1005, 1, "88", 1, "8"},
        ListCase{"a fixed list keeps its selection", 1004, 2, "MARK", 2, "EVEN"},
        ListCase{"a fixed list with none keeps none", 1006, -1, "3", -1, ""},
        ListCase{"an editable list shows the text", 1049, 0, "三相三线一压二流", -1,
                 "三相三线一压二流"},
        ListCase{"an editable list picks the shorter name first", 1049, -1, "三相三线", 2,
                 "三相三线"},
        ListCase{"an editable list matches a prefix", 1143, -1, "7", 7, "7"},
        ListCase{"an editable list shows a number past its entries", 1143, 3, "12", -1, "12"},
        ListCase{"the enable names are matched whole", 1058, -1, "巳", 1, "巳使能"}),
    [](const ::testing::TestParamInfo<ListCase>& info) { return SentenceName(info.param.what); });

TEST(ListCapture, TakesTheVisibleTextOfAListTypedOrChosen) {
  HeadlessWindow window;
  std::string member = "before";
  window.Choose(1003, 7);
  CaptureText(window, 1003, member);
  EXPECT_EQ(member, "19200");
  window.Type(1144, "x");
  CaptureText(window, 1144, member);
  EXPECT_EQ(member, "x");
}

// ---- Both directions ----

TEST_F(DialogFields, GiveBackEveryTextMemberAfterARefreshAndACapture) {
  std::vector<std::pair<int, std::string>> pushed;
  for (const ControlTemplate* c : Fields()) {
    std::string* member = dialog.TextMember(c->id);
    if (member == nullptr || IsList(c->kind)) continue;
    *member = "text of " + std::to_string(c->id) + "\r\n第二行";
    pushed.emplace_back(c->id, *member);
  }
  dialog.m_addressField = -300;
  dialog.m_eventSeq = 7;
  dialog.m_eventOffset = -64;
  dialog.PushFields();
  for (const auto& [id, text] : pushed) dialog.TextMember(id)->clear();
  dialog.m_addressField = dialog.m_eventSeq = dialog.m_eventOffset = 0;

  ASSERT_TRUE(dialog.CaptureFields());

  for (const auto& [id, text] : pushed) EXPECT_EQ(*dialog.TextMember(id), text) << id;
  EXPECT_EQ(dialog.m_addressField, -300);
  EXPECT_EQ(dialog.m_eventSeq, 7);
  EXPECT_EQ(dialog.m_eventOffset, -64);
  EXPECT_TRUE(window.MessageBoxes().empty());
}

TEST_F(DialogFields, GiveBackEveryListEntryAfterARefreshAndACapture) {
  for (const ControlTemplate* c : Fields()) {
    if (!IsList(c->kind)) continue;
    for (size_t k = 0; k < c->entries.size(); ++k) {
      const std::string entry = c->entries[k];
      *dialog.TextMember(c->id) = entry;
      dialog.PushFields();
      dialog.TextMember(c->id)->clear();
      ASSERT_TRUE(dialog.CaptureFields());
      EXPECT_EQ(*dialog.TextMember(c->id), entry) << c->id << " entry " << k;
    }
  }
}

// ---- The operator's moves on the headless window ----

class Recorder : public DialogHandler {
 public:
  std::vector<std::pair<int, Notification>> seen;
  void OnNotify(int id, Notification code) override { seen.emplace_back(id, code); }
  void OnTimerMessage(int) override {}
  void OnPostedMessage(uint32_t, int32_t, int32_t) override {}
  void OnOK() override {}
  void OnSysCommand(uint32_t) override {}
};

TEST(HeadlessWindowMoves, NotifyTheFieldLeftBeforeTheOneEnteredAndFocusAButtonBeforeItsClick) {
  HeadlessWindow window;
  Recorder recorder;
  window.SetHandler(&recorder);
  window.Focus(1028);
  window.Focus(1028);  // no move, no notification
  window.Click(1099);
  window.EnableControl(1088, false);
  window.Click(1088);  // disabled: nothing happens, the focus stays

  using N = Notification;
  const std::vector<std::pair<int, Notification>> expected = {
      {1028, N::SetFocus}, {1028, N::KillFocus}, {1099, N::SetFocus}, {1099, N::Clicked}};
  EXPECT_EQ(recorder.seen, expected);
  EXPECT_EQ(window.FocusedControl(), 1099);
}

TEST(HeadlessWindowMoves, KeepAFixedListFromShowingATextThatIsNoneOfItsEntries) {
  HeadlessWindow window;
  window.SetText(1004, "ODD");
  EXPECT_EQ(window.ListSelection(1004), 1);
  window.SetText(1004, "MARK");
  EXPECT_EQ(window.ListSelection(1004), -1);
  EXPECT_EQ(window.GetText(1004), "");
}

}  // namespace
