#include <errno.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "link/port_survey.h"
#include "link/serial_port.h"
#include "pty_support.h"

namespace {

void Settings(SerialPort& port, uint32_t com, uint32_t baud, uint8_t parity, uint8_t dataBits,
              uint8_t stopBits) {
  port.m_port = com;
  port.m_baudRate = baud;
  port.m_parity = parity;
  port.m_dataBits = dataBits;
  port.m_stopBits = stopBits;
}

class PosixSerialPort : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    home.Link("COM1", pty.slavePath);
    Settings(port, 1, 9600, 0, 8, 2);
  }

  // Reads what the port holds until n bytes have come or the wait ends.
  std::vector<uint8_t> ReadFromPort(size_t n) {
    std::vector<uint8_t> bytes;
    while (bytes.size() < n && pty.SlaveReadable()) {
      while (port.BytesWaiting()) bytes.push_back(port.ReadByte());
    }
    return bytes;
  }

  RawPty pty;
  PortsHome home;
  SerialPort port;
};

TEST_F(PosixSerialPort, PassesEveryByteValueUnchangedBothWays) {
  port.Open();
  ASSERT_EQ(port.m_isOpen, 1);
  std::vector<uint8_t> all(256);
  for (int k = 0; k < 256; ++k) all[k] = static_cast<uint8_t>(k);
  port.Write(all.data(), static_cast<uint16_t>(all.size()));
  EXPECT_EQ(pty.Receive(all.size()), all);
  pty.Send(all);
  EXPECT_EQ(ReadFromPort(all.size()), all);
}

TEST_F(PosixSerialPort, TestsForAndReadsOneWaitingByteWithoutBlocking) {
  port.Open();
  EXPECT_FALSE(port.BytesWaiting());
  EXPECT_EQ(port.ReadByte(), 0);  // nothing there: returns at once
  pty.Send({0xA5, 0x13});
  ASSERT_TRUE(pty.SlaveReadable());
  ASSERT_TRUE(port.BytesWaiting());
  EXPECT_EQ(port.ReadByte(), 0xA5);
  ASSERT_TRUE(port.BytesWaiting());
  EXPECT_EQ(port.ReadByte(), 0x13);
  EXPECT_FALSE(port.BytesWaiting());
}

// flock keeps a second opener out even when it runs as root.
TEST_F(PosixSerialPort, RefusesASecondPortOnTheSameComUntilTheFirstCloses) {
  port.Open();
  ASSERT_EQ(port.m_isOpen, 1);
  SerialPort second;
  Settings(second, 1, 9600, 0, 8, 2);
  second.Open();
  EXPECT_EQ(second.m_isOpen, 0);
  port.Close();
  second.Open();
  EXPECT_EQ(second.m_isOpen, 1);
}

// Exclusive mode left on by a close would refuse the reopen to everyone but root, so the
// reopen runs in a child that has dropped to an ordinary user.
TEST_F(PosixSerialPort, ReopensAfterCloseAsAnOrdinaryUser) {
  home.OpenToAll();
  ASSERT_EQ(::chmod(pty.slavePath.c_str(), 0666), 0);
  const int status = RunAsOrdinaryUser([] {
    SerialPort reopened;
    Settings(reopened, 1, 9600, 0, 8, 2);
    reopened.Open();
    if (reopened.m_isOpen != 1) return 11;
    reopened.Close();
    reopened.Open();
    return reopened.m_isOpen == 1 ? 0 : 12;
  });
  EXPECT_EQ(status, 0) << "255: could not drop, 11: first open, 12: reopen";
}

// Each way an open fails keeps its reason, the platform's code and the device COM1 named.
TEST_F(PosixSerialPort, AnOpenThatFailsSaysWhyAndNamesTheDevice) {
  struct Row {
    const char* name;
    std::string target;  // what COM1 is linked to
    bool held;           // another console holds it
    LineFault fault;
    std::vector<int> codes;
  };
  const std::string file = (home.root() / "notes.txt").string();
  std::ofstream(file) << "not a port\n";
  const Row rows[] = {
      {"missing", (home.root() / "unplugged").string(), false, LineFault::Missing, {ENOENT}},
      {"regular file", file, false, LineFault::NotSerial, {ENOTTY}},
      {"directory", home.root().string(), false, LineFault::NotSerial, {ENOTTY}},
      {"character device, no terminal", "/dev/null", false, LineFault::NotSerial, {ENOTTY}},
      {"held by another console", pty.slavePath, true, LineFault::Busy, {EBUSY, EWOULDBLOCK}},
  };
  SerialPort holder;
  Settings(holder, 1, 9600, 0, 8, 2);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    home.Relink("COM1", row.target);
    if (row.held) holder.Open();
    port.Open();
    EXPECT_EQ(port.m_isOpen, 0);
    EXPECT_EQ(port.LastError().fault, row.fault);
    EXPECT_NE(std::find(row.codes.begin(), row.codes.end(), port.LastError().code), row.codes.end())
        << port.LastError().code;
    EXPECT_EQ(port.LastError().device, row.target);
  }
  holder.Close();
  home.Relink("COM1", pty.slavePath);
  port.Open();
  EXPECT_EQ(port.m_isOpen, 1);
  EXPECT_EQ(port.LastError().fault, LineFault::None);
}

