#pragma once

#include <cstdint>
#include <vector>

// A write the console checks by reading back what the meter holds after it: the echo of the
// write is followed by a read of what was written, a transaction of its own, and the two are
// compared. A meter may clamp or ignore a value and still echo the write.
struct WriteCheck {
  enum class Kind : uint8_t {
    None,
    Block,     // "写参数": the parameter block
    Register,  // "写寄存器": one register
    Clock,     // "校时": the clock, read back with the real-time block that holds it
  };
  enum class Phase : uint8_t { Echo, ReadBack };

  Kind kind = Kind::None;
  Phase phase = Phase::Echo;
  uint16_t start = 0;  // address of the first register written
  std::vector<uint16_t> written;
  // The write changes the meter's own communication settings: the meter switches after its
  // reply, so nothing can be read back on the console's line.
  bool meterLineChanged = false;
  // Ticks since the write went out: the clock's allowance grows with the time on the wire.
  int32_t ticks = 0;
};

// The clock registers (Year, MmDd, HhMm, SsPp) as seconds on one scale, to compare two readings.
int64_t ClockSeconds(const uint16_t clock[4]);
// The meter's clock read back agrees with the one written when it is no more than 2 s behind and
// no more than 2 s plus the time since the write ahead of it.
bool ClockAgrees(const uint16_t written[4], const uint16_t readBack[4], int64_t elapsedMs);
