// The bus scan on a fake line whose meters hear only their own settings, with a clock that moves
// only while the scan waits: what is found, in which order, and how long it takes.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "fakes/fake_bus.h"
#include "scan/probe_reply.h"

namespace {

constexpr ScanSetting k9600N{9600, 0, 0};
constexpr ScanSetting k19200E{19200, 2, 0};
constexpr ScanSetting k4800Ascii{4800, 0, 1};

// What a listener heard of one run.
struct Heard : ScanListener {
  std::vector<ScanFinding> found;
  std::vector<std::pair<size_t, size_t>> progress;
  ScanEnd end{};
  LineError error;
  std::string reason;
  void Progress(size_t done, size_t total, int64_t) override { progress.push_back({done, total}); }
  void Found(const ScanFinding& f) override { found.push_back(f); }
  void Finished(ScanEnd e, const LineError& err, const std::string& why) override {
    end = e;
    error = err;
    reason = why;
  }
};

class ScanTest : public ::testing::Test {
 protected:
  Heard Run(std::vector<BusMeter> meters, const ScanRequest& request, bool echo = false) {
    auto bus = std::make_unique<FakeBus>(clock, std::move(meters));
    bus->echo = echo;
    line = bus.get();
    port.SetLine(std::move(bus));
    Heard heard;
    Scanner(port, clock).Run(request, heard, stop);
    return heard;
  }

