#include "records/local_time.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>

namespace {

constexpr int64_t kMsPerMinute = 60 * 1000;
constexpr int64_t kMsPerDay = 24 * 60 * kMsPerMinute;

struct Civil {
  int64_t year;
  int month, day, hour, minute, second, ms;
};

Civil CivilOf(int64_t localMs) {
  int64_t days = localMs / kMsPerDay;
  int64_t rest = localMs % kMsPerDay;
  if (rest < 0) {
    rest += kMsPerDay;
    --days;
  }
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  const auto day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  const auto month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  return {year,
          month,
          day,
          static_cast<int>(rest / 3600000),
          static_cast<int>(rest / 60000 % 60),
          static_cast<int>(rest / 1000 % 60),
          static_cast<int>(rest % 1000)};
}

// Seconds since 1970 that the broken-down time would be, read as UTC.
int64_t SecondsAsUtc(const std::tm& parts) {
  return DaysFromCivil(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday) * 86400 +
         parts.tm_hour * 3600 + parts.tm_min * 60 + parts.tm_sec;
}

}  // namespace

int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

// The local offset is asked of the system once a second at most, per thread: several lines a
// tick share it.
WallTime LocalNow() {
  const int64_t unixMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
  thread_local int64_t knownSecond = INT64_MIN;
  thread_local int32_t knownOffset = 0;
  if (unixMs / 1000 == knownSecond) return {unixMs, knownOffset};
  const std::time_t seconds = static_cast<std::time_t>(unixMs / 1000);
  std::tm local{};
  std::tm utc{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
  gmtime_s(&utc, &seconds);
#else
  localtime_r(&seconds, &local);
  gmtime_r(&seconds, &utc);
#endif
  const int64_t offsetSeconds = SecondsAsUtc(local) - SecondsAsUtc(utc);
  knownSecond = unixMs / 1000;
  knownOffset = static_cast<int32_t>(offsetSeconds / 60);
  return {unixMs, knownOffset};
}

std::string IsoLocalText(const WallTime& time) {
  const Civil c = CivilOf(time.unixMs + time.offsetMinutes * kMsPerMinute);
  const int32_t offset = time.offsetMinutes < 0 ? -time.offsetMinutes : time.offsetMinutes;
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d",
                static_cast<int>(c.year), c.month, c.day, c.hour, c.minute, c.second, c.ms,
                time.offsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
  return text;
}

std::string LocalMonthText(const WallTime& time) {
  const Civil c = CivilOf(time.unixMs + time.offsetMinutes * kMsPerMinute);
  char text[24];
  std::snprintf(text, sizeof text, "%04d-%02d", static_cast<int>(c.year), c.month);
  return text;
}
