// The Win32 window itself, in-process under Wine: what the controls show after the logic's calls,
// and the notifications the controls send back.
#include "window/win32/win32_dialog_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>
// Needs windows.h first.
#include <commctrl.h>
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
constexpr MenuItemTemplate kFileItems[] = {{IDM_TRACE_START, "记录通讯…"}, {0, ""}, {IDM_EXIT, "退出"}};
constexpr MenuItemTemplate kToolItems[] = {{IDM_SCAN_BUS, "扫描总线…"}};
const MenuTemplate kMenus[] = {{"文件", kFileItems}, {"工具", kToolItems}};
const DialogTemplate kDialog = {900, "Quorvel", 170, 90, "MS Sans Serif", 8, kControls, kMenus};
const DialogTemplate kDialogWithoutMenus = {900, "Quorvel", 170, 90, "MS Sans Serif", 8, kControls};

// A dialog run over the window: a check box, the default button, a progress bar and a table.
constexpr int kCheck = 60;
constexpr int kStart = 61;
constexpr int kProgress = 62;
constexpr int kTable = 63;
const char* const kHeadings[] = {"地址", "波特率"};
const ControlTemplate kChildControls[] = {
    {IDCANCEL, K::PushButton, "关闭", 0, 0, 1, 1, kHidden, {}, nullptr},
    {kCheck, K::CheckBox, "找到即停", 4, 4, 60, 10, kTabStop, {}, nullptr},
    {kStart, K::DefPushButton, "开始", 100, 2, 40, 14, kTabStop, {}, nullptr},
    {kProgress, K::Progress, "", 4, 20, 136, 10, 0, {}, nullptr},
    {kTable, K::Table, "", 4, 34, 136, 60, kTabStop, kHeadings, nullptr},
};
const DialogTemplate kChild = {901, "扫描总线", 150, 100, "MS Sans Serif", 8, kChildControls};

template <typename Handler>
class Recording : public Handler {
 public:
  void OnNotify(int id, Notification code) override {
    static const char* const kNames[] = {"click", "set", "kill", "drop"};
    log.push_back(std::string(kNames[static_cast<int>(code)]) + " " + std::to_string(id));
    if (onNotify) onNotify(id, code);
  }
  void OnTimerMessage(int timerId) override {
    log.push_back("tick " + std::to_string(timerId));
    ++ticks;
    if (onTick) onTick();
  }
  void OnPostedMessage(uint32_t message, int32_t wParam, int32_t) override {
    log.push_back("posted " + std::to_string(message) + "/" + std::to_string(wParam));
  }
  void OnOK() override { log.push_back("ok"); }
  void OnSysCommand(uint32_t command) override { log.push_back("sys " + std::to_string(command)); }
  void OnMenuCommand(int commandId) override {
    log.push_back("menu " + std::to_string(commandId));
    if (onMenuCommand) onMenuCommand(commandId);
  }
  std::vector<std::string> log;
  int ticks = 0;
  std::function<void(int, Notification)> onNotify;
  std::function<void()> onTick;
  std::function<void(int)> onMenuCommand;
};
using Recorder = Recording<DialogHandler>;

class ChildRecorder : public Recording<ChildDialog> {
 public:
  void Attach(DialogWindow* attached) override {
    window = attached;
    log.push_back(attached != nullptr ? "attach" : "detach");
  }
  DialogWindow* window = nullptr;
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

// What a test does while a modal loop runs (a child dialog, a file chooser): a thread timer,
// which that loop dispatches, tries the next step every beat until the step says it is done. A
// loop that outlives the deadline is ended with a quit message.
struct Script {
  std::vector<std::function<bool()>> steps;
  size_t next = 0;
  DWORD deadline = GetTickCount() + 15000;
};
Script* g_script = nullptr;

void CALLBACK StepScript(HWND, UINT, UINT_PTR, DWORD) {
  Script& script = *g_script;
  if (script.next < script.steps.size() && script.steps[script.next]()) ++script.next;
  if (GetTickCount() > script.deadline) {
    script.deadline = ~DWORD{0};
    PostQuitMessage(0);
  }
}

void RunScripted(Script& script, const std::function<void()>& run) {
  g_script = &script;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, StepScript);
  run();
  KillTimer(nullptr, timer);
  g_script = nullptr;
  EXPECT_EQ(script.next, script.steps.size()) << "steps left undone";
}

