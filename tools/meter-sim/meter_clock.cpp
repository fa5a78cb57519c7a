#include "tools/meter-sim/meter_clock.h"

namespace {

// Days from 2000-01-01 to the given date of the proleptic Gregorian calendar (Howard Hinnant's
// days_from_civil, shifted to our epoch).
int64_t DaysFromCivil(int32_t y, int32_t m, int32_t d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 - 10957;
}

CivilTime CivilFromSeconds(int64_t seconds) {
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  const int64_t z = days + 10957 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  CivilTime t;
  t.day = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int32_t>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  t.hour = static_cast<int32_t>(rest / 3600);
  t.minute = static_cast<int32_t>(rest / 60 % 60);
  t.second = static_cast<int32_t>(rest % 60);
  return t;
}

}  // namespace

int32_t MeterClock::DaysInMonth(int32_t year, int32_t month) {
  static constexpr int32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

bool MeterClock::IsValid(const CivilTime& t) {
  return t.year >= kFirstYear && t.year <= kLastYear && t.month >= 1 && t.month <= 12 &&
         t.day >= 1 && t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour < 24 &&
         t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second < 60;
}

bool MeterClock::Set(const CivilTime& t) {
  if (!IsValid(t)) return false;
  m_seconds =
      DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
  m_millis = 0;
  return true;
}

void MeterClock::Advance(uint64_t elapsedMs) {
  const uint64_t total = m_millis + elapsedMs;
  m_seconds += static_cast<int64_t>(total / 1000);
  m_millis = static_cast<uint32_t>(total % 1000);
}

CivilTime MeterClock::Now() const { return CivilFromSeconds(m_seconds); }

CivilTime MeterClock::Shifted(int64_t seconds) const {
  return CivilFromSeconds(m_seconds + seconds);
}

int32_t MeterClock::MinuteOfDay() const {
  const CivilTime t = Now();
  return t.hour * 60 + t.minute;
}

void MeterClock::ToRegisters(uint16_t out[4]) const {
  const CivilTime t = Now();
  out[0] = static_cast<uint16_t>(t.year);
  out[1] = static_cast<uint16_t>(t.month << 8 | t.day);
  out[2] = static_cast<uint16_t>(t.hour << 8 | t.minute);
  out[3] = static_cast<uint16_t>(t.second << 8);
}

bool MeterClock::FromRegisters(const uint16_t in[4], CivilTime& t) {
  t.year = in[0];
  t.month = in[1] >> 8;
  t.day = in[1] & 0xFF;
  t.hour = in[2] >> 8;
  t.minute = in[2] & 0xFF;
  t.second = in[3] >> 8;
  return IsValid(t);
}
