// The adapters the port list offers on POSIX: the links of /dev/serial/by-id (named from the
// maker's model and serial number, and opened by that path, so a replug on another socket finds
// the same adapter), then /dev/ttyACM* and /dev/ttyUSB* devices that have no such link.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>
#include <string_view>

#include "link/port_catalog.h"
#include "link/serial_port.h"
#include "link/serial_port_posix.h"

namespace {

constexpr uint32_t kNumberedPorts = 9;    // COM1 to COM9 come first, as always
constexpr size_t kMaxNameBytes = 60;      // a list entry, and the summary that repeats it
constexpr const char* kDefaultByIdFolder = "/dev/serial/by-id";

// Tests point the console at a folder of their own links; nothing else sets it.
std::string ByIdFolder() {
  const char* folder = std::getenv("QUORVEL_SERIAL_BY_ID");
  return folder != nullptr && folder[0] == '/' ? folder : kDefaultByIdFolder;
}

std::vector<std::string> SortedNames(const std::string& folder) {
  return SortedFolderNames(folder);
}

// The character device a path leads to, following links; none for anything else (a dangling
// link, a loop, a folder, a file).
bool DeviceAt(const std::string& path, dev_t& device) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
  device = st.st_rdev;
  return true;
}

// The kernel's name of the device a path leads to: "ttyUSB0", "pts/3".
std::string KernelName(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  std::string name = real != nullptr ? real : path;
  std::free(real);
  constexpr std::string_view kDev = "/dev/";
  if (name.rfind(kDev, 0) == 0) return name.substr(kDev.size());
  return name.substr(name.rfind('/') + 1);
}

bool HasDigit(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}
bool HasLetter(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  });
}

// The link's name without its bus ("usb-") and interface ("-if00-port0") parts.
std::string LinkCore(std::string name) {
  for (const char* bus : {"usb-", "pci-", "platform-"}) {
    if (name.rfind(bus, 0) == 0) {
      name.erase(0, std::char_traits<char>::length(bus));
      break;
    }
  }
  const size_t interface = name.rfind("-if");
  if (interface != std::string::npos && interface + 3 < name.size() &&
      std::isdigit(static_cast<unsigned char>(name[interface + 3])) != 0) {
    name.erase(interface);
  }
  return name;
}

std::vector<std::string> Tokens(const std::string& core) {
  std::vector<std::string> tokens;
  size_t at = 0;
  while (at <= core.size()) {
    const size_t end = std::min(core.find('_', at), core.size());
    if (end > at) tokens.push_back(core.substr(at, end - at));
    at = end + 1;
  }
  return tokens;
}

// Control characters become "?"; the name is cut at a character boundary.
std::string Shown(const std::string& name) {
  std::string out;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    out += byte < 0x20 || byte == 0x7F ? '?' : c;
  }
  if (out.size() > kMaxNameBytes) {
    size_t cut = kMaxNameBytes;
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
    out.erase(cut);
  }
  return out;
}

// Makers write "maker_model_words_serial": the serial is the last word when it has a digit, the
// model the first other word with letters and digits (FT232R, CP2102, USB-RS485), else the maker.
std::string ModelAndSerial(const std::string& byIdName) {
  const std::string core = LinkCore(byIdName);
  const std::vector<std::string> tokens = Tokens(core);
  std::string name;
  if (tokens.size() < 2) {
    name = tokens.empty() ? core : tokens.front();
  } else {
    const bool hasSerial =
        tokens.size() >= 3 && HasDigit(tokens.back()) && tokens.back().size() >= 4;
    const size_t last = hasSerial ? tokens.size() - 1 : tokens.size();
    std::string model = tokens.front();
    for (size_t k = 1; k < last; ++k) {
      if (HasDigit(tokens[k]) && HasLetter(tokens[k])) {
        model = tokens[k];
        break;
      }
    }
    name = hasSerial ? model + " " + tokens.back() : model;
  }
  return Shown(name);
}

}  // namespace

std::string AdapterName(const std::string& byIdName, const std::string& kernelName) {
  return ModelAndSerial(byIdName) + " (" + Shown(kernelName) + ")";
}

std::string AbsentAdapterName(const std::string& path) {
  const std::string base = path.substr(path.rfind('/') + 1);
  const bool byId = path.rfind(ByIdFolder() + "/", 0) == 0 || path.rfind(kDefaultByIdFolder, 0) == 0;
  return byId ? ModelAndSerial(base) : Shown(base);
}

std::vector<PortEntry> ListAdapters() {
  std::set<dev_t> taken;
  dev_t device = 0;
  for (uint32_t n = 1; n <= kNumberedPorts; ++n) {
    if (DeviceAt(PortDevicePath(n), device)) taken.insert(device);
  }
  std::vector<PortEntry> found;
  const std::string folder = ByIdFolder();
  for (const std::string& link : SortedNames(folder)) {
    const std::string path = folder + "/" + link;
    if (found.size() == kMaxAdapters) break;
    if (!DeviceAt(path, device) || !taken.insert(device).second) continue;
    found.push_back({AdapterName(link, KernelName(path)), path});
  }
  for (const std::string& name : SortedNames("/dev")) {
    if (found.size() == kMaxAdapters) break;
    if (name.rfind("ttyACM", 0) != 0 && name.rfind("ttyUSB", 0) != 0) continue;
    const std::string path = "/dev/" + name;
    if (!DeviceAt(path, device) || !taken.insert(device).second) continue;
    found.push_back({Shown(name), path});
  }
  return found;
}
