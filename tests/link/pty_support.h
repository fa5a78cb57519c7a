#pragma once

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Support for tests on pseudo-terminals: a raw pty pair, a temporary configuration folder in
// which COMn links name devices, bounded waits built on poll(), and a child process that runs as
// an ordinary user.

constexpr int kWaitMs = 5000;  // generous: the machine may be busy

// A pseudo-terminal whose slave side stands in for a COM port. The master is put in raw mode
// before any traffic (this sets the line discipline the slave side starts with), and one extra
// descriptor on the slave keeps the terminal alive across the port's own closes and lets the test
// poll() for input waiting on the slave side.
struct RawPty {
  int master = -1;
  int holder = -1;
  std::string slavePath;

  RawPty() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return;
    termios tio{};
    ::tcgetattr(master, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master, TCSANOW, &tio);
    slavePath = ::ptsname(master);
    holder = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  }
  ~RawPty() {
    if (holder >= 0) ::close(holder);
    if (master >= 0) ::close(master);
  }
  RawPty(const RawPty&) = delete;
  RawPty& operator=(const RawPty&) = delete;

  bool ok() const { return master >= 0 && holder >= 0; }

  // The far end goes away, as a meter process that dies or an adapter pulled out: the slave
  // side hangs up and its device node is removed.
  void HangUp() {
    if (master >= 0) ::close(master);
    master = -1;
  }

  void Send(const std::vector<uint8_t>& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
      if (n > 0)
        done += static_cast<size_t>(n);
      else
        ::poll(nullptr, 0, 1);
    }
  }

  // Bytes the port wrote, read from the master until n have come or the wait ends.
  std::vector<uint8_t> Receive(size_t n) const {
    std::vector<uint8_t> bytes;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (bytes.size() < n && std::chrono::steady_clock::now() < end) {
      pollfd fd{master, POLLIN, 0};
      if (::poll(&fd, 1, 50) <= 0) continue;
      uint8_t chunk[512];
      const ssize_t got = ::read(master, chunk, sizeof(chunk));
      if (got > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return bytes;
  }

  // True once the port has written something (input waits on the master side).
  bool MasterReadable(int timeoutMs = kWaitMs) const {
    pollfd fd{master, POLLIN, 0};
    return ::poll(&fd, 1, timeoutMs) == 1 && (fd.revents & POLLIN) != 0;
  }

  // True once input waits on the slave side.
  bool SlaveReadable(int timeoutMs = kWaitMs) const {
    pollfd fd{holder, POLLIN, 0};
    return ::poll(&fd, 1, timeoutMs) == 1 && (fd.revents & POLLIN) != 0;
  }
};

// A temporary HOME and XDG_CONFIG_HOME with a quorvel/ports folder; restores the environment.
class PortsHome {
 public:
  PortsHome() {
    Save("HOME", m_oldHome);
    Save("XDG_CONFIG_HOME", m_oldConfig);
    char pattern[] = "/tmp/quorvel-link-XXXXXX";
    m_root = ::mkdtemp(pattern);
    std::filesystem::create_directories(m_root / "quorvel" / "ports");
    ::setenv("HOME", m_root.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", m_root.c_str(), 1);
  }
  ~PortsHome() {
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
    Restore("HOME", m_oldHome);
    Restore("XDG_CONFIG_HOME", m_oldConfig);
  }

  void Link(const std::string& com, const std::string& device) const {
    std::filesystem::create_symlink(device, m_root / "quorvel" / "ports" / com);
  }
  // Points an existing COMn link at another device, as a user does after a replug.
  void Relink(const std::string& com, const std::string& device) const {
    std::filesystem::remove(m_root / "quorvel" / "ports" / com);
    Link(com, device);
  }
  // Lets any user reach the links (for a test that runs as another user).
  void OpenToAll() const {
    for (const auto& dir : {m_root, m_root / "quorvel", m_root / "quorvel" / "ports"}) {
      ::chmod(dir.c_str(), 0755);
    }
  }
  const std::filesystem::path& root() const { return m_root; }

 private:
  static void Save(const char* name, std::string& into) {
    const char* value = std::getenv(name);
    into = value != nullptr ? value : "";
  }
  static void Restore(const char* name, const std::string& value) {
    if (value.empty())
      ::unsetenv(name);
    else
      ::setenv(name, value.c_str(), 1);
  }

  std::filesystem::path m_root;
  std::string m_oldHome;
  std::string m_oldConfig;
};

// Runs `body` in a child process that, when we are root, first drops to the user nobody, so that
// file permissions and exclusive terminals apply to it as to any user. Returns the child's exit
// status (what `body` returned, up to 254), 255 when it could not drop, -1 when it did not exit.
// `body` must report through its result: a test assertion in the child is lost.
inline int RunAsOrdinaryUser(const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0) {
      const passwd* nobody = ::getpwnam("nobody");
      const uid_t uid = nobody != nullptr ? nobody->pw_uid : 65534;
      const gid_t gid = nobody != nullptr ? nobody->pw_gid : 65534;
      if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 ||
          ::setresuid(uid, uid, uid) != 0) {
        ::_exit(255);
      }
    }
    ::_exit(body());
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}
