#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTreeWidget>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "tests/qt/qt_test_support.h"

namespace {

constexpr int kEdit = 10;
constexpr int kEditableList = 20;
constexpr int kFixedList = 30;
constexpr int kButton = 40;
constexpr int kLog = 50;

const char* const kEnables[] = {"未使能", "巳使能"};
const char* const kPorts[] = {"COM1:", "COM2:", "COM3:"};

using K = ControlKind;
const ControlTemplate kControls[] = {
    {IDOK, K::DefPushButton, "确定", 0, 0, 1, 1, kHidden, {}, nullptr},
    {IDCANCEL, K::PushButton, "取消", 0, 0, 1, 1, kHidden, {}, nullptr},
    {IDC_STATIC, K::Label, "编号", 4, 4, 20, 8, 0, {}, nullptr},
    {kEdit, K::Edit, "", 26, 2, 40, 12, kTabStop, {}, nullptr},
    {kEditableList, K::DropDown, "", 70, 2, 50, 60, kTabStop, kEnables, "出口使能"},
    {kFixedList, K::DropList, "", 124, 2, 40, 60, kTabStop, kPorts, nullptr},
    {kButton, K::PushButton, "读参数", 4, 20, 40, 14, kTabStop, {}, nullptr},
    {kLog, K::Edit, "", 4, 40, 160, 40, kTabStop | kReadOnly | kMultiLine, {}, "发送帧"},
};
constexpr MenuItemTemplate kFileItems[] = {{IDM_TRACE_START, "记录通讯…"}, {0, ""}, {IDM_EXIT, "退出"}};
constexpr MenuItemTemplate kToolItems[] = {{IDM_SCAN_BUS, "扫描总线…"}};
const MenuTemplate kMenus[] = {{"文件", kFileItems}, {"工具", kToolItems}};
const DialogTemplate kDialog = {900, "Quorvel", 170, 90, "MS Sans Serif", 8, kControls, kMenus};

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
    {kProgress, K::Progress, "", 4, 20, 136, 10, 0, {}, "扫描进度"},
    {kTable, K::Table, "", 4, 34, 136, 60, kTabStop, kHeadings, "扫描结果"},
};
const DialogTemplate kChild = {901, "扫描总线", 150, 100, "MS Sans Serif", 8, kChildControls};

class QtDialogWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.SetHandler(&handler);
    ASSERT_TRUE(ShowActive(window));
  }
  void TearDown() override { window.SetHandler(nullptr); }

  QtDialogWindow window{kDialog};
  RecordingHandler handler;
};

TEST_F(QtDialogWindowTest, EveryFocusLossReachesTheHandlerWhetherOrNotTheTextChanged) {
  for (const int id : {kEdit, kEditableList, kFixedList}) {
    SCOPED_TRACE(id);
    for (int round = 0; round < 2; ++round) {  // the second time nothing was typed
      FocusOn(window, id);
      handler.log.clear();
      FocusOn(window, kButton);
      EXPECT_EQ(handler.log, (std::vector<std::string>{"kill " + std::to_string(id), "set 40"}));
    }
  }
}

TEST_F(QtDialogWindowTest, AnEditableListsFocusIsTheListsNotItsInnerField) {
  FocusOn(window, kEdit);
  handler.log.clear();
  auto* list = static_cast<QComboBox*>(window.Control(kEditableList));
  list->lineEdit()->setFocus(Qt::MouseFocusReason);
  QCoreApplication::processEvents();
  FocusOn(window, kEdit);
  EXPECT_EQ(handler.log, (std::vector<std::string>{"kill 10", "set 20", "kill 20", "set 10"}));
}

TEST_F(QtDialogWindowTest, AClickMovesTheFocusToTheButtonAndReachesItsHandler) {
  FocusOn(window, kEdit);
  handler.log.clear();
  QTest::mouseClick(window.Control(kButton), Qt::LeftButton);
  EXPECT_EQ(handler.log, (std::vector<std::string>{"kill 10", "set 40", "click 40"}));
}

