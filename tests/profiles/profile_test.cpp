// Parameter profiles: the file a site carries from meter to meter, what a load refuses and why,
// and how a change reads in the meter's terms.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "console/app_files.h"
#include "profiles/profile.h"

namespace {

// A meter's block: address 1, 9600 N 8 2, PT 1, CT 50, serial number QVS26001, peak 8:00-11:00,
// Yk1 1.000 after 312 steps (shown 1.00), enabled.
ParameterBlock MeterBlock() {
  ParameterBlock b{};
  b[0] = 1;                                                        // 从机地址
  b[4] = 5;                                                        // 波特率 9600
  b[7] = 1;                                                        // PT
  b[9] = 50;                                                       // CT
  b[11] = 0x5156, b[12] = 0x5332, b[13] = 0x3630, b[14] = 0x3031;  // QVS26001
  b[19] = 480, b[20] = 660;                                        // HTM_BEG0, HTM_END0
  b[31] = 1000, b[32] = 312, b[33] = 313, b[34] = 1;               // Yk1
  b[35] = 900;                                                     // Yk2定值 90.00
  return b;
}

const ProfileOrigin kOrigin{"2026-12-08 05:40:00", "COM1", "COM1:9600,N,8,2", 1,
                            "Modbus RTU,1:9600,NONE,8,2 "};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(Profile, SavedBlockReadsBackRegisterForRegister) {
  const ParameterBlock block = MeterBlock();
  const std::string text = ProfileText(block, kOrigin);
  EXPECT_NE(
      text.find(R"({"address":"0x0302","name":"接线方式","raw":0,"unit":"","shown":"三相四线"})"),
      std::string::npos)
      << text;
  EXPECT_NE(text.find(R"("name":"CT低位","raw":50,"unit":"","shown":"50")"), std::string::npos);
  EXPECT_NE(text.find(R"("name":"HTM_END0","raw":660,"unit":"分","shown":"11:00")"),
            std::string::npos);
  EXPECT_NE(text.find(R"("meter_line":"Modbus RTU,1:9600,NONE,8,2 ")"), std::string::npos);
  const ProfileRead read = ParseProfile(text);
  ASSERT_TRUE(read.block) << read.reason;
  EXPECT_EQ(*read.block, block);
}

// Each bad file is refused whole with the first reason, naming the entry.
TEST(Profile, BadFilesAreRefusedWithTheirReason) {
  const std::string good = ProfileText(MeterBlock(), kOrigin);
  const std::string wiring = R"("address":"0x0302","name":"接线方式","raw":0)";
  const struct {
    std::string text;
    std::string reason;
  } cases[] = {
      {good.substr(0, good.size() / 2), "参数文件不是有效的 JSON：第 "},
      {"", "参数文件不是有效的 JSON：第 1 行第 1 列"},
      {"[1, 2]", "不是 Quorvel 参数文件：应为 JSON 对象"},
      {"{\"format\": 1e400}", "参数文件不是有效的 JSON：数值超出范围"},  // once ended the program
      {Replace(good, "quorvel-profile", "workspace"), "\"format\" 应为 \"quorvel-profile\""},
      {Replace(good, "\"version\": 1", "\"version\": 2"), "\"version\" 应为 1"},
      {Replace(good, "\"version\": 1", "\"version\": 1, \"version\": 1"),
       "键 \"version\" 重复出现"},
      {Replace(good, "\"saved\"", "\"notes\""), "未知的键 \"notes\""},
      {Replace(good, wiring, R"("address":"0x0302","name":"接线方式","raw":7)"),
       "第 2 项（0x0302 接线方式）：值 7 超出范围（0 至 6）"},
      {Replace(good, R"("name":"波特率","raw":5)", R"("name":"波特率","raw":9)"),
       "第 5 项（0x0308 波特率）：值 9 超出范围（0 至 6）"},
      {Replace(good, R"("name":"从机地址","raw":1)", R"("name":"从机地址","raw":0)"),
       "第 1 项（0x0300 从机地址）：值 0 超出范围（1 至 247）"},
      {Replace(good, R"("name":"HTM_BEG0","raw":480)", R"("name":"HTM_BEG0","raw":1441)"),
       "（0x0326 HTM_BEG0）：值 1441 超出范围（0 至 1440）"},
      {Replace(good, R"("name":"CT低位","raw":50)", R"("name":"CT低位","raw":70000)"),
       "（0x0312 CT低位）：值 70000 超出范围（0 至 65535）"},
      {Replace(good, R"("name":"CT低位","raw":50)", R"("name":"CT低位","raw":-1)"),
       "（0x0312 CT低位）：值 -1 超出范围"},
      {Replace(good, R"("name":"CT低位","raw":50)", R"("name":"CT低位","raw":50.5)"),
       "（0x0312 CT低位）：\"raw\" 应为整数"},
      {Replace(good, wiring, R"("address":"0x0302","name":"CT低位","raw":0)"),
       "第 2 项（0x0302 接线方式）：名称 \"CT低位\" 与该地址的寄存器不符"},
      {Replace(good, wiring, R"("address":"0x0300","name":"从机地址","raw":1)"),
       "第 2 项（0x0300 从机地址）：该寄存器重复出现"},
      {Replace(good, wiring, R"("address":"0x0400","name":"接线方式","raw":0)"),
       "第 2 项：0x0400 不是参数块的寄存器"},
      {Replace(good, wiring, R"("address":770,"name":"接线方式","raw":0)"),
       "第 2 项：\"address\" 应为 \"0x0302\" 这样的十六进制文本"},
      {Replace(good, wiring, R"("address":"0x0302","name":"接线方式","raw":0,"Raw":3)"),
       "（0x0302 接线方式）：未知的键 \"Raw\""},
      {Replace(Replace(good, wiring, R"("address":"0x0300","name":"从机地址","raw":1)"),
               R"({"address":"0x0300","name":"从机地址","raw":1,"unit":"","shown":"1"},)", ""),
       "参数文件缺少寄存器 0x0302（接线方式）"},
  };
  for (const auto& c : cases) {
    const ProfileRead read = ParseProfile(c.text);
    EXPECT_FALSE(read.block) << c.reason;
    EXPECT_NE(read.reason.find(c.reason), std::string::npos)
        << "expected: " << c.reason << "\n     got: " << read.reason;
  }
}

class ProfileFile : public ::testing::Test {
 protected:
  void TearDown() override { RemoveFile(path); }
  std::string path = ::testing::TempDir() + "站点参数_" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".json";
};

TEST_F(ProfileFile, AChinesePathIsWrittenAndReadWhole) {
  ASSERT_FALSE(WriteProfile(path, ProfileText(MeterBlock(), kOrigin)));
  const ProfileRead read = ReadProfile(path);
  ASSERT_TRUE(read.block) << read.reason;
  EXPECT_EQ(*read.block, MeterBlock());
}

TEST_F(ProfileFile, AFileThatHasGoneOrIsHugeIsRefused) {
  EXPECT_NE(ReadProfile(path).reason.find("参数文件无法读取：" + path), std::string::npos);
  std::FILE* out = OpenUserFile(path, "wb");
  ASSERT_NE(out, nullptr);
  const std::string mega(1024 * 1024, ' ');
  for (int k = 0; k < 10; ++k) std::fwrite(mega.data(), 1, mega.size(), out);
  std::fclose(out);
  EXPECT_NE(ReadProfile(path).reason.find("参数文件过大"), std::string::npos);
}

TEST(Profile, ALoadNeverCarriesTheMeterLineOrSerialNumber) {
  ParameterBlock other{};
  other.fill(1);
  const ParameterBlock meter = MeterBlock();
  const ParameterBlock loaded = WithProfile(meter, other);
  for (int position = 0; position < kParameterCount; ++position) {
    const bool own =
        position == 0 || (position >= 2 && position <= 4) || (position >= 11 && position <= 16);
    EXPECT_EQ(loaded[position], own ? meter[position] : uint16_t{1}) << position;
    EXPECT_EQ(ProfileCarries(position), !own) << position;
  }
  EXPECT_FALSE(ChangesMeterLine(meter, loaded));
  ParameterBlock moved = meter;
  moved[15] = 1;  // 7 data bits
  EXPECT_TRUE(ChangesMeterLine(meter, moved));
}

TEST(Profile, ChangesReadInTheMetersTerms) {
  const ParameterBlock meter = MeterBlock();
  EXPECT_EQ(ChangesText(BlockChanges(meter, meter)), "与仪表一致，无需写入");
  ParameterBlock site = meter;
  site[9] = 75;      // CT 50 → 75
  site[7] = 0x86A0;  // PT 1 → 100000 across both halves
  site[8] = 1;
  site[1] = 2;      // 三相三线
  site[31] = 1200;  // Yk1定值
  site[32] = 313;   // one step more, the same shown text
  site[20] = 690;   // 11:30
  EXPECT_EQ(ChangesText(BlockChanges(meter, site)),
            "将修改 6 项：接线方式 三相四线→三相三线，PT 1→100000，CT 50→75，"
            "HTM_END0 11:00→11:30，Yk1定值 1.000→1.200，Yk1延时 1.00（312）→1.00（313）");
}

TEST(Profile, ReadBackDifferencesNameEachRegister) {
  const uint16_t written[3] = {75, 0, 1200};
  const uint16_t read[3] = {50, 0, 1200};
  const auto differences = ReadBackDifferences(0x0312, written, read, 3);
  EXPECT_EQ(ReadBackText(differences), "读回不一致：CT低位（写入 75，读回 50）");
}

}  // namespace
