#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <clocale>
#include <cstdlib>

#include "console/main_dialog.h"
#include "tests/qt/qt_test_support.h"

namespace {

bool Interactive(ControlKind kind) {
  return kind != ControlKind::Label && kind != ControlKind::GroupBox && kind != ControlKind::Icon;
}

// Template 102 as the operator sees it.
class QtMainTemplateTest : public ::testing::Test {
 protected:
  QtDialogWindow window{MainDialogTemplate()};
};

// The menu bar adds its height to the window and takes none from the dialog.
TEST_F(QtMainTemplateTest, TheDialogIsItsDialogUnitsInPixelsUnderTheMenuBarAndFitsASmallScreen) {
  const double dpi = window.logicalDpiY();
  QWidget* client = window.ClientArea();
  EXPECT_EQ(client->width(), DialogUnitsToPixelsX(503, dpi));
  EXPECT_EQ(client->height(), DialogUnitsToPixelsY(374, dpi));
  if (dpi == 96) {
    EXPECT_EQ(client->size(), QSize(755, 608));
  }
  ASSERT_NE(window.MenuBar(), nullptr);
  const int bar = window.MenuBar()->height();
  EXPECT_GE(bar, QFontMetrics(window.MenuBar()->font()).height());
  EXPECT_EQ(window.MenuBar()->geometry(), QRect(0, 0, client->width(), bar));
  EXPECT_EQ(client->pos(), QPoint(0, bar));
  EXPECT_EQ(window.size(), client->size() + QSize(0, bar));
  const ControlTemplate* log = FindControl(MainDialogTemplate(), 1009);  // in its template cell
  EXPECT_EQ(window.Control(1009)->mapTo(&window, QPoint()),
            QPoint(DialogUnitsToPixelsX(log->x, dpi), bar + DialogUnitsToPixelsY(log->y, dpi)));
  EXPECT_LE(window.height() + 40, 768);  // with a caption bar, on a 1366 x 768 screen
  QStringList menus;
  for (QAction* menu : window.MenuBar()->actions()) {
    menus << menu->text();
    for (QAction* item : menu->menu()->actions()) menus << item->text();
  }
  EXPECT_EQ(menus, QStringList({"文件", "参数另存为…", "载入参数…", "", "记录通讯…",
                                "停止记录通讯", "记录数据…", "停止记录数据", "打开操作记录文件夹", "",
                                "退出", "工具", "扫描总线…", "帮助", "关于"}));
}

TEST_F(QtMainTemplateTest, EveryControlLiesInsideTheWindowAndNoTwoFieldsOrButtonsOverlap) {
  std::vector<std::pair<int, QRect>> placed;
  for (const ControlTemplate& c : MainDialogTemplate().controls) {
    if (c.id == IDC_STATIC || (c.style & kHidden) != 0) continue;
    const QRect r = window.Control(c.id)->geometry();
    EXPECT_TRUE(window.ClientArea()->rect().contains(r)) << c.id;
    if (!Interactive(c.kind)) continue;
    for (const auto& [other, rect] : placed) {
      EXPECT_FALSE(r.intersects(rect)) << c.id << " overlaps " << other;
    }
    placed.emplace_back(c.id, r);
  }
}

TEST_F(QtMainTemplateTest, EveryControlHasANameAndItsIdAsDescription) {
  for (const ControlTemplate& c : MainDialogTemplate().controls) {
    if (c.id == IDC_STATIC) continue;
    SCOPED_TRACE(c.id);
    EXPECT_FALSE(SpokenName(window.Control(c.id)).isEmpty());
    EXPECT_EQ(window.Control(c.id)->accessibleDescription(), QString::number(c.id));
  }
  const std::pair<int, const char*> spots[] = {
      {1001, "Uan"}, {1073, "编号"}, {1099, "读参数"}, {1009, "发送帧"}, {1041, "总 +KWh"}};
  for (const auto& [id, name] : spots) {
    EXPECT_EQ(SpokenName(window.Control(id)), QString::fromUtf8(name)) << id;
  }
}

TEST_F(QtMainTemplateTest, EditableListsAreTheOnesThatTakeTypedText) {
  for (const ControlTemplate& c : MainDialogTemplate().controls) {
    auto* list = qobject_cast<QComboBox*>(window.Control(c.id));
    if (list == nullptr) continue;
    SCOPED_TRACE(c.id);
    EXPECT_EQ(list->isEditable(), c.kind == ControlKind::DropDown);
    EXPECT_EQ(list->count(), static_cast<int>(c.entries.size()));
    if (list->isEditable()) {
      EXPECT_EQ(list->completer(), nullptr);
      EXPECT_EQ(list->insertPolicy(), QComboBox::NoInsert);
    }
  }
}

// The whole console on the real window, with COM1 pointing at no device.
class QtMainDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(home.isValid());
    const QString ports = home.filePath("quorvel/ports");
    ASSERT_TRUE(QDir().mkpath(ports));
    ASSERT_TRUE(QFile::link(home.filePath("no-such-tty"), ports + "/COM1"));
    ::setenv("XDG_CONFIG_HOME", home.path().toUtf8().constData(), 1);
    window.SetHandler(&dialog);
    ASSERT_TRUE(dialog.OnInitDialog());
  }
  void TearDown() override { window.SetHandler(nullptr); }

  QTemporaryDir home;
  QtDialogWindow window{MainDialogTemplate()};
  MainDialog dialog{window};
};

TEST_F(QtMainDialogTest, StartUpShowsTheExecutablePathAndLeavesTheFocusOnTheSendLog) {
  QWidget* focused = nullptr;
  QString pollButton;
  QTimer::singleShot(0, [&] {
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    focused = QApplication::focusWidget();
    pollButton = static_cast<QPushButton*>(window.Control(1068))->text();
    window.close();
  });
  window.RunModal();
  EXPECT_EQ(window.windowTitle(), QCoreApplication::applicationFilePath());
  EXPECT_EQ(focused, window.Control(1009));
  EXPECT_EQ(dialog.m_autoPoll != 0, true);  // the send log has no focus handler
  EXPECT_FALSE(pollButton.isEmpty());
}

// A screen reader says what the button shows, not the caption the template started it with.
TEST_F(QtMainDialogTest, TheContinuousReadingButtonIsCalledWhatItShows) {
  auto* button = static_cast<QPushButton*>(window.Control(1068));
  for (const char* shown : {"暂停读数据", "连续读数据", "暂停读数据"}) {
    EXPECT_EQ(button->text(), QString::fromUtf8(shown));
    EXPECT_EQ(SpokenName(button), QString::fromUtf8(shown));
    dialog.OnNotify(1068, Notification::Clicked);
  }
}

TEST_F(QtMainDialogTest, TypingIntoAFieldAndTabbingAwayRunsItsEditorAndShowsTheRefreshedText) {
  dialog.m_paramsValid = 1;  // as after the parameter block was read
  ASSERT_TRUE(ShowActive(window));
  auto* setpoint = static_cast<QLineEdit*>(window.Control(1059));
  FocusOn(window, 1059);
  EXPECT_EQ(dialog.m_autoPoll, 0);  // entering a field stops continuous reading
  setpoint->selectAll();
  QTest::keyClicks(setpoint, "1.5");
  FocusOn(window, 1050);
  // Printed with a decimal point even when the user's locale writes a decimal comma.
  EXPECT_EQ(setpoint->text(), QString("1.500")) << "decimal-comma locale: " << g_decimalCommaLocale;
}

}  // namespace
