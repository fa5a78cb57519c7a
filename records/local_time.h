#pragma once

#include <cstdint>
#include <string>

// A moment as the records give it: milliseconds since 1970 (UTC) and the local clock's offset from
// UTC at that moment, so a line reads as the wall clock on site showed it and still orders across
// a change to or from summer time.
struct WallTime {
  int64_t unixMs = 0;
  int32_t offsetMinutes = 0;
};

// Days from 1970-01-01 to a civil date of the proleptic Gregorian calendar; any month and day
// numbers are taken (a day past the month's end runs on into the next).
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day);

// Now, with the computer's local offset.
WallTime LocalNow();

// ISO 8601 with milliseconds and the offset: "2026-12-07T10:15:02.123+08:00".
std::string IsoLocalText(const WallTime& time);
// The local month, "2026-12": the name of the journal's file for that month.
std::string LocalMonthText(const WallTime& time);
