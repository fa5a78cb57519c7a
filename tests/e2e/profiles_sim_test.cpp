// Parameter profiles and verified writes through the window of the whole console, against the
// simulated meter: a profile saved, loaded and written reaches every register it carries and is
// read back; a meter that ignores a value is caught; a refused file changes and sends nothing.
#include <gtest/gtest.h>

#include <string>

#include "console/app_files.h"
#include "e2e/sim_harness.h"
#include "profiles/profile.h"
#include "sim/sim_process.h"

namespace {

constexpr int kTxLog = 1009;  // a control whose focus runs no handler

class ProfilesAtSimulatedMeter : public e2e::ConsoleOnLine {
 protected:
  void Begin(const std::vector<std::string>& simArgs) {
    std::vector<std::string> args = {"--seed", "5"};
    args.insert(args.end(), simArgs.begin(), simArgs.end());
    ASSERT_TRUE(sim.Start(args)) << sim.Output();
    StartConsole(sim.ConfigHome());
    ASSERT_TRUE(TickUntil([&] { return dialog.m_paramsValid == 1 && Idle(); }));
    StopPolling();
    path = sim.ConfigHome() + "/现场参数.json";
  }
  void TearDown() override {
    RemoveFile(path);
    ConsoleOnLine::TearDown();
  }
  void Menu(int command, const std::optional<std::string>& answer) {
    window.m_fileAnswers.push_back(answer);
    window.ChooseMenu(command);
  }
  // "写参数" and its read-back, to the end.
  void WriteParameters() {
    ASSERT_TRUE(Transact([&] { window.Click(IDC_WRITE_PARAMS); })) << Text(IDC_STATUS);
  }
  uint32_t Requests() const { return dialog.m_link.m_requestsWritten; }

