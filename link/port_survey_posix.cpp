// The survey behind `quorvel --ports`, on POSIX. Every check works on names and numbers: stat()
// and faccessat() of the device, the kernel's table of terminal drivers, the serial port's sysfs
// attributes, lock files and the descriptors in /proc. No device is opened.
#include "link/port_survey.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>

#include "link/port_catalog.h"
#include "link/serial_port_posix.h"

namespace {

constexpr uint32_t kPorts = 9;  // the port list offers COM1 to COM9

std::vector<std::string> DirectoryEntries(const std::string& folder) {
  return SortedFolderNames(folder);
}

std::optional<std::string> FirstLine(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  if (!file || !std::getline(file, line)) return std::nullopt;
  return line;
}

// Whether a character device belongs to a terminal driver, from /proc/tty/drivers; when the
// table cannot be read, every character device is taken for a terminal.
bool IsTerminal(dev_t device) {
  std::ifstream drivers("/proc/tty/drivers");
  if (!drivers) return true;
  const unsigned major = ::major(device);
  const unsigned minor = ::minor(device);
  std::string line;
  while (std::getline(drivers, line)) {
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string word; fields >> word;) words.push_back(word);
    if (words.size() < 4) continue;
    // ... major, minor or first-last, type: counted from the end, as names may hold blanks.
    const std::string& range = words[words.size() - 2];
    if (std::strtoul(words[words.size() - 3].c_str(), nullptr, 10) != major) continue;
    const size_t dash = range.find('-');
    const unsigned long first = std::strtoul(range.c_str(), nullptr, 10);
    const unsigned long last =
        dash == std::string::npos ? first : std::strtoul(range.c_str() + dash + 1, nullptr, 10);
    if (minor >= first && minor <= last) return true;
  }
  return false;
}

// A serial port node with no UART behind it: the serial core gives it type 0.
bool HasNoUart(dev_t device) {
  const std::string type = "/sys/dev/char/" + std::to_string(::major(device)) + ":" +
                           std::to_string(::minor(device)) + "/type";
  const std::optional<std::string> value = FirstLine(type);
  return value && *value == "0";
}

// A UUCP-style lock file (LCK..ttyUSB0) whose process is still alive.
std::optional<std::string> LockHolder(const std::string& kernelName) {
  for (const char* folder : {"/run/lock", "/var/lock"}) {
    const std::optional<std::string> text = FirstLine(std::string(folder) + "/LCK.." + kernelName);
    if (!text) continue;
    const long pid = std::strtol(text->c_str(), nullptr, 10);
    if (pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) {
      return "lock file of pid " + std::to_string(pid);
    }
  }
  return std::nullopt;
}

// A process (other than this one) with a descriptor on the device. Without privileges only the
// user's own processes can be looked into.
std::optional<std::string> DescriptorHolder(dev_t device) {
  const std::string self = std::to_string(::getpid());
  for (const std::string& pid : DirectoryEntries("/proc")) {
    if (pid == self || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string fds = "/proc/" + pid + "/fd";
    for (const std::string& fd : DirectoryEntries(fds)) {
      struct stat st;
      if (::stat((fds + "/" + fd).c_str(), &st) != 0) continue;
      if (S_ISCHR(st.st_mode) && st.st_rdev == device) {
        return FirstLine("/proc/" + pid + "/comm").value_or("?") + ", pid " + pid;
      }
    }
  }
  return std::nullopt;
}

// A name as the terminal can show it safely: control characters (an escape sequence in a link's
// name would act on the terminal), C1 controls and bytes that are not UTF-8 as \xNN.
std::string Printable(const std::string& name) {
  std::string out;
  const auto escape = [&out](unsigned char byte) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
  };
  for (size_t k = 0; k < name.size();) {
    const auto byte = static_cast<unsigned char>(name[k]);
    if (byte < 0x20 || byte == 0x7F) {
      escape(byte);
      ++k;
      continue;
    }
    if (byte < 0x80) {
      out += name[k++];
      continue;
    }
    // A whole UTF-8 sequence other than a C1 control (U+0080 to U+009F) passes as it is.
    const size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC2 ? 2 : 0;
    bool whole = length != 0 && k + length <= name.size();
    for (size_t j = 1; whole && j < length; ++j) {
      whole = (static_cast<unsigned char>(name[k + j]) & 0xC0) == 0x80;
    }
    const bool c1 = byte == 0xC2 && whole && static_cast<unsigned char>(name[k + 1]) < 0xA0;
    if (!whole || c1) {
      escape(byte);
      ++k;
      continue;
    }
    out.append(name, k, length);
    k += length;
  }
  return out;
}

std::string KernelName(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  std::string name = real != nullptr ? real : path;
  std::free(real);
  return name.substr(name.rfind('/') + 1);
}

std::optional<dev_t> DeviceNumber(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return std::nullopt;
  return st.st_rdev;
}

}  // namespace

const char* PortStateName(PortState state) {
  switch (state) {
    case PortState::Ready:
      return "ready";
    case PortState::Missing:
      return "missing";
    case PortState::NoPermission:
      return "no permission";
    case PortState::Busy:
      return "busy";
    case PortState::NotSerial:
      return "not a serial device";
  }
  return "?";
}

