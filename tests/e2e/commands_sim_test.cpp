// The operator's commands, given through the window of the whole console as an operator gives
// them, against the simulated meter on a pseudo-terminal. Continuous reading is turned off first,
// as the commands need an idle line.
#include <gtest/gtest.h>

#include <string>

#include "device/text_number.h"
#include "e2e/sim_harness.h"
#include "sim/sim_process.h"

namespace {

constexpr int kTxLog = 1009;  // a control whose focus runs no handler

// Seconds after midnight of an "h:mm:ss" text; -1 when it is not one.
int SecondsOfDay(const std::string& text) {
  const size_t first = text.find(':');
  const size_t second = text.find(':', first + 1);
  if (first == std::string::npos || second == std::string::npos) return -1;
  const auto h = ScanInt(text.substr(0, first));
  const auto m = ScanInt(text.substr(first + 1, second - first - 1));
  const auto s = ScanInt(text.substr(second + 1));
  return h && m && s ? *h * 3600 + *m * 60 + *s : -1;
}

class OperatorAtSimulatedMeter : public e2e::ConsoleOnLine {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.Start({"--seed", "5"})) << sim.Output();
    StartConsole(sim.ConfigHome());
    // The parameter block and the real-time block read once.
    ASSERT_TRUE(TickUntil([&] { return dialog.m_link.m_successCount >= 2; }));
    StopPolling();
    ASSERT_EQ(dialog.m_link.m_failureCount, 0);
  }

  // Types into a field and leaves it, which runs its editor.
  void Edit(int id, const std::string& text) {
    window.Focus(id);
    window.Type(id, text);
    window.Focus(kTxLog);
  }

  // "分/合" and "确 认" of a channel, then "执  行".
  bool SwitchOutput(int channel, int state) {
    window.Choose(1143, channel);
    window.Choose(1145, state);
    window.Choose(1144, state);
    return Transact([&] { window.Click(1142); });
  }

  SimProcess sim;
};

TEST_F(OperatorAtSimulatedMeter, WritesParametersThatAFreshReadBringsBack) {
  Edit(1050, "250");                                   // PT
  Edit(1059, "7.5");                                   // setpoint of output 1
  Edit(1087, "8:15");                                  // peak period 1 begins
  ASSERT_TRUE(Transact([&] { window.Click(1088); }));  // "写参数"

  // Edited here and not written: only the meter can bring the written values back.
  Edit(1050, "999");
  Edit(1059, "1");
  Edit(1087, "9:00");
  ASSERT_EQ(Text(1050), "999");
  ASSERT_TRUE(Transact([&] { window.Click(1099); }));  // "读参数"

  EXPECT_EQ(Text(1050), "250");
  EXPECT_EQ(Text(1059), "7.500");
  EXPECT_EQ(Text(1087), " 8:15");
  // What no editor touched went back as it was read.
  EXPECT_EQ(Text(1055), "50");
  EXPECT_EQ(Text(1086), "11:30");
  EXPECT_EQ(Text(1159), "Modbus RTU,1:9600,NONE,8,2 ");
}

TEST_F(OperatorAtSimulatedMeter, SwitchesAnOutputThatTheNextCoilReadShows) {
  EXPECT_EQ(Text(1048), "0000 0000");  // as the real-time block showed it
  ASSERT_TRUE(SwitchOutput(1, 1));
  ASSERT_TRUE(Transact([&] { window.Click(1047); }));  // "读遥控"
  EXPECT_EQ(Text(1048), "0000 0010");

  ASSERT_TRUE(SwitchOutput(1, 0));
  ASSERT_TRUE(Transact([&] { window.Click(1047); }));
  EXPECT_EQ(Text(1048), "0000 0000");
}

