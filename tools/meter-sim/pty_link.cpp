#include "tools/meter-sim/pty_link.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

std::string ConfigHome() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.config";
}

bool MakeDirectories(const std::string& path) {
  for (size_t at = 1; at <= path.size(); ++at) {
    if (at < path.size() && path[at] != '/') continue;
    const std::string part = path.substr(0, at);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

std::string ReadLink(const std::string& path) {
  std::vector<char> target(4096);
  const ssize_t n = ::readlink(path.c_str(), target.data(), target.size() - 1);
  return n < 0 ? std::string() : std::string(target.data(), static_cast<size_t>(n));
}

// Baud rate of a termios speed; 0 for one not listed.
uint32_t BaudOf(speed_t speed) {
  static const struct {
    speed_t code;
    uint32_t baud;
  } kSpeeds[] = {{B50, 50},         {B75, 75},        {B110, 110},     {B134, 134},
                 {B150, 150},       {B200, 200},      {B300, 300},     {B600, 600},
                 {B1200, 1200},     {B1800, 1800},    {B2400, 2400},   {B4800, 4800},
                 {B9600, 9600},     {B19200, 19200},  {B38400, 38400}, {B57600, 57600},
                 {B115200, 115200}, {B230400, 230400}};
  for (const auto& s : kSpeeds) {
    if (s.code == speed) return s.baud;
  }
  return 0;
}

}  // namespace

std::string PortLinkPath(uint32_t port) {
  return ConfigHome() + "/quorvel/ports/COM" + std::to_string(port);
}

std::string ByIdLinkPath(const std::string& name, std::string& error) {
  const char* folder = std::getenv("QUORVEL_SERIAL_BY_ID");
  if (folder == nullptr || folder[0] != '/') {
    error = "--by-id needs QUORVEL_SERIAL_BY_ID: the folder the console lists adapters from";
    return {};
  }
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
    error = "--by-id needs a file name, not " + name;
    return {};
  }
  return std::string(folder) + "/" + name;
}

PtyLink::~PtyLink() {
  RemoveLink();
  if (m_watch >= 0) ::close(m_watch);
  if (m_slave >= 0) ::close(m_slave);
  if (m_master >= 0) ::close(m_master);
}

bool PtyLink::Open(std::string& error) {
  m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
    error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  const char* name = ::ptsname(m_master);
  if (name == nullptr) {
    error = "cannot name the pseudo-terminal";
    return false;
  }
  m_device = name;
  // Raw before any traffic: every byte value passes, no echo, no line editing.
  termios tio{};
  ::tcgetattr(m_master, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(m_master, TCSANOW, &tio);
  m_slave = ::open(m_device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (m_slave < 0) {
    error = "cannot open " + m_device + ": " + std::strerror(errno);
    return false;
  }
  ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
  // A console that dies with the port held exclusively would keep every later opener out; we
  // see each close of the console's end and lift the exclusivity then.
  m_watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (m_watch >= 0 &&
      ::inotify_add_watch(m_watch, m_device.c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
    ::close(m_watch);
    m_watch = -1;
  }
  return true;
}

void PtyLink::ReleaseAfterClose() {
  char events[4096];
  while (::read(m_watch, events, sizeof events) > 0) {
  }
  ::ioctl(m_slave, TIOCNXCL);
}

bool PtyLink::PlaceLink(const std::string& path, std::string& error) {
  const size_t slash = path.rfind('/');
  if (!MakeDirectories(path.substr(0, slash))) {
    error = "cannot create " + path.substr(0, slash) + ": " + std::strerror(errno);
    return false;
  }
  struct stat link {};
  if (::lstat(path.c_str(), &link) == 0) {
    struct stat target {};
    if (!S_ISLNK(link.st_mode)) {
      error = path + " exists and is not a link; not replacing it";
      return false;
    }
    // A link to our own terminal was left by a simulator that did not end cleanly, whose freed
    // terminal number has just been given to us.
    struct stat own {};
    if (::stat(path.c_str(), &target) == 0 &&
        !(::stat(m_device.c_str(), &own) == 0 && target.st_rdev == own.st_rdev)) {
      error = path + " already links to " + ReadLink(path) + ", which exists; not replacing it";
      return false;
    }
    ::unlink(path.c_str());  // dangling, or ours: left by a simulator that did not end cleanly
  }
  if (::symlink(m_device.c_str(), path.c_str()) != 0) {
    error = "cannot link " + path + ": " + std::strerror(errno);
    return false;
  }
  m_link = path;
  return true;
}

void PtyLink::RemoveLink() {
  if (m_link.empty()) return;
  if (ReadLink(m_link) == m_device) ::unlink(m_link.c_str());
  m_link.clear();
}

SentFormat PtyLink::Sending() const {
  SentFormat sent;
  termios tio{};
  if (::tcgetattr(m_master, &tio) != 0) {
    sent.format.baudRate = 0;  // no speed any meter listens at
    return sent;
  }
  sent.format.baudRate = BaudOf(::cfgetospeed(&tio));
  sent.format.stopBits = (tio.c_cflag & CSTOPB) != 0 ? 2 : 1;
  return sent;
}
