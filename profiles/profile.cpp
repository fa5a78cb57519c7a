#include "profiles/profile.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <set>
#include <string_view>

#include "console/app_files.h"
#include "device/register_text.h"
#include "device/text_format.h"
#include "device/text_number.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kFormat = "quorvel-profile";
constexpr int kVersion = 1;
// A name or key from the file, quoted in a reason at most this long.
constexpr std::size_t kQuotedBytes = 40;

// How a register of the block reads in the meter's terms: as the window shows it, except for
// the two halves of a ratio, which read as the ratio, and the serial number, two characters.
enum class Show : uint8_t { Value, Text, RatioLow, RatioHigh };

// One register of the block: how it reads, and the values a meter takes there (code lists as
// ranges; a period lies between 0:00 and 24:00; an address between 1 and 247).
struct Kind {
  uint16_t low;
  uint16_t high;
  Show show = Show::Value;
  const char* label = nullptr;  // RatioLow: the name of the ratio
};

constexpr uint16_t kAny = 0xFFFF;
constexpr uint16_t kDayMinutes = 24 * 60;
constexpr Kind kRaw{0, kAny};
constexpr Kind kSerial{0, kAny, Show::Text};
constexpr Kind kPeriod{0, kDayMinutes};
constexpr Kind kBit{0, 1};

constexpr Kind kKinds[kParameterCount] = {
    {1, 247},                         // 从机地址
    {0, 6},                           // 接线方式
    kBit,                             // 通讯规约
    {0, 2},                           // 奇偶校验
    {0, 6},                           // 波特率
    kRaw,                             // 电压量程
    kRaw,                             // 电能单位
    {0, kAny, Show::RatioLow, "PT"},  // PT低位
    {0, kAny, Show::RatioHigh},       // PT高位
    {0, kAny, Show::RatioLow, "CT"},  // CT低位
    {0, kAny, Show::RatioHigh},       // CT高位
    kSerial,                          // SN_1
    kSerial,                          // SN_2
    kSerial,                          // SN_3
    kSerial,                          // SN_4
    kBit,                             // 数据位
    kBit,                             // 停止位
    kRaw,                             // 锁定键盘
    kRaw,                             // 语言
    kPeriod,                          // HTM_BEG0
    kPeriod,                          // HTM_END0
    kPeriod,                          // HTM_BEG1
    kPeriod,                          // HTM_END1
    kPeriod,                          // HTM_BEG2
    kPeriod,                          // HTM_END2
    kPeriod,                          // HTM_BEG3
    kPeriod,                          // HTM_END3
    kPeriod,                          // LTM_BEG0
    kPeriod,                          // LTM_END0
    kPeriod,                          // LTM_BEG1
    kPeriod,                          // LTM_END1
    kRaw,                             // Yk1定值
    kRaw,                             // Yk1延时
    kRaw,                             // Yk1返回
    kBit,                             // Yk1使能
    kRaw,                             // Yk2定值
    kRaw,                             // Yk2延时
    kRaw,                             // Yk2返回
    kBit,                             // Yk2使能
    kRaw,                             // Yk3定值
    kRaw,                             // Yk3延时
    kRaw,                             // Yk3返回
    kBit,                             // Yk3使能
    kRaw,                             // 电能指示
};

// Positions of the meter's own communication settings and of its serial number.
constexpr int kMeterLine[] = {0, 2, 3, 4, 15, 16};
constexpr int kSerialFirst = 11;
constexpr int kSerialCount = 4;

const RegisterDescriptor& Descriptor(int position) {
  return RegisterTable[static_cast<std::size_t>(kParameterFirst + position)];
}

// The table's unit without its blank filler ("" for most registers).
std::string UnitOf(int position) {
  const std::string unit = Descriptor(position).unit;
  return unit == " " ? std::string() : unit;
}

char Printable(unsigned byte) {
  return byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
}

// The register at `position` in the meter's terms.
std::string Shown(const ParameterBlock& block, int position) {
  const Kind& kind = kKinds[position];
  const uint16_t v = block[static_cast<std::size_t>(position)];
  if (kind.show == Show::Text) return {Printable(v >> 8u), Printable(v & 0xFFu)};
  if (kind.show == Show::Value) return RegisterValueText(kParameterFirst + position, v);
  const int low = kind.show == Show::RatioLow ? position : position - 1;
  const uint32_t ratio = static_cast<uint32_t>(block[static_cast<std::size_t>(low + 1)]) << 16 |
                         block[static_cast<std::size_t>(low)];
  return std::to_string(static_cast<int32_t>(ratio));
}