// A device the user may not open: the port says so, and the survey says so without opening it.
// As root the check runs as nobody; an ordinary user is kept out by a mode that lets no one in.
TEST_F(PosixSerialPort, AUserWithoutAccessIsToldSoByThePortAndByTheSurvey) {
  home.OpenToAll();
  ASSERT_EQ(::chmod(pty.slavePath.c_str(), ::geteuid() == 0 ? 0600 : 0), 0);
  const std::string device = pty.slavePath;
  const int status = RunAsOrdinaryUser([&] {
    SerialPort port;
    Settings(port, 1, 9600, 0, 8, 2);
    port.Open();
    if (port.m_isOpen != 0) return 11;
    if (port.LastError().fault != LineFault::NoPermission) return 12;
    if (port.LastError().code != EACCES) return 13;
    return SurveyDevice(device) == PortState::NoPermission ? 0 : 14;
  });
  EXPECT_EQ(status, 0) << "255: could not drop, 11: opened, 12: another fault, 13: another "
                          "code, 14: the survey disagrees";
}

// The far end goes away: the line says it is lost on the next check, without anything being
// sent, and the port is closed at once.
TEST_F(PosixSerialPort, AHungUpLineIsLostAndThePortClosed) {
  port.Open();
  ASSERT_EQ(port.m_isOpen, 1);
  EXPECT_FALSE(port.LineLost());
  pty.HangUp();
  EXPECT_TRUE(port.LineLost());
  EXPECT_EQ(port.m_isOpen, 0);
  EXPECT_EQ(port.LastError().fault, LineFault::Lost);
  EXPECT_EQ(port.LastError().device, pty.slavePath);
  EXPECT_FALSE(port.LineLost());
}

TEST_F(PosixSerialPort, MissingDeviceLeavesThePortClosedAndSilent) {
  home.Link("COM7", (home.root() / "no-such-device").string());
  for (const uint32_t com : {7u, 0u}) {
    SCOPED_TRACE(com);
    port.m_port = com;
    port.Open();
    EXPECT_EQ(port.m_isOpen, 0);
    const uint8_t frame[] = {1, 3, 0, 0, 0, 1, 0x84, 0x0A};
    EXPECT_EQ(port.Write(frame, sizeof(frame)), 0);
    EXPECT_FALSE(port.BytesWaiting());
    port.Close();
  }
}

// Between close and open the terminal is disturbed (settings changed, input left waiting); the
// reopen puts the line settings back and starts with empty queues. A pseudo-terminal always keeps
// 8 data bits and no parity enable, so only speed, odd parity and stop bits show here; the data
// bits and parity enable are checked on the termios record itself (line_settings_test.cpp).
TEST_F(PosixSerialPort, ReopenReappliesEveryLineSettingAndFlushes) {
  struct Row {
    uint32_t baud;
    uint8_t parity, dataBits, stopBits;
    speed_t speed;
    tcflag_t cflag;  // PARODD and CSTOPB bits expected
  };
  const Row rows[] = {
      {9600, 0, 8, 2, B9600, CSTOPB},
      {19200, 1, 8, 1, B19200, PARODD},
      {300, 2, 7, 0, B300, CSTOPB},
      {115200, 1, 8, 1, B115200, PARODD},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.baud);
    Settings(port, 1, row.baud, row.parity, row.dataBits, row.stopBits);
    port.Open();
    ASSERT_EQ(port.m_isOpen, 1);
    pty.Send({0x01, 0x02, 0x03});
    ASSERT_TRUE(pty.SlaveReadable());
    termios disturbed{};
    ::tcgetattr(pty.master, &disturbed);
    disturbed.c_lflag |= ICANON | ECHO;
    disturbed.c_iflag |= IXON | ICRNL;
    disturbed.c_cflag ^= PARODD | CSTOPB;
    ::cfsetispeed(&disturbed, B50);
    ::cfsetospeed(&disturbed, B50);
    ::tcsetattr(pty.master, TCSANOW, &disturbed);
    port.Close();
    port.Open();
    ASSERT_EQ(port.m_isOpen, 1);
    EXPECT_FALSE(port.BytesWaiting());

    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.master, &tio), 0);  // the slave's settings
    EXPECT_EQ(::cfgetispeed(&tio), row.speed);
    EXPECT_EQ(::cfgetospeed(&tio), row.speed);
    EXPECT_EQ(tio.c_cflag & (PARODD | CSTOPB), row.cflag);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    port.Close();
  }
}

}  // namespace
