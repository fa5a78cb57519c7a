// The console's watch over its line, on a scripted line: why a port is closed, a device that goes
// away under a transaction, and the retries that bring the port back.
#include <string>
#include <vector>

#include "console_fixture.h"

namespace {

constexpr int kStatus = 1072;
constexpr int kSummary = 1007;
constexpr int kTicksPerSecond = 20;
constexpr const char* kBack = "串口已重新打开：COM1（";

const std::string kById = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

struct OpenFailure {
  LineError error;
  std::string shown;
};

// A by-id name with the longest reason: the text is built whole, never cut to a buffer.
const OpenFailure kOpenFailures[] = {
    {{LineFault::Missing, 2, "/dev/ttyUSB0", ""}, "COM1（/dev/ttyUSB0）：设备不存在"},
    {{LineFault::NoPermission, 13, kById, ""},
     "COM1（" + kById + "）：无权访问，请将当前用户加入 dialout 组后重新登录"},
    {{LineFault::Busy, 5, "COM1", ""}, "COM1（COM1）：端口被占用"},
    {{LineFault::NotSerial, 25, "/home/op/notes.txt", ""},
     "COM1（/home/op/notes.txt）：不是串口设备"},
    {{LineFault::Other, 22, "/dev/ttyS0", ""}, "COM1（/dev/ttyS0）：打不开（错误 22）"},
};

TEST_F(ConsoleTest, APortThatCannotOpenSaysWhyNamingTheDevice) {
  Start();
  for (const OpenFailure& row : kOpenFailures) {
    SCOPED_TRACE(row.shown);
    wire->openFails = true;
    wire->openError = row.error;
    window.Focus(1002);  // leaving the port list reopens with the failure under test
    window.Focus(1009);
    EXPECT_EQ(window.GetText(kStatus), row.shown);
    EXPECT_EQ(window.GetText(kSummary), "COM1: 打不开 ");
  }
}

// Retries come about once a second and repeat nothing already said; a new reason is shown, and
// so is the port coming back.
TEST_F(ConsoleTest, AClosedPortIsTriedEverySecondAndEachReasonIsShownOnce) {
  wire->openFails = true;
  wire->openError = kOpenFailures[0].error;
  Start();
  EXPECT_EQ(window.GetText(kStatus), kOpenFailures[0].shown);
  window.Click(1092);  // "0" empties 提示信息 (and stops polling)
  window.Click(1068);
  ASSERT_EQ(window.GetText(kStatus), "");

  window.Ticks(kTicksPerSecond - 1);
  EXPECT_EQ(wire->opens, 1);
  window.Ticks(kTicksPerSecond + 1);
  EXPECT_EQ(wire->opens, 3);
  EXPECT_EQ(window.GetText(kStatus), "");

  wire->openError = kOpenFailures[1].error;
  window.Ticks(kTicksPerSecond);
  EXPECT_EQ(window.GetText(kStatus), kOpenFailures[1].shown);

  wire->openFails = false;
  EXPECT_GT(TicksToNextFrame(kTicksPerSecond + 4), 0);
  EXPECT_EQ(dialog.m_link.m_isOpen, 1);
  EXPECT_EQ(window.GetText(kStatus).rfind(kBack, 0), 0u) << window.GetText(kStatus);
  EXPECT_EQ(window.GetText(kSummary), "COM1:9600,N,8,2");
}

// The poll outstanding when the device goes away ends as one failure; the loss closes the port
// and is what 提示信息 shows, also while retries find the device missing. When it is back,
// polling goes on with the next block and the parameter block must be read again.
TEST_F(ConsoleTest, ALostLineEndsItsTransactionOnceAndComesBackWithoutTheParameterBlock) {
  Start();
  AnswerLast();
  window.Tick();
  ASSERT_EQ(dialog.m_paramsValid, 1);
  ASSERT_GT(TicksToNextFrame(), 0);
  EXPECT_EQ(BlockOf(wire->written.back()), (BlockRead{0, 69}));
  wire->Feed({0x01, 0x03, 0x8A});
  window.Tick();

  wire->lost = true;
  wire->openFails = true;
  wire->openError = {LineFault::Missing, 2, "/dev/ttyUSB0", ""};
  window.Tick();
  EXPECT_EQ(dialog.m_link.m_isOpen, 0);
  EXPECT_EQ(dialog.m_link.m_ticks, 0);
  EXPECT_EQ(window.GetText(1069), "S1/F1");
  EXPECT_EQ(window.GetText(1011), "第 2 次接收失败");
  window.Tick();
  EXPECT_EQ(window.GetText(kStatus), "串口已断开");
  EXPECT_EQ(window.GetText(kSummary), "COM1: 打不开 ");

  window.Ticks(2 * kTicksPerSecond);
  EXPECT_EQ(window.GetText(kStatus), "串口已断开");
  EXPECT_EQ(window.GetText(1069), "S1/F1");
  EXPECT_NE(dialog.m_autoPoll, 0);

  wire->lost = false;
  wire->openFails = false;
  const int frames = TicksToNextFrame(2 * kTicksPerSecond);
  ASSERT_GT(frames, 0);
  EXPECT_EQ(BlockOf(wire->written.back()), (BlockRead{138, 70}));
  EXPECT_EQ(window.GetText(kStatus).rfind(kBack, 0), 0u) << window.GetText(kStatus);
  EXPECT_EQ(dialog.m_paramsValid, 0);
  EXPECT_FALSE(window.IsControlEnabled(1088));
}

}  // namespace
