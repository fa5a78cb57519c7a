// Faults on the line, end to end: the whole console on its real serial port and real-time ticks,
// against the simulated meter with its fault options, or against this test playing a meter that
// answers wrongly. Each run checks that the console stays alive and polling, that its counts
// follow from the faults, and that nothing of a reply that did not fit its request reached the
// device image.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "console/record_keeper.h"
#include "e2e/sim_harness.h"
#include "link/pty_support.h"
#include "link/reference_crc.h"
#include "sim/sim_process.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;
using ParameterImage = std::array<uint16_t, kParameterCount>;

constexpr int kTxLog = 1009;  // a control whose focus runs no handler

ParameterImage ParametersOf(const MainDialog& dialog) {
  ParameterImage image{};
  for (int k = 0; k < kParameterCount; ++k) image[k] = dialog.m_regTable[kParameterFirst + k].value;
  return image;
}

// ---- The simulated meter with its fault options ----

class ConsoleWithSimulatedMeter : public e2e::ConsoleOnLine {
 protected:
  void Connect(std::vector<std::string> faults) {
    faults.insert(faults.begin(), {"--seed", "3"});
    ASSERT_TRUE(sim.Start(faults)) << sim.Output();
    StartConsole(sim.ConfigHome());
  }

  // Ticks until the condition holds, and on every tick checks the parameter image: the meter's
  // block never changes, so once it has been read whole any other value was stored from a reply
  // that was not the meter's answer to the request.
  bool TickWatchingParameters(const std::function<bool()>& done, int boundMs = e2e::kBoundMs) {
    return TickUntil(
        [&] {
          if (dialog.m_paramsValid == 1) {
            if (!m_firstImage) m_firstImage = ParametersOf(dialog);
            if (ParametersOf(dialog) != *m_firstImage) ++m_imageChanges;
          }
          return done();
        },
        boundMs);
  }

  SimProcess sim;
  std::optional<ParameterImage> m_firstImage;
  int m_imageChanges = 0;
};

struct SimFault {
  const char* name;
  std::vector<std::string> options;
  int failures;
  int timeOuts;
};

// Replies count from 1: the parameter block at start-up, then the real-time, harmonic and
// parameter blocks in turn. Stray bytes before a reply cost nothing: the reply is found after them.
const SimFault kSimFaults[] = {
    {"DroppedReply", {"--drop", "@2"}, 1, 1},
    {"CorruptedCrc", {"--corrupt-crc", "@2,@4"}, 2, 0},
    {"NoiseBeforeReplies", {"--noise", "@1,@2,@3"}, 0, 0},
};

class SimulatedFault : public ConsoleWithSimulatedMeter,
                       public ::testing::WithParamInterface<SimFault> {};

TEST_P(SimulatedFault, CountsWhatTheFaultImpliesStoresNothingOfItAndKeepsPolling) {
  const SimFault& fault = GetParam();
  Connect(fault.options);
  ASSERT_TRUE(TickWatchingParameters([&] {
    return dialog.m_link.m_successCount >= 5 && dialog.m_paramsValid == 1 && Idle();
  })) << "successes "
      << dialog.m_link.m_successCount << ", failures " << dialog.m_link.m_failureCount;

  EXPECT_EQ(dialog.m_link.m_failureCount, fault.failures);
  EXPECT_EQ(window.TimeOuts(), fault.timeOuts);
  ExpectCountsBalance();
  EXPECT_EQ(m_imageChanges, 0);
  EXPECT_EQ(Text(1050), "100");  // PT as the meter holds it
}

