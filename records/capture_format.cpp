#include "records/capture_format.h"

#include <algorithm>
#include <cstdio>

#include "device/register_table.h"
#include "device/text_format.h"
#include "link/frame_codec.h"
#include "link/function_table.h"
#include "records/csv_text.h"

namespace {

struct VerdictWords {
  const char* key;
  const char* words;
};

VerdictWords WordsOf(RxVerdict verdict) {
  switch (verdict) {
    case RxVerdict::Answer:
      return {"answer", "应答"};
    case RxVerdict::Exception:
      return {"exception", "异常应答"};
    case RxVerdict::BadCheck:
      return {"bad-check", "校验错误"};
    case RxVerdict::Unreadable:
      return {"unreadable", "无法识别的帧"};
    case RxVerdict::Stray:
      return {"stray", "杂散字节（跳过）"};
    case RxVerdict::OtherSlave:
      return {"other-slave", "其他从机的帧（跳过）"};
    case RxVerdict::OtherFunction:
      return {"other-function", "其他功能码的帧（跳过）"};
    case RxVerdict::NotTheAnswer:
      return {"not-the-answer", "长度不是所问的帧（跳过）"};
    case RxVerdict::Idle:
      return {"idle", "无请求时收到（丢弃）"};
    case RxVerdict::TimedOut:
      return {"timeout", "超时"};
    case RxVerdict::LineLost:
      return {"line-lost", "串口断开"};
  }
  return {"", ""};
}

uint16_t Word(const uint8_t* at) { return static_cast<uint16_t>(at[0] << 8 | at[1]); }

// "（CT低位）" for a register the meter defines at that address, else "".
std::string RegisterName(uint16_t address) {
  const auto found = std::lower_bound(
      RegisterTable.begin(), RegisterTable.end(), address,
      [](const RegisterDescriptor& entry, uint16_t wanted) { return entry.address < wanted; });
  if (found == RegisterTable.end() || found->address != address) return {};
  return std::string("（") + found->name + "）";
}

std::string ExceptionWords(uint8_t code) {
  const char* name = ExceptionName(code);
  return name != nullptr ? Printf("异常 %02X（%s）", code, name) : Printf("异常 %02X", code);
}

// What a whole frame asks or answers. frame holds n bytes without the check: address, function,
// data. A request's is what it asks the meter; a reply's what the meter says.
std::string Summary(const uint8_t* frame, uint16_t n, bool request) {
  if (n < 2) return {};
  const uint8_t function = frame[1];
  if (!request && (function & 0x80) != 0) return n >= 3 ? ExceptionWords(frame[2]) : std::string();
  const bool fourWords = n >= 6;
  const uint16_t word1 = fourWords ? Word(frame + 2) : 0;
  const uint16_t word2 = fourWords ? Word(frame + 4) : 0;
  const auto coil = [&] {
    return Printf("遥控 通道 %u %s", static_cast<unsigned>(word1), word2 != 0 ? "合" : "分");
  };
  const auto single = [&] {
    const std::string name = RegisterName(word1);
    return Printf("写 0x%04X", static_cast<unsigned>(word1)) + name +
           Printf(name.empty() ? " = 0x%04X" : "= 0x%04X", static_cast<unsigned>(word2));
  };
  const auto multiple = [&] {
    return Printf("写 0x%04X 起 %u 个寄存器", static_cast<unsigned>(word1),
                  static_cast<unsigned>(word2));
  };
  if (!request) {
    switch (function) {
      case kFnReadCoils:
      case kFnReadInputs:
      case kFnReadHolding:
      case kFnReadInput:
      case kFnReadEvent:
        return n >= 3 ? Printf("应答 %u 字节数据", static_cast<unsigned>(frame[2])) : std::string();
      case kFnWriteCoil:
        return fourWords ? "确认 " + coil() : std::string();
      case kFnWriteRegister:
        return fourWords ? "确认 " + single() : std::string();
      case kFnClearEvents:
        return "确认 清事件";
      case kFnWriteMultiple:
        return fourWords ? "确认 " + multiple() : std::string();
      default:
        return Printf("功能码 %u", static_cast<unsigned>(function));
    }
  }
  if (!fourWords) return Printf("功能码 %u", static_cast<unsigned>(function));
  switch (function) {
    case kFnReadCoils:
      return Printf("读遥控 0x%04X 起 %u 位", static_cast<unsigned>(word1),
                    static_cast<unsigned>(word2));
    case kFnReadInputs:
      return Printf("读遥信 0x%04X 起 %u 位", static_cast<unsigned>(word1),
                    static_cast<unsigned>(word2));
    case kFnReadHolding:
    case kFnReadInput:
      return Printf("读 0x%04X 起 %u 个寄存器", static_cast<unsigned>(word1),
                    static_cast<unsigned>(word2)) +
             (word2 == 1 ? RegisterName(word1) : std::string());
    case kFnWriteCoil:
      return coil();
    case kFnWriteRegister:
      return single();
    case kFnReadEvent:
      return Printf("读事件 第 %u 条", static_cast<unsigned>(word2));
    case kFnClearEvents:
      return "清事件";
    case kFnWriteMultiple:
      return multiple();
    default:
      return Printf("功能码 %u", static_cast<unsigned>(function));
  }
}

// The bytes as the line carried them. Hexadecimal is written digit by digit: a capture line is
// formatted on every tick that moves a frame.
std::string DataText(const uint8_t* bytes, uint16_t n, int32_t framing) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  if (framing != kProtocolAscii) {
    text.reserve(3u * n);
    for (uint16_t k = 0; k < n; ++k) {
      if (k != 0) text += ' ';
      text += kDigits[bytes[k] >> 4];
      text += kDigits[bytes[k] & 0x0F];
    }
    return text;
  }
  for (uint16_t k = 0; k < n; ++k) {
    const uint8_t c = bytes[k];
    if (c == '\r') {
      text += "\\r";
    } else if (c == '\n') {
      text += "\\n";
    } else if (c == '\\') {
      text += "\\\\";
    } else if (c < 0x20 || c >= 0x7F) {
      text += Printf("\\x%02X", static_cast<unsigned>(c));
    } else {
      text += static_cast<char>(c);
    }
  }
  return text;
}

