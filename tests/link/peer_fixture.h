#pragma once

// The link on one end of a null-modem pair of pseudo-terminals, an independent Modbus peer on
// the other: what the peer tests share.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "link/modbus_link.h"
#include "null_modem.h"
#include "pty_support.h"
#include "recording_target.h"

class LinkOverNullModem : public ::testing::Test {
 protected:
  // COM1 is our end; the link opens it with its defaults, in the given mode.
  void OpenLink(int32_t protocol) {
    ASSERT_TRUE(ours.ok() && theirs.ok());
    home.Link("COM1", ours.slavePath);
    link.SetDefaults();
    link.m_protocol = protocol;
    link.m_notifyWnd = &target;
    link.m_timeoutTicks = 1000000;  // the deadline below bounds the wait instead
  }

  // Pumps the receiver whenever input waits, until the link reports or the deadline passes.
  void AwaitCompletion() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (target.posted.empty() && std::chrono::steady_clock::now() < end) {
      ours.SlaveReadable(20);
      link.PumpReceive();
    }
  }

  std::vector<uint8_t> Reply(size_t n) const { return {link.m_rxBuf, link.m_rxBuf + n}; }

  std::vector<uint16_t> Registers(size_t count) const {
    std::vector<uint16_t> values;
    for (size_t k = 0; k < count; ++k) {
      values.push_back(
          static_cast<uint16_t>(link.m_rxBuf[3 + 2 * k] << 8 | link.m_rxBuf[4 + 2 * k]));
    }
    return values;
  }

  RawPty ours;
  RawPty theirs;
  PortsHome home;
  NullModem cable{ours.master, theirs.master};
  RecordingTarget target;
  ModbusLink link;
};
