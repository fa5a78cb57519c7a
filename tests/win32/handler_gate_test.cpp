#include "window/win32/handler_gate.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// Writes down what reaches the dialog; a test may run something inside one handler.
class Recorder : public DialogHandler {
 public:
  void OnNotify(int id, Notification code) override {
    static const char* const kNames[] = {"click", "set", "kill", "drop"};
    Record(std::string(kNames[static_cast<int>(code)]) + " " + std::to_string(id));
  }
  void OnTimerMessage(int timerId) override { Record("tick " + std::to_string(timerId)); }
  void OnPostedMessage(uint32_t message, int32_t wParam, int32_t) override {
    Record("posted " + std::to_string(message) + "/" + std::to_string(wParam));
  }
  void OnOK() override { Record("ok"); }
  void OnSysCommand(uint32_t command) override { Record("sys " + std::to_string(command)); }
  void OnMenuCommand(int commandId) override { Record("menu " + std::to_string(commandId)); }

  std::vector<std::string> log;
  std::string inside;  // the handler that runs `during`
  std::function<void()> during;
  bool modalLoop = false;  // `during` is a modal box's own loop: the dialog's input goes on

 private:
  void Record(const std::string& entry) {
    EXPECT_FALSE(m_running) << entry << " ran inside another handler";
    m_running = true;
    log.push_back(entry);
    if (entry == inside && during) {
      m_running = !modalLoop;
      std::exchange(during, nullptr)();
    }
    m_running = false;
  }
  bool m_running = false;
};

class HandlerGateTest : public ::testing::Test {
 protected:
  void SetUp() override { gate.SetHandler(&dialog); }
  // The window's message loop: a drain asked for runs after the current handler.
  void RunScheduledDrains() {
    while (drainsAsked > 0) {
      --drainsAsked;
      gate.Drain();
    }
  }
  using Log = std::vector<std::string>;

  Recorder dialog;
  int drainsAsked = 0;
  HandlerGate gate{[this] { ++drainsAsked; }};
};

TEST_F(HandlerGateTest, ReportsFocusMovesBetweenControlsButNotTheWindowLosingAndRegainingIt) {
  gate.FocusGained(1073);
  gate.FocusLost(1073, true);
  gate.FocusGained(1099);
  // Another window (a message box, the About box, another program) takes the focus and gives it
  // back to the same control: no change. Then the operator moves on.
  gate.FocusLost(1099, false);
  gate.FocusGained(1099);
  gate.FocusLost(1099, false);
  gate.FocusGained(1074);
  EXPECT_EQ(dialog.log, (Log{"set 1073", "kill 1073", "set 1099", "kill 1099", "set 1074"}));
  EXPECT_EQ(gate.FocusedControl(), 1074);
}

TEST_F(HandlerGateTest, HandsPostedMessagesOverFirstInFirstOutBeforeTheNextTick) {
  gate.Post(WM_LINK_DONE, 0, 0);
  gate.Post(WM_LINK_DONE, 7, 1);
  gate.Tick(1);
  gate.Clicked(1092);
  gate.OK();
  gate.SysCommand(IDM_ABOUTBOX);
  EXPECT_EQ(dialog.log,
            (Log{"posted 1224/0", "posted 1224/7", "tick 1", "click 1092", "ok", "sys 16"}));
}

TEST_F(HandlerGateTest, HoldsTicksAndPostedMessagesWhileAMessageBoxIsOpenInAHandler) {
  gate.FocusGained(1028);
  dialog.inside = "kill 1028";
  dialog.during = [this] {
    gate.BeginMessageBox();  // "请键入一个整数。" from the capture
    gate.Post(WM_LINK_DONE, 0, 0);
    gate.Tick(1);         // dropped, not saved up
    gate.Drain();         // the box's own message loop: the completion waits
    gate.FocusGained(1);  // the box's button
    gate.FocusLost(1, false);
    gate.EndMessageBox();
    gate.Tick(1);  // still inside the handler
  };
  gate.FocusLost(1028, true);
  EXPECT_EQ(gate.PendingMessages(), 1u);
  RunScheduledDrains();
  gate.Tick(1);
  EXPECT_EQ(dialog.log, (Log{"set 1028", "kill 1028", "posted 1224/0", "tick 1"}));
}

TEST_F(HandlerGateTest, LetsTicksAndCompletionsRunWhileTheAboutBoxIsOpen) {
  dialog.inside = "sys 16";
  dialog.modalLoop = true;
  dialog.during = [this] {
    const int depth = gate.SuspendForModalBox();
    gate.Tick(1);
    gate.Post(WM_LINK_DONE, 0, 0);
    gate.Drain();
    gate.ResumeAfterModalBox(depth);
  };
  gate.SysCommand(IDM_ABOUTBOX);
  EXPECT_EQ(dialog.log, (Log{"sys 16", "tick 1", "posted 1224/0"}));
}

// The scan window over the main dialog: a box raised in either holds both, and what waited in
// either is handed on once it closes.
TEST_F(HandlerGateTest, ABoxInAChildDialogOrItsOwnerHoldsTheTicksAndMessagesOfBoth) {
  constexpr uint32_t kChildMessage = 0x8000;  // a message of the child's own
  Recorder childDialog;
  int childDrains = 0;
  HandlerGate child{[&] { ++childDrains; }};
  child.SetHandler(&childDialog);
  child.JoinFamilyOf(gate);
  for (HandlerGate* raising : {&child, &gate}) {
    raising->BeginMessageBox();
    gate.Tick(1);
    child.Tick(7);
    gate.Post(WM_LINK_DONE, 1, 0);
    child.Post(kChildMessage, 2, 0);
    gate.Drain();
    child.Drain();
    gate.MenuCommand(IDM_SCAN_BUS);
    raising->EndMessageBox();
    EXPECT_EQ(dialog.log, Log{});
    EXPECT_EQ(childDialog.log, Log{});
    RunScheduledDrains();
    for (; childDrains > 0; --childDrains) child.Drain();
    EXPECT_EQ(dialog.log, Log{"posted 1224/1"});
    EXPECT_EQ(childDialog.log, Log{"posted 32768/2"});
    dialog.log.clear();
    childDialog.log.clear();
  }
  gate.MenuCommand(IDM_SCAN_BUS);
  child.Tick(7);
  EXPECT_EQ(dialog.log, Log{"menu 32811"});
  EXPECT_EQ(childDialog.log, Log{"tick 7"});
}

TEST_F(HandlerGateTest, CallsNoHandlerAfterTheRunHasEnded) {
  gate.Post(WM_LINK_DONE, 0, 0);
  gate.End();
  gate.Drain();
  gate.Tick(1);
  gate.FocusGained(1073);
  gate.Clicked(1092);
  EXPECT_TRUE(dialog.log.empty());
  EXPECT_EQ(gate.PendingMessages(), 0u);
}

}  // namespace
