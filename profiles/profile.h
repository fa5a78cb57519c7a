#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/register_table.h"

// Parameter profiles: the meter's parameter block (0x0300 to 0x0356) as a JSON file a site can
// carry from meter to meter and edit by hand. The raw values are what counts; a register's unit
// and shown text, and where the block was saved from, are information for the reader only.

// The 44 registers of the block, in address order (position 0 is 0x0300).
using ParameterBlock = std::array<uint16_t, kParameterCount>;

// Where a saved block came from: the time, the console's port and line summary, the slave
// address and the meter's own 从机通讯设定 line.
struct ProfileOrigin {
  std::string time;
  std::string port;
  std::string line;
  int32_t address = 0;
  std::string meterLine;
};

// Profile files larger than this are refused unread: a block's profile takes about 8 KB.
constexpr std::size_t kProfileMaxBytes = 1024 * 1024;

// The file's text: UTF-8, one register per line of the "registers" list.
std::string ProfileText(const ParameterBlock& block, const ProfileOrigin& origin);

// A profile read and checked whole: the block, or the first reason it was refused (naming the
// entry), in the operator's words.
struct ProfileRead {
  std::optional<ParameterBlock> block;
  std::string reason;
};
ProfileRead ParseProfile(const std::string& text);
// Reads the file at a UTF-8 path (Chinese characters too) and parses it; a file that cannot be
// read, has gone, or is larger than kProfileMaxBytes is refused with the reason.
ProfileRead ReadProfile(const std::string& path);
// Writes the file whole (a new file renamed over the old one); the reason when it could not.
std::optional<std::string> WriteProfile(const std::string& path, const std::string& text);

// The meter's own serial settings in the block as its 从机通讯设定 line shows them:
// "Modbus RTU,1:9600,NONE,8,2".
std::string MeterLineOf(const ParameterBlock& block);

// Whether a profile sets the register at this position on a meter: every register but the
// meter's own communication settings (a profile never readdresses a meter or changes its line)
// and its serial number.
bool ProfileCarries(int position);
// The meter's block with every register a profile carries taken from the profile.
ParameterBlock WithProfile(const ParameterBlock& meter, const ParameterBlock& profile);
// Whether writing `to` over `from` changes the meter's own communication settings: the meter
// then answers the write on its old line and switches after its reply.
bool ChangesMeterLine(const ParameterBlock& from, const ParameterBlock& to);

// What writing `to` over `from` changes, in the meter's terms: "CT 50→75", "Yk1定值 1.000→1.200",
// "接线方式 三相四线→三相三线". A ratio counts once for its two registers.
std::vector<std::string> BlockChanges(const ParameterBlock& from, const ParameterBlock& to);
// "将修改 2 项：CT 50→75，Yk1定值 1.000→1.200", or "与仪表一致，无需写入".
std::string ChangesText(const std::vector<std::string>& changes);

// Register by register, what was written and what the meter holds after it: "CT低位（写入 75，
// 读回 50）". Empty when all agree.
std::vector<std::string> ReadBackDifferences(uint16_t firstAddress, const uint16_t* written,
                                             const uint16_t* readBack, int count);
// "读回不一致：" and the differences.
std::string ReadBackText(const std::vector<std::string>& differences);
