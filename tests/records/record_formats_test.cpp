// The records' lines: CSV fields, local times, the capture's line of every verdict, and register
// values in the meter's terms.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "device/register_text.h"
#include "link/frame_codec.h"
#include "records/capture_format.h"
#include "records/csv_text.h"
#include "records/local_time.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Closed(Bytes body) {
  body.resize(body.size() + 2);
  CloseFrame(body.data(), static_cast<uint16_t>(body.size()));
  return body;
}

Bytes Chars(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::string Hex(const Bytes& bytes) {
  std::string text;
  AppendHex(text, bytes.data(), static_cast<int>(bytes.size()));
  text.pop_back();
  return text;
}

TEST(CsvLine, QuotesWhatWouldSplitAFieldAndKeepsNumbersBare) {
  CsvLine line;
  line.Text("COM1:9600,N,8,2").Text("say \"hi\"").Text(" 8:00").Text("a\r\nb");
  line.Outside("-2+3").Outside("=cmd").Text("+KWh 总");
  line.Number("-12.40").Number("").Number("1,5").Integer(-7);
  EXPECT_EQ(std::move(line).Done(),
            "\"COM1:9600,N,8,2\",\"say \"\"hi\"\"\",\" 8:00\",\"a\r\nb\",'-2+3,'=cmd,+KWh 总,"
            "-12.40,,\"1,5\",-7\r\n");
}

struct TimeCase {
  WallTime time;
  const char* iso;
  const char* month;
};

const TimeCase kTimes[] = {
    {{1796609702123, 480}, "2026-12-07T10:15:02.123+08:00", "2026-12"},
    {{1709251199999, 0}, "2024-02-29T23:59:59.999+00:00", "2024-02"},  // a leap day
    {{1709251199999, 1}, "2024-03-01T00:00:59.999+00:01", "2024-03"},  // the month turns locally
    {{-3600000, -330}, "1969-12-31T17:30:00.000-05:30", "1969-12"},
};

TEST(LocalTime, IsWrittenAsTheLocalClockShowedItWithItsOffset) {
  for (const TimeCase& c : kTimes) {
    EXPECT_EQ(IsoLocalText(c.time), c.iso);
    EXPECT_EQ(LocalMonthText(c.time), c.month);
  }
  const WallTime now = LocalNow();
  EXPECT_LE(now.offsetMinutes > 0 ? now.offsetMinutes : -now.offsetMinutes, 14 * 60);
}

struct CaptureCase {
  CaptureWhat what;
  int32_t framing;
  RxVerdict verdict;
  Bytes bytes;
  uint16_t received, computed;
  std::string line;  // after the time and the milliseconds
};

const Bytes kRead = Closed({1, 3, 3, 0, 0, 44});
const Bytes kWriteCt = Closed({1, 6, 0x03, 0x12, 0x00, 0x64});
const Bytes kCoilOn = Closed({1, 5, 0, 1, 0xFF, 0});
const Bytes kClock = Closed({1, 0x10, 0, 0x82, 0, 4, 8, 7, 0xEA, 12, 7, 10, 15, 2, 0});
const Bytes kAnswer = Closed({1, 3, 2, 0, 9});
const Bytes kRefusal = Closed({1, 0x83, 2});
const Bytes kOtherSlave = Closed({7, 3, 2, 0, 1});
const Bytes kEcho = Closed({1, 6, 0x03, 0x12, 0x00, 0x64});
const Bytes kDamaged = {1, 3, 2, 0, 9, 0xAA, 0xBB};

const CaptureCase kCaptureCases[] = {
    {CaptureWhat::Written, kProtocolRtu, RxVerdict::Answer, kRead, 0, 0,
     "发送,RTU,request,请求,1,8," + Hex(kRead) + ",读 0x0300 起 44 个寄存器"},
    {CaptureWhat::Written, kProtocolRtu, RxVerdict::Answer, kWriteCt, 0, 0,
     "发送,RTU,request,请求,1,8," + Hex(kWriteCt) + ",写 0x0312（CT低位）= 0x0064"},
    {CaptureWhat::Written, kProtocolRtu, RxVerdict::Answer, kCoilOn, 0, 0,
     "发送,RTU,request,请求,1,8," + Hex(kCoilOn) + ",遥控 通道 1 合"},
    {CaptureWhat::Written, kProtocolRtu, RxVerdict::Answer, kClock, 0, 0,
     "发送,RTU,request,请求,1,17," + Hex(kClock) + ",写 0x0082 起 4 个寄存器"},
    {CaptureWhat::Received, kProtocolRtu, RxVerdict::Answer, kAnswer, 0, 0,
     "接收,RTU,answer,应答,1,7," + Hex(kAnswer) + ",应答 2 字节数据"},
    {CaptureWhat::Received, kProtocolRtu, RxVerdict::Answer, kEcho, 0, 0,
     "接收,RTU,answer,应答,1,8," + Hex(kEcho) + ",确认 写 0x0312（CT低位）= 0x0064"},
    {CaptureWhat::Received, kProtocolRtu, RxVerdict::Exception, kRefusal, 0, 0,
     "接收,RTU,exception,异常应答,1,5," + Hex(kRefusal) + ",异常 02（非法数据地址）"},
    {CaptureWhat::Received, kProtocolRtu, RxVerdict::BadCheck, kDamaged, 0xBBAA, 0x1234,
     "接收,RTU,bad-check,CRC 错误（收到 AA BB，计算 34 12）,,7,01 03 02 00 09 AA BB,"},
    {CaptureWhat::Received, kProtocolRtu, RxVerdict::Stray, {0xFF, 0x00}, 0, 0,
     "接收,RTU,stray,杂散字节（跳过）,,2,FF 00,"},
    {CaptureWhat::Received, kProtocolRtu, RxVerdict::OtherSlave, kOtherSlave, 0, 0,
     "接收,RTU,other-slave,其他从机的帧（跳过）,7,7," + Hex(kOtherSlave) + ",应答 2 字节数据"},
    {CaptureWhat::Received, kProtocolRtu, RxVerdict::Idle, kAnswer, 0, 0,
     "接收,RTU,idle,无请求时收到（丢弃）,1,7," + Hex(kAnswer) + ",应答 2 字节数据"},
    {CaptureWhat::Received, kProtocolRtu, RxVerdict::TimedOut, {1, 3, 0x58}, 0, 0,
     "接收,RTU,timeout,超时（已收到 3 字节）,,3,01 03 58,"},
    {CaptureWhat::Received, kProtocolRtu, RxVerdict::LineLost, {}, 0, 0,
     "接收,RTU,line-lost,串口断开,,0,,"},
    {CaptureWhat::Received, kProtocolAscii, RxVerdict::Answer, Chars(":010302000BEF\r\n"), 0, 0,
     "接收,ASCII,answer,应答,1,15,:010302000BEF\\r\\n,应答 2 字节数据"},
    {CaptureWhat::Received, kProtocolAscii, RxVerdict::BadCheck, Chars(":0103020001F8\r\n"), 0xF8,
     0xF9, "接收,ASCII,bad-check,LRC 错误（收到 F8，计算 F9）,,15,:0103020001F8\\r\\n,"},
    {CaptureWhat::Received, kProtocolAscii, RxVerdict::Stray, Chars("-=\x7F"), 0, 0,
     "接收,ASCII,stray,杂散字节（跳过）,,3,'-=\\x7F,"},
};

TEST(CaptureLine, SaysWhatBecameOfEachPieceAndWhatAWholeFrameSays) {
  for (const CaptureCase& c : kCaptureCases) {
    SCOPED_TRACE(c.line);
    CaptureEntry entry;
    entry.when = {1796609702123, 480};
    entry.sinceStartMs = 1234;
    entry.framing = c.framing;
    entry.what = c.what;
    entry.piece = {c.bytes.data(), static_cast<uint16_t>(c.bytes.size()), c.verdict, c.received,
                   c.computed};
    EXPECT_EQ(CaptureLine(entry), "2026-12-07T10:15:02.123+08:00,1234," + c.line + "\r\n");
  }
  CaptureEntry port;
  port.when = {1796609702123, 480};
  port.what = CaptureWhat::Reopened;
  port.portLine = "COM1:9600,N,8,2";
  EXPECT_EQ(CaptureLine(port),
            "2026-12-07T10:15:02.123+08:00,0,线路,RTU,reopened,串口已重新打开,,,,"
            "\"COM1:9600,N,8,2\"\r\n");
}

struct ValueCase {
  int index;
  uint16_t raw;
  const char* text;
};

const ValueCase kValues[] = {
    {140, 2, "三相三线"},  // wiring, by name
    {140, 9, "9"},         // a code no name stands for
    {143, 5, "9600"},    {173, 1, "巳使能"}, {158, 480, "8:00"},  {170, 1500, "1.500"},
    {174, 3, "0.30"},  // the Yk2 setpoint's field shows two decimals
    {171, 312, "1.00"},  {148, 50, "50"},    {0, 2305, "230.50"},
};

TEST(RegisterValueText, ShowsAValueAsTheWindowDoes) {
  for (const ValueCase& c : kValues) {
    EXPECT_EQ(RegisterValueText(c.index, c.raw), c.text) << c.index << " " << c.raw;
  }
}

}  // namespace