TEST_F(QtDialogWindowTest, ADisabledButtonIsDisabledInItsWidgetAndTakesNoClick) {
  window.EnableControl(kButton, false);
  EXPECT_FALSE(window.Control(kButton)->isEnabled());
  EXPECT_FALSE(window.IsControlEnabled(kButton));
  QTest::mouseClick(window.Control(kButton), Qt::LeftButton);
  EXPECT_TRUE(handler.Only("click").empty());
  window.EnableControl(kButton, true);
  EXPECT_TRUE(window.Control(kButton)->isEnabled());
}

TEST_F(QtDialogWindowTest, DisablingTheFocusedButtonDoesNotMoveTheFocusIntoAField) {
  handler.onNotify = [&](int id, Notification code) {
    if (code == Notification::Clicked) window.EnableControl(id, false);
  };
  FocusOn(window, kButton);
  handler.log.clear();
  QTest::keyClick(window.Control(kButton), Qt::Key_Space);
  QCoreApplication::processEvents();
  EXPECT_EQ(handler.log, (std::vector<std::string>{"click 40"}));
}

// The list tells the dialog that it drops down, and nothing else: its focus stays where it was.
TEST_F(QtDialogWindowTest, OpeningAndClosingAListsDropDownIsNoFocusChange) {
  for (const int id : {kFixedList, kEditableList}) {
    SCOPED_TRACE(id);
    FocusOn(window, id);
    handler.log.clear();
    auto* list = static_cast<QComboBox*>(window.Control(id));
    list->showPopup();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->view()->isVisible(); }));
    list->hidePopup();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !list->view()->isVisible(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(handler.log, std::vector<std::string>{"drop " + std::to_string(id)});
  }
}

TEST_F(QtDialogWindowTest, TextTypedIntoAnEditableListStaysAsTypedAndAddsNoEntry) {
  FocusOn(window, kEditableList);
  QWidget* list = window.Control(kEditableList);
  QTest::sendKeyEvent(QTest::Click, list, Qt::Key_unknown, QString::fromUtf8("巳"), Qt::NoModifier);
  EXPECT_EQ(window.GetText(kEditableList), "巳");
  QTest::keyClick(list, Qt::Key_Return);
  FocusOn(window, kEdit);
  EXPECT_EQ(window.GetText(kEditableList), "巳");
  EXPECT_EQ(window.ListEntries(kEditableList), (std::vector<std::string>{"未使能", "巳使能"}));
  EXPECT_EQ(window.ListSelection(kEditableList), -1);
}

TEST_F(QtDialogWindowTest, EnterRunsOnOkInEveryKindOfControlAndNeverCloses) {
  for (const int id : {kEdit, kEditableList, kFixedList, kButton, kLog}) {
    SCOPED_TRACE(id);
    FocusOn(window, id);
    handler.log.clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(handler.log, (std::vector<std::string>{"ok", "ok"}));
    EXPECT_TRUE(window.isVisible());
  }
}

TEST_F(QtDialogWindowTest, EscapeEndsTheModalRun) {
  window.hide();
  QTimer::singleShot(0, [&] {
    window.Control(kEdit)->setFocus();
    QTest::keyClick(window.Control(kEdit), Qt::Key_Escape);
  });
  QSignalSpy ended(&window, &QtDialogWindow::runEnded);
  window.RunModal();  // returns only when the run has ended
  EXPECT_EQ(ended.count(), 1);
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(handler.Only("ok").empty());
}

TEST_F(QtDialogWindowTest, TheCaptionIsTheTextSetAndTheModulePathIsTheExecutable) {
  const std::string path = window.ModuleFileName();
  EXPECT_EQ(QString::fromStdString(path), QCoreApplication::applicationFilePath());
  EXPECT_EQ(path.front(), '/');
  window.SetCaption(path);
  EXPECT_EQ(window.windowTitle(), QCoreApplication::applicationFilePath());
}

