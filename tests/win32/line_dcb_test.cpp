// The Windows backend's line settings, on a driver record that another program left with every
// flag and special character set.
#include <gtest/gtest.h>

#include <cstring>

#include "link/serial_port_win32.h"

namespace {

TEST(LineDcb, AppliesEverySettingAndClearsWhatAnotherProgramLeft) {
  struct Row {
    uint32_t baud;
    uint8_t parity, dataBits, stopBits;
    BYTE dcbParity, dcbStopBits;
  };
  const Row rows[] = {
      {9600, 0, 8, 2, NOPARITY, TWOSTOPBITS},  {19200, 1, 8, 1, ODDPARITY, ONESTOPBIT},
      {300, 2, 7, 0, EVENPARITY, TWOSTOPBITS}, {4800, 0, 7, 3, NOPARITY, ONESTOPBIT},
      {1200, 3, 8, 2, NOPARITY, TWOSTOPBITS},  // mark parity is no setting of the console
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.baud);
    SerialPort settings;
    settings.m_baudRate = row.baud;
    settings.m_parity = row.parity;
    settings.m_dataBits = row.dataBits;
    settings.m_stopBits = row.stopBits;
    DCB dcb;
    std::memset(&dcb, 0xFF, sizeof dcb);
    SetLineDcb(dcb, settings);
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(dcb.BaudRate, row.baud);
    EXPECT_EQ(dcb.ByteSize, row.dataBits);
    EXPECT_EQ(dcb.Parity, row.dcbParity);
    EXPECT_EQ(dcb.StopBits, row.dcbStopBits);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fParity, 0u) << "received bytes are not parity-checked";
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fInX, 0u);
    EXPECT_EQ(dcb.fNull, 0u);
    EXPECT_EQ(dcb.fErrorChar, 0u);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
    EXPECT_EQ(dcb.fDsrSensitivity, 0u);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fAbortOnError, 0u);
    EXPECT_EQ(dcb.wReserved, 0);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EofChar, 0);
    EXPECT_EQ(dcb.EvtChar, 0);
    EXPECT_NE(dcb.XonChar, dcb.XoffChar) << "SetCommState refuses equal XON and XOFF characters";
  }
}

}  // namespace