// The visible window another one owns (a dialog or chooser over it), or nullptr.
HWND OwnedBy(HWND owner) {
  std::pair<HWND, HWND> search{owner, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<std::pair<HWND, HWND>*>(param);
        if (GetWindow(hwnd, GW_OWNER) != s->first || !IsWindowVisible(hwnd)) return TRUE;
        s->second = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.second;
}

void Press(HWND hwnd, WPARAM key) {
  PostMessageW(hwnd, WM_KEYDOWN, key, 0);
  PostMessageW(hwnd, WM_KEYUP, key, 0);
}

// The menu bar adds its height to the frame and takes none from the dialog.
TEST(Win32MenuBar, IsAMenuOverTheDialogWhichKeepsItsSizeAndEveryControlInItsPlace) {
  Win32DialogWindow plain{kDialogWithoutMenus};
  Win32DialogWindow barred{kDialog};
  ASSERT_EQ(GetMenu(barred.Handle()), barred.MenuBar());
  EXPECT_EQ(GetMenuItemCount(barred.MenuBar()), 2);
  RECT a{}, b{}, frameA{}, frameB{};
  GetClientRect(plain.Handle(), &a);
  GetClientRect(barred.Handle(), &b);
  EXPECT_TRUE(EqualRect(&a, &b));
  GetWindowRect(plain.Handle(), &frameA);
  GetWindowRect(barred.Handle(), &frameB);
  MENUBARINFO bar{};
  bar.cbSize = sizeof bar;
  ASSERT_TRUE(GetMenuBarInfo(barred.Handle(), OBJID_MENU, 0, &bar));
  EXPECT_GE(frameB.bottom - frameB.top,
            frameA.bottom - frameA.top + (bar.rcBar.bottom - bar.rcBar.top));
  for (const ControlTemplate& c : kControls) {
    if (c.id == IDC_STATIC) continue;
    const RECT p = RectIn(plain.Handle(), GetDlgItem(plain.Handle(), c.id));
    const RECT q = RectIn(barred.Handle(), GetDlgItem(barred.Handle(), c.id));
    EXPECT_TRUE(EqualRect(&p, &q)) << c.id;
  }
}

// A menu takes no focus: the field keeps it, and no editor runs. F10 and the arrow keys reach
// the menu bar.
TEST_F(Win32DialogWindowTest, DeliversAMenuCommandThroughItsGateAndNoneOfAGreyedItem) {
  Focus(kEdit);
  handler.log.clear();
  for (const auto& [id, enabled] : {std::pair{IDM_EXIT, true}, {IDM_SCAN_BUS, false}, {IDM_SCAN_BUS, true}}) {
    window.EnableMenuItem(id, enabled);
    SendMessageW(window.Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0);  // as the menu sends it
  }
  PostMessageW(window.Handle(), WM_SYSKEYDOWN, VK_F10, 0);
  PostMessageW(window.Handle(), WM_SYSKEYUP, VK_F10, 0);
  Press(window.Handle(), VK_DOWN);  // 文件 opens at its first item
  Press(window.Handle(), VK_RETURN);
  Pump();
  EXPECT_EQ(handler.log, (Log{"menu 32800", "menu 32811", "menu 32801"}));
  EXPECT_EQ(GetFocus(), Item(kEdit));
}

// The scan window is opened from a menu command, inside the owner's handler. Its click, its own
// tick and its posted message reach it in turn while the owner's ticks go on; it ends by its
// EndDialog, by Escape or by its close command, and gives the owner back its input.
TEST_F(Win32DialogWindowTest, RunsAChildDialogWhoseInputComesInTurnWhileTheOwnersTicksGoOn) {
  enum class End { Itself, Escape, Close };
  for (const End end : {End::Itself, End::Escape, End::Close}) {
    ChildRecorder child;
    int ownerTicksAtOpen = 1 << 30;
    HWND opened = nullptr;
    child.onNotify = [&](int, Notification code) {
      if (code != Notification::Clicked) return;
      child.window->PostMessage(0x8000, 1, 0);
      child.window->SetTimer(7, 1);
    };
    child.onTick = [&] {
      if (end == End::Itself && handler.ticks >= ownerTicksAtOpen + 3) child.window->EndDialog();
    };
    handler.onMenuCommand = [&](int) { window.RunChildDialog(kChild, child); };
    Script script;
    script.steps.push_back([&] {
      opened = OwnedBy(window.Handle());
      if (opened == nullptr) return false;
      EXPECT_FALSE(IsWindowEnabled(window.Handle()));
      ownerTicksAtOpen = handler.ticks;
      Press(GetFocus(), VK_RETURN);  // the default button
      return true;
    });
    script.steps.push_back([&] {
      if (end == End::Itself) return true;
      if (child.ticks == 0 || handler.ticks < ownerTicksAtOpen + 3) return false;
      if (end == End::Escape) Press(GetFocus(), VK_ESCAPE);
      if (end == End::Close) PostMessageW(opened, WM_SYSCOMMAND, SC_CLOSE, 0);
      return true;
    });
    ASSERT_EQ(window.SetTimer(1, 1), 1);
    RunScripted(script, [&] {
      SendMessageW(window.Handle(), WM_COMMAND, MAKEWPARAM(IDM_SCAN_BUS, 0), 0);
    });
    KillTimer(window.Handle(), 1);
    Log turns;
    for (const std::string& entry : child.log) {
      if (entry.rfind("set", 0) != 0 && entry.rfind("kill", 0) != 0) turns.push_back(entry);
    }
    ASSERT_GE(turns.size(), 5u) << static_cast<int>(end);
    EXPECT_EQ(Log(turns.begin(), turns.begin() + 4),
              (Log{"attach", "click 61", "posted 32768/1", "tick 7"}));
    EXPECT_EQ(turns.back(), "detach");
    EXPECT_GE(handler.ticks, ownerTicksAtOpen + 3);
    EXPECT_TRUE(IsWindowEnabled(window.Handle()));
    EXPECT_FALSE(IsWindow(opened));
  }
}

// Raised inside a handler, the chooser holds ticks and posted messages as a message box does.
// Enter takes the name suggested, which gets the filter's extension.
TEST_F(Win32DialogWindowTest, AsksForAFileInWideCharactersAndHoldsTheTicksMeanwhile) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::string folder =
      win32::Utf16ToUtf8(reinterpret_cast<const char16_t*>(temp)) + "扫描记录";
  CreateDirectoryW(reinterpret_cast<const wchar_t*>(win32::Utf8ToUtf16(folder).c_str()), nullptr);
  ASSERT_EQ(window.SetTimer(1, 10), 1);
  for (const WPARAM key : {VK_RETURN, VK_ESCAPE}) {
    int ticksAtOpen = -1, ticksAtAnswer = -2;
    DWORD openedAt = 0;
    std::optional<std::string> answer;
    handler.onNotify = [&](int, Notification code) {
      if (code != Notification::Clicked) return;
      window.PostMessage(WM_LINK_DONE, 3, 0);
      answer = window.AskSaveFile("记录通讯", folder + "\\扫描 结果", "CSV (*.csv)");
    };
    Script script;
    script.steps.push_back([&] {
      if (OwnedBy(window.Handle()) == nullptr) return false;
      ticksAtOpen = handler.ticks;
      openedAt = GetTickCount();
      return true;
    });
    script.steps.push_back([&] {
      if (GetTickCount() - openedAt < 300) return false;
      ticksAtAnswer = handler.ticks;
      Press(GetFocus(), key);
      return true;
    });
    handler.log.clear();
    RunScripted(script, [&] { SendMessageW(Item(kButton), BM_CLICK, 0, 0); });
    EXPECT_EQ(ticksAtAnswer, ticksAtOpen);
    EXPECT_EQ(answer, key == VK_RETURN ? std::optional(folder + "\\扫描 结果.csv") : std::nullopt);
    EXPECT_EQ(handler.log.back(), "click 40");  // nothing yet of what waited
    Pump();
    EXPECT_NE(std::find(handler.log.begin(), handler.log.end(), "posted 1224/3"), handler.log.end());
  }
  KillTimer(window.Handle(), 1);
  EXPECT_FALSE(window.OpenFolder(folder + "\\没有"));
}

