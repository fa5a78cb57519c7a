// The whole console in this process, on a headless window and the real POSIX serial port, against
// the simulated meter program on a pseudo-terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/text_number.h"
#include "e2e/sim_harness.h"
#include "sim/sim_process.h"

namespace {

double Number(const std::string& text) { return ScanDouble(text).value_or(-1); }

class ConsoleWithSimulatedMeter : public e2e::ConsoleOnLine {
 protected:
  void SetUp() override { Connect({"--seed", "3"}); }
  void Connect(const std::vector<std::string>& simArgs) {
    ASSERT_TRUE(sim.Start(simArgs)) << sim.Output();
    StartConsole(sim.ConfigHome());
  }

  SimProcess sim;
};

TEST_F(ConsoleWithSimulatedMeter, ShowsTheMetersParametersValuesEnergyAndHarmonics) {
  // Every block of the rotation read at least once: parameters, real-time, harmonics.
  ASSERT_TRUE(TickUntil([&] { return dialog.m_link.m_successCount >= 4; }))
      << "successes " << dialog.m_link.m_successCount << ", failures "
      << dialog.m_link.m_failureCount << "\n"
      << Text(1011);
  EXPECT_EQ(dialog.m_link.m_failureCount, 0);

  // The meter's starting parameter block.
  EXPECT_EQ(Text(1050), "100");  // PT
  EXPECT_EQ(Text(1055), "50");   // CT
  EXPECT_EQ(Text(1159), "Modbus RTU,1:9600,NONE,8,2 ");
  EXPECT_EQ(Text(1087), " 8:00");
  EXPECT_EQ(Text(1086), "11:30");
  EXPECT_EQ(Text(1131), "23:00");
  EXPECT_EQ(Text(1116), " 7:00");
  EXPECT_EQ(Text(1059), "6.000");  // output 1 setpoint
  // Real-time values of a 230 V / 50 Hz supply.
  for (int id : {1001, 1010, 1014}) EXPECT_NEAR(Number(Text(id)), 230, 5) << id;
  for (int id : {1029, 1030, 1031}) EXPECT_NEAR(Number(Text(id)), 398, 8) << id;
  EXPECT_NEAR(Number(Text(1019)), 50, 0.1);
  EXPECT_GT(Number(Text(1027)), 0);  // Psum
  EXPECT_LT(Number(Text(1025)), 0);  // Qcn: phase C is capacitive
  // Energy: the total of +kWh is the sum of its tariffs (to the printed Wh).
  const double total = Number(Text(1041));
  EXPECT_GT(total, 1000);
  EXPECT_NEAR(total, Number(Text(1134)) + Number(Text(1138)) + Number(Text(1164)), 0.0015);
  // Harmonics: the third of U1 and the fifth of I1.
  EXPECT_NEAR(Number(Text(1051)), 1.2, 0.2);
  EXPECT_NEAR(Number(Text(1100)), 11.0, 1.0);
  EXPECT_EQ(Text(1072), "通讯成功");
}

TEST_F(ConsoleWithSimulatedMeter, SeesTheMetersClockRunAndCountsNoFailures) {
  ASSERT_TRUE(TickUntil([&] { return !Text(1129).empty(); }));
  const std::string first = Text(1129);
  ASSERT_TRUE(TickUntil([&] { return Text(1129) != first; })) << first;
  EXPECT_EQ(dialog.m_link.m_failureCount, 0);
  EXPECT_GE(dialog.m_link.m_successCount, 2);  // parameters and real-time block at least
}

// A dropped reply is one time-out and a corrupted CRC one failure; every request the console
// sent ends in exactly one success or failure, and polling goes on.
class ConsoleWithFaultyMeter : public ConsoleWithSimulatedMeter {
 protected:
  void SetUp() override { Connect({"--seed", "3", "--drop", "@3", "--corrupt-crc", "@5"}); }
};

TEST_F(ConsoleWithFaultyMeter, CountsEachInjectedFaultOnceAndKeepsPolling) {
  ASSERT_TRUE(TickUntil([&] {
    return dialog.m_link.m_successCount >= 6 && dialog.m_link.m_ticks == 0;
  })) << "successes "
      << dialog.m_link.m_successCount << ", failures " << dialog.m_link.m_failureCount;
  EXPECT_EQ(dialog.m_link.m_failureCount, 2);
  EXPECT_EQ(dialog.m_link.m_successCount + dialog.m_link.m_failureCount, dialog.m_txCount);
}

}  // namespace
