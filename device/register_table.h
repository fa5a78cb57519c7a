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
constexpr int kRealtimeFirst = 0;    // 0x0000..0x0088, 69 registers
constexpr int kHarmonicFirst = 69;   // 0x008A..0x0114, 70 registers
constexpr int kParameterFirst = 139; // 0x0300..0x0356, 44 registers
constexpr int kRealtimeCount = 69;
constexpr int kHarmonicCount = 70;
constexpr int kParameterCount = 44;
constexpr int kClockFirst = 65;  // Year, MmDd, HhMm, SsPp

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