TEST_F(QtDialogWindowTest, PostedMessagesAreHandledBeforeTheNextTickAndNeverInsideAHandler) {
  handler.onTick = [&] {
    if (handler.ticks <= 3) window.PostMessage(WM_LINK_DONE, handler.ticks, 0);
  };
  handler.log.clear();
  ASSERT_EQ(window.SetTimer(1, 1), 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return handler.ticks >= 4; }));
  const std::vector<std::string> expected = {"tick", "posted 1224/1", "tick", "posted 1224/2",
                                             "tick", "posted 1224/3", "tick"};
  EXPECT_EQ(std::vector<std::string>(handler.log.begin(), handler.log.begin() + 7), expected);
  EXPECT_FALSE(handler.reentered);
}

TEST_F(QtDialogWindowTest, AMessagePostedByAClickIsHandledAfterTheClickHandlerReturns) {
  handler.onNotify = [&](int, Notification code) {
    if (code != Notification::Clicked) return;
    window.PostMessage(WM_LINK_DONE, 7, 0);
    handler.log.push_back("click handler done");
  };
  QTest::mouseClick(window.Control(kButton), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.PendingMessages() == 0; }));
  EXPECT_EQ(handler.Only("click").size(), 2u);
  EXPECT_EQ(handler.log.back(), "posted 1224/7");
  EXPECT_FALSE(handler.reentered);
}

// The message box of a capture holds the timer: a tick that overwrote the receive buffer before
// the reply was decoded would lose the reply.
TEST_F(QtDialogWindowTest, TicksAndPostedMessagesWaitWhileAMessageBoxFromAHandlerIsOpen) {
  int ticksWhenOpened = -1, ticksWhenClosed = -1;
  size_t postedWhenClosed = 99;
  QString title, text;
  handler.onNotify = [&](int, Notification code) {
    if (code != Notification::Clicked) return;
    window.PostMessage(WM_LINK_DONE, 9, 0);
    WhenModalOpens([&](QWidget* modal) {
      ticksWhenOpened = handler.ticks;
      // A witness timer with the same period proves timer events were dispatched meanwhile.
      int witnessed = 0;
      QTimer witness;
      QObject::connect(&witness, &QTimer::timeout, [&] { ++witnessed; });
      witness.start(1);
      EXPECT_TRUE(QTest::qWaitFor([&] { return witnessed >= 10; }));
      ticksWhenClosed = handler.ticks;
      postedWhenClosed = handler.Only("posted").size();
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      title = box->windowTitle();
      text = box->text();
      box->button(QMessageBox::Ok)->click();
    });
    window.MessageBox("请键入一个整数。");
  };
  ASSERT_EQ(window.SetTimer(1, 1), 1);
  QTest::mouseClick(window.Control(kButton), Qt::LeftButton);
  EXPECT_EQ(ticksWhenClosed, ticksWhenOpened);
  EXPECT_EQ(postedWhenClosed, 0u);
  EXPECT_EQ(title, QCoreApplication::applicationName());
  EXPECT_EQ(text, QString::fromUtf8("请键入一个整数。"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return handler.ticks > ticksWhenClosed + 2; }));
  EXPECT_EQ(handler.Only("posted"), (std::vector<std::string>{"posted 1224/9"}));
  EXPECT_FALSE(handler.reentered);
}

