#pragma once

#include <cstdint>

// How long a frame with a given function code is, for the console's requests (the send log) and
// for the meter's replies (the receiver and the receive log), in one table.

enum class FrameLength : uint8_t {
  None,          // no frame of this code is known: not logged, and a reply is not assembled
  Eight,         // address, code, four bytes, CRC
  CountAtByte2,  // address, code, a byte count, that many bytes, CRC: 5 + byte 2
  CountAtByte6,  // a write of several registers: seven header bytes, byte 6 data bytes, CRC
  Exception,     // address, code with its high bit set, the exception code, CRC: 5
};

struct FunctionRule {
  FrameLength request;  // the console's request with this code
  FrameLength reply;    // the reply the receiver assembles
  bool replyLogged;     // the receive log shows the reply's bytes (else "未知功能码")
};

// The rule of a function code; codes in no row have none at all.
FunctionRule RuleOf(uint8_t code);

// The whole length of a frame laid out so, CRC included, from the bytes it starts with; 0 for
// FrameLength::None.
int32_t LengthOf(FrameLength shape, const uint8_t* frame);

// What an exception code of the meter's refusal means ("非法数据地址" for 02); nullptr for a code
// the meter does not define.
const char* ExceptionName(int32_t code);