TEST(Win32ChildControls, ShowTheirTextsAndHandOnTheOperatorsClickAndChoiceOfARow) {
  Win32DialogWindow window{kChild};
  Recorder handler;
  window.SetHandler(&handler);
  ShowWindow(window.Handle(), SW_SHOW);
  const auto item = [&](int id) { return GetDlgItem(window.Handle(), id); };
  const auto pump = [&] {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (IsDialogMessageW(window.Handle(), &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  };
  const std::pair<int, const char*> texts[] = {
      {kCheck, "1"}, {kCheck, ""}, {kProgress, "40"}, {kTable, "1\t9600\n17\t19200"}, {kTable, ""}};
  for (const auto& [id, text] : texts) {
    window.SetText(id, text);
    EXPECT_EQ(window.GetText(id), text);
  }
  window.SetText(kProgress, "250");
  EXPECT_EQ(SendMessageW(item(kProgress), PBM_GETPOS, 0, 0), 100);

  SendMessageW(item(kCheck), BM_CLICK, 0, 0);
  EXPECT_EQ(window.GetText(kCheck), "1");
  Press(item(kCheck), VK_SPACE);
  pump();
  EXPECT_EQ(window.GetText(kCheck), "");

  const HWND table = item(kTable);
  window.SetText(kTable, "1\t9600\n17\t19200\n30\t4800");
  ASSERT_EQ(SendMessageW(table, LVM_GETITEMCOUNT, 0, 0), 3);
  window.SelectListEntry(kTable, 0);  // the logic's choice is no click
  RECT row{LVIR_BOUNDS, 0, 0, 0};
  SendMessageW(table, LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&row));
  const LPARAM at = MAKELPARAM((row.left + row.right) / 2, (row.top + row.bottom) / 2);
  PostMessageW(table, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(table, WM_LBUTTONUP, 0, at);
  pump();
  EXPECT_EQ(window.ListSelection(kTable), 2);
  PostMessageW(table, WM_KEYDOWN, VK_UP, 0);
  pump();
  EXPECT_EQ(window.ListSelection(kTable), 1);
  window.SetText(kTable, "1\t9600\n17\t19200");  // the row selected is still there
  EXPECT_EQ(window.ListSelection(kTable), 1);
  window.SetText(kTable, "1\t9600");
  EXPECT_EQ(window.ListSelection(kTable), -1);
  PostMessageW(table, WM_KEYDOWN, VK_RETURN, 0);  // the default button
  pump();
  window.EnableControl(kStart, false);
  PostMessageW(table, WM_KEYDOWN, VK_RETURN, 0);  // a greyed default button does nothing
  pump();
  std::vector<std::string> clicks;
  for (const std::string& entry : handler.log) {
    if (entry.rfind("click", 0) == 0) clicks.push_back(entry);
  }
  EXPECT_EQ(clicks, (std::vector<std::string>{"click 60", "click 60", "click 63", "click 63", "click 61"}));
  window.SetHandler(nullptr);
}

}  // namespace
