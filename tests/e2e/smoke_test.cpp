// The real quorvel program, offscreen, with COM1 linked to a pseudo-terminal on which this test
// plays the meter.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
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

// The output of `quorvel --ports` run with no display at all (a window could not even start),
// line by line under the COMn each begins with; the exit status in `status`.
std::map<std::string, std::string> RunPortsOption(const fs::path& home, int& status,
                                                  std::string* all = nullptr) {
  int out[2];
  if (::pipe(out) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out[1], 1);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) ::unsetenv(name);
    ::execl(QUORVEL_BINARY, QUORVEL_BINARY, "--ports", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  ::close(out[0]);
  ::waitpid(child, &status, 0);
  if (all != nullptr) *all = text;
  std::map<std::string, std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    if (line.rfind("COM", 0) == 0) lines[line.substr(0, line.find(' '))] = line;
  }
  return lines;
}

// COM1 is the pty this test holds; COM2 a pty nobody holds; then a device that is gone and a file.
// The survey opens none of them (inotify would see it), so no line is disturbed or held.
TEST_F(SmokeTest, ThePortsOptionSaysWhatEachComStandsForWithoutOpeningAnyOfThem) {
  const int free = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(free, 0);
  ASSERT_EQ(::grantpt(free), 0);
  ASSERT_EQ(::unlockpt(free), 0);
  const std::string ready = ::ptsname(free);
  const fs::path ports = m_home / "quorvel/ports";
  const std::string held = fs::read_symlink(ports / "COM1");
  fs::create_symlink(ready, ports / "COM2");
  fs::create_symlink(m_home / "unplugged", ports / "COM3");
  std::ofstream(m_home / "notes.txt") << "not a port\n";
  fs::create_symlink(m_home / "notes.txt", ports / "COM4");
  fs::create_symlink("/dev/\x1b[2J\x1b]0;owned\x07", ports / "COM5");  // escapes in a name
  const int opens = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(opens, 0);
  for (const std::string& device : {held, ready}) {
    ASSERT_GE(::inotify_add_watch(opens, device.c_str(), IN_OPEN), 0);
  }

  int status = -1;
  auto lines = RunPortsOption(m_home, status);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(lines["COM1"].rfind("COM1  busy                 " + held + " (held by ", 0), 0u)
      << lines["COM1"];
  EXPECT_EQ(lines["COM2"], "COM2  ready                " + ready);
  EXPECT_EQ(lines["COM3"], "COM3  missing              " + (m_home / "unplugged").string());
  EXPECT_EQ(lines["COM4"], "COM4  not a serial device  " + (m_home / "notes.txt").string());
  EXPECT_EQ(lines["COM5"], "COM5  missing              /dev/\\x1b[2J\\x1b]0;owned\\x07");
  EXPECT_EQ(lines.count("COM9"), 1u);
  char event[sizeof(inotify_event) + 256];
  EXPECT_LT(::read(opens, event, sizeof event), 0) << "a device was opened";
  ::close(opens);
  ::close(free);
}

// A ports path that is a file holds no link: the survey says so rather than reading it as "no
// links", and the console opens nothing that COM1 would otherwise fall back to.
TEST_F(SmokeTest, APortsPathThatIsNoFolderIsReported) {
  const fs::path ports = m_home / "quorvel/ports";
  fs::remove_all(ports);
  std::ofstream(ports) << "not a folder\n";
  int status = -1;
  std::string all;
  auto lines = RunPortsOption(m_home, status, &all);
  EXPECT_NE(all.find("but " + ports.string() + " is not a folder"), std::string::npos) << all;
  EXPECT_EQ(lines["COM1"], "COM1  missing              " + (ports / "COM1").string());
}

}  // namespace
