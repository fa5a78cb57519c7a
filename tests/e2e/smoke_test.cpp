// The real quorvel program, offscreen, with COM1 linked to a pseudo-terminal on which this test
// plays the meter.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr int kGenerousMs = 15000;  // start-up of the program included

// The Modbus CRC-16, written here again so that a mistake shared with the console would show.
uint16_t Crc16(const Bytes& bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t b : bytes) {
    crc ^= b;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

Bytes WithCrc(Bytes frame) {
  const uint16_t crc = Crc16(frame);
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}

class SmokeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quorvel-smoke-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    m_home = pattern;

    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(m_master, 0);
    ASSERT_EQ(::grantpt(m_master), 0);
    ASSERT_EQ(::unlockpt(m_master), 0);
    termios raw = {};
    ASSERT_EQ(::tcgetattr(m_master, &raw), 0);
    ::cfmakeraw(&raw);
    ASSERT_EQ(::tcsetattr(m_master, TCSANOW, &raw), 0);
    const std::string slave = ::ptsname(m_master);
    // Held open so the master never reads end-of-file while the console is between opens.
    m_slaveHold = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(m_slaveHold, 0);

    fs::create_directories(m_home / "quorvel/ports");
    fs::create_symlink(slave, m_home / "quorvel/ports/COM1");
  }

  void TearDown() override {
    if (m_child > 0) {
      ::kill(m_child, SIGKILL);
      ::waitpid(m_child, nullptr, 0);
    }
    if (m_slaveHold >= 0) ::close(m_slaveHold);
    if (m_master >= 0) ::close(m_master);
    std::error_code ignored;
    fs::remove_all(m_home, ignored);
  }

  void StartConsole() {
    m_child = ::fork();
    ASSERT_GE(m_child, 0);
    if (m_child == 0) {
      ::setenv("HOME", m_home.c_str(), 1);
      ::setenv("XDG_CONFIG_HOME", m_home.c_str(), 1);
      ::setenv("XDG_RUNTIME_DIR", m_home.c_str(), 1);
      ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
      ::execl(QUORVEL_BINARY, QUORVEL_BINARY, static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }

  // The next request frame of `length` bytes, or what arrived before the time ran out.
  Bytes ReadFrame(size_t length) {
    Bytes frame;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerousMs);
    while (frame.size() < length) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p = {m_master, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      uint8_t buffer[256];
      const ssize_t n = ::read(m_master, buffer, std::min(sizeof buffer, length - frame.size()));
      if (n <= 0) break;
      frame.insert(frame.end(), buffer, buffer + n);
    }
    return frame;
  }

  void Reply(const Bytes& frame) {
    ASSERT_EQ(::write(m_master, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
  }

  fs::path m_home;
  int m_master = -1;
  int m_slaveHold = -1;
  pid_t m_child = -1;
};

TEST_F(SmokeTest, TheConsoleReadsTheParametersFirstThenPollsTheRealTimeBlockAndEndsCleanly) {
  StartConsole();

  EXPECT_EQ(ReadFrame(8), WithCrc({0x01, 0x03, 0x03, 0x00, 0x00, 0x2C}));

  Bytes reply = {0x01, 0x03, 44 * 2};
  for (int k = 0; k < 44; ++k) {
    reply.push_back(0x00);
    reply.push_back(static_cast<uint8_t>(k));
  }
  Reply(WithCrc(reply));

  EXPECT_EQ(ReadFrame(8), (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x45, 0x84, 0x39}));

  ASSERT_EQ(::kill(m_child, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(m_child, &status, 0), m_child);
  m_child = -1;
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
