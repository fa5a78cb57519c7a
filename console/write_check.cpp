#include "console/write_check.h"

namespace {

constexpr int64_t kClockSlackS = 2;

// Days from 1970-01-01 to the civil date (proleptic Gregorian), for any month and day numbers.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

}  // namespace

int64_t ClockSeconds(const uint16_t clock[4]) {
  const int64_t days = DaysFromCivil(clock[0], clock[1] >> 8, clock[1] & 0xFF);
  return days * 86400 + (clock[2] >> 8) * 3600 + (clock[2] & 0xFF) * 60 + (clock[3] >> 8);
}

bool ClockAgrees(const uint16_t written[4], const uint16_t readBack[4], int64_t elapsedMs) {
  const int64_t aheadMs = 1000 * (ClockSeconds(readBack) - ClockSeconds(written));
  return aheadMs >= -1000 * kClockSlackS && aheadMs <= 1000 * kClockSlackS + elapsedMs;
}