  FakeScanClock clock;
  SerialPort port;
  FakeBus* line = nullptr;
  std::atomic<bool> stop{false};
};

TEST(ScanPlan, TriesTheConsolesLineFirstThenTheLikelyOnesThenTheRest) {
  ScanRequest r;
  r.current = {4800, 1, 0};
  r.currentAddress = 33;
  const std::vector<Probe> probes = PlanProbes(r);
  ASSERT_EQ(probes.size(), 7u * 3 * 2 * 247);  // each setting and address once
  EXPECT_EQ(probes[0], (Probe{{4800, 1, 0}, 33}));
  EXPECT_EQ(probes[1], (Probe{k9600N, 1}));
  EXPECT_EQ(probes[10], (Probe{k9600N, 10}));
  EXPECT_EQ(probes[11], (Probe{{9600, 2, 0}, 1}));
  EXPECT_EQ(probes[40], (Probe{k19200E, 10}));
  EXPECT_EQ(probes[41], (Probe{{4800, 1, 0}, 1}));  // then the console's own setting, all of it

  r.bauds = {19200};
  r.parities = {2};
  r.protocols = {0};
  r.firstAddress = 200;
  r.lastAddress = 210;
  EXPECT_EQ(PlanProbes(r).size(), 11u);
}

TEST(ScanPlan, RefusesAddressesOutsideOneTo247OrBackwardsAndAWaitOutOfRange) {
  const struct {
    int first, last, wait;
  } bad[] = {{0, 10, 100}, {1, 248, 100}, {20, 10, 100}, {1, 247, 19}, {1, 247, 2001}};
  for (const auto& b : bad) {
    ScanRequest r;
    r.firstAddress = b.first;
    r.lastAddress = b.last;
    r.waitMs = b.wait;
    EXPECT_TRUE(RefusalOf(r).has_value()) << b.first << "-" << b.last << " " << b.wait;
    EXPECT_TRUE(PlanProbes(r).empty());
  }
  ScanRequest none;
  none.bauds.clear();
  EXPECT_EQ(RefusalOf(none), "请至少选择一种波特率、校验和规约");
}

// Noise before a reply, an adapter's echo, an exception, a wrong count and a damaged frame.
TEST(ProbeReplies, AreReadAfterNoiseAndEchoAndJudged) {
  const std::vector<uint8_t> request = ProbeRequest(k9600N, 5, 0x0300, 1);
  std::vector<uint8_t> answer = {5, 3, 2, 0, 5, 0, 0};
  CloseFrame(answer.data(), 7);
  std::vector<uint8_t> refusal = {5, 0x83, 2, 0, 0};
  CloseFrame(refusal.data(), 5);
  std::vector<uint8_t> wrongCount = {5, 3, 4, 0, 5, 0, 0, 0, 0};
  CloseFrame(wrongCount.data(), 9);
  std::vector<uint8_t> damaged = answer;
  damaged[4] ^= 1;
  const auto cat = [](std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const struct {
    const char* name;
    std::vector<uint8_t> received;
    ProbeAnswer answer;
  } rows[] = {
      {"nothing", {}, ProbeAnswer::Silence},
      {"the answer", answer, ProbeAnswer::Registers},
      {"noise first", cat({0x05, 0xFF, 0x03}, answer), ProbeAnswer::Registers},
      {"the echo, then the answer", cat(request, answer), ProbeAnswer::Registers},
      {"the echo alone", request, ProbeAnswer::Silence},
      {"an exception", refusal, ProbeAnswer::OtherReply},
      {"another count", wrongCount, ProbeAnswer::OtherReply},
      {"a damaged frame", damaged, ProbeAnswer::Garbled},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ReadProbeReply(k9600N, 5, 1, request, row.received).answer, row.answer) << row.name;
  }
  const std::vector<uint8_t> asciiRequest = ProbeRequest(k4800Ascii, 5, 0x0300, 1);
  std::vector<uint8_t> chars(32);
  chars.resize(EncodeAscii(answer.data(), 5, chars.data()));
  EXPECT_EQ(ReadProbeReply(k4800Ascii, 5, 1, asciiRequest, cat(asciiRequest, chars)).answer,
            ProbeAnswer::Registers);
}

// Meters at 5 and 200, one at 19200 EVEN in RTU, one at 4800 NONE in ASCII: each found once, at
// its own setting, with the line its registers give; another device and a line at other settings
// say so; the time is the floor of the probes that met silence.
TEST_F(ScanTest, FindsEachMeterWithItsOwnLineAndOtherDevicesAndSignals) {
  ScanRequest r;
  r.current = k9600N;
  r.bauds = {4800, 9600, 19200};
  r.parities = {0, 2};
  const Heard heard = Run({{5, k19200E}, {200, k4800Ascii}, {17, k9600N, 1, true}}, r);
  EXPECT_EQ(heard.end, ScanEnd::Completed);
  std::vector<std::string> found;
  for (const ScanFinding& f : heard.found) {
    found.push_back(std::to_string(f.address) + " " + std::to_string(f.setting.baud) + " " +
                    KindText(f.kind) +
                    (f.kind == ScanFinding::Kind::ThisMeter ? " " + MeterLineText(f) : ""));
  }
  EXPECT_EQ(found, (std::vector<std::string>{
                       "0 19200 有信号，设置不符",  // 5 answers 19200 NONE, heard as garbage
                       "5 19200 本仪表 Modbus RTU,5:19200,EVEN,8,1",
                       "17 9600 其他 Modbus 设备",
                       "0 4800 有信号，设置不符",
                       "200 4800 本仪表 Modbus ASCII,200:4800,NONE,7,1",
                   }));
  EXPECT_EQ(heard.progress.back(), (std::pair<size_t, size_t>{3 * 2 * 2 * 247, 3 * 2 * 2 * 247}));
}

// 247 silent addresses at one setting take their floor, each request on the wire and the wait,
// to within the line's polling step.
TEST_F(ScanTest, SilentAddressesTakeTheirFloorAndNoMore) {
  ScanRequest r;
  r.bauds = {9600};
  r.parities = {0};
  r.protocols = {0};
  const Heard heard = Run({}, r);
  const int64_t floorUs = 247 * (8 * 11 * 1'000'000 / 9600 + 100'000);
  EXPECT_GE(clock.now, floorUs);
  EXPECT_LE(clock.now, floorUs + 247 * 1000);
  EXPECT_EQ(line->writes, 247);
}

// Stop at the first meter; an adapter that echoes every request hides nothing; a port that
// cannot be had ends the scan with its reason and nothing sent.
TEST_F(ScanTest, StopsAtTheFirstMeterSeesPastAnEchoAndSaysWhyAPortCannotBeHad) {
  ScanRequest r;
  r.stopAtFirst = true;
  r.current = k9600N;
  Heard heard = Run({{200, k19200E}}, r, true);
  EXPECT_EQ(heard.end, ScanEnd::FoundMeter);
  ASSERT_FALSE(heard.found.empty());
  EXPECT_EQ(heard.found.back().address, 200);
  EXPECT_EQ(heard.found.back().kind, ScanFinding::Kind::ThisMeter);

  auto bus = std::make_unique<FakeBus>(clock, std::vector<BusMeter>{});
  bus->openFails = true;
  FakeBus* failing = bus.get();
  port.SetLine(std::move(bus));
  Heard refused;
  Scanner(port, clock).Run(r, refused, stop);
  EXPECT_EQ(refused.end, ScanEnd::PortFailed);
  EXPECT_EQ(refused.error.fault, LineFault::Busy);
  EXPECT_EQ(failing->writes, 0);
}

}  // namespace
