// The Win32 window itself, in-process under Wine: what the controls show after the logic's calls,
// and the notifications the controls send back.
#include "window/win32/win32_dialog_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>
#undef MessageBox
#undef PostMessage

namespace {

constexpr int kEdit = 10;
constexpr int kEditableList = 20;
constexpr int kFixedList = 30;
constexpr int kButton = 40;
constexpr int kLog = 50;

const char* const kEnables[] = {"未使能", "巳使能"};
const char* const kParities[] = {"NONE", "ODD", "EVEN"};

using K = ControlKind;
const ControlTemplate kControls[] = {
    {IDOK, K::DefPushButton, "确定", 0, 0, 1, 1, kHidden, {}, nullptr},
    {IDCANCEL, K::PushButton, "取消", 0, 0, 1, 1, kHidden, {}, nullptr},
    {IDC_STATIC, K::Label, "编号", 4, 4, 20, 8, 0, {}, nullptr},
    {kEdit, K::Edit, "", 26, 2, 40, 12, kTabStop, {}, nullptr},
    {kEditableList, K::DropDown, "", 70, 2, 50, 12, kTabStop, kEnables, nullptr},
    {kFixedList, K::DropList, "", 124, 2, 40, 12, kTabStop, kParities, nullptr},
    {kButton, K::PushButton, "读参数", 4, 20, 40, 14, kTabStop, {}, nullptr},
    {kLog, K::Edit, "", 4, 40, 160, 40, kTabStop | kReadOnly | kMultiLine, {}, nullptr},
};
const DialogTemplate kDialog = {900, "Quorvel", 170, 90, "MS Sans Serif", 8, kControls};

class Recorder : public DialogHandler {
 public:
  void OnNotify(int id, Notification code) override {
    static const char* const kNames[] = {"click", "set", "kill", "drop"};
    log.push_back(std::string(kNames[static_cast<int>(code)]) + " " + std::to_string(id));
  }
  void OnTimerMessage(int timerId) override { log.push_back("tick " + std::to_string(timerId)); }
  void OnPostedMessage(uint32_t message, int32_t wParam, int32_t) override {
    log.push_back("posted " + std::to_string(message) + "/" + std::to_string(wParam));
  }
  void OnOK() override { log.push_back("ok"); }
  void OnSysCommand(uint32_t command) override { log.push_back("sys " + std::to_string(command)); }
  std::vector<std::string> log;
};

class Win32DialogWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.SetHandler(&handler);
    ShowWindow(window.Handle(), SW_SHOW);
    Pump();
    handler.log.clear();  // the dialog's own first focus, on activation
  }
  void TearDown() override { window.SetHandler(nullptr); }

  HWND Item(int id) const { return GetDlgItem(window.Handle(), id); }
  void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (IsDialogMessageW(window.Handle(), &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  void Focus(int id) {
    SetFocus(Item(id));
    Pump();
  }
  void Wheel(HWND hwnd, int notches) {
    SendMessageW(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(notches * WHEEL_DELTA)), 0);
    Pump();
  }
  using Log = std::vector<std::string>;

  Win32DialogWindow window{kDialog};
  Recorder handler;
};

TEST_F(Win32DialogWindowTest, ShowsExactlyTheTextsTheLogicSets) {
  window.SetText(kEdit, "φUa 巳使能 230.5");
  EXPECT_EQ(window.GetText(kEdit), "φUa 巳使能 230.5");
  window.SetText(kLog, "第 1 次发送信息帖(Hex) : 01 03\nsecond line");
  EXPECT_EQ(window.GetText(kLog), "第 1 次发送信息帖(Hex) : 01 03\nsecond line");
  window.SetText(kButton, "暂停读数据");
  EXPECT_EQ(window.GetText(kButton), "暂停读数据");
}

TEST_F(Win32DialogWindowTest, KeepsTheListRulesInTheRealControls) {
  window.SetText(kFixedList, "ODD");
  EXPECT_EQ(window.ListSelection(kFixedList), 1);
  window.SetText(kFixedList, "odd");  // no entry is "odd": a fixed list then shows nothing
  EXPECT_EQ(window.ListSelection(kFixedList), -1);
  EXPECT_EQ(window.GetText(kFixedList), "");
  window.SelectListEntry(kEditableList, 1);
  EXPECT_EQ(window.GetText(kEditableList), "巳使能");
  EXPECT_EQ(window.ListSelection(kEditableList), 1);
  window.SetText(kEditableList, "7");  // an editable list shows any text, without a selection
  EXPECT_EQ(window.GetText(kEditableList), "7");
  EXPECT_EQ(window.ListSelection(kEditableList), -1);
  EXPECT_EQ(window.ListEntries(kEditableList), (std::vector<std::string>{"未使能", "巳使能"}));
}

