// The serial port on POSIX: termios, raw, exclusive, non-blocking.
#include "link/serial_port_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kMaxPendingOutput = 2048;  // the driver queue size the console relies on

speed_t SpeedFor(uint32_t baud) {
  switch (baud) {
    case 50:
      return B50;
    case 75:
      return B75;
    case 110:
      return B110;
    case 134:
      return B134;
    case 150:
      return B150;
    case 200:
      return B200;
    case 300:
      return B300;
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 1800:
      return B1800;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    default:
      return B9600;  // a rate the line cannot take falls back to the default rate
  }
}

tcflag_t SizeFor(uint8_t dataBits) {
  switch (dataBits) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

std::string ConfigHome() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.config";
}

// Errors with which a terminal says its device is gone: a hung-up or removed tty answers EIO,
// a vanished one ENXIO or ENODEV.
bool IsGone(int code) { return code == EIO || code == ENXIO || code == ENODEV; }

// Hands what the driver will take of the pending output to it, never waiting. Returns the errno
// of a write the line refused for good (the output is dropped then), else 0.
int DrainPending(int fd, std::vector<uint8_t>& pending) {
  while (!pending.empty()) {
    const ssize_t n = ::write(fd, pending.data(), pending.size());
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        pending.clear();
        return errno;
      }
      return 0;
    }
    pending.erase(pending.begin(), pending.begin() + n);
  }
  return 0;
}

// termios backend. Output the driver did not take yet waits in a small queue, drained on every
// later call; frames are small and paced by the operator or the poll, so it is normally empty,
// and it keeps a frame from being cut or interleaved with the next.
class PosixLine : public SerialLine {
 public:
  ~PosixLine() override { Close(); }

  // Anything that is not a character device is refused before it is opened: opening a FIFO or
  // a file has effects of its own, and none of them is a serial line.
  bool Open(const SerialPort& settings) override {
    const std::string& path = settings.m_openPath;
    m_device = DeviceNameOf(path);
    m_error = {LineFault::None, 0, m_device, ""};
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return Refuse(errno);
    if (!S_ISCHR(st.st_mode)) return Refuse(ENOTTY);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Refuse(errno);
    if (!::isatty(fd)) {
      ::close(fd);
      return Refuse(ENOTTY);
    }
    // flock refuses a second opener, root included; TIOCEXCL keeps other programs out too.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int code = errno;
      ::close(fd);
      return Refuse(code);
    }
    ::ioctl(fd, TIOCEXCL);
    m_fd = fd;
    m_pending.clear();
    m_inNext = m_inEnd = 0;
    ::tcflush(m_fd, TCIOFLUSH);
    Configure(settings);
    return true;
  }

  void Configure(const SerialPort& settings) override {
    if (m_fd < 0) return;
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0) return;
    SetLineTermios(tio, settings);
    ::tcsetattr(m_fd, TCSANOW, &tio);
  }

  void Close() override {
    if (m_fd < 0) return;
    ::tcflush(m_fd, TCIOFLUSH);
    // Cleared before close: a pseudo-terminal left exclusive refuses our own reopen (non-root).
    ::ioctl(m_fd, TIOCNXCL);
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
    m_pending.clear();
    m_inNext = m_inEnd = 0;
  }

  bool BytesWaiting() override {
    if (m_fd < 0) return false;
    NoteWriteError(DrainPending(m_fd, m_pending));
    if (m_inNext < m_inEnd) return true;
    int waiting = 0;
    if (::ioctl(m_fd, FIONREAD, &waiting) != 0) {
      if (IsGone(errno)) MarkLost(errno, std::strerror(errno));
      return false;
    }
    return waiting > 0;
  }

  // The bytes come one at a time, in the order the driver received them, but are fetched with
  // one read of all the driver holds: two system calls a byte would cost a reply more than the
  // rest of its transaction.
  uint8_t ReadByte() override {
    if (m_inNext == m_inEnd && m_fd >= 0) {
      m_inNext = m_inEnd = 0;
      const ssize_t n = ::read(m_fd, m_in, sizeof m_in);
      if (n > 0) {
        m_inEnd = static_cast<size_t>(n);
      } else if (n < 0 && IsGone(errno)) {
        MarkLost(errno, std::strerror(errno));
      }
    }
    return m_inNext < m_inEnd ? m_in[m_inNext++] : 0;
  }

  void DiscardInput() override {
    m_inNext = m_inEnd = 0;
    if (m_fd >= 0) ::tcflush(m_fd, TCIFLUSH);
  }

  // A frame the driver cannot take yet waits in the queue and counts as written; one the line
  // refused for good did not reach it.
  bool Write(const uint8_t* buffer, uint16_t length) override {
    if (m_fd < 0) return false;
    if (m_pending.size() + length > kMaxPendingOutput) m_pending.clear();  // a stuck line
    m_pending.insert(m_pending.end(), buffer, buffer + length);
    const int refused = DrainPending(m_fd, m_pending);
    NoteWriteError(refused);
    return refused == 0;
  }

  // FIONREAD says nothing about a hung-up line, so the line is asked directly: poll() reports
  // POLLHUP and POLLERR whatever events are asked for, and with no events and no wait it costs
  // one system call a tick.
  bool Lost() override {
    if (m_fd < 0) return false;
    if (m_error.fault != LineFault::Lost) {
      pollfd line{m_fd, 0, 0};
      if (::poll(&line, 1, 0) == 1 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        MarkLost(0, (line.revents & POLLHUP) != 0 ? "hung up" : "line error");
      }
    }
    return m_error.fault == LineFault::Lost;
  }

 private:
  bool Refuse(int code) {
    m_error = {FaultOfErrno(code), code, m_device, std::strerror(code)};
    return false;
  }

  void MarkLost(int code, const char* text) {
    if (m_error.fault != LineFault::Lost) m_error = {LineFault::Lost, code, m_device, text};
  }

  void NoteWriteError(int code) {
    if (IsGone(code)) MarkLost(code, std::strerror(code));
  }

  int m_fd = -1;
  std::vector<uint8_t> m_pending;
  // Received bytes fetched from the driver and not yet handed on: m_in[m_inNext, m_inEnd).
  uint8_t m_in[512] = {};
  size_t m_inNext = 0;
  size_t m_inEnd = 0;
  std::string m_device;  // what COMn stood for at the last open
};

}  // namespace