std::string Quoted(const std::string& text) {
  return "\"" + TruncateUtf8(text, kQuotedBytes) + "\"";
}

// "第 5 项（0x0308 波特率）": an entry as a reason names it.
std::string EntryName(std::size_t number, int position) {
  return Printf("第 %zu 项（0x%04X ", number, Descriptor(position).address) +
         Descriptor(position).name + "）";
}

// "0x0302" (either case) to the position in the block; -1 when it is no register of the block,
// -2 when it is no such text.
int PositionOfAddress(const Json& address) {
  if (!address.is_string()) return -2;
  const std::string& text = address.get_ref<const std::string&>();
  const Entered<uint16_t> value = EnterHex16(text);
  if ((text.rfind("0x", 0) != 0 && text.rfind("0X", 0) != 0) || value.outcome != Entry::Accepted)
    return -2;
  for (int position = 0; position < kParameterCount; ++position) {
    if (Descriptor(position).address == value.value) return position;
  }
  return -1;
}

// The first key that appears twice in one object, found while parsing: the JSON reader itself
// would silently keep the last.
class DuplicateKeys {
 public:
  bool operator()(int, Json::parse_event_t event, Json& parsed) {
    if (event == Json::parse_event_t::object_start) m_objects.emplace_back();
    if (event == Json::parse_event_t::object_end && !m_objects.empty()) m_objects.pop_back();
    if (event == Json::parse_event_t::key && !m_objects.empty() && parsed.is_string() &&
        !m_objects.back().insert(parsed.get<std::string>()).second && first.empty()) {
      first = parsed.get<std::string>();
    }
    return true;
  }
  std::string first;

 private:
  std::vector<std::set<std::string>> m_objects;
};

// Line and column of a byte offset (counted from 1) in the text.
std::string Where(const std::string& text, std::size_t byte) {
  std::size_t line = 1;
  std::size_t column = 1;
  for (std::size_t k = 0; k + 1 < byte && k < text.size(); ++k) {
    if (text[k] == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(text[k]) & 0xC0u) != 0x80u) {
      ++column;  // characters, not bytes
    }
  }
  return Printf("第 %zu 行第 %zu 列", line, column);
}

// Checks one entry of "registers" and takes its raw value; the reason when it fails.
std::optional<std::string> TakeEntry(const Json& entry, std::size_t number, ParameterBlock& block,
                                     std::array<bool, kParameterCount>& seen) {
  if (!entry.is_object()) return Printf("参数文件第 %zu 项不是对象", number);
  const auto address = entry.find("address");
  if (address == entry.end()) return Printf("参数文件第 %zu 项缺少 \"address\"", number);
  const int position = PositionOfAddress(*address);
  if (position == -2) {
    return Printf("参数文件第 %zu 项：\"address\" 应为 \"0x0302\" 这样的十六进制文本", number);
  }
  if (position < 0) {
    return Printf("参数文件第 %zu 项：", number) + address->get<std::string>() +
           " 不是参数块的寄存器";
  }
  const std::string where = "参数文件" + EntryName(number, position);
  if (seen[static_cast<std::size_t>(position)]) return where + "：该寄存器重复出现";
  seen[static_cast<std::size_t>(position)] = true;
  for (const auto& [key, value] : entry.items()) {
    if (key != "address" && key != "name" && key != "raw" && key != "unit" && key != "shown") {
      return where + "：未知的键 " + Quoted(key);
    }
  }
  const auto name = entry.find("name");
  if (name == entry.end() || !name->is_string()) return where + "：缺少 \"name\"";
  if (name->get_ref<const std::string&>() != Descriptor(position).name) {
    return where + "：名称 " + Quoted(name->get<std::string>()) + " 与该地址的寄存器不符";
  }
  const auto raw = entry.find("raw");
  if (raw == entry.end() || !raw->is_number_integer()) return where + "：\"raw\" 应为整数";
  const Kind& kind = kKinds[position];
  const bool negative = raw->is_number_integer() && !raw->is_number_unsigned();
  const int64_t value = negative ? raw->get<int64_t>() : -1;
  const uint64_t magnitude = negative ? 0 : raw->get<uint64_t>();
  if (negative || magnitude < kind.low || magnitude > kind.high) {
    const std::string shown = negative ? std::to_string(value) : std::to_string(magnitude);
    return where + "：值 " + shown + Printf(" 超出范围（%u 至 %u）", kind.low, kind.high);
  }
  block[static_cast<std::size_t>(position)] = static_cast<uint16_t>(magnitude);
  return std::nullopt;
}

}  // namespace