TEST_F(QtDialogWindowTest, F1OpensTheAboutBoxAndTicksGoOnWhileItIsOpen) {
  int ticksWhenOpened = -1, ticksWhenClosed = -1;
  QString caption;
  QStringList texts;
  handler.onSysCommand = [&](uint32_t) {
    WhenModalOpens([&](QWidget* about) {
      ticksWhenOpened = handler.ticks;
      EXPECT_TRUE(QTest::qWaitFor([&] { return handler.ticks >= ticksWhenOpened + 3; }));
      ticksWhenClosed = handler.ticks;
      caption = about->windowTitle();
      for (QLabel* label : about->findChildren<QLabel*>()) texts << label->text();
      for (QPushButton* button : about->findChildren<QPushButton*>()) texts << button->text();
      about->findChild<QPushButton*>()->click();
    });
    window.ShowAboutBox();
  };
  ASSERT_EQ(window.SetTimer(1, 1), 1);
  FocusOn(window, kButton);
  QTest::keyClick(window.Control(kButton), Qt::Key_F1);
  EXPECT_EQ(handler.Only("sys"), (std::vector<std::string>{"sys 16"}));
  EXPECT_GE(ticksWhenClosed, ticksWhenOpened + 3);
  EXPECT_EQ(caption, QString::fromUtf8("关于Quorvel"));
  EXPECT_TRUE(texts.contains(QString::fromUtf8("Quorvel 1.0 版")));
  EXPECT_TRUE(texts.contains(QString::fromUtf8("确定")));
}

TEST_F(QtDialogWindowTest, ControlsAreNamedByTheirLabelsAndDescribedByTheirIds) {
  struct Row {
    int id;
    const char* name;
  };
  const Row rows[] = {{kEdit, "编号"},  // the label before it
                      {kEditableList, "出口使能"},
                      {kFixedList, "编号"},
                      {kButton, "读参数"},
                      {kLog, "发送帧"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    EXPECT_EQ(SpokenName(window.Control(row.id)), QString::fromUtf8(row.name));
    EXPECT_EQ(window.Control(row.id)->accessibleDescription(), QString::number(row.id));
  }
}

TEST_F(QtDialogWindowTest, SettingTheTextAFieldAlreadyShowsLeavesTheWidgetAlone) {
  auto* edit = static_cast<QLineEdit*>(window.Control(kEdit));
  window.SetText(kEdit, "230.5");
  edit->setCursorPosition(2);
  window.SetText(kEdit, "230.5");
  EXPECT_EQ(edit->cursorPosition(), 2);

  // The log keeps the text with its own line breaks and gives back exactly what it was given.
  window.SetText(kLog, "第 1 次发送\r\n01 03");
  auto* log = static_cast<QPlainTextEdit*>(window.Control(kLog));
  const int revision = log->document()->revision();
  window.SetText(kLog, "第 1 次发送\r\n01 03");
  EXPECT_EQ(log->document()->revision(), revision);
  EXPECT_EQ(window.GetText(kLog), "第 1 次发送\r\n01 03");
}

// The dialog passes over a field while its stamp stands still, so every way its text can change
// must move the stamp: the operator typing, choosing or pasting, and the window's own setting.
TEST_F(QtDialogWindowTest, EveryChangeOfAFieldsTextMovesItsStampAndReadingItDoesNot) {
  auto* edit = static_cast<QLineEdit*>(window.Control(kEdit));
  auto* editable = static_cast<QComboBox*>(window.Control(kEditableList));
  auto* fixed = static_cast<QComboBox*>(window.Control(kFixedList));
  const std::pair<int, std::function<void()>> changes[] = {
      {kEdit, [&] { QTest::keyClicks(edit, "5"); }},
      {kEdit, [&] { QTest::keyClick(edit, Qt::Key_Backspace); }},
      {kEdit, [&] { edit->insert("12"); }},  // as a paste or a drop does
      {kEdit, [&] { window.SetText(kEdit, "230.5"); }},
      {kEditableList, [&] { QTest::keyClicks(editable, "9"); }},
      {kEditableList, [&] { QTest::keyClick(editable, Qt::Key_Down); }},
      {kEditableList, [&] { window.SetText(kEditableList, "12"); }},
      {kFixedList, [&] { QTest::keyClick(fixed, Qt::Key_Down); }},
      {kFixedList, [&] { window.SetText(kFixedList, "COM3:"); }},
      {kLog, [&] { window.SetText(kLog, "01 03"); }},
  };
  for (const auto& [id, change] : changes) {
    FocusOn(window, id == kLog ? kEdit : id);
    const uint64_t before = window.TextStamp(id);
    const std::string text = window.GetText(id);
    EXPECT_EQ(window.TextStamp(id), before) << id;
    change();
    EXPECT_NE(window.TextStamp(id), before) << id << " " << window.GetText(id);
    EXPECT_NE(window.GetText(id), text) << id;
  }
}

// A log takes each new text in place, not with setPlainText, and must be left exactly as
// setPlainText leaves it: the same picture, the cursor at the start with nothing selected, the
// view at the top, whatever the operator had scrolled to or selected in the text before.
TEST_F(QtDialogWindowTest, ALogGivenANewTextLooksAndActsAsIfTheTextWereSetAnew) {
  QtDialogWindow fresh{kDialog};
  ASSERT_TRUE(ShowActive(fresh));
  auto* inPlace = static_cast<QPlainTextEdit*>(window.Control(kLog));
  auto* setAnew = static_cast<QPlainTextEdit*>(fresh.Control(kLog));
  std::string dump = "第 12 次接收信息帖(Hex) : ";
  for (int k = 0; k < 143; ++k) dump += "8A ";
  const std::string texts[] = {dump, "第 13 次接收失败", "", dump.substr(0, 80) + "\r\n第二行",
                               dump};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    for (QPlainTextEdit* log : {inPlace, setAnew}) {  // the operator reads further down
      QTextCursor selection(log->document());
      selection.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
      log->setTextCursor(selection);
      log->verticalScrollBar()->setValue(log->verticalScrollBar()->maximum());
    }
    window.SetText(kLog, text);
    setAnew->setPlainText(QString::fromStdString(text));
    QCoreApplication::processEvents();
    EXPECT_EQ(inPlace->toPlainText(), setAnew->toPlainText());
    EXPECT_EQ(inPlace->textCursor().position(), setAnew->textCursor().position());
    EXPECT_EQ(inPlace->textCursor().anchor(), setAnew->textCursor().anchor());
    EXPECT_EQ(inPlace->verticalScrollBar()->value(), setAnew->verticalScrollBar()->value());
    EXPECT_EQ(inPlace->verticalScrollBar()->maximum(), setAnew->verticalScrollBar()->maximum());
    EXPECT_TRUE(inPlace->grab().toImage() == setAnew->grab().toImage());
  }
  EXPECT_FALSE(inPlace->document()->isUndoAvailable());
}

