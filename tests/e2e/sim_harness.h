#pragma once

// The whole console in this process, on a headless window and the real POSIX serial port, with
// COM1 linked to a pseudo-terminal. Ticks follow the wall clock because the meter at the other end
// paces its bytes at the line's real speed.
#include <poll.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "console/main_dialog.h"
#include "window/headless_window.h"

namespace e2e {

constexpr int kTickMs = 50;
constexpr int kBoundMs = 15000;  // generous: the machine may be busy

// A headless window that also counts the completions the link posts to it, before handing them
// on: every transaction must end in exactly one of them, counted once by the console.
class CountingWindow : public HeadlessWindow {
 public:
  void PostMessage(uint32_t message, int32_t wParam, int32_t lParam) override {
    if (message == WM_LINK_DONE) {
      if (lParam == kLinkTimedOut) {
        timeoutBytes.push_back(wParam);
      } else if (lParam == kLinkException) {
        exceptionCodes.push_back(wParam);
      } else {
        ++frames;
      }
    }
    HeadlessWindow::PostMessage(message, wParam, lParam);
  }
  int TimeOuts() const { return static_cast<int>(timeoutBytes.size()); }
  int Posted() const { return frames + TimeOuts() + static_cast<int>(exceptionCodes.size()); }

  int frames = 0;                       // completions of a whole frame
  std::vector<int32_t> timeoutBytes;    // one entry per time-out: the bytes it had received
  std::vector<int32_t> exceptionCodes;  // one entry per exception reply: the meter's code
};

class ConsoleOnLine : public ::testing::Test {
 protected:
  // Starts the console; its COM1 is whatever the folder's quorvel/ports/COM1 links to.
  void StartConsole(const std::string& configHome) {
    ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    MainDialog::s_pollBlock = 0;
    window.SetHandler(&dialog);
    ASSERT_TRUE(dialog.OnInitDialog());
    ASSERT_EQ(dialog.m_link.m_isOpen, 1);
  }
  void TearDown() override {
    window.SetHandler(nullptr);
    ::unsetenv("XDG_CONFIG_HOME");
  }

  // Ticks on a 50 ms schedule of wall time until the condition holds; false when the bound
  // passed. A tick that comes late is not made up for, as a window's timer would not.
  bool TickUntil(const std::function<bool()>& done, int boundMs = kBoundMs) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(boundMs);
    auto next = Clock::now();
    while (Clock::now() < end) {
      if (beforeTick) beforeTick();
      window.Tick();
      if (done()) return true;
      next += std::chrono::milliseconds(tickMs);
      const auto now = Clock::now();
      if (next > now) {
        ::poll(nullptr, 0,
               static_cast<int>(
                   std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count()));
      } else {
        next = now;
      }
    }
    return false;
  }

  // Completions handled so far, whatever their outcome.
  int Handled() const { return dialog.m_link.m_successCount + dialog.m_link.m_failureCount; }
  bool Idle() const { return dialog.m_link.m_ticks == 0; }

  // Runs an operator action that issues one request and ticks until its completion has been
  // handled; true when it was a success.
  bool Transact(const std::function<void()>& action) {
    const int handled = Handled();
    const int failures = dialog.m_link.m_failureCount;
    action();
    return TickUntil([&] { return Handled() > handled && Idle(); }) &&
           dialog.m_link.m_failureCount == failures;
  }

  // Turns continuous reading off and waits for the transaction still outstanding to end.
  void StopPolling() {
    if (dialog.m_autoPoll != 0) window.Click(1068);
    ASSERT_EQ(dialog.m_autoPoll, 0);
    ASSERT_TRUE(TickUntil([&] { return Idle(); }));
  }

  // The books balance: every completion and time-out posted was handled as exactly one success
  // or one failure.
  void ExpectCountsBalance() const {
    EXPECT_EQ(Handled(), window.Posted())
        << "successes " << dialog.m_link.m_successCount << ", failures "
        << dialog.m_link.m_failureCount << ", frames " << window.frames << ", time-outs "
        << window.TimeOuts();
  }

  std::string Text(int id) const { return window.GetText(id); }

  std::function<void()> beforeTick;  // runs before every tick (a scripted meter answers here)
  // Wall time between ticks. A run that only counts may tick faster than the window's timer: its
  // time-outs are then shorter in wall time, which makes late replies only more frequent.
  int tickMs = kTickMs;
  CountingWindow window;
  MainDialog dialog{window};
};

}  // namespace e2e
