// Start-up, the About item and the application's run, on the headless window.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "console/console_app.h"
#include "console_fixture.h"

namespace {

TEST_F(ConsoleTest, StartUpLeavesTimerOneRunningAndTheCountersAtZero) {
  Start();
  EXPECT_EQ(window.TimerId(), 1);
  EXPECT_EQ(window.TimerPeriod(), 50);
  EXPECT_EQ(dialog.m_timerId, 1);
  EXPECT_EQ(window.GetText(1069), "S0/F0");
  EXPECT_EQ(dialog.m_rxCount, 0);
  EXPECT_EQ(dialog.m_paramsValid, 0);
  EXPECT_EQ(dialog.m_regIndex, kParameterFirst);
  EXPECT_EQ(dialog.m_regTable[kParameterFirst].address, 0x300);
  EXPECT_TRUE(window.MessageBoxes().empty());
}

TEST_F(ConsoleTest, TheCaptionIsTheModulePath) {
  window.m_moduleFileName = "/home/operator/工具/quorvel";
  Start();
  EXPECT_EQ(window.Caption(), "/home/operator/工具/quorvel");
  EXPECT_EQ(dialog.m_modulePath, window.Caption());
}

TEST_F(ConsoleTest, ALongModulePathIsCutAt260BytesWithoutSplittingACharacter) {
  // 258 bytes, then a three-byte character that would straddle the limit.
  window.m_moduleFileName = "/" + std::string(257, 'a') + "表/quorvel";
  Start();
  EXPECT_EQ(window.Caption(), "/" + std::string(257, 'a'));
}

TEST_F(ConsoleTest, WithoutATimerStartUpShowsTheMessageAndSendsNothing) {
  window.m_timerAvailable = false;
  EXPECT_FALSE(dialog.OnInitDialog());
  ASSERT_EQ(window.MessageBoxes().size(), 1u);
  EXPECT_EQ(window.MessageBoxes()[0], "Set timer error !");
  EXPECT_TRUE(wire->written.empty());
}

TEST_F(ConsoleTest, TheAboutItemOpensTheAboutBoxAndOtherCommandsDoNot) {
  Start();
  dialog.OnSysCommand(0x0010);
  dialog.OnSysCommand(0x0013);  // the low four bits are the window manager's
  dialog.OnSysCommand(0xF060);  // close
  dialog.OnSysCommand(0x0020);
  EXPECT_EQ(window.m_aboutBoxes, 2);
}

// The application on a headless host, over the platform's own line: COM1 is pointed at a device
// that does not exist, so the port stays closed. (On Windows the system names its ports; the
// Windows tests run in a Wine prefix whose COM1 leads to nothing while they run.)
class ConsoleAppTest : public ::testing::Test, public DialogHost {
 protected:
#ifndef _WIN32
  void SetUp() override {
    char pattern[] = "/tmp/quorvel-app-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_dir = pattern;
    std::filesystem::create_directories(m_dir / "quorvel/ports");
    std::filesystem::create_symlink(m_dir / "no-such-device", m_dir / "quorvel/ports/COM1");
    const char* old = getenv("XDG_CONFIG_HOME");
    m_hadOld = old != nullptr;
    if (m_hadOld) m_old = old;
    setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
  }
  void TearDown() override {
    if (m_hadOld) {
      setenv("XDG_CONFIG_HOME", m_old.c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
    std::filesystem::remove_all(m_dir);
  }
#endif

  DialogWindow& Window() override { return window; }
  void RunModal() override {
    ++runs;
    captionDuringRun = window.Caption();
    window.Ticks(8);
    txCountText = window.GetText(1009);
  }

  HeadlessWindow window;
  int runs = 0;
  std::string captionDuringRun;
  std::string txCountText;

 private:
  std::filesystem::path m_dir;
  bool m_hadOld = false;
  std::string m_old;
};

TEST_F(ConsoleAppTest, ARunStartsTheDialogRunsItAndEndsWithCodeZero) {
  ConsoleApp app(*this);
  EXPECT_EQ(app.InitInstance(), 0);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(captionDuringRun, window.m_moduleFileName);
  EXPECT_EQ(window.GetText(1007), "COM1: 打不开 ");
  EXPECT_EQ(txCountText, "");  // nothing written, nothing logged
  window.Tick();  // the dialog is gone: the window no longer calls into it
  EXPECT_EQ(window.GetText(1009), txCountText);
}

TEST_F(ConsoleAppTest, WithoutATimerTheRunEndsWithCodeMinusOneAndTheMessage) {
  window.m_timerAvailable = false;
  ConsoleApp app(*this);
  EXPECT_EQ(app.InitInstance(), -1);
  EXPECT_EQ(runs, 0);
  ASSERT_EQ(window.MessageBoxes().size(), 1u);
  EXPECT_EQ(window.MessageBoxes()[0], "Set timer error !");
}

}  // namespace
