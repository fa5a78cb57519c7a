#include <gtest/gtest.h>

#include "link/serial_port_posix.h"

namespace {

// The settings table of the port: parity code, data bits and the stop-bit selector (odd = one
// stop bit, even = two), applied over a terminal left in its cooked default state.
TEST(LineTermios, AppliesEverySettingAndMakesTheLineRaw) {
  struct Row {
    uint32_t baud;
    uint8_t parity, dataBits, stopBits;
    speed_t speed;
    tcflag_t cflag;  // CSIZE, PARENB, PARODD and CSTOPB
  };
  const Row rows[] = {
      {9600, 0, 8, 2, B9600, CS8 | CSTOPB},        {19200, 1, 8, 1, B19200, CS8 | PARENB | PARODD},
      {300, 2, 7, 0, B300, CS7 | PARENB | CSTOPB}, {4800, 0, 7, 3, B4800, CS7},
      {1234, 3, 8, 2, B9600, CS8 | CSTOPB},  // unknown rate and parity code
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.baud);
    SerialPort settings;
    settings.m_baudRate = row.baud;
    settings.m_parity = row.parity;
    settings.m_dataBits = row.dataBits;
    settings.m_stopBits = row.stopBits;
    termios tio{};
    tio.c_iflag = ICRNL | IXON | IXOFF | ISTRIP | INPCK | PARMRK;
    tio.c_oflag = OPOST | ONLCR;
    tio.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    tio.c_cflag = CS5 | PARENB | PARODD | CSTOPB | CRTSCTS;
    SetLineTermios(tio, settings);
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB), row.cflag);
    EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u) << "no hardware flow control, whoever set it";
    EXPECT_EQ(cfgetispeed(&tio), row.speed);
    EXPECT_EQ(cfgetospeed(&tio), row.speed);
    EXPECT_EQ(tio.c_iflag, 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_lflag, 0u);
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
  }
}

}  // namespace
