#include "console/write_check.h"

#include "records/local_time.h"

namespace {

constexpr int64_t kClockSlackS = 2;

}  // namespace

int64_t ClockSeconds(const uint16_t clock[4]) {
  const int64_t days = DaysFromCivil(clock[0], clock[1] >> 8, clock[1] & 0xFF);
  return days * 86400 + (clock[2] >> 8) * 3600 + (clock[2] & 0xFF) * 60 + (clock[3] >> 8);
}

bool ClockAgrees(const uint16_t written[4], const uint16_t readBack[4], int64_t elapsedMs) {
  const int64_t aheadMs = 1000 * (ClockSeconds(readBack) - ClockSeconds(written));
  return aheadMs >= -1000 * kClockSlackS && aheadMs <= 1000 * kClockSlackS + elapsedMs;
}