std::string ProfileText(const ParameterBlock& block, const ProfileOrigin& origin) {
  constexpr auto kReplace = Json::error_handler_t::replace;  // a stray byte never stops a save
  const Json saved = {{"time", origin.time},
                      {"port", origin.port},
                      {"line", origin.line},
                      {"address", origin.address},
                      {"meter_line", origin.meterLine}};
  std::string text = "{\n  \"format\": \"" + std::string(kFormat) +
                     "\",\n  \"version\": " + std::to_string(kVersion) +
                     ",\n  \"saved\": " + saved.dump(-1, ' ', false, kReplace) +
                     ",\n  \"registers\": [\n";
  for (int position = 0; position < kParameterCount; ++position) {
    const Json entry = {{"address", Printf("0x%04X", Descriptor(position).address)},
                        {"name", Descriptor(position).name},
                        {"raw", block[static_cast<std::size_t>(position)]},
                        {"unit", UnitOf(position)},
                        {"shown", Shown(block, position)}};
    text += "    " + entry.dump(-1, ' ', false, kReplace) +
            (position + 1 < kParameterCount ? ",\n" : "\n");
  }
  return text + "  ]\n}\n";
}

ProfileRead ParseProfile(const std::string& text) {
  DuplicateKeys duplicates;
  Json profile;
  try {
    profile = Json::parse(text, std::ref(duplicates));
  } catch (const Json::parse_error& error) {
    return {std::nullopt, "参数文件不是有效的 JSON：" + Where(text, error.byte)};
  } catch (const Json::exception&) {
    // A number no double holds ("1e400"): the reader refuses it outside its syntax errors.
    return {std::nullopt, "参数文件不是有效的 JSON：数值超出范围"};
  }
  if (!duplicates.first.empty())
    return {std::nullopt, "参数文件中键 " + Quoted(duplicates.first) + " 重复出现"};
  if (!profile.is_object()) return {std::nullopt, "不是 Quorvel 参数文件：应为 JSON 对象"};
  const auto format = profile.find("format");
  if (format == profile.end() || *format != kFormat) {
    return {std::nullopt, "不是 Quorvel 参数文件：\"format\" 应为 \"quorvel-profile\""};
  }
  const auto version = profile.find("version");
  if (version == profile.end() || !version->is_number_integer() || *version != kVersion) {
    return {std::nullopt, "参数文件的版本不受支持：\"version\" 应为 1"};
  }
  for (const auto& [key, value] : profile.items()) {
    if (key != "format" && key != "version" && key != "saved" && key != "registers") {
      return {std::nullopt, "参数文件中有未知的键 " + Quoted(key)};
    }
  }
  const auto registers = profile.find("registers");
  if (registers == profile.end() || !registers->is_array()) {
    return {std::nullopt, "参数文件缺少 \"registers\" 列表"};
  }
  ParameterBlock block{};
  std::array<bool, kParameterCount> seen{};
  std::size_t number = 0;
  for (const Json& entry : *registers) {
    if (auto refused = TakeEntry(entry, ++number, block, seen)) return {std::nullopt, *refused};
  }
  for (int position = 0; position < kParameterCount; ++position) {
    if (!seen[static_cast<std::size_t>(position)]) {
      return {std::nullopt, Printf("参数文件缺少寄存器 0x%04X（", Descriptor(position).address) +
                                Descriptor(position).name + "）"};
    }
  }
  return {block, {}};
}

ProfileRead ReadProfile(const std::string& path) {
  std::string why;
  std::FILE* in = OpenUserFile(path, "rb", &why);
  if (in == nullptr) return {std::nullopt, "参数文件无法读取：" + path + "（" + why + "）"};
  // One byte more than a profile may hold tells a file too large, however large it is.
  std::string text(kProfileMaxBytes + 1, '\0');
  const std::size_t got = std::fread(text.data(), 1, text.size(), in);
  const bool failed = std::ferror(in) != 0;
  std::fclose(in);
  if (failed) return {std::nullopt, "参数文件无法读取：" + path};
  if (got > kProfileMaxBytes) {
    return {std::nullopt, "参数文件过大：" + path + " 超过 1 MB，不是参数文件"};
  }
  text.resize(got);
  return ParseProfile(text);
}

