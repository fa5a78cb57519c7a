// Start-up, the About item and the application's run, on the headless window.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "console/console_app.h"
#include "console/host_settings.h"
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

TEST_F(ConsoleTest, TheMenuBarsAboutOpensTheAboutBoxAndExitEndsTheRun) {
  Start();
  window.ChooseMenu(IDM_SCAN_BUS);  // not the dialog's own yet
  EXPECT_EQ(window.m_aboutBoxes, 0);
  EXPECT_FALSE(window.m_dialogEnded);
  window.ChooseMenu(IDM_HELP_ABOUT);
  EXPECT_EQ(window.m_aboutBoxes, 1);
  EXPECT_FALSE(window.m_dialogEnded);
  window.ChooseMenu(IDM_EXIT);
  EXPECT_TRUE(window.m_dialogEnded);
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
    statusAtStart = window.GetText(IDC_STATUS);
    window.Ticks(8);
    if (during) during();
    txCountText = window.GetText(1009);
  }

  HeadlessWindow window;
  int runs = 0;
  std::string captionDuringRun;
  std::string txCountText;
  std::string statusAtStart;
  std::function<void()> during;  // what the operator does while the window runs

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

#ifndef _WIN32
// The line chosen in one run is the line of the next: saved at the end, taken at the start.
TEST_F(ConsoleAppTest, TheHostSettingsOfARunAreTheStartOfTheNext) {
  during = [this] {
    window.Focus(IDC_BAUD);
    window.Choose(IDC_BAUD, 6);  // 19200
    window.Focus(IDC_PARITY);
    window.Choose(IDC_PARITY, 2);  // EVEN
    window.Focus(IDC_SLAVE_ADDRESS);
    window.Type(IDC_SLAVE_ADDRESS, "7");
    window.Focus(IDC_TX_LOG);
  };
  ConsoleApp(*this).InitInstance();
  const auto saved = LoadHostSettings(HostSettingsPath());
  ASSERT_TRUE(saved.settings) << saved.notice;
  EXPECT_EQ(saved.settings->baud, 19200u);
  EXPECT_EQ(saved.settings->address, 7);

  during = nullptr;
  ConsoleApp(*this).InitInstance();
  EXPECT_EQ(window.GetText(IDC_BAUD), "19200");
  EXPECT_EQ(window.GetText(IDC_PARITY), "EVEN");
  EXPECT_EQ(window.GetText(IDC_SLAVE_ADDRESS), "7");

  // --defaults starts as without a file, and leaves the file as it was.
  const std::string before = FormatHostSettings(*saved.settings);
  StartOptions defaults;
  defaults.defaults = true;
  ConsoleApp(*this, defaults).InitInstance();
  EXPECT_EQ(window.GetText(IDC_BAUD), "9600");
  EXPECT_EQ(FormatHostSettings(*LoadHostSettings(HostSettingsPath()).settings), before);
}

// A file that cannot be taken is said in 提示信息 (a Windows user sees no standard error) and the
// start is as without one. The test runs as root in CI, so a folder stands where the file should.
TEST_F(ConsoleAppTest, ASettingsFileThatCannotBeTakenIsSaidAndIgnored) {
  const std::filesystem::path file = std::filesystem::u8path(HostSettingsPath());
  const struct {
    const char* text;  // nullptr: a folder at the file's path
    const char* said;
  } cases[] = {
      {"[host]\nprotocol=Modbus RTU\naddress=300\n", "第 3 行的 address 不在可选范围内"},
      {"\x01\x02garbage", "第 1 行不是设定"},
      {"[host]\nbaud=9600\n", "缺少 protocol"},
      {nullptr, "无法读取（不是文件）"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.said);
    std::filesystem::remove_all(file);
    if (c.text != nullptr) {
      std::ofstream(file) << c.text;
    } else {
      std::filesystem::create_directories(file);
    }
    ConsoleApp(*this).InitInstance();
    EXPECT_EQ(statusAtStart.rfind("通讯设定文件 " + HostSettingsPath() + " " + c.said + "，使用默认设定", 0),
              0u)
        << statusAtStart;
    EXPECT_EQ(window.GetText(IDC_BAUD), "9600");
  }
}
#endif

// The settings file goes through a path with Chinese characters (a Chinese user name) both ways.
TEST(HostSettingsFile, IsWrittenAndReadThroughAPathWithChineseCharacters) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / std::filesystem::path(u8"quorvel-操作员-设定");
  std::filesystem::remove_all(folder);
  const std::u8string utf8 = (folder / "quorvel.ini").u8string();
  const std::string file(utf8.begin(), utf8.end());
  HostSettings settings;
  settings.port = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  settings.baud = 4800;
  settings.stopBits = 1;
  ASSERT_EQ(SaveHostSettings(file, settings), std::nullopt);
  const LoadedHostSettings loaded = LoadHostSettings(file);
  ASSERT_TRUE(loaded.settings) << loaded.notice;
  EXPECT_EQ(*loaded.settings, settings);
  std::filesystem::remove_all(folder);
}

TEST(HostSettingsFile, TakesOnlyValuesTheSettingsRowOffers) {
  const std::string good = FormatHostSettings(HostSettings{});
  ASSERT_TRUE(ParseHostSettings(good).settings);
  const std::pair<const char*, const char*> bad[] = {
      {"protocol=Modbus RTU", "protocol=Modbus TCP"}, {"address=1", "address=0"},
      {"address=1", "address=4294967297"},            {"port=COM1", "port=COM10"},
      {"port=COM1", "port=ttyUSB0"},                  {"baud=9600", "baud=115200"},
      {"parity=NONE", "parity=none"},                 {"data_bits=8", "data_bits=9"},
      {"stop_bits=2", "stop_bits=1.5"},               {"[host]", "[other]"},
      {"baud=9600", "baud=9600\nbaud=9600"},         {"port=COM1", "port=/dev/x\x1b[2J"},
  };
  for (const auto& [from, to] : bad) {
    std::string text = good;
    text.replace(text.find(from), std::string(from).size(), to);
    EXPECT_FALSE(ParseHostSettings(text).settings) << to;
  }
}

// The window program's options: --trace and --log take a file each; one without its file is
// refused with the usage.
TEST(StartOptionsTest, TakeAFileForTheCaptureAndTheDataLog) {
  const struct {
    std::vector<std::string> args;
    bool taken;
    const char* trace;
    const char* log;
  } cases[] = {
      {{"--trace", "通讯 记录.csv", "--defaults"}, true, "通讯 记录.csv", ""},
      {{"--log", "d.csv", "--trace", "t.csv"}, true, "t.csv", "d.csv"},
      {{"--trace"}, false, "", ""},
      {{"--log", "--defaults"}, false, "", ""},
      {{"--record", "r.csv"}, false, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front());
    StartOptions options;
    std::string error;
    EXPECT_EQ(ParseStartOptions(c.args, options, error), c.taken) << error;
    if (!c.taken) {
      EXPECT_NE(error.find("usage: quorvel"), std::string::npos);
    }
    EXPECT_EQ(options.trace, c.trace);
    EXPECT_EQ(options.log, c.log);
  }
}

}  // namespace
