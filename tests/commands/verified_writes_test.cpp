// Verified writes and profile loads on a scripted line: what the read-back after a write
// concludes, when there is none, and that a reply on its way keeps out of a block just loaded.
#include <gtest/gtest.h>

#include <string>

#include "commands/command_fixture.h"
#include "console/app_files.h"
#include "profiles/profile.h"

namespace {

class VerifiedWritesTest : public CommandTest {
 protected:
  // The meter's echo of a function 16 write: its first six bytes.
  void EchoBlock() { Answer(Closed(Bytes(LastFrame().begin(), LastFrame().begin() + 6))); }
  // A real-time block whose clock registers (Year, MmDd, HhMm, SsPp) hold these.
  static Bytes RealtimeWithClock(const std::array<uint16_t, 4>& clock) {
    std::vector<uint16_t> values(kRealtimeCount, 0);
    for (int k = 0; k < 4; ++k) values[kClockFirst + k] = clock[k];
    return HoldingReply(values);
  }
};

// The clock written at 2026-12-31 23:59:58 is read back with the meter's clock: within 2 s
// either way it agrees, and the time the read-back took on the wire counts in its favour.
TEST_F(VerifiedWritesTest, TheClockAgreesWithinTwoSecondsPlusTheTimeSinceTheWrite) {
  const char* ok = "时钟已写入，读回一致";
  const struct {
    std::array<uint16_t, 4> meter;
    int ticks;  // 50 ms each, between the echo and the read-back's reply
    std::string status;
  } cases[] = {
      {{2026, 0x0C1F, 0x173B, 0x3A00}, 0, ok},
      {{2027, 0x0101, 0x0000, 0x0000}, 0, ok},  // 2 s ahead, a new year
      {{2026, 0x0C1F, 0x173B, 0x3800}, 0, ok},  // 2 s behind
      {{2027, 0x0101, 0x0000, 0x0100},
       0,
       "读回不一致：仪表时钟 2027.1.1 0:00:01，写入 2026.12.31 23:59:58"},
      {{2026, 0x0C1F, 0x173B, 0x3700},
       0,
       "读回不一致：仪表时钟 2026.12.31 23:59:55，写入 2026.12.31 23:59:58"},
      {{2027, 0x0101, 0x0000, 0x0100}, 20, ok},  // 3 s ahead after 1 s on the wire
  };
  dialog.m_localTime = [] { return LocalTime{2026, 12, 31, 23, 59, 58}; };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status + " after " + std::to_string(c.ticks) + " ticks");
    const int successes = dialog.m_link.m_successCount;
    window.Click(IDC_SYNC_CLOCK);
    EchoBlock();
    EXPECT_EQ(LastFrame(), Closed({0x01, 0x03, 0x00, 0x00, 0x00, kRealtimeCount}));
    window.Ticks(c.ticks);
    Answer(RealtimeWithClock(c.meter));
    EXPECT_EQ(Shown(IDC_STATUS), c.status);
    EXPECT_EQ(dialog.m_link.m_successCount, successes + 2) << "counted as any other";
  }
}

TEST_F(VerifiedWritesTest, ABlockThatMovesTheMetersLineIsNotReadBack) {
  Edit(IDC_SLAVE_SETTINGS, "Modbus RTU,5:19200,EVEN,8,2");
  window.Click(IDC_WRITE_PARAMS);
  const size_t sent = Sent();
  EchoBlock();
  EXPECT_EQ(Sent(), sent);
  EXPECT_EQ(Shown(IDC_STATUS),
            "已写入，仪表的通讯设定已改为 Modbus RTU,5:19200,EVEN,8,2，"
            "未读回：请将主机通讯设定改为与之相同后再读参数");
}

TEST_F(VerifiedWritesTest, AReadBackThatFailsSaysNothingIsConfirmed) {
  Edit(IDC_CT, "75");
  window.Click(IDC_WRITE_PARAMS);
  EchoBlock();
  window.Ticks(200);  // the read-back times out
  EXPECT_EQ(Shown(IDC_STATUS), "写入后读回失败，未能确认仪表所存的值");
}

// A block poll already on its way when a profile is loaded answers after the load: the meter's
// values it carries must not overwrite the values just loaded.
TEST_F(VerifiedWritesTest, AReplyOnItsWayDoesNotOverwriteALoadedProfile) {
  std::vector<uint16_t> start = StartBlock();
  ParameterBlock site{};
  std::copy(start.begin(), start.end(), site.begin());
  site[kRegCtLow - kParameterFirst] = 75;
  site[kRegCtLow + 1 - kParameterFirst] = 0;
  site[kRegWiring - kParameterFirst] = 2;
  for (int k : {0, 2, 3, 4, 15, 16, 34, 38, 42}) site[k] = 1;              // codes a file may hold
  for (int k = 19; k <= 30; ++k) site[k] = static_cast<uint16_t>(30 * k);  // times of day
  const std::string path = ::testing::TempDir() + "verified_writes_profile.json";
  ASSERT_FALSE(WriteProfile(path, ProfileText(site, {})));

  StartPolling();
  for (int k = 0; k < 200 && !(dialog.m_link.m_ticks != 0 && LastFrame()[2] == 0x03); ++k) {
    window.Tick();
    if (dialog.m_link.m_ticks != 0 && LastFrame()[2] != 0x03) {
      Answer(HoldingReply(std::vector<uint16_t>(LastFrame()[5], 0)));
    }
  }
  ASSERT_EQ(LastFrame(), Closed({0x01, 0x03, 0x03, 0x00, 0x00, kParameterCount}));
  window.m_fileAnswers.push_back(path);
  window.ChooseMenu(IDM_LOAD_PROFILE);
  EXPECT_EQ(dialog.m_autoPoll, 0);
  Answer(HoldingReply(start));
  EXPECT_EQ(Value(kRegCtLow), 75);
  EXPECT_EQ(Value(kRegWiring), 2);
  EXPECT_EQ(Shown(IDC_CT), "75");
  EXPECT_EQ(Value(kRegSlaveAddress), start[0]) << "never the meter's own line";
  EXPECT_TRUE(dialog.HoldsUnwrittenEdits());
  RemoveFile(path);
}

}  // namespace
