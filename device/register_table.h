#pragma once

#include <array>
#include <cstdint>

// One 16-bit register of the meter as the console knows it.
struct RegisterDescriptor {
  uint16_t address;  // byte-offset address, even
  uint16_t value;    // raw content last known; 0 in the constant table
  double scale;      // engineering units per count (register browser)
  int32_t decimals;  // digits after the point in the register browser
  const char* name;
  const char* unit;  // carried, shown nowhere
};

constexpr int kRegisterCount = 183;
// First indexes of the three blocks.
constexpr int kRealtimeFirst = 0;     // 0x0000..0x0088, 69 registers
constexpr int kHarmonicFirst = 69;    // 0x008A..0x0114, 70 registers
constexpr int kParameterFirst = 139;  // 0x0300..0x0356, 44 registers
constexpr int kRealtimeCount = 69;
constexpr int kHarmonicCount = 70;
constexpr int kParameterCount = 44;

// Registers the console reads or edits by name (indexes into the table).
constexpr int kClockFirst = 65;  // Year, MmDd, HhMm, SsPp
constexpr int kRegYear = 65;
constexpr int kRegMonthDay = 66;    // month x 256 + day
constexpr int kRegHourMinute = 67;  // hour x 256 + minute
constexpr int kRegSecond = 68;      // second x 256
constexpr int kRegSlaveAddress = 139;
constexpr int kRegWiring = 140;
constexpr int kRegProtocol = 141;
constexpr int kRegParity = 142;
constexpr int kRegBaud = 143;
constexpr int kRegPtLow = 146;  // PT ratio bits 0..15; bits 16..31 follow
constexpr int kRegCtLow = 148;  // CT ratio bits 0..15; bits 16..31 follow
constexpr int kRegDataBits = 154;
constexpr int kRegStopBits = 155;
constexpr int kRegFirstPeriod = 158;  // HTM_BEG0; the twelve period registers follow
// The three protection outputs, four registers each from the setpoint: setpoint, operate delay,
// hold time, enable.
constexpr int kRegYk1First = 170;
constexpr int kRegYk2First = 174;
constexpr int kRegYk3First = 178;
constexpr int kYkSetpoint = 0;
constexpr int kYkDelay = 1;
constexpr int kYkHold = 2;
constexpr int kYkEnable = 3;

// The 183 registers, sorted strictly ascending by address.
extern const std::array<RegisterDescriptor, kRegisterCount> RegisterTable;

// Code tables: the texts of coded parameter values, in code order.
extern const std::array<const char*, 2> ProtocolNames;
extern const std::array<const char*, 7> BaudNames;
extern const std::array<const char*, 3> ParityNames;
extern const std::array<const char*, 2> DataBitNames;
extern const std::array<const char*, 2> StopBitNames;
extern const std::array<const char*, 2> EnableNames;
extern const std::array<const char*, 7> WiringNames;
