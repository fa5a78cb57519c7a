// The port list on the real POSIX line: an adapter under a by-id folder is listed by name, chosen,
// unplugged and plugged in again under another kernel name, and found again through its by-id
// link. A test folder stands in for /dev/serial/by-id, pseudo-terminals for the adapters.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console/main_dialog.h"
#include "link/pty_support.h"
#include "window/headless_window.h"

namespace {

namespace fs = std::filesystem;

constexpr int kTicksPerSecond = 20;
constexpr const char* kLink = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
constexpr const char* kName = "FT232R A50285BI (pts/";

class AdapterListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MainDialog::s_pollBlock = 0;
    ASSERT_TRUE(first.ok());
    byId = home.root() / "by-id";
    fs::create_directories(byId);
    ::setenv("QUORVEL_SERIAL_BY_ID", byId.c_str(), 1);
    home.Link("COM1", (home.root() / "nothing").string());
    window.SetHandler(&dialog);
    ASSERT_TRUE(dialog.OnInitDialog());
  }
  void TearDown() override {
    window.SetHandler(nullptr);
    ::unsetenv("QUORVEL_SERIAL_BY_ID");
  }

  // The entry of the port list whose name begins so, after the list dropped down; -1 for none.
  int EntryStarting(const std::string& prefix) {
    window.DropDown(IDC_PORT);
    const std::vector<std::string> entries = window.ListEntries(IDC_PORT);
    for (size_t k = 0; k < entries.size(); ++k) {
      if (entries[k].rfind(prefix, 0) == 0) return static_cast<int>(k);
    }
    return -1;
  }

  template <typename Condition>
  bool TickUntil(Condition done) {
    for (int k = 0; k < 3 * kTicksPerSecond; ++k) {
      window.Tick();
      if (done()) return true;
    }
    return false;
  }

  PortsHome home;
  fs::path byId;
  RawPty first;
  HeadlessWindow window;
  MainDialog dialog{window};
};

TEST_F(AdapterListTest, AnAdapterIsListedChosenUnpluggedAndFoundAgainUnderAnotherKernelName) {
  const fs::path link = byId / kLink;
  fs::create_symlink(first.slavePath, link);
  const int entry = EntryStarting(kName);
  ASSERT_GE(entry, 9) << "after COM1: to COM9:";
  const std::string name = window.ListEntries(IDC_PORT)[static_cast<size_t>(entry)];
  window.Choose(IDC_PORT, entry);
  window.Focus(IDC_TX_LOG);
  ASSERT_EQ(dialog.m_link.m_isOpen, 1);
  EXPECT_EQ(dialog.m_link.m_boundPath, link.string());
  EXPECT_EQ(window.GetText(IDC_COMM_SUMMARY), name + ":9600,N,8,2");
  window.Click(IDC_READ_PARAMS);
  EXPECT_TRUE(first.MasterReadable());

  // Pulled out: the link goes with the device, and the entry stays, marked, still chosen.
  first.HangUp();
  fs::remove(link);
  ASSERT_TRUE(TickUntil([&] { return dialog.m_link.m_isOpen == 0; }));
  EXPECT_EQ(EntryStarting(kName), entry);
  EXPECT_EQ(window.GetText(IDC_PORT), name + " (已拔出)");
  window.Focus(IDC_TX_LOG);

  // Back on another socket: another kernel name behind the same by-id link.
  RawPty second;
  ASSERT_TRUE(second.ok());
  fs::create_symlink(second.slavePath, link);
  ASSERT_TRUE(TickUntil([&] { return dialog.m_link.m_isOpen == 1; }));
  EXPECT_EQ(window.GetText(IDC_STATUS).rfind(std::string("串口已重新打开：") + kName, 0), 0u)
      << window.GetText(IDC_STATUS);
  EXPECT_NE(window.GetText(IDC_STATUS).find("（" + second.slavePath + "）"), std::string::npos);
  if (dialog.m_autoPoll != 0) window.Click(IDC_AUTO_POLL);
  ASSERT_TRUE(TickUntil([&] { return dialog.m_link.m_ticks == 0; }));
  window.Click(IDC_READ_PARAMS);
  EXPECT_TRUE(second.MasterReadable());
  EXPECT_EQ(EntryStarting(kName), entry);
  EXPECT_EQ(window.GetText(IDC_PORT), "FT232R A50285BI (" + second.slavePath.substr(5) + ")");
}

// The last run's adapter is not plugged in: the console starts on it all the same (nothing else
// is opened), listed and marked, and says why the port is closed.
TEST_F(AdapterListTest, AnAdapterRememberedButAbsentIsKeptMarkedAndNothingElseOpened) {
  HeadlessWindow otherWindow;
  MainDialog other(otherWindow);
  HostSettings settings;
  settings.port = (byId / kLink).string();
  other.m_startSettings = settings;
  otherWindow.SetHandler(&other);
  ASSERT_TRUE(other.OnInitDialog());
  EXPECT_EQ(other.m_link.m_isOpen, 0);
  EXPECT_EQ(otherWindow.GetText(IDC_PORT), "FT232R A50285BI (已拔出)");
  EXPECT_NE(otherWindow.GetText(IDC_STATUS).find("设备不存在"), std::string::npos)
      << otherWindow.GetText(IDC_STATUS);
  otherWindow.SetHandler(nullptr);
}

// Whatever the folder holds, the list takes only serial devices, once each and bounded in number.
TEST_F(AdapterListTest, OddFolderContentsGiveNoEntryAndNoCrash) {
  fs::create_symlink(byId / "nowhere", byId / "dangling");
  fs::create_directories(byId / "a-folder");
  fs::create_symlink(byId / "loop", byId / "loop");
  std::ofstream(byId / "a-file") << "x";
  for (int k = 0; k < 300; ++k) {
    fs::create_symlink(first.slavePath, byId / ("usb-Same_Device_" + std::to_string(k) + "-if00"));
  }
  fs::create_symlink(first.slavePath, byId / "usb-\x1b]0;title\x07_x-if00");
  window.DropDown(IDC_PORT);
  const std::vector<std::string> entries = window.ListEntries(IDC_PORT);
  ASSERT_EQ(entries.size(), 10u);  // COM1: to COM9: and the one device
  for (const std::string& entry : entries) {
    for (char c : entry) EXPECT_GE(static_cast<unsigned char>(c), 0x20u) << entry;
  }
}

}  // namespace