TEST_F(QtDialogWindowTest, ListsStartWithoutASelectionAndAFixedListShowsOnlyItsEntries) {
  EXPECT_EQ(window.ListSelection(kFixedList), -1);
  EXPECT_EQ(window.GetText(kFixedList), "");
  window.SetText(kFixedList, "COM2:");
  EXPECT_EQ(window.ListSelection(kFixedList), 1);
  window.SetText(kFixedList, "COM7:");
  EXPECT_EQ(window.GetText(kFixedList), "");
  window.SelectListEntry(kEditableList, 1);
  EXPECT_EQ(window.GetText(kEditableList), "巳使能");
  EXPECT_EQ(window.ListSelection(kEditableList), 1);
}

// F10 opens the first menu. A menu takes no focus, so no field's editor runs.
TEST_F(QtDialogWindowTest, AMenuCommandReachesTheHandlerAndAGreyedOneDoesNot) {
  FocusOn(window, kEdit);
  handler.log.clear();
  const auto choose = [&](int commandId, bool byF10) {
    QAction* item = window.MenuItem(commandId);
    auto* menu = qobject_cast<QMenu*>(item->parent());
    if (byF10) {
      QTest::keyClick(window.Control(kEdit), Qt::Key_F10);
    } else {
      window.MenuBar()->setActiveAction(menu->menuAction());
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activePopupWidget() == menu; }));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    menu->hide();  // a greyed item leaves its menu open
  };
  choose(IDM_EXIT, true);
  window.EnableMenuItem(IDM_SCAN_BUS, false);
  choose(IDM_SCAN_BUS, false);
  window.EnableMenuItem(IDM_SCAN_BUS, true);
  choose(IDM_SCAN_BUS, false);
  EXPECT_EQ(handler.log, (std::vector<std::string>{"menu 32800", "menu 32811"}));
}

