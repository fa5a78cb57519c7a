// Modbus ASCII end to end: the operator switches the simulated meter to ASCII through its serial
// settings, then the console to the same framing and line settings, and goes on as in RTU. The
// meter's own log of the requests it received shows the framing that reached it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/sim_harness.h"
#include "sim/sim_process.h"

namespace {

constexpr int kTxLog = 1009;  // a control whose focus runs no handler

class AsciiAtSimulatedMeter : public e2e::ConsoleOnLine {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.Start({"--seed", "9", "--verbose"})) << sim.Output();
    beforeTick = [this] { sim.Drain(); };
    StartConsole(sim.ConfigHome());
    ASSERT_TRUE(TickUntil([&] { return dialog.m_paramsValid == 1 && Idle(); }));
    StopPolling();
  }

  void Edit(int id, const std::string& text) {
    window.Focus(id);
    window.Type(id, text);
    window.Focus(kTxLog);
  }
  // Opens a list, picks the entry, moves on: leaving the list applies the setting.
  void ChooseAndLeave(int id, const std::string& entry) {
    window.Focus(id);
    const std::vector<std::string> entries = window.ListEntries(id);
    for (size_t k = 0; k < entries.size(); ++k) {
      if (entries[k] == entry) window.Choose(id, static_cast<int>(k));
    }
    window.Focus(kTxLog);
  }
  // The requests the meter received since the last look.
  std::vector<std::string> NewFrames() {
    const std::vector<std::string> all = sim.ReceivedFrames();
    std::vector<std::string> fresh(all.begin() + static_cast<long>(m_seen), all.end());
    m_seen = all.size();
    return fresh;
  }

  SimProcess sim;
  size_t m_seen = 0;
};

TEST_F(AsciiAtSimulatedMeter, ConsoleAndMeterSwitchToAsciiAndWorkOnAsInRtu) {
  // The meter takes its new settings after its reply to the write.
  Edit(1159, "Modbus ASCII,1:9600,EVEN,7,1");
  ASSERT_TRUE(Transact([&] { window.Click(1088); }));   // "写参数"
  EXPECT_FALSE(Transact([&] { window.Click(1099); }));  // the meter speaks ASCII now
  NewFrames();

  ChooseAndLeave(1008, "Modbus ASCII");
  ChooseAndLeave(1005, "7");
  ChooseAndLeave(1004, "EVEN");
  ChooseAndLeave(1006, "1");
  EXPECT_EQ(Text(1007), "COM1:9600,E,7,1");
  // A block read under other settings may be another meter's: it must be read again first.
  EXPECT_EQ(dialog.m_paramsValid, 0);
  EXPECT_FALSE(window.IsControlEnabled(1088));
  const uint32_t written = dialog.m_link.m_requestsWritten;
  const uint32_t replaced = dialog.m_link.m_replacedCount;
  const int posted = window.Posted();
  ASSERT_EQ(Handled(), 0);  // a change of line settings zeroes the counts shown

  ASSERT_TRUE(Transact([&] { window.Click(1099); }));  // "读参数"
  EXPECT_EQ(NewFrames(), std::vector<std::string>{":01030300002CCD"});
  EXPECT_EQ(Text(kTxLog).substr(Text(kTxLog).find(" : ")), " : :01030300002CCD");
  EXPECT_EQ(Text(1159), "Modbus ASCII,1:9600,EVEN,7,1 ");
  EXPECT_TRUE(window.IsControlEnabled(1088));

  // Polling runs the rotation twice.
  window.Click(1068);
  ASSERT_TRUE(TickUntil([&] { return dialog.m_link.m_successCount >= 7; }));
  StopPolling();
  EXPECT_NEAR(std::stod(Text(1001)), 230, 5);  // Uan from the real-time block

  // A parameter written, then brought back by a fresh read.
  Edit(1050, "250");  // PT
  ASSERT_TRUE(Transact([&] { window.Click(1088); }));
  Edit(1050, "999");
  ASSERT_TRUE(Transact([&] { window.Click(1099); }));
  EXPECT_EQ(Text(1050), "250");

  for (const std::string& frame : NewFrames()) EXPECT_EQ(frame.substr(0, 3), ":01") << frame;
  // Every request written since the switch ended once, as a success, a failure or replaced.
  EXPECT_EQ(dialog.m_link.m_failureCount, 0);
  EXPECT_EQ(dialog.m_link.m_requestsWritten - written,
            static_cast<uint32_t>(Handled()) + (dialog.m_link.m_replacedCount - replaced));
  EXPECT_EQ(window.Posted() - posted, Handled());
}

}  // namespace
