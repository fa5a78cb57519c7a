// `quorvel --save-profile` and `--apply-profile` against a bus of simulated meters, one of which
// ignores writes to CT低位: what they print and how they end, as a site's shell loop sees it.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "console/app_files.h"
#include "profiles/profile.h"
#include "records/local_time.h"
#include "sim/sim_process.h"

namespace {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

std::string Contents(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  std::fclose(file);
  return text;
}

class ProfileVerbsOnABus : public ::testing::Test {
 protected:
  void SetUp() override {
    // Meters 3 and 7 at the console's default line; all of them keep CT低位 when it is written.
    ASSERT_TRUE(sim.Start({"--seed", "5", "--address", "3,7", "--ignore-writes", "0312"}))
        << sim.Output();
    ::setenv("XDG_CONFIG_HOME", sim.ConfigHome().c_str(), 1);
    ::setenv("XDG_DATA_HOME", sim.ConfigHome().c_str(), 1);  // the journal
    file = sim.ConfigHome() + "/站点.json";
  }
  void TearDown() override {
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_DATA_HOME");
  }

  Outcome Run(std::vector<std::string> args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = RunVerb(args, out, err).value_or(-1);
    return {status, Contents(out), Contents(err)};
  }
  // The profile saved from meter 3 with one raw value changed.
  void Edit(const std::string& from, const std::string& to) {
    ParameterBlock block = *ReadProfile(file).block;
    std::string text = ProfileText(block, {});
    text.replace(text.find(from), from.size(), to);
    ASSERT_FALSE(WriteProfile(file, text));
  }

  SimProcess sim;
  std::string file;
};

TEST_F(ProfileVerbsOnABus, ASiteLoopShowsWritesAndVerifiesEachMeter) {
  Outcome saved = Run({"--save-profile", file, "--port", "COM1", "--address", "3"});
  ASSERT_EQ(saved.status, 0) << saved.err;
  EXPECT_EQ(saved.out, "参数已保存到 " + file + "\n");
  const auto block = ReadProfile(file).block;
  ASSERT_TRUE(block);
  EXPECT_EQ((*block)[0], 3) << "the meter's own address is in the file";

  // The same settings on meter 7: nothing to write (its address and serial number are its own).
  Outcome same = Run({"--apply-profile", file, "--port", "COM1", "--address", "7", "--yes"});
  EXPECT_EQ(same.status, 0) << same.err;
  EXPECT_EQ(same.out, "与仪表一致，无需写入\n");

  Edit(R"("name":"PT低位","raw":100)", R"("name":"PT低位","raw":200)");
  const struct {
    std::vector<std::string> extra;
    int status;
    std::string out;
  } steps[] = {
      {{}, 3, "将修改 1 项：PT 100→200\n"},
      {{"--yes"}, 0, "将修改 1 项：PT 100→200\n参数已写入，读回一致\n"},
      {{"--yes"}, 0, "与仪表一致，无需写入\n"},
  };
  for (const auto& step : steps) {
    std::vector<std::string> args = {"--apply-profile", file, "--port", "COM1", "--address", "7"};
    args.insert(args.end(), step.extra.begin(), step.extra.end());
    const Outcome applied = Run(args);
    EXPECT_EQ(applied.status, step.status) << applied.err;
    EXPECT_EQ(applied.out, step.out);
  }

  Edit(R"("name":"CT低位","raw":50)", R"("name":"CT低位","raw":75)");
  const Outcome clamped =
      Run({"--apply-profile", file, "--port", "COM1", "--address", "3", "--yes"});
  EXPECT_EQ(clamped.status, 1);
  EXPECT_EQ(clamped.out,
            "将修改 2 项：PT 100→200，CT 50→75\n读回不一致：CT低位（写入 75，读回 50）\n");

  // Both writes are journaled as the console journals its own, each followed by its read-back.
  std::FILE* journal = OpenUserFile(
      sim.ConfigHome() + "/quorvel/journal/" + LocalMonthText(LocalNow()) + ".csv", "rb");
  ASSERT_NE(journal, nullptr);
  const std::string lines = Contents(journal);
  for (const char* expected :
       {",3,读回,0x0300,,,,读回一致", ",3,CT低位,0x0312,75,50,0x0032,读回不一致",
        ",16,PT低位,0x030E,100,200,0x00C8,已确认"}) {
    EXPECT_NE(lines.find(expected), std::string::npos) << expected << "\n" << lines;
  }
}

TEST_F(ProfileVerbsOnABus, RefusedFilesOptionsAndLinesEndWithStatusTwo) {
  ASSERT_FALSE(WriteProfile(file, "{\"format\": \"quorvel-profile\", \"version\": 2}"));
  const struct {
    std::vector<std::string> args;
    std::string err;
  } refused[] = {
      {{"--apply-profile", file, "--address", "3"}, "\"version\" 应为 1"},
      {{"--apply-profile", file + ".gone", "--address", "3"}, "参数文件无法读取"},
      {{"--apply-profile", file, "--address", "0"}, "--address takes 1 to 247"},
      {{"--apply-profile", file, "--baud", "115200"}, "--baud takes"},
      {{"--apply-profile", "--address", "3"}, "the profile file comes first"},
      {{"--save-profile", file, "--port", "COM1", "--address", "9"}, "通讯失败"},
      {{"--save-profile", file, "--port", "COM7", "--address", "3"}, "COM7"},
  };
  for (const auto& r : refused) {
    const Outcome outcome = Run(r.args);
    EXPECT_EQ(outcome.status, 2) << r.err;
    EXPECT_NE(outcome.err.find(r.err), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.out, "");
  }
}

}  // namespace