// The scan window is opened from a menu command, inside the owner's handler. Its click, its own
// tick and its posted message reach it in turn while the owner's ticks go on; it ends by its
// EndDialog, by Escape or by its close command.
TEST_F(QtDialogWindowTest, AChildDialogTakesItsInputInTurnWhileTheOwnersTicksGoOn) {
  enum class End { Itself, Escape, Close };
  for (const End end : {End::Itself, End::Escape, End::Close}) {
    RecordingChild child;
    int ownerTicksAtOpen = 1 << 30;
    child.onNotify = [&](int, Notification code) {
      if (code != Notification::Clicked) return;
      child.window->PostMessage(0x8000, 1, 0);
      child.window->SetTimer(7, 1);
    };
    child.onTick = [&] {
      if (end == End::Itself && handler.ticks >= ownerTicksAtOpen + 3) child.window->EndDialog();
    };
    handler.onMenuCommand = [&](int) { window.RunChildDialog(kChild, child); };
    WhenModalOpens([&](QWidget* modal) {
      auto* opened = static_cast<QtDialogWindow*>(modal);
      ownerTicksAtOpen = handler.ticks;
      QTest::keyClick(opened->Control(kCheck), Qt::Key_Return);  // the default button
      if (end == End::Itself) return;
      ASSERT_TRUE(QTest::qWaitFor([&] { return child.ticks > 0; }));
      ASSERT_TRUE(QTest::qWaitFor([&] { return handler.ticks >= ownerTicksAtOpen + 3; }));
      if (end == End::Escape) QTest::keyClick(opened->Control(kCheck), Qt::Key_Escape);
      if (end == End::Close) opened->close();
    });
    ASSERT_EQ(window.SetTimer(1, 1), 1);
    window.MenuItem(IDM_SCAN_BUS)->trigger();
    std::vector<std::string> turns;
    for (const std::string& entry : child.log) {
      if (entry.rfind("set", 0) != 0 && entry.rfind("kill", 0) != 0) turns.push_back(entry);
    }
    ASSERT_GE(turns.size(), 5u) << static_cast<int>(end);
    EXPECT_EQ(std::vector<std::string>(turns.begin(), turns.begin() + 4),
              (std::vector<std::string>{"attach", "click 61", "posted 32768/1", "tick"}));
    EXPECT_EQ(turns.back(), "detach");
    EXPECT_GE(handler.ticks, ownerTicksAtOpen + 3);  // inside the menu command's handler
    EXPECT_FALSE(child.reentered);
  }
}