TEST_F(Win32DialogWindowTest, ReportsEveryFocusMoveAndClick) {
  ASSERT_EQ(GetFocus(), Item(kEdit));  // where the dialog put it when it was shown
  Focus(kEditableList);
  Focus(kFixedList);
  Focus(kButton);
  SendMessageW(Item(kButton), BM_CLICK, 0, 0);
  Pump();
  EXPECT_EQ(handler.log,
            (Log{"kill 10", "set 20", "kill 20", "set 30", "kill 30", "set 40", "click 40"}));
}

TEST_F(Win32DialogWindowTest, ParksTheFocusOnTheWindowWhenTheFocusedButtonIsDisabled) {
  Focus(kButton);
  handler.log.clear();
  window.EnableControl(kButton, false);
  Pump();
  EXPECT_FALSE(window.IsControlEnabled(kButton));
  EXPECT_EQ(GetFocus(), window.Handle());
  EXPECT_EQ(handler.log, (Log{"kill 40"}));  // and no other control's focus gain
}

TEST_F(Win32DialogWindowTest, HandsAPostedCompletionOverBeforeTheNextTick) {
  ASSERT_EQ(window.SetTimer(1, 1), 1);
  window.PostMessage(WM_LINK_DONE, 0, 0);
  Sleep(20);  // the timer is due: its tick still comes after the completion
  MSG msg;
  while (handler.log.size() < 2 && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  EXPECT_EQ(handler.log, (Log{"posted 1224/0", "tick 1"}));
}

TEST_F(Win32DialogWindowTest, TakesEnterInAFieldAsTheDefaultButton) {
  Focus(kEdit);
  handler.log.clear();
  PostMessageW(Item(kEdit), WM_KEYDOWN, VK_RETURN, 0);
  Pump();
  EXPECT_EQ(handler.log, (Log{"ok"}));
  EXPECT_TRUE(IsWindowVisible(window.Handle()));
}

// The wheel is sent to the controls directly, as Windows 10 routes it to the control under the
// pointer whether it has the focus or not.
TEST_F(Win32DialogWindowTest, TurnsAListWithTheWheelOnlyWhileItHasTheFocus) {
  window.SelectListEntry(kFixedList, 1);
  window.SelectListEntry(kEditableList, 0);
  COMBOBOXINFO editable{};
  editable.cbSize = sizeof editable;
  ASSERT_TRUE(GetComboBoxInfo(Item(kEditableList), &editable));
  Focus(kEdit);
  for (HWND unfocused : {Item(kFixedList), Item(kEditableList), editable.hwndItem}) {
    Wheel(unfocused, -1);
  }
  EXPECT_EQ(window.ListSelection(kFixedList), 1);
  EXPECT_EQ(window.ListSelection(kEditableList), 0);
  EXPECT_EQ(window.GetText(kEditableList), "未使能");

  Focus(kFixedList);  // with the focus the wheel steps as the arrow keys do
  Wheel(Item(kFixedList), 1);
  EXPECT_EQ(window.ListSelection(kFixedList), 0);
  Focus(kEditableList);
  Wheel(Item(kEditableList), -1);
  EXPECT_EQ(window.GetText(kEditableList), "巳使能");

  std::string lines;
  for (int k = 0; k < 40; ++k) lines += "第 " + std::to_string(k) + " 行\n";
  window.SetText(kLog, lines);
  Wheel(Item(kLog), -1);  // a log scrolls without the focus
  EXPECT_GT(SendMessageW(Item(kLog), EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

// The question box is answered from a thread timer, which Ask's own message loop runs: one key
// a tick once the box shows, to the control with the focus.
struct Question {
  std::vector<WPARAM> keys;
  size_t next = 0;
  DWORD deadline = GetTickCount() + 5000;  // a box that never shows ends the test's wait
  HWND owner = nullptr;
  std::string seen;   // caption | question | 是 button | 否 button | the focused button
  bool fits = false;  // the whole question in its label, everything inside the box, centred
};
Question* g_question = nullptr;

std::string TextOf(HWND hwnd) {
  wchar_t text[256] = {};
  const int n = GetWindowTextW(hwnd, text, 256);
  return win32::Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(text), n));
}

RECT RectIn(HWND parent, HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool Inside(const RECT& outer, const RECT& inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

BOOL CALLBACK FindOwnedBox(HWND hwnd, LPARAM found) {
  if (GetWindow(hwnd, GW_OWNER) != g_question->owner || !IsWindowVisible(hwnd)) return TRUE;
  *reinterpret_cast<HWND*>(found) = hwnd;
  return FALSE;
}

void LookAt(Question& q, HWND box) {
  HWND label = GetDlgItem(box, IDC_QUESTION_TEXT);
  q.seen = TextOf(box) + "|" + TextOf(label) + "|" + TextOf(GetDlgItem(box, IDYES)) + "|" +
           TextOf(GetDlgItem(box, IDNO)) + "|" + TextOf(GetFocus());
  wchar_t text[256] = {};
  GetWindowTextW(label, text, 256);
  RECT room{}, client{}, a{}, b{};
  GetClientRect(label, &room);
  RECT need = room;
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
  DrawTextW(dc, text, -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  GetClientRect(box, &client);
  const RECT question = RectIn(box, label);
  const RECT yes = RectIn(box, GetDlgItem(box, IDYES));
  const RECT no = RectIn(box, GetDlgItem(box, IDNO));
  GetWindowRect(box, &a);
  GetWindowRect(q.owner, &b);
  q.fits = Inside(room, need) && Inside(client, question) && Inside(client, no) &&
           yes.top >= question.bottom && yes.left >= client.left && yes.right <= no.left &&
           std::abs((a.left + a.right) - (b.left + b.right)) <= 2 &&
           std::abs((a.top + a.bottom) - (b.top + b.bottom)) <= 2;
}

void CALLBACK StepQuestion(HWND, UINT, UINT_PTR, DWORD) {
  Question& q = *g_question;
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindOwnedBox, reinterpret_cast<LPARAM>(&box));
  if (box == nullptr && GetTickCount() > q.deadline) PostQuitMessage(0);
  if (box == nullptr || q.next >= q.keys.size()) return;
  if (q.next == 0) LookAt(q, box);
  PostMessageW(GetFocus(), WM_KEYDOWN, q.keys[q.next], 0);
  PostMessageW(GetFocus(), WM_KEYUP, q.keys[q.next++], 0);
}

TEST_F(Win32DialogWindowTest, AsksInItsOwnBoxWhereOnlyYesAnswersTrue) {
  const std::string kQuestion = "确定清除仪表中的全部事件记录吗？此操作不可恢复。";
  const std::string kLong = kQuestion + kQuestion + kQuestion + kQuestion;
  struct Case {
    std::vector<WPARAM> keys;
    std::string text;
    bool answer;
  };
  // Each box takes Wine two seconds to close on a screen without a window manager: few cases.
  const Case cases[] = {
      {{VK_ESCAPE}, kQuestion, false},
      {{VK_RETURN}, kQuestion, false},
      {{VK_TAB, VK_SPACE}, kLong, true},
  };
  window.SetCaption("C:\\quorvel\\quorvel.exe");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys.front());
    Question q;
    q.keys = c.keys;
    q.owner = window.Handle();
    g_question = &q;
    ASSERT_EQ(window.SetTimer(1, 50), 1);  // the console's period
    window.PostMessage(WM_LINK_DONE, 7, 0);
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 30, StepQuestion);
    EXPECT_EQ(window.Ask(c.text), c.answer);
    KillTimer(nullptr, timer);
    KillTimer(window.Handle(), 1);
    EXPECT_EQ(q.next, c.keys.size());
    EXPECT_EQ(q.seen, "C:\\quorvel\\quorvel.exe|" + c.text + "|是|否|否");
    EXPECT_TRUE(q.fits);
    EXPECT_EQ(handler.log, Log{}) << "no tick and no posted message while the box is open";
    Pump();
    ASSERT_FALSE(handler.log.empty());
    EXPECT_EQ(handler.log.front(), "posted 1224/7");
    handler.log.clear();
  }
  g_question = nullptr;
}

}  // namespace