INSTANTIATE_TEST_SUITE_P(Faults, SimulatedFault, ::testing::ValuesIn(kSimFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// The parameter block comes back two bytes short (a good CRC over fewer registers than asked): it
// is no answer to the read, which times out, and the image keeps what the operator left in it.
TEST_F(ConsoleWithSimulatedMeter, KeepsTheParameterImageWhenTheBlockComesBackShort) {
  Connect({"--wrong-count", "@1,@7"});
  // The first read of the block failed, so nothing can be written back yet.
  ASSERT_TRUE(TickUntil([&] { return Handled() >= 1; }));
  EXPECT_EQ(dialog.m_link.m_failureCount, 1);
  EXPECT_EQ(dialog.m_paramsValid, 0);
  EXPECT_EQ(Text(1050), "");

  ASSERT_TRUE(TickUntil([&] { return dialog.m_paramsValid == 1 && Idle(); }));
  window.Focus(1050);  // entering a field stops polling
  window.Type(1050, "200");
  window.Focus(kTxLog);
  ASSERT_EQ(dialog.m_regTable[146].value, 200);
  window.Click(1068);

  // Reply 7 is the next read of the block: short again, it is skipped and stores nothing.
  ASSERT_TRUE(TickUntil([&] { return dialog.m_link.m_failureCount == 2 && Idle(); }));
  EXPECT_EQ(dialog.m_regTable[146].value, 200);
  EXPECT_EQ(Text(1050), "200");
  // The read after it is whole and brings the meter's value back.
  ASSERT_TRUE(TickUntil([&] { return Text(1050) == "100"; }));
  EXPECT_EQ(window.TimeOuts(), 2);
  ExpectCountsBalance();
}

// A reply that comes after its time-out, while the line is idle, answers nothing: it is one
// time-out, the late frame is dropped uncounted, and the next read shows its own value.
TEST_F(ConsoleWithSimulatedMeter, DropsALateReplyAndTheNextReadShowsItsOwnValue) {
  // Well past the 2.5 s time-out, so a few late ticks on a busy machine do not matter.
  Connect({"--delay", "@3:4000"});
  ASSERT_TRUE(TickUntil([&] { return dialog.m_link.m_successCount >= 2 && Idle(); }));
  StopPolling();
  window.Focus(1050);
  window.Type(1050, "999");
  window.Focus(kTxLog);

  window.Click(1099);  // "读参数": reply 3, held back by the meter
  ASSERT_TRUE(TickUntil([&] { return window.TimeOuts() == 1 && Idle(); }));
  EXPECT_EQ(window.timeoutBytes, std::vector<int32_t>{0});
  ASSERT_TRUE(TickUntil([&] { return dialog.m_link.m_discardedFrames == 1; }));
  EXPECT_EQ(window.Posted(), 3);
  EXPECT_EQ(Text(1050), "999");
  EXPECT_EQ(Text(1072), "通讯失败");

  ASSERT_TRUE(Transact([&] { window.Click(1099); }));  // reply 4, on time
  EXPECT_EQ(Text(1050), "100");
  EXPECT_EQ(dialog.m_link.m_successCount, 3);
  EXPECT_EQ(dialog.m_link.m_failureCount, 1);
  ExpectCountsBalance();
}

// Every request written ends exactly once, under every fault the meter can inject at once:
// dropped, damaged, noisy, miscounted and late replies. The console's counts add up to the
// requests it wrote, which are the requests the meter received. A late reply that comes while
// the next read of the same block is outstanding cannot be told from its answer (RTU frames
// carry no transaction number): it is taken, and carries the same block.
TEST_F(ConsoleWithSimulatedMeter, CountsAddUpUnderMixedFaults) {
  constexpr uint32_t kRequests = 300;
  tickMs = 10;
  Connect({"--seed", "7", "--drop", "0.3", "--corrupt-crc", "0.2", "--noise", "0.2",
           "--wrong-count", "0.1", "--delay", "0.1:3000", "--verbose"});
  beforeTick = [this] { sim.Drain(); };
  const ModbusLink& link = dialog.m_link;
  ASSERT_TRUE(TickWatchingParameters([&] { return link.m_requestsWritten >= kRequests; }, 600000))
      << link.m_requestsWritten;
  StopPolling();
  // Replies held back by the meter still come; they answer nothing now.
  const size_t lateOnes = sim.ReceivedFrames().size();
  TickUntil([] { return false; }, 3500);

  const uint32_t written = link.m_requestsWritten;
  const auto ended =
      static_cast<uint32_t>(link.m_successCount + link.m_failureCount) + link.m_replacedCount;
  std::printf(
      "mixed faults: %u requests written, %d successes, %d failures, %u replaced, %u frames "
      "discarded\n",
      written, link.m_successCount, link.m_failureCount, link.m_replacedCount,
      link.m_discardedFrames);
  EXPECT_EQ(ended, written);
  EXPECT_EQ(sim.ReceivedFrames().size(), written);
  EXPECT_EQ(lateOnes, written);  // nothing was sent while the late replies came in
  ExpectCountsBalance();
  EXPECT_GT(link.m_successCount, 0);
  EXPECT_GT(link.m_failureCount, 0);
  EXPECT_EQ(m_imageChanges, 0);
  EXPECT_EQ(Text(1050), "100");
}

// The traffic capture under noise, dropped and miscounted replies: it holds every request and
// every piece received, the skipped ones included, and its verdicts add up to the console's
// successes and failures.
TEST_F(ConsoleWithSimulatedMeter, TheCaptureHoldsWhatWasSkippedAndAddsUpToTheCounts) {
  tickMs = 10;
  const fs::path folder = fs::temp_directory_path() / "quorvel-capture-faults";
  fs::remove_all(folder);
  const fs::path capture = folder / "通讯记录.csv";
  dialog.m_startTrace = capture.string();
  Connect({"--noise", "0.2", "--drop", "0.1", "--wrong-count", "0.1"});
  ASSERT_TRUE(TickUntil([&] { return Handled() >= 45; }, 120000)) << Handled();
  StopPolling();
  ASSERT_TRUE(dialog.m_records->CaptureFile()->WaitWritten(e2e::kBoundMs));
  dialog.m_records->StopCapture();

  std::ifstream in(capture, std::ios::binary);
  std::map<std::string, int> verdicts;
  std::string line;
  std::getline(in, line);  // the mark and the header
  while (std::getline(in, line)) {
    ASSERT_EQ(line.back(), '\r');
    // The port line is the only quoted field; the verdict is the fifth field of every line.
    std::istringstream fields(line);
    std::string field;
    for (int k = 0; k < 5; ++k) std::getline(fields, field, ',');
    ++verdicts[field];
  }
  fs::remove_all(folder);
  const ModbusLink& link = dialog.m_link;
  EXPECT_EQ(verdicts["start"], 1);
  EXPECT_EQ(verdicts["request"], static_cast<int>(link.m_requestsWritten));
  EXPECT_EQ(verdicts["answer"], link.m_successCount);
  EXPECT_EQ(verdicts["timeout"] + verdicts["bad-check"] + verdicts["unreadable"] +
                verdicts["exception"] + verdicts["line-lost"],
            link.m_failureCount);
  EXPECT_GT(verdicts["timeout"], 0);
  EXPECT_GT(verdicts["stray"], 0);
  EXPECT_GT(verdicts["not-the-answer"], 0);
}

// One to three stray bytes before a fifth of the replies (a transceiver turning the line around)
// cost nothing: every polled read finds its reply after them.
TEST_F(ConsoleWithSimulatedMeter, FindsEveryReplyBehindStrayBytes) {
  constexpr int kTransactions = 60;
  Connect({"--seed", "7", "--noise", "0.2", "--verbose"});
  beforeTick = [this] { sim.Drain(); };
  ASSERT_TRUE(TickUntil([&] { return Handled() >= kTransactions && Idle(); }, 60000)) << Handled();
  sim.Drain();
  size_t noisy = 0;
  for (size_t at = 0; (at = sim.Output().find("(noise)", at)) != std::string::npos; ++at) ++noisy;
  EXPECT_GE(noisy, 5u);
  EXPECT_EQ(dialog.m_link.m_failureCount, 0);
  ExpectCountsBalance();
}

// The meter process dies: its pseudo-terminal hangs up under the console, which closes the port
// at once and ends the poll outstanding, if any, as one failure. A meter started again places a
// new line behind COM1, which the console opens by itself; polling carries on, and the parameter
// block is trusted again only once it has been read from the line as it is now.
TEST_F(ConsoleWithSimulatedMeter, ClosesTheLineWhenTheMeterDiesAndReopensItWhenAMeterIsBack) {
  Connect({});
  ASSERT_TRUE(TickUntil([&] { return dialog.m_link.m_successCount >= 2; }));
  const int successes = dialog.m_link.m_successCount;
  ASSERT_EQ(sim.Stop(SIGKILL), -1);

  ASSERT_TRUE(TickUntil([&] { return dialog.m_link.m_isOpen == 0 && Text(1072) == "串口已断开"; }));
  EXPECT_EQ(Text(1007), "COM1: 打不开 ");
  EXPECT_NE(dialog.m_autoPoll, 0);
  EXPECT_EQ(dialog.m_link.m_successCount, successes);
  EXPECT_LE(dialog.m_link.m_failureCount, 1);
  ExpectCountsBalance();

  ASSERT_TRUE(sim.Start({"--seed", "3"})) << sim.Output();
  ASSERT_TRUE(TickUntil([&] { return dialog.m_link.m_isOpen == 1; }));
  EXPECT_EQ(Text(1072).rfind("串口已重新打开：COM1（", 0), 0u) << Text(1072);
  EXPECT_EQ(Text(1007), "COM1:9600,N,8,2");
  EXPECT_EQ(dialog.m_paramsValid, 0);
  ASSERT_TRUE(TickUntil([&] { return dialog.m_link.m_successCount >= successes + 3 && Idle(); }));
  EXPECT_EQ(dialog.m_paramsValid, 1);
  ExpectCountsBalance();
  const ModbusLink& link = dialog.m_link;
  EXPECT_EQ(static_cast<uint32_t>(link.m_successCount + link.m_failureCount) + link.m_replacedCount,
            link.m_requestsWritten);
}

// ---- This test playing a meter that answers wrongly ----

constexpr uint16_t kGoodBase = 0x1000;    // register k of a good reply holds kGoodBase + k
constexpr uint16_t kMarkedBase = 0xE000;  // and of the reply under test kMarkedBase + k

Bytes RegisterReply(uint8_t address, uint16_t count, uint16_t base) {
  Bytes reply = {address, 3, static_cast<uint8_t>(2 * count)};
  for (uint16_t k = 0; k < count; ++k) {
    const auto value = static_cast<uint16_t>(base + k);
    reply.push_back(static_cast<uint8_t>(value >> 8));
    reply.push_back(static_cast<uint8_t>(value & 0xFF));
  }
  return WithCrc(reply);
}

// What goes out for the second read of the parameter block, in each case.
Bytes CutShort() {
  Bytes bytes = RegisterReply(1, 44, kMarkedBase);
  bytes.resize(40);  // and the rest never comes
  return bytes;
}
Bytes LongerThanAsked() { return RegisterReply(1, 45, kMarkedBase); }
Bytes IllegalAddressException() { return WithCrc({1, 0x83, 0x02}); }
Bytes FromAnotherAddress() { return RegisterReply(7, 44, kMarkedBase); }
// A late answer to another request (a register write) just before the real one.
Bytes AnotherFunctionFirst() {
  Bytes bytes = WithCrc({1, 0x06, 0x03, 0x00, 0x00, 0x05});
  const Bytes answer = RegisterReply(1, 44, kMarkedBase);
  bytes.insert(bytes.end(), answer.begin(), answer.end());
  return bytes;
}
Bytes FollowedByNoise() {
  Bytes bytes = RegisterReply(1, 44, kMarkedBase);
  bytes.insert(bytes.end(), {0x01, 0x03, 0xFF});  // the start of a frame that never ends
  return bytes;
}

struct ScriptedFault {
  const char* name;
  Bytes (*reply)();
  std::vector<int32_t> timeoutBytes;
  std::vector<int32_t> exceptionCodes;
  int failures;
  bool stored;  // whether the console takes the reply as the meter's answer
};

const ScriptedFault kScriptedFaults[] = {
    {"ReplyCutShort", CutShort, {40}, {}, 1, false},
    {"ReplyLongerThanAsked", LongerThanAsked, {0}, {}, 1, false},        // skipped, no answer
    {"ExceptionReply", IllegalAddressException, {}, {2}, 1, false},      // at once, not timed out
    {"ReplyFromAnotherAddress", FromAnotherAddress, {0}, {}, 1, false},  // no answer, time-out
    {"AnotherFunctionFirst", AnotherFunctionFirst, {}, {}, 0, true},     // skipped, then taken
    {"NoiseAfterAReply", FollowedByNoise, {}, {}, 0, true},
};

class ScriptedFaultyMeter : public e2e::ConsoleOnLine,
                            public ::testing::WithParamInterface<ScriptedFault> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    home.Link("COM1", pty.slavePath);
    beforeTick = [this] { Serve(); };
    StartConsole(home.root());
  }

  // Answers every whole request at once: good register replies, except the one under test.
  void Serve() {
    uint8_t chunk[256];
    ssize_t n;
    while ((n = ::read(pty.master, chunk, sizeof chunk)) > 0)
      m_in.insert(m_in.end(), chunk, chunk + n);
    while (m_in.size() >= 8) {
      const Bytes request(m_in.begin(), m_in.begin() + 8);
      m_in.erase(m_in.begin(), m_in.begin() + 8);
      ASSERT_EQ(request[1], 3) << "only register reads expected";
      const auto start = static_cast<uint16_t>(request[2] << 8 | request[3]);
      const auto count = static_cast<uint16_t>(request[4] << 8 | request[5]);
      if (start == 0x0300 && ++m_parameterReads == 2) {
        pty.Send(GetParam().reply());
      } else {
        pty.Send(RegisterReply(1, count, kGoodBase));
      }
    }
  }

  PortsHome home;
  RawPty pty;
  Bytes m_in;
  int m_parameterReads = 0;
};

TEST_P(ScriptedFaultyMeter, CountsTheReplyAsTheConsoleJudgesItAndStoresOnlyAFittingOne) {
  const ScriptedFault& fault = GetParam();
  // Six transactions: the parameter block, real-time, harmonics, the parameter block under test,
  // then real-time and harmonics again.
  ASSERT_TRUE(TickUntil([&] { return window.Posted() >= 6 && Idle(); }))
      << "posted " << window.Posted();
  EXPECT_EQ(window.Posted(), 6);
  EXPECT_EQ(window.timeoutBytes, fault.timeoutBytes);
  EXPECT_EQ(window.exceptionCodes, fault.exceptionCodes);
  EXPECT_EQ(dialog.m_link.m_failureCount, fault.failures);
  ExpectCountsBalance();
  EXPECT_EQ(dialog.m_paramsValid, 1);
  const uint16_t base = fault.stored ? kMarkedBase : kGoodBase;
  for (int k = 0; k < kParameterCount; ++k) {
    EXPECT_EQ(dialog.m_regTable[kParameterFirst + k].value, base + k) << "register " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, ScriptedFaultyMeter, ::testing::ValuesIn(kScriptedFaults),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