PortState SurveyDevice(const std::string& path, std::string* holder) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    return errno == EACCES ? PortState::NoPermission : PortState::Missing;
  }
  if (!S_ISCHR(st.st_mode) || !IsTerminal(st.st_rdev)) return PortState::NotSerial;
  if (HasNoUart(st.st_rdev)) return PortState::Missing;
  if (::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) != 0) {
    return PortState::NoPermission;
  }
  std::optional<std::string> held = LockHolder(KernelName(path));
  if (!held) held = DescriptorHolder(st.st_rdev);
  if (!held) return PortState::Ready;
  if (holder != nullptr) *holder = *held;
  return PortState::Busy;
}

std::vector<SurveyedPort> SurveyPorts() {
  std::vector<SurveyedPort> ports;
  for (uint32_t n = 1; n <= kPorts; ++n) {
    SurveyedPort port;
    port.port = n;
    port.device = PortDeviceName(n);
    port.linked = PortDevicePath(n) == PortsFolder() + "/COM" + std::to_string(n);
    port.state = SurveyDevice(PortDevicePath(n), &port.holder);
    ports.push_back(port);
  }
  return ports;
}

std::vector<UnnamedDevice> UnnamedSerialDevices(const std::vector<SurveyedPort>& ports) {
  std::set<dev_t> taken;
  for (const SurveyedPort& port : ports) {
    if (const auto device = DeviceNumber(PortDevicePath(port.port))) taken.insert(*device);
  }
  std::vector<UnnamedDevice> found;
  const auto add = [&](const std::string& path) {
    const std::optional<dev_t> device = DeviceNumber(path);
    if (!device || !taken.insert(*device).second) return;
    found.push_back({path, KernelName(path)});
  };
  for (const std::string& name : DirectoryEntries("/dev/serial/by-id")) {
    add("/dev/serial/by-id/" + name);
  }
  // Terminals backed by hardware have a device behind them; consoles and pseudo-terminals don't.
  for (const std::string& name : DirectoryEntries("/sys/class/tty")) {
    struct stat st;
    const std::string sys = "/sys/class/tty/" + name;
    if (::stat((sys + "/device").c_str(), &st) != 0) continue;
    if (FirstLine(sys + "/type").value_or("") == "0") continue;  // no UART
    add("/dev/" + name);
  }
  return found;
}

int PrintPortSurvey(std::FILE* out) {
  const std::string folder = PortsFolder();
  const std::string shownFolder = Printable(folder);
  const std::vector<SurveyedPort> ports = SurveyPorts();
  struct stat st;
  const bool notFolder = ::stat(folder.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
  std::fprintf(out, "COMn links are read from %s\n", shownFolder.c_str());
  if (notFolder) {
    std::fprintf(out,
                 "but %s is not a folder: no COMn can be opened until it is moved away and the "
                 "folder made\n\n",
                 shownFolder.c_str());
  } else {
    std::fprintf(out, "(a COMn without a link stands for /dev/ttyS<n-1>)\n\n");
  }
  bool deniedAny = false;
  for (const SurveyedPort& port : ports) {
    std::string note;
    if (!port.linked) note = " (no link)";
    if (!port.holder.empty()) note += " (held by " + port.holder + ")";
    std::fprintf(out, "COM%u  %-19s  %s%s\n", port.port, PortStateName(port.state),
                 Printable(port.device).c_str(), Printable(note).c_str());
    deniedAny = deniedAny || port.state == PortState::NoPermission;
  }
  if (deniedAny) {
    std::fprintf(out,
                 "\nno permission: add the user to the device's group (usually dialout) and log "
                 "in again:\n  sudo usermod -aG dialout \"$USER\"\n");
  }

  // The port list's own entries after COM1 to COM9, as the window lists them.
  const std::vector<PortEntry> adapters = ListAdapters();
  std::fprintf(out, "\nAdapters in the port list:%s\n", adapters.empty() ? " none" : "");
  for (const PortEntry& adapter : adapters) {
    std::fprintf(out, "  %-32s %s\n", Printable(adapter.name).c_str(),
                 Printable(adapter.path).c_str());
  }

  const std::vector<UnnamedDevice> unnamed = UnnamedSerialDevices(ports);
  if (unnamed.empty()) return 0;
  std::fprintf(out, "\nTo give a serial device a fixed COMn instead:\n");
  // Suggested names: COMn that have no link and stand for nothing present.
  std::vector<std::string> free;
  for (const SurveyedPort& port : ports) {
    if (!port.linked && port.state == PortState::Missing) {
      free.push_back("COM" + std::to_string(port.port));
    }
  }
  if (::stat(folder.c_str(), &st) != 0) std::fprintf(out, "  mkdir -p %s\n", shownFolder.c_str());
  for (size_t k = 0; k < unnamed.size(); ++k) {
    const std::string com = k < free.size() ? free[k] : "COMn";
    const std::string path = Printable(unnamed[k].path);
    std::fprintf(out, "  %s (%s)\n    ln -s %s %s/%s\n", path.c_str(),
                 Printable(unnamed[k].kernel).c_str(), path.c_str(), shownFolder.c_str(),
                 com.c_str());
  }
  return 0;
}
