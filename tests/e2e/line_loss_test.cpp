// The console on its real serial line when the device goes away and comes back: a pseudo-terminal
// whose far end closes, then a new one behind the same COM1 link, as an adapter pulled out and
// plugged in again under another name.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "console/main_dialog.h"
#include "link/pty_support.h"
#include "window/headless_window.h"

namespace {

constexpr int kTicksPerSecond = 20;  // 50 ms ticks
constexpr int kStatus = 1072;
constexpr int kSummary = 1007;

class LineLossTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MainDialog::s_pollBlock = 0;
    ASSERT_TRUE(first.ok());
    home.Link("COM1", first.slavePath);
    window.SetHandler(&dialog);
    ASSERT_TRUE(dialog.OnInitDialog());
    ASSERT_EQ(dialog.m_link.m_isOpen, 1);
  }
  void TearDown() override { window.SetHandler(nullptr); }

  // Ticks until the condition holds; the number of ticks it took, or 0 past the limit.
  template <typename Condition>
  int TicksUntil(Condition done, int limit) {
    for (int k = 1; k <= limit; ++k) {
      window.Tick();
      if (done()) return k;
    }
    return 0;
  }

  void Choose(int list, int entry) {
    window.Focus(list);
    window.Choose(list, entry);
    window.Focus(1009);
  }

  PortsHome home;
  RawPty first;
  HeadlessWindow window;
  MainDialog dialog{window};
};

TEST_F(LineLossTest, AHungUpLineIsClosedWithinASecondAndReopenedBehindTheSameLinkWithItsSettings) {
  Choose(1003, 6);     // 19200
  Choose(1004, 1);     // ODD
  Choose(1006, 0);     // one stop bit
  window.Click(1068);  // entering the lists stopped polling
  ASSERT_EQ(window.GetText(kSummary), "COM1:19200,O,8,1");

  RawPty second;  // made while the first lives, so it comes under another name
  ASSERT_TRUE(second.ok());
  first.HangUp();
  EXPECT_GT(TicksUntil([&] { return dialog.m_link.m_isOpen == 0; }, kTicksPerSecond), 0);
  EXPECT_GT(TicksUntil([&] { return window.GetText(kStatus) == "串口已断开"; }, 2), 0);
  EXPECT_EQ(window.GetText(kSummary), "COM1: 打不开 ");

  window.Ticks(kTicksPerSecond);  // a retry finds the old name gone
  EXPECT_EQ(dialog.m_link.m_isOpen, 0);
  home.Relink("COM1", second.slavePath);
  EXPECT_GT(TicksUntil([&] { return dialog.m_link.m_isOpen == 1; }, 2 * kTicksPerSecond), 0);
  EXPECT_EQ(window.GetText(kStatus), "串口已重新打开：COM1（" + second.slavePath + "）");
  EXPECT_EQ(window.GetText(kSummary), "COM1:19200,O,8,1");
  termios tio{};
  ASSERT_EQ(::tcgetattr(second.master, &tio), 0);
  EXPECT_EQ(::cfgetospeed(&tio), B19200);
  EXPECT_EQ(tio.c_cflag & (PARODD | CSTOPB), static_cast<tcflag_t>(PARODD));

  // Polling resumed without the operator: the next poll reaches the new line.
  EXPECT_GT(TicksUntil([&] { return dialog.m_link.m_ticks != 0; }, kTicksPerSecond), 0);
  const std::vector<uint8_t> poll = second.Receive(8);
  ASSERT_EQ(poll.size(), 8u);
  EXPECT_EQ(poll[0], 0x01);
  EXPECT_EQ(poll[1], 0x03);
}

}  // namespace
