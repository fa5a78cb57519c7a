#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The host settings the console remembers between runs, in quorvel.ini: the framing, the slave
// address, the port as the entry chosen ("COM3", or an adapter's path) and the line settings.
// Nothing else is remembered.
struct HostSettings {
  int32_t protocol = 0;  // 0 Modbus RTU, 1 Modbus ASCII
  int32_t address = 1;
  std::string port = "COM1";
  uint32_t baud = 9600;
  uint8_t parity = 0;  // 0 NONE, 1 ODD, 2 EVEN
  uint8_t dataBits = 8;
  uint8_t stopBits = 2;
  bool operator==(const HostSettings&) const = default;
};

// The file's text: a comment, "[host]" and one key=value line per setting, in the lists' words.
std::string FormatHostSettings(const HostSettings& settings);

// The settings in a file's text, or why there are none: a value outside its list, a key missing,
// a line that is no setting. Every value must be one the settings row offers.
struct ParsedHostSettings {
  std::optional<HostSettings> settings;
  std::string reason;  // when there are none, in the operator's words
};
ParsedHostSettings ParseHostSettings(const std::string& text);

// quorvel.ini in the user's configuration folder.
std::string HostSettingsPath();

// Reads the file. Without settings, `notice` says why in one line, the same words for standard
// error and 提示信息: the start is then as without a file.
struct LoadedHostSettings {
  std::optional<HostSettings> settings;
  std::string notice;
};
LoadedHostSettings LoadHostSettings(const std::string& file);
// Writes the file whole (a new file renamed over the old one); the reason when it could not.
std::optional<std::string> SaveHostSettings(const std::string& file,
                                            const HostSettings& settings);
