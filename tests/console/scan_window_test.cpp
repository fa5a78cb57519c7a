// The scan window opened from the menu bar, on the console's own port: the console lends its
// port, the scan finds the meter on a fake bus, and 采用 switches the console to it; a scan
// stopped gives the port back as it was.
#include <chrono>
#include <memory>
#include <thread>

#include "commands/command_fixture.h"
#include "console/scan_window.h"
#include "fakes/fake_bus.h"

namespace {

// The scan's clock is the test's fake one, shared with the fake bus.
struct ClockRef : ScanClock {
  explicit ClockRef(FakeScanClock& clock) : c(clock) {}
  int64_t NowUs() override { return c.NowUs(); }
  void SleepUs(int64_t us) override { c.SleepUs(us); }
  FakeScanClock& c;
};

class ScanWindowTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    dialog.m_scanSetup = [this](ScanWindow& scan) {
      scan.m_clockFactory = [this] { return std::make_unique<ClockRef>(clock); };
      scan.m_lineFactory = [this] {
        return std::make_unique<FakeBus>(clock, std::vector<BusMeter>{{5, {19200, 2, 0}, 1}});
      };
    };
  }

  // The scan's thread runs on its own: the window's ticks take in what it did.
  static bool TickUntil(HeadlessWindow& scan, const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
      scan.Tick();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  // Only the speeds and parities given are checked.
  static void Only(HeadlessWindow& scan, std::initializer_list<int> checked) {
    for (int id = IDC_SCAN_BAUD_300; id <= IDC_SCAN_PARITY_EVEN; ++id) {
      if (!scan.Exists(id)) continue;
      const bool wanted = std::find(checked.begin(), checked.end(), id) != checked.end();
      if ((scan.GetText(id) == "1") != wanted) scan.Click(id);
    }
  }

  FakeScanClock clock;
};

TEST_F(ScanWindowTest, AMeterFoundOnTheConsolesPortIsAdoptedAndItsBlockRead) {
  const int opens = wire->opens;
  bool adopted = false;
  window.m_childRunner = [&](HeadlessWindow& scan) {
    EXPECT_EQ(scan.GetText(IDC_SCAN_PORT), "COM1:");
    scan.Type(IDC_SCAN_LAST_ADDRESS, "20");
    Only(scan, {IDC_SCAN_BAUD_9600, IDC_SCAN_BAUD_19200, IDC_SCAN_PARITY_NONE,
                IDC_SCAN_PARITY_EVEN});
    scan.Click(IDC_SCAN_START);
    EXPECT_EQ(dialog.m_link.m_isOpen, 0);  // lent to the scan
    ASSERT_TRUE(TickUntil(scan, [&] { return scan.GetText(IDC_SCAN_STATUS) == "已找到本仪表"; }));
    EXPECT_EQ(scan.GetText(IDC_SCAN_RESULTS),
              "-\t19200\tNONE\tModbus RTU\t有信号，设置不符\t\n"
              "5\t19200\tEVEN\tModbus RTU\t本仪表\tModbus RTU,5:19200,EVEN,8,1");
    scan.Choose(IDC_SCAN_RESULTS, 1);
    scan.Click(IDC_SCAN_ADOPT);
    adopted = scan.m_dialogEnded;
  };
  window.ChooseMenu(IDM_SCAN_BUS);
  ASSERT_TRUE(adopted);
  EXPECT_EQ(dialog.m_link.m_isOpen, 1);
  EXPECT_GT(wire->opens, opens);
  EXPECT_EQ(window.GetText(IDC_COMM_SUMMARY), "COM1:19200,E,8,1");
  EXPECT_EQ(window.GetText(IDC_SLAVE_ADDRESS), "5");
  EXPECT_EQ(dialog.m_paramsValid, 0);                           // the block is this meter's to read
  EXPECT_EQ(LastFrame(), Closed({5, 3, 0x03, 0x00, 0x00, 0x2C}));  // and is read at once
}

// A scan stopped, or a window closed while it runs, gives the port back with its line and block.
TEST_F(ScanWindowTest, AScanStoppedGivesThePortBackAsItWas) {
  StartPolling();
  for (int k = 0; k < 5 && dialog.m_link.m_ticks == 0; ++k) window.Tick();
  ASSERT_NE(dialog.m_link.m_ticks, 0);  // a poll is outstanding: the scan waits for it
  window.m_childRunner = [&](HeadlessWindow& scan) {
    scan.Click(IDC_SCAN_START);
    EXPECT_EQ(scan.GetText(IDC_SCAN_STATUS), "等待当前通讯结束…");
    EXPECT_EQ(dialog.m_link.m_isOpen, 1);
    Answer(HoldingReply(std::vector<uint16_t>(69, 0)));  // the main window's ticks go on
    scan.Tick();
    EXPECT_EQ(scan.GetText(IDC_SCAN_START), "停止");
    EXPECT_EQ(dialog.m_link.m_isOpen, 0);
    scan.Click(IDC_SCAN_START);
    ASSERT_TRUE(TickUntil(scan, [&] { return scan.GetText(IDC_SCAN_STATUS) == "已停止"; }));
    EXPECT_EQ(dialog.m_link.m_isOpen, 1);
    scan.Click(IDC_SCAN_START);  // and once more, left running when the window closes
  };
  window.ChooseMenu(IDM_SCAN_BUS);
  EXPECT_EQ(dialog.m_link.m_isOpen, 1);
  EXPECT_EQ(window.GetText(IDC_COMM_SUMMARY), "COM1:9600,N,8,2");
  EXPECT_EQ(dialog.m_paramsValid, 1);
  EXPECT_NE(dialog.m_autoPoll, 0);  // continuous reading goes on as it was
}

}  // namespace
