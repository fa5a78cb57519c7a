#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/link_observer.h"
#include "records/local_time.h"

// The traffic capture's lines: every frame the console wrote and every piece it received, with
// what became of it and what it says in the meter's terms. Columns:
//   时间     local time with milliseconds and offset
//   毫秒     milliseconds since the capture began
//   方向     发送 (the console's request), 接收 (bytes from the line), 线路 (the port itself)
//   规约     RTU or ASCII
//   判定     what became of it, as a fixed word for other programs: request, answer, exception,
//            bad-check, unreadable, stray, other-slave, other-function, not-the-answer, idle,
//            timeout, line-lost, reopened, start
//   结果     the same in words, with the received and computed check of a bad one, the exception's
//            code and meaning, the bytes a time-out or a loss had received
//   从机     the slave address of a whole frame
//   字节数   bytes on the line (characters in ASCII)
//   数据     RTU: the bytes in hexadecimal; ASCII: the characters, CR and LF as \r and \n, other
//            control bytes as \xNN
//   摘要     a whole frame decoded: "读 0x0300 起 44 个寄存器", "应答 88 字节数据"; for the port
//            lines, the port and line settings
enum class CaptureWhat : uint8_t { Start, Written, Received, Reopened };

struct CaptureEntry {
  WallTime when;
  int64_t sinceStartMs = 0;
  int32_t framing = 0;  // kProtocolRtu or kProtocolAscii
  CaptureWhat what = CaptureWhat::Received;
  RxPiece piece;              // Written: bytes and length only
  std::string_view portLine;  // Start and Reopened: the port and line as the summary shows them
};

std::string CaptureHeader();
std::string CaptureLine(const CaptureEntry& entry);
