#pragma once

#include <cstdint>

// The meter's calendar clock. It keeps local civil time as whole seconds since 2000-01-01
// 00:00:00 plus milliseconds, runs on from whatever time was written, and knows nothing of time
// zones or daylight saving, as the meter's own clock chip doesn't.
struct CivilTime {
  int32_t year = 2000;
  int32_t month = 1;  // 1..12
  int32_t day = 1;    // 1..31
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;
};

class MeterClock {
 public:
  // The lowest and highest years the clock accepts.
  static constexpr int32_t kFirstYear = 2000;
  static constexpr int32_t kLastYear = 2199;

  static bool IsValid(const CivilTime& time);
  static int32_t DaysInMonth(int32_t year, int32_t month);

  // False (and the clock unchanged) for a time that is not a real date and time.
  bool Set(const CivilTime& time);
  void Advance(uint64_t elapsedMs);
  CivilTime Now() const;
  // The same clock shifted by a signed number of seconds (for back-dated events).
  CivilTime Shifted(int64_t seconds) const;
  int32_t MinuteOfDay() const;

  // The four clock registers: year; month x 256 + day; hour x 256 + minute; second x 256.
  void ToRegisters(uint16_t out[4]) const;
  static bool FromRegisters(const uint16_t in[4], CivilTime& time);

 private:
  int64_t m_seconds = 0;  // since 2000-01-01 00:00:00
  uint32_t m_millis = 0;  // 0..999
};
