#include <gtest/gtest.h>

#include "tools/meter-sim/meter_clock.h"

namespace {

struct Step {
  CivilTime from;
  uint64_t elapsedMs;
  CivilTime to;
};

TEST(MeterClock, RunsOnAcrossMinutesDaysMonthsYearsAndLeapDays) {
  const Step steps[] = {
      {{2026, 3, 5, 14, 7, 9}, 1000, {2026, 3, 5, 14, 7, 10}},
      {{2026, 3, 5, 23, 59, 59}, 1000, {2026, 3, 6, 0, 0, 0}},
      {{2026, 12, 31, 23, 59, 30}, 45000, {2027, 1, 1, 0, 0, 15}},
      {{2024, 2, 28, 23, 0, 0}, 3600000, {2024, 2, 29, 0, 0, 0}},
      {{2025, 2, 28, 23, 0, 0}, 3600000, {2025, 3, 1, 0, 0, 0}},
      {{2100, 2, 28, 12, 0, 0}, 86400000, {2100, 3, 1, 12, 0, 0}},  // 2100 is not a leap year
  };
  for (const Step& s : steps) {
    MeterClock clock;
    ASSERT_TRUE(clock.Set(s.from));
    clock.Advance(s.elapsedMs);
    const CivilTime t = clock.Now();
    EXPECT_EQ(t.year, s.to.year);
    EXPECT_EQ(t.month, s.to.month);
    EXPECT_EQ(t.day, s.to.day);
    EXPECT_EQ(t.hour, s.to.hour);
    EXPECT_EQ(t.minute, s.to.minute);
    EXPECT_EQ(t.second, s.to.second);
  }
}

TEST(MeterClock, CarriesMillisecondsBetweenSteps) {
  MeterClock clock;
  clock.Set({2026, 1, 1, 0, 0, 0});
  for (int i = 0; i < 4; ++i) clock.Advance(250);
  EXPECT_EQ(clock.Now().second, 1);
  clock.Advance(999);
  EXPECT_EQ(clock.Now().second, 1);
}

TEST(MeterClock, RegistersHoldYearMonthDayHourMinuteAndSecondInTheirBytes) {
  MeterClock clock;
  clock.Set({2026, 3, 5, 14, 7, 9});
  uint16_t regs[4];
  clock.ToRegisters(regs);
  EXPECT_EQ(regs[0], 2026);
  EXPECT_EQ(regs[1], 0x0305);
  EXPECT_EQ(regs[2], 0x0E07);
  EXPECT_EQ(regs[3], 0x0900);
  CivilTime back;
  ASSERT_TRUE(MeterClock::FromRegisters(regs, back));
  EXPECT_EQ(back.day, 5);
  EXPECT_EQ(back.second, 9);
}

TEST(MeterClock, RefusesTimesThatAreNoRealDateOrTime) {
  const uint16_t bad[][4] = {
      {2025, 0x021D, 0x0000, 0x0000},  // 29 February of a common year
      {2026, 0x0D01, 0x0000, 0x0000},  // month 13
      {2026, 0x0001, 0x0000, 0x0000},  // month 0
      {2026, 0x0100, 0x0000, 0x0000},  // day 0
      {2026, 0x0431, 0x0000, 0x0000},  // 31 April
      {2026, 0x0101, 0x1800, 0x0000},  // hour 24
      {2026, 0x0101, 0x003C, 0x0000},  // minute 60
      {2026, 0x0101, 0x0000, 0x3C00},  // second 60
      {1999, 0x0101, 0x0000, 0x0000},  // before the clock's first year
  };
  for (const auto& regs : bad) {
    CivilTime t;
    EXPECT_FALSE(MeterClock::FromRegisters(regs, t)) << regs[0] << " " << regs[1];
    MeterClock clock;
    clock.Set({2026, 1, 1, 8, 0, 0});
    EXPECT_FALSE(clock.Set(t));
    EXPECT_EQ(clock.Now().hour, 8);
  }
}

TEST(MeterClock, ShiftsBackAcrossMidnight) {
  MeterClock clock;
  clock.Set({2026, 1, 1, 0, 0, 20});
  const CivilTime t = clock.Shifted(-47);
  EXPECT_EQ(t.year, 2025);
  EXPECT_EQ(t.month, 12);
  EXPECT_EQ(t.day, 31);
  EXPECT_EQ(t.hour, 23);
  EXPECT_EQ(t.minute, 59);
  EXPECT_EQ(t.second, 33);
}

}  // namespace