TEST_F(OperatorAtSimulatedMeter, SetsTheMetersClockWhichThenRunsOnFromThatTime) {
  dialog.m_localTime = [] { return LocalTime{2031, 7, 4, 13, 45, 30}; };
  ASSERT_TRUE(Transact([&] { window.Click(1130); }));  // "校时"
  ASSERT_EQ(Text(1129), "13:45:30");                   // the time sent, until a poll reads back

  // Polling again; a later time than the one sent can only be the meter's clock.
  window.Click(1068);
  ASSERT_TRUE(TickUntil([&] { return Text(1129) != "13:45:30"; })) << Text(1129);
  EXPECT_EQ(Text(1128), "2031.7.4");
  const int ran = SecondsOfDay(Text(1129)) - SecondsOfDay("13:45:30");
  EXPECT_GT(ran, 0) << Text(1129);
  EXPECT_LT(ran, 60) << Text(1129);
}

TEST_F(OperatorAtSimulatedMeter, StepsBackThroughTheMetersEventsAndClearsThem) {
  // The meter logged a supply loss and return when it started; switching an output adds one.
  ASSERT_TRUE(SwitchOutput(1, 1));

  ASSERT_TRUE(Transact([&] { window.Click(1127); }));  // "当前事件"
  EXPECT_EQ(Text(1082), "遥控2通");
  EXPECT_EQ(Text(1081), "3");
  EXPECT_EQ(Text(1124), "0000 0010");  // the outputs as the event left them
  EXPECT_NEAR(ScanDouble(Text(1083)).value_or(0), 230, 5);

  ASSERT_TRUE(Transact([&] { window.Click(1000); }));  // "上一事件"
  EXPECT_EQ(Text(1082), "辅电上电");
  EXPECT_EQ(Text(1081), "2");
  EXPECT_EQ(Text(1124), "0000 0000");
  EXPECT_EQ(Text(1125), "-1");

  ASSERT_TRUE(Transact([&] { window.Click(1000); }));
  EXPECT_EQ(Text(1082), "辅电掉电");
  EXPECT_EQ(Text(1081), "1");
  EXPECT_FALSE(Text(1079).empty());

  ASSERT_TRUE(Transact([&] { window.Click(1000); }));
  EXPECT_EQ(Text(1082), "无效事件");

  window.AnswerNext(true);  // 是
  ASSERT_TRUE(Transact([&] { window.Click(1154); }));  // "清事件"
  EXPECT_EQ(Text(1082), "");
  ASSERT_TRUE(Transact([&] { window.Click(1127); }));
  EXPECT_EQ(Text(1082), "无效事件");
  EXPECT_EQ(Text(1081), "-1");
  EXPECT_EQ(Text(1079), "");
}

}  // namespace

namespace {

// A meter that refuses a request says why, at once rather than after the time-out.
TEST_F(OperatorAtSimulatedMeter, ShowsTheMetersReasonWhenItRefuses) {
  struct Refusal {
    const char* number;
    const char* value;
    int32_t code;
    const char* status;
  };
  const Refusal refusals[] = {
      {"0", "1", 2, "通讯失败：从机返回异常码 02（非法数据地址）"},  // a measured value
      {"300", "0", 3, "通讯失败：从机返回异常码 03（非法数据值）"},  // slave address 0
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.number);
    window.Type(1073, r.number);
    window.Click(1076);  // select and read it, so its value fields show
    ASSERT_TRUE(TickUntil([&] { return Idle(); }));
    Edit(1074, r.value);
    const int failures = dialog.m_link.m_failureCount;
    ASSERT_TRUE(TickUntil([&] { return Idle(); }));
    window.Click(1077);
    // Far inside the 50-tick time-out: the refusal ends the transaction.
    ASSERT_TRUE(TickUntil([&] { return Idle(); }, 1500));
    EXPECT_EQ(dialog.m_link.m_failureCount, failures + 1);
    EXPECT_EQ(Text(1072), r.status);
    EXPECT_EQ(window.exceptionCodes, std::vector<int32_t>{r.code});
    window.exceptionCodes.clear();
  }
}

}  // namespace