  SimProcess sim;
  std::string path;
};

// Every register a profile carries changed, and the meter's own line and serial number too in
// the file: the load takes the first and never the second, and the write reaches the meter.
TEST_F(ProfilesAtSimulatedMeter, AProfileRoundTripsThroughTheMeterRegisterForRegister) {
  Begin({});
  Menu(IDM_SAVE_PROFILE, path);
  ASSERT_EQ(Text(IDC_STATUS), "参数已保存到 " + path);
  const ParameterBlock meter = *ReadProfile(path).block;
  EXPECT_EQ(meter, dialog.ImageBlock());

  ParameterBlock site{};
  for (int k = 0; k < kParameterCount; ++k) site[k] = static_cast<uint16_t>(meter[k] + 100 + k);
  site[1] = 3;  // 接线方式 三相三线平衡
  for (int k = 19; k <= 30; ++k) site[k] = static_cast<uint16_t>(60 * (k - 18));   // periods
  for (int k : {34, 38, 42}) site[k] = meter[k] ^ 1u;                              // enables
  site[0] = 9, site[2] = 1, site[3] = 2, site[4] = 6, site[15] = 1, site[16] = 1;  // its line
  ASSERT_FALSE(WriteProfile(path, ProfileText(site, {})));

  const uint32_t before = Requests();
  Menu(IDM_LOAD_PROFILE, path);
  EXPECT_EQ(Requests(), before) << "nothing is sent before 写参数";
  EXPECT_EQ(dialog.m_autoPoll, 0);
  const ParameterBlock expected = WithProfile(meter, site);
  EXPECT_EQ(dialog.ImageBlock(), expected);
  EXPECT_EQ(Text(IDC_STATUS), ChangesText(BlockChanges(meter, expected)));
  EXPECT_EQ(Text(IDC_STATUS).find("从机地址"), std::string::npos);

  WriteParameters();
  EXPECT_EQ(Text(IDC_STATUS), "参数已写入，读回一致");
  EXPECT_EQ(Requests(), before + 2) << "the write and its read-back";
  EXPECT_EQ(dialog.MeterBlock(), expected);
  ExpectCountsBalance();
}

TEST_F(ProfilesAtSimulatedMeter, AMeterThatIgnoresAValueShowsTheDifference) {
  Begin({"--ignore-writes", "0312"});
  const ParameterBlock meter = dialog.ImageBlock();
  ParameterBlock site = meter;
  site[9] = 75;  // CT低位: the meter keeps 50
  site[31] = 1200;
  ASSERT_FALSE(WriteProfile(path, ProfileText(site, {})));
  Menu(IDM_LOAD_PROFILE, path);
  EXPECT_EQ(Text(IDC_STATUS), ChangesText(BlockChanges(meter, site)));
  EXPECT_EQ(Text(IDC_STATUS).rfind("将修改 2 项：CT 50→75，Yk1定值 ", 0), 0u) << Text(IDC_STATUS);
  WriteParameters();
  EXPECT_EQ(Text(IDC_STATUS), "读回不一致：CT低位（写入 75，读回 50）");
  EXPECT_EQ(Text(IDC_CT), "50") << "the field shows what the meter holds";

  // One register, and the clock, are read back too.
  window.Type(IDC_REG_NUMBER, "326");
  window.Type(IDC_REG_HEX, "1E0");
  ASSERT_TRUE(Transact([&] { window.Click(IDC_WRITE_REGISTER); }));
  EXPECT_EQ(Text(IDC_STATUS), "寄存器已写入，读回一致");
  window.Type(IDC_REG_NUMBER, "312");
  window.Type(IDC_REG_HEX, "4B");
  ASSERT_TRUE(Transact([&] { window.Click(IDC_WRITE_REGISTER); }));
  EXPECT_EQ(Text(IDC_STATUS), "读回不一致：CT低位（写入 75，读回 50）");
  ASSERT_TRUE(Transact([&] { window.Click(IDC_SYNC_CLOCK); }));
  EXPECT_EQ(Text(IDC_STATUS), "时钟已写入，读回一致");
  ExpectCountsBalance();
}

// A profile is saved only from a block read and not edited since; a file refused for any reason
// leaves the fields as they were and sends nothing.
TEST_F(ProfilesAtSimulatedMeter, RefusalsChangeNothingAndSendNothing) {
  Begin({});
  window.Focus(IDC_CT);
  window.Type(IDC_CT, "75");
  window.Focus(kTxLog);
  Menu(IDM_SAVE_PROFILE, path);
  EXPECT_EQ(Text(IDC_STATUS), "有未写入的修改，请先写参数或读参数");
  EXPECT_EQ(KindOfPath(path), PathKind::Missing);
  ASSERT_TRUE(Transact([&] { window.Click(IDC_READ_PARAMS); }));

  const ParameterBlock image = dialog.ImageBlock();
  const uint32_t before = Requests();
  std::string text = ProfileText(image, {});
  const struct {
    std::string content;  // empty: the file has gone by the time it is read
    std::string reason;
  } files[] = {
      {"", "参数文件无法读取：" + path},
      {text.replace(text.find("\"raw\":50"), 8, "\"raw\":-5"), "（0x0312 CT低位）：值 -5 超出范围"},
  };
  for (const auto& file : files) {
    RemoveFile(path);
    if (!file.content.empty()) {
      ASSERT_FALSE(WriteProfile(path, file.content));
    }
    Menu(IDM_LOAD_PROFILE, path);
    EXPECT_NE(Text(IDC_STATUS).find(file.reason), std::string::npos) << Text(IDC_STATUS);
    EXPECT_EQ(dialog.ImageBlock(), image);
  }
  EXPECT_EQ(Requests(), before);
  Menu(IDM_LOAD_PROFILE, std::nullopt);  // cancelled
  EXPECT_EQ(dialog.ImageBlock(), image);

  // Another slave address: the block read belongs to another meter.
  window.Focus(IDC_SLAVE_ADDRESS);
  window.Type(IDC_SLAVE_ADDRESS, "2");
  window.Focus(kTxLog);
  Menu(IDM_LOAD_PROFILE, path);
  Menu(IDM_SAVE_PROFILE, path);
  EXPECT_EQ(Text(IDC_STATUS), "请先读参数");
}

}  // namespace