// Raw: every byte value passes unchanged; no echo, no line editing, no CR/LF mapping, no software
// flow control (0x11 and 0x13 are data), no parity checking or marking (a damaged byte is taken
// as it comes and fails the frame check), and no hardware flow control either: a handshake left on
// by another program would stall the transmitter on a line whose CTS nobody drives. Adapters that
// need RTS to switch an RS-485 driver's direction have their driver do it.
void SetLineTermios(termios& tio, const SerialPort& settings) {
  tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | INPCK | IGNPAR);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  tio.c_cflag |= CREAD | CLOCAL | SizeFor(settings.m_dataBits);
  if (settings.m_parity == 1) tio.c_cflag |= PARENB | PARODD;
  if (settings.m_parity == 2) tio.c_cflag |= PARENB;
  if ((settings.m_stopBits & 1) == 0) tio.c_cflag |= CSTOPB;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  const speed_t speed = SpeedFor(settings.m_baudRate);
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
}

std::unique_ptr<SerialLine> MakePlatformLine() { return std::make_unique<PosixLine>(); }

std::string PortsFolder() { return ConfigHome() + "/quorvel/ports"; }

// "COMn" is the device that the link ~/.config/quorvel/ports/COMn points to ($XDG_CONFIG_HOME
// honoured), else /dev/ttyS<n-1>. Without such a link "COM0" names no device (it is not COM1).
// The link is looked up again at every open: a replugged adapter may come back under another
// name, and the link is what the user keeps up to date.
std::string PortDevicePath(uint32_t port) {
  const std::string folder = PortsFolder();
  const std::string link = folder + "/COM" + std::to_string(port);
  struct stat st;
  if (::lstat(link.c_str(), &st) == 0) return link;
  // A ports path that is no folder holds no link, but it shows the user meant to name the ports:
  // the open fails naming the link, rather than reaching a device nobody chose.
  if (::stat(folder.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) return link;
  if (port == 0) return {};
  return "/dev/ttyS" + std::to_string(port - 1);
}

std::string PortDeviceName(uint32_t port) { return DeviceNameOf(PortDevicePath(port)); }

std::string DeviceNameOf(const std::string& path) {
  char target[4096];
  const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
  if (n <= 0) return path;
  return std::string(target, static_cast<size_t>(n));
}

std::vector<std::string> SortedFolderNames(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

LineFault FaultOfErrno(int code) {
  switch (code) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
    case ENODEV:
    case ENXIO:
    case EIO:  // a serial port node with no UART behind it
      return LineFault::Missing;
    case EACCES:
    case EPERM:
      return LineFault::NoPermission;
    case EBUSY:
    case EWOULDBLOCK:  // the lock another console holds
      return LineFault::Busy;
    case ENOTTY:
    case EISDIR:
      return LineFault::NotSerial;
    default:
      return LineFault::Other;
  }
}