bool WholeFrame(RxVerdict verdict) {
  switch (verdict) {
    case RxVerdict::Answer:
    case RxVerdict::Exception:
    case RxVerdict::OtherSlave:
    case RxVerdict::OtherFunction:
    case RxVerdict::NotTheAnswer:
    case RxVerdict::Idle:
      return true;
    default:
      return false;
  }
}

// The frame in its RTU bytes without the check, when the bytes are one good frame.
bool FrameOf(const uint8_t* bytes, uint16_t n, int32_t framing, uint8_t* out, uint16_t& length) {
  if (framing == kProtocolAscii) return DecodeAscii(bytes, n, out, length) == 0 && length >= 2;
  if (n < 4 || n > kMaxAsciiFrameLen || CheckFrame(bytes, n) != 0) return false;
  length = static_cast<uint16_t>(n - 2);
  std::copy_n(bytes, length, out);
  return true;
}

}  // namespace

std::string CaptureHeader() { return "时间,毫秒,方向,规约,判定,结果,从机,字节数,数据,摘要"; }

std::string CaptureLine(const CaptureEntry& entry) {
  CsvLine line;
  line.Text(IsoLocalText(entry.when)).Integer(entry.sinceStartMs);
  const char* framing = entry.framing == kProtocolAscii ? "ASCII" : "RTU";
  if (entry.what == CaptureWhat::Start || entry.what == CaptureWhat::Reopened) {
    const bool start = entry.what == CaptureWhat::Start;
    line.Text("线路").Text(framing).Text(start ? "start" : "reopened");
    line.Text(start ? "开始记录" : "串口已重新打开").Text("").Text("").Text("");
    line.Outside(entry.portLine);
    return std::move(line).Done();
  }
  const RxPiece& piece = entry.piece;
  const bool written = entry.what == CaptureWhat::Written;
  line.Text(written ? "发送" : "接收").Text(framing);
  std::string words;
  if (written) {
    line.Text("request");
    words = "请求";
  } else {
    const VerdictWords verdict = WordsOf(piece.verdict);
    line.Text(verdict.key);
    words = verdict.words;
    if (piece.verdict == RxVerdict::BadCheck) {
      words = entry.framing == kProtocolAscii
                  ? Printf("LRC 错误（收到 %02X，计算 %02X）", piece.received & 0xFF,
                           piece.computed & 0xFF)
                  : Printf("CRC 错误（收到 %02X %02X，计算 %02X %02X）", piece.received & 0xFF,
                           piece.received >> 8, piece.computed & 0xFF, piece.computed >> 8);
    } else if (piece.verdict == RxVerdict::TimedOut ||
               (piece.verdict == RxVerdict::LineLost && piece.length > 0)) {
      words += Printf("（已收到 %u 字节）", static_cast<unsigned>(piece.length));
    }
  }
  uint8_t frame[kMaxAsciiFrameLen];
  uint16_t length = 0;
  const bool whole = (written || WholeFrame(piece.verdict)) &&
                     FrameOf(piece.bytes, piece.length, entry.framing, frame, length);
  std::string summary = whole ? Summary(frame, length, written) : std::string();
  line.Text(words);
  if (whole) {
    line.Integer(frame[0]);
  } else {
    line.Text("");
  }
  line.Integer(piece.length).Outside(DataText(piece.bytes, piece.length, entry.framing));
  line.Text(summary);
  return std::move(line).Done();
}
