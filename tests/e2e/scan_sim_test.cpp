// The scan window of the console in this process, on the real POSIX line to a bus of simulated
// meters on other settings than the console's (9600 N RTU, address 1): the meter at address 200,
// 19200 baud, even parity, Modbus RTU, is found among addresses 195 to 205 and adopted, and the
// console then polls it; a second scan, stopped, gives the line back as the console had it.
#include <chrono>
#include <thread>

#include "sim/sim_process.h"
#include "sim_harness.h"

namespace {

class ScanOnSimulatedBus : public e2e::ConsoleOnLine {
 protected:
  // The scan runs on its own thread: the scan window's ticks take in what it did.
  static bool ScanUntil(HeadlessWindow& scan, const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(e2e::kBoundMs);
    while (std::chrono::steady_clock::now() < end) {
      scan.Tick();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(e2e::kTickMs));
    }
    return false;
  }

  SimProcess sim;
};

TEST_F(ScanOnSimulatedBus, AMeterOnAnotherLineIsFoundAdoptedAndPolledAndAStoppedScanChangesNothing) {
  ASSERT_TRUE(sim.Start({"--address", "5,200", "--baud", "4800,19200", "--parity", "none,even",
                         "--protocol", "ascii,rtu", "--data-bits", "7,8", "--stop-bits", "2,1"}))
      << sim.Output();
  StartConsole(sim.ConfigHome());
  StopPolling();

  std::string results;
  window.m_childRunner = [&](HeadlessWindow& scan) {
    scan.Type(IDC_SCAN_FIRST_ADDRESS, "195");
    scan.Type(IDC_SCAN_LAST_ADDRESS, "205");
    scan.Click(IDC_SCAN_START);
    ASSERT_TRUE(ScanUntil(scan, [&] { return scan.GetText(IDC_SCAN_STATUS) == "已找到本仪表"; }))
        << scan.GetText(IDC_SCAN_STATUS);
    results = scan.GetText(IDC_SCAN_RESULTS);
    EXPECT_NE(scan.GetText(IDC_SCAN_REMAINING).find("剩余约 0 分 0 秒"), std::string::npos);
    scan.Click(IDC_SCAN_ADOPT);  // the meter found is chosen already
  };
  window.ChooseMenu(IDM_SCAN_BUS);
  // Found at 19200 NONE: a pseudo-terminal does not carry the parity; the meter's own line says
  // EVEN, and that is what the console takes.
  EXPECT_EQ(results, "200\t19200\tNONE\tModbus RTU\t本仪表\tModbus RTU,200:19200,EVEN,8,1");
  EXPECT_EQ(Text(IDC_COMM_SUMMARY), "COM1:19200,E,8,1");
  EXPECT_EQ(Text(IDC_SLAVE_ADDRESS), "200");
  ASSERT_TRUE(TickUntil([&] { return dialog.m_paramsValid == 1 && Idle(); }));
  EXPECT_EQ(Text(IDC_SLAVE_SETTINGS), "Modbus RTU,200:19200,EVEN,8,1 ");  // as the field shows it

  window.m_childRunner = [&](HeadlessWindow& scan) {
    scan.Click(IDC_SCAN_START);
    scan.Click(IDC_SCAN_START);
    ASSERT_TRUE(ScanUntil(scan, [&] { return scan.GetText(IDC_SCAN_STATUS) == "已停止"; }));
  };
  window.ChooseMenu(IDM_SCAN_BUS);
  EXPECT_EQ(Text(IDC_COMM_SUMMARY), "COM1:19200,E,8,1");
  EXPECT_EQ(dialog.m_paramsValid, 1);
  EXPECT_TRUE(Transact([&] { window.Click(IDC_READ_PARAMS); }));
  EXPECT_EQ(Text(IDC_SLAVE_ADDRESS), "200");
}

}  // namespace
