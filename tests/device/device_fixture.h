#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "console/main_dialog.h"
#include "link/frame_codec.h"
#include "window/headless_window.h"

// Places a byte-counted reply in the dialog's receive buffer: address 1, the function code, the
// byte count, the data, the CRC.
inline void PutReply(MainDialog& dialog, uint8_t code, const std::vector<uint8_t>& data) {
  uint8_t* frame = dialog.m_link.m_rxBuf;
  frame[0] = 1;
  frame[1] = code;
  frame[2] = static_cast<uint8_t>(data.size());
  std::copy(data.begin(), data.end(), frame + 3);
  CloseFrame(frame, static_cast<uint16_t>(data.size() + 5));
}

// A dialog with its register table loaded, on an in-memory window; tests place replies, closed
// with their CRC, in the link's receive buffer and decode them.
class DeviceTest : public ::testing::Test {
 protected:
  DeviceTest() { dialog.LoadRegisterTable(); }

  void PutReply(uint8_t code, const std::vector<uint8_t>& data) {
    ::PutReply(dialog, code, data);
  }

  // The function-3 reply carrying `words` to a read of `asked` registers from `start`.
  void DecodeBlock(uint16_t start, const std::vector<uint16_t>& words, uint16_t asked) {
    std::vector<uint8_t> data;
    for (uint16_t word : words) {
      data.push_back(static_cast<uint8_t>(word >> 8));
      data.push_back(static_cast<uint8_t>(word & 0xFF));
    }
    PutReply(3, data);
    dialog.m_link.m_readStart = start;
    dialog.m_link.m_lastCount = asked;
    dialog.DecodeReply();
  }
  void DecodeBlock(uint16_t start, const std::vector<uint16_t>& words) {
    DecodeBlock(start, words, static_cast<uint16_t>(words.size()));
  }

  HeadlessWindow window;
  MainDialog dialog{window};
};
