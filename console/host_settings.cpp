#include "console/host_settings.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <map>

#include "console/app_files.h"
#include "device/code_lookup.h"
#include "device/register_table.h"
#include "device/text_number.h"
#include "link/frame_codec.h"

namespace {

constexpr const char* kFileName = "quorvel.ini";
constexpr const char* kSection = "[host]";
constexpr size_t kLargestFile = 64 * 1024;  // far above any file the console writes
constexpr size_t kLongestPort = 1024;

const char* const kKeys[] = {"protocol", "address",   "port",     "baud",
                             "parity",   "data_bits", "stop_bits"};

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// A port the settings row can hold: "COM1" to "COM9", or an adapter's path (absolute on POSIX,
// the \\.\COMn form on Windows), with no control character.
bool IsPort(const std::string& port) {
  if (port.size() == 4 && port.compare(0, 3, "COM") == 0 && port[3] >= '1' && port[3] <= '9') {
    return true;
  }
  if (port.empty() || port.size() > kLongestPort) return false;
  for (char c : port) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return port[0] == '/' || port.rfind("\\\\.\\COM", 0) == 0;
}

template <size_t N>
bool InList(const std::array<const char*, N>& names, const std::string& value, uint32_t& code) {
  code = PositionIn(names, value);
  return code < N;
}

// One value into the settings; false when it is none the row offers.
bool Take(HostSettings& s, const std::string& key, const std::string& value) {
  uint32_t code = 0;
  if (key == "protocol") {
    if (!InList(ProtocolNames, value, code)) return false;
    s.protocol = static_cast<int32_t>(code);
  } else if (key == "address") {
    const Entered<int64_t> address = EnterInteger(value, kFirstSlaveAddress, kLastSlaveAddress);
    if (address.outcome != Entry::Accepted || value != Trimmed(value)) return false;
    s.address = static_cast<int32_t>(address.value);
  } else if (key == "port") {
    if (!IsPort(value)) return false;
    s.port = value;
  } else if (key == "baud") {
    if (!InList(BaudNames, value, code)) return false;
    s.baud = static_cast<uint32_t>(std::stoul(value));
  } else if (key == "parity") {
    if (!InList(ParityNames, value, code)) return false;
    s.parity = static_cast<uint8_t>(code);
  } else if (key == "data_bits") {
    if (!InList(DataBitNames, value, code)) return false;
    s.dataBits = static_cast<uint8_t>(value[0] - '0');
  } else {
    if (!InList(StopBitNames, value, code)) return false;
    s.stopBits = static_cast<uint8_t>(value[0] - '0');
  }
  return true;
}

bool IsKey(const std::string& key) {
  for (const char* known : kKeys) {
    if (key == known) return true;
  }
  return false;
}

std::string Notice(const std::string& file, const std::string& what) {
  return "通讯设定文件 " + file + " " + what + "，使用默认设定";
}

}  // namespace

std::string FormatHostSettings(const HostSettings& s) {
  return std::string("; Quorvel: the host settings of the last run, read at start "
                     "(quorvel --defaults starts without them)\n") +
         kSection + "\n" + "protocol=" + ProtocolNames[static_cast<size_t>(s.protocol) % 2] +
         "\naddress=" + std::to_string(s.address) + "\nport=" + s.port +
         "\nbaud=" + std::to_string(s.baud) + "\nparity=" + ParityNames[s.parity % 3] +
         "\ndata_bits=" + std::to_string(s.dataBits) + "\nstop_bits=" +
         std::to_string(s.stopBits) + "\n";
}

ParsedHostSettings ParseHostSettings(const std::string& text) {
  HostSettings settings;
  std::map<std::string, bool> seen;
  bool inSection = false;
  int number = 0;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    const std::string line = Trimmed(text.substr(at, end - at));
    at = end + 1;
    ++number;
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    const std::string where = "第 " + std::to_string(number) + " 行";
    if (line == kSection) {
      inSection = true;
      continue;
    }
    const size_t equals = line.find('=');
    if (!inSection || equals == std::string::npos) return {{}, where + "不是设定"};
    const std::string key = Trimmed(line.substr(0, equals));
    const std::string value = Trimmed(line.substr(equals + 1));
    if (!IsKey(key)) return {{}, where + "不是设定"};
    if (seen[key]) return {{}, where + "重复设定 " + key};
    seen[key] = true;
    if (!Take(settings, key, value)) return {{}, where + "的 " + key + " 不在可选范围内"};
  }
  for (const char* key : kKeys) {
    if (!seen[key]) return {{}, std::string("缺少 ") + key};
  }
  return {settings, {}};
}

std::string HostSettingsPath() { return JoinPath(ConfigFolder(), kFileName); }

LoadedHostSettings LoadHostSettings(const std::string& file) {
  switch (KindOfPath(file)) {
    case PathKind::Missing:
      return {{}, Notice(file, "不存在")};
    case PathKind::File:
      break;
    default:
      return {{}, Notice(file, "无法读取（不是文件）")};
  }
  std::string why;
  std::FILE* in = OpenUserFile(file, "rb", &why);
  if (in == nullptr) return {{}, Notice(file, "无法读取（" + why + "）")};
  std::string text(kLargestFile + 1, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), in));
  const bool failed = std::ferror(in) != 0;
  std::fclose(in);
  if (failed) return {{}, Notice(file, "无法读取")};
  if (text.size() > kLargestFile) return {{}, Notice(file, "太大")};
  ParsedHostSettings parsed = ParseHostSettings(text);
  if (!parsed.settings) return {{}, Notice(file, parsed.reason)};
  return {parsed.settings, {}};
}

std::optional<std::string> SaveHostSettings(const std::string& file,
                                            const HostSettings& settings) {
  if (auto failed = MakeFolders(ParentFolder(file))) return failed;
  const std::string temporary = file + ".new";
  std::string why;
  std::FILE* out = OpenUserFile(temporary, "wb", &why);
  if (out == nullptr) return temporary + ": " + why;
  const std::string text = FormatHostSettings(settings);
  const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  if (std::fclose(out) != 0 || !written) {
    RemoveFile(temporary);
    return temporary + ": " + std::strerror(errno);
  }
  if (auto failed = MoveFileOver(temporary, file)) {
    RemoveFile(temporary);
    return failed;
  }
  return std::nullopt;
}