std::optional<std::string> WriteProfile(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".new";
  std::string why;
  std::FILE* out = OpenUserFile(temporary, "wb", &why);
  if (out == nullptr) return temporary + "：" + why;
  const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  if (std::fclose(out) != 0 || !written) {
    RemoveFile(temporary);
    return temporary + "：写入失败";
  }
  if (auto failed = MoveFileOver(temporary, path)) {
    RemoveFile(temporary);
    return failed;
  }
  return std::nullopt;
}

std::string MeterLineOf(const ParameterBlock& b) {
  return std::string(ProtocolNames[b[2] & 1u]) + "," + std::to_string(b[0]) + ":" +
         BaudNames[b[4] % BaudNames.size()] + "," + ParityNames[b[3] % ParityNames.size()] + "," +
         DataBitNames[b[15] & 1u] + "," + StopBitNames[b[16] & 1u];
}

bool ProfileCarries(int position) {
  for (int own : kMeterLine) {
    if (position == own) return false;
  }
  return position >= 0 && position < kParameterCount &&
         (position < kSerialFirst || position >= kSerialFirst + kSerialCount);
}

ParameterBlock WithProfile(const ParameterBlock& meter, const ParameterBlock& profile) {
  ParameterBlock block = meter;
  for (int position = 0; position < kParameterCount; ++position) {
    if (ProfileCarries(position)) {
      block[static_cast<std::size_t>(position)] = profile[static_cast<std::size_t>(position)];
    }
  }
  return block;
}

bool ChangesMeterLine(const ParameterBlock& from, const ParameterBlock& to) {
  for (int position : kMeterLine) {
    if (from[static_cast<std::size_t>(position)] != to[static_cast<std::size_t>(position)])
      return true;
  }
  return false;
}

std::vector<std::string> BlockChanges(const ParameterBlock& from, const ParameterBlock& to) {
  std::vector<std::string> changes;
  for (int position = 0; position < kParameterCount; ++position) {
    const Kind& kind = kKinds[position];
    if (kind.show == Show::RatioHigh) continue;  // counted with its low half
    const int width = kind.show == Show::RatioLow ? 2 : 1;
    bool differs = false;
    for (int k = position; k < position + width; ++k) {
      differs = differs || from[static_cast<std::size_t>(k)] != to[static_cast<std::size_t>(k)];
    }
    if (!differs) continue;
    std::string before = Shown(from, position);
    std::string after = Shown(to, position);
    if (before == after) {
      // A shown text coarser than the register's step: the raw values tell the change.
      before += Printf("（%u）", from[static_cast<std::size_t>(position)]);
      after += Printf("（%u）", to[static_cast<std::size_t>(position)]);
    }
    const std::string label = kind.label != nullptr ? kind.label : Descriptor(position).name;
    changes.push_back(label + " " + before + "→" + after);
  }
  return changes;
}

std::string ChangesText(const std::vector<std::string>& changes) {
  if (changes.empty()) return "与仪表一致，无需写入";
  std::string text = Printf("将修改 %zu 项：", changes.size());
  for (std::size_t k = 0; k < changes.size(); ++k) text += (k == 0 ? "" : "，") + changes[k];
  return text;
}

std::vector<std::string> ReadBackDifferences(uint16_t firstAddress, const uint16_t* written,
                                             const uint16_t* readBack, int count) {
  std::vector<std::string> differences;
  for (int k = 0; k < count; ++k) {
    if (written[k] == readBack[k]) continue;
    const auto address = static_cast<uint16_t>(firstAddress + 2 * k);
    std::string name = Printf("0x%04X", address);
    for (const RegisterDescriptor& reg : RegisterTable) {
      if (reg.address == address) name = reg.name;
    }
    differences.push_back(name + Printf("（写入 %u，读回 %u）", written[k], readBack[k]));
  }
  return differences;
}

std::string ReadBackText(const std::vector<std::string>& differences) {
  std::string text = "读回不一致：";
  for (std::size_t k = 0; k < differences.size(); ++k) {
    text += (k == 0 ? "" : "，") + differences[k];
  }
  return text;
}
