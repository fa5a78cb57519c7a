#include "link/function_table.h"

#include <iterator>

#include "link/frame_codec.h"

namespace {

struct FunctionRow {
  uint8_t first, last;  // the codes the row covers
  FunctionRule rule;
};

using L = FrameLength;

constexpr FunctionRow kFunctionRows[] = {
    {kFnReadCoils, kFnReadInput, {L::Eight, L::CountAtByte2, true}},  // bits and registers
    {kFnWriteCoil, kFnWriteRegister, {L::Eight, L::Eight, true}},     // the reply echoes
    {kFnReadEvent, kFnReadEvent, {L::Eight, L::CountAtByte2, true}},  // one event record
    {kFnClearEvents, kFnClearEvents, {L::Eight, L::Eight, true}},
    {kFnWriteMultiple, kFnWriteMultiple, {L::CountAtByte6, L::Eight, true}},
    // Byte-counted replies of the meter's own that no request asks for: assembled so the line
    // stays in step, never logged, never an answer.
    {0x61, 0x69, {L::None, L::CountAtByte2, false}},
    {0x70, 0x70, {L::None, L::CountAtByte2, false}},
    // A request refused: its code with the high bit set.
    {0x80, 0xFF, {L::None, L::Exception, true}},
};

constexpr int32_t kEightLen = 8;
constexpr int32_t kExceptionLen = 5;
constexpr int32_t kCountedLen = 5;         // address, code, count, CRC
constexpr int32_t kMultipleHeaderLen = 9;  // address, code, start, quantity, count, CRC

// What the meter's exception codes mean; other codes are shown by number alone.
constexpr const char* kExceptionNames[] = {
    nullptr,        "非法功能",         "非法数据地址", "非法数据值",
    "从机设备故障", "确认（正在处理）", "从机设备忙",
};

}  // namespace

const char* ExceptionName(int32_t code) {
  if (code <= 0 || code >= static_cast<int32_t>(std::size(kExceptionNames))) return nullptr;
  return kExceptionNames[code];
}

FunctionRule RuleOf(uint8_t code) {
  for (const FunctionRow& row : kFunctionRows) {
    if (code >= row.first && code <= row.last) return row.rule;
  }
  return {L::None, L::None, false};
}

int32_t LengthOf(FrameLength shape, const uint8_t* frame) {
  switch (shape) {
    case L::Eight:
      return kEightLen;
    case L::CountAtByte2:
      return kCountedLen + frame[2];
    case L::CountAtByte6:
      return kMultipleHeaderLen + frame[6];
    case L::Exception:
      return kExceptionLen;
    case L::None:
      break;
  }
  return 0;
}
