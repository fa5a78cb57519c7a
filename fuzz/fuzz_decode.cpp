// Decoding and refresh of arbitrary good-CRC frames, with arbitrary last-request fields, protocol
// and register-browser index: nothing may read outside the frame or the tables, and a reply that
// does not fit its request must leave the device image as it was.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "console/main_dialog.h"
#include "link/frame_codec.h"
#include "window/headless_window.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kHeader = 8;  // readStart, lastCount, regIndex, protocol, paramsValid
  if (size < kHeader + 2) return 0;
  HeadlessWindow window;
  MainDialog dialog(window);
  window.SetHandler(&dialog);
  dialog.LoadRegisterTable();
  dialog.m_link.SetDefaults();

  dialog.m_link.m_readStart = Word(data);
  dialog.m_link.m_lastCount = Word(data + 2);
  dialog.m_regIndex = static_cast<int8_t>(data[4]) < 0 ? -1 : data[4] % kRegisterCount;
  dialog.m_link.m_protocol = data[5] % 4 == 3 ? 7 : data[5] % 4 == 2 ? kProtocolAscii : 0;
  dialog.m_paramsValid = data[6] & 1;
  for (int k = 0; k < kRegisterCount; ++k)
    dialog.m_regTable[k].value = static_cast<uint16_t>(k * 7 + data[7]);

  // The frame as the assembler leaves it: at most one complete reply, closed with a good CRC.
  const size_t n = std::min<size_t>(size - kHeader, kMaxReplyLen);
  if (n < 4) return 0;
  std::memcpy(dialog.m_link.m_rxBuf, data + kHeader, n);
  CloseFrame(dialog.m_link.m_rxBuf, static_cast<uint16_t>(n));

  RegisterDescriptor before[kRegisterCount];
  std::memcpy(before, dialog.m_regTable, sizeof before);
  const int32_t paramsBefore = dialog.m_paramsValid;
  const bool fits = dialog.ReplyFitsRequest();

  dialog.DecodeReply();
  dialog.RefreshDisplay();

  if (!fits) {
    Check(std::memcmp(before, dialog.m_regTable, sizeof before) == 0);
    Check(dialog.m_paramsValid == paramsBefore);
  }
  for (int k = 0; k < kRegisterCount; ++k)
    Check(dialog.m_regTable[k].address == RegisterTable[k].address);
  return 0;
}