// Raised inside a handler, a file chooser holds ticks and posted messages as a message box does.
TEST_F(QtDialogWindowTest, AFileChooserGivesThePathChosenOrNothingAndHoldsTheTicksMeanwhile) {
  QTemporaryDir folder;
  ASSERT_EQ(window.SetTimer(1, 1), 1);
  for (const char* typed : {"扫描 结果", static_cast<const char*>(nullptr)}) {
    std::optional<std::string> answer;
    int ticksWhenOpened = -1, ticksWhenClosed = -2;
    handler.onNotify = [&](int, Notification code) {
      if (code != Notification::Clicked) return;
      window.PostMessage(WM_LINK_DONE, 3, 0);
      WhenModalOpens([&](QWidget* modal) {
        auto* chooser = static_cast<QFileDialog*>(modal);
        ticksWhenOpened = handler.ticks;
        QTest::qWait(30);
        ticksWhenClosed = handler.ticks;
        if (typed == nullptr) return chooser->reject();
        auto* name = chooser->findChild<QLineEdit*>("fileNameEdit");
        name->selectAll();
        QTest::sendKeyEvent(QTest::Click, name, Qt::Key_unknown, QString::fromUtf8(typed),
                            Qt::NoModifier);
        QMetaObject::invokeMethod(chooser, "accept");  // as its 保存 button does
      });
      answer = window.AskSaveFile("记录通讯", folder.filePath("记录.csv").toStdString(),
                                  "CSV (*.csv)");
    };
    QTest::mouseClick(window.Control(kButton), Qt::LeftButton);
    EXPECT_EQ(ticksWhenClosed, ticksWhenOpened);
    // A name typed without an extension gets the filter's.
    EXPECT_EQ(answer, typed == nullptr ? std::nullopt
                                       : std::optional(folder.filePath("扫描 结果.csv").toStdString()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return handler.Only("posted").size() == 1; }));
    handler.log.clear();
  }
  EXPECT_FALSE(window.OpenFolder(folder.filePath("没有").toStdString()));
}

TEST(QtChildControlsTest, CheckBoxesProgressBarsAndTablesShowTheirTextsAndTheOperatorsChoice) {
  QtDialogWindow window{kChild};
  RecordingHandler handler;
  window.SetHandler(&handler);
  ASSERT_TRUE(ShowActive(window));
  const std::pair<int, const char*> texts[] = {
      {kCheck, "1"}, {kCheck, ""}, {kProgress, "40"}, {kTable, "1\t9600\n17\t19200"}, {kTable, ""}};
  for (const auto& [id, text] : texts) {
    const uint64_t stamp = window.TextStamp(id);
    window.SetText(id, text);
    EXPECT_EQ(window.GetText(id), text);
    EXPECT_NE(window.TextStamp(id), stamp) << id;
  }
  window.SetText(kProgress, "250");
  EXPECT_EQ(static_cast<QProgressBar*>(window.Control(kProgress))->value(), 100);

  const uint64_t stamp = window.TextStamp(kCheck);
  QTest::mouseClick(window.Control(kCheck), Qt::LeftButton);
  EXPECT_EQ(window.GetText(kCheck), "1");
  EXPECT_NE(window.TextStamp(kCheck), stamp);
  QTest::keyClick(window.Control(kCheck), Qt::Key_Space);
  EXPECT_EQ(window.GetText(kCheck), "");

  auto* table = static_cast<QTreeWidget*>(window.Control(kTable));
  window.SetText(kTable, "1\t9600\n17\t19200\n30\t4800");
  EXPECT_EQ(table->topLevelItem(2)->text(1), "4800");
  window.SelectListEntry(kTable, 0);  // the logic's choice is no click
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                    table->visualItemRect(table->topLevelItem(2)).center());
  EXPECT_EQ(window.ListSelection(kTable), 2);
  QTest::keyClick(table, Qt::Key_Up);
  EXPECT_EQ(window.ListSelection(kTable), 1);
  window.SetText(kTable, "1\t9600\n17\t19200");  // the row selected is still there
  EXPECT_EQ(window.ListSelection(kTable), 1);
  window.SetText(kTable, "1\t9600");
  EXPECT_EQ(window.ListSelection(kTable), -1);
  QTest::keyClick(table, Qt::Key_Return);  // the default button
  window.EnableControl(kStart, false);
  QTest::keyClick(table, Qt::Key_Return);  // a greyed default button does nothing
  EXPECT_EQ(handler.Only("click"), (std::vector<std::string>{"click 60", "click 60", "click 63",
                                                             "click 63", "click 61"}));
  window.SetHandler(nullptr);
}

}  // namespace
