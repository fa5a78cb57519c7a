#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>

#include "device/register_table.h"
#include "device/text_number.h"

namespace {

struct IntCase {
  const char* text;
  std::optional<int32_t> value;
};

TEST(ScanInt, ReadsWhatADecimalConversionReads) {
  const IntCase cases[] = {
      {"42", 42},
      {" \t\n8:30", 8},
      {"-17x", -17},
      {"+5", 5},
      {"0x300", 0},
      {"2147483647", 2147483647},
      {"2147483648", INT32_MIN},
      {"4294967297", 1},
      {"-4294967297", -1},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"-", std::nullopt},
      {"- 5", std::nullopt},
      {"x1", std::nullopt},
      {"\xff\xfe"
       "1",
       std::nullopt},
  };
  for (const IntCase& c : cases) EXPECT_EQ(ScanInt(c.text), c.value) << '"' << c.text << '"';
}

struct HexCase {
  const char* text;
  std::optional<uint32_t> value;
};

TEST(ScanHex, ReadsHexDigitsWithAnOptionalPrefixAndSign) {
  const HexCase cases[] = {
      {"300", 0x300},        {"0x300", 0x300},   {" 0X1fF", 0x1FF},
      {"1FFFF", 0x1FFFF},    {"0x", 0},          {"0xg", 0},
      {"-0x10", 0xFFFFFFF0}, {"+a", 10},         {"123456789", 0x23456789},
      {"x5", std::nullopt},  {"", std::nullopt}, {"g", std::nullopt},
  };
  for (const HexCase& c : cases) EXPECT_EQ(ScanHex(c.text), c.value) << '"' << c.text << '"';
}

struct DoubleCase {
  const char* text;
  std::optional<double> value;
};

TEST(ScanDouble, ReadsTheLongestDecimalPrefixInAnyLocale) {
  const DoubleCase cases[] = {
      {"230.5", 230.5},      {"  -0.7V", -0.7},
      {"+.5", 0.5},          {"5.", 5.0},
      {"1e3", 1000.0},       {"1e", 1.0},
      {"1e+", 1.0},          {"2E-2x", 0.02},
      {"230,5", 230.0},      {"0x10", 0.0},
      {"1e999", HUGE_VAL},   {"-1e999", -HUGE_VAL},
      {"1e-999", 0.0},       {"1e99999999999999999999", HUGE_VAL},
      {"inf", std::nullopt}, {"nan", std::nullopt},
      {".", std::nullopt},   {"-.e1", std::nullopt},
      {"", std::nullopt},    {"abc", std::nullopt},
  };
  for (const DoubleCase& c : cases) EXPECT_EQ(ScanDouble(c.text), c.value) << '"' << c.text << '"';
}

TEST(TextNumbers, LongTextsOfDigitsAreReadWhole) {
  const std::string digits(100000, '9');
  EXPECT_EQ(ScanInt(digits), -1);  // 10^100000 - 1 modulo 2^32
  EXPECT_EQ(ScanHex(std::string(100000, 'F')), 0xFFFFFFFFu);
  EXPECT_EQ(ScanDouble(digits), HUGE_VAL);
  EXPECT_EQ(ScanDouble("0." + std::string(100000, '0') + "1"), 0.0);
  EXPECT_EQ(ScanDouble(std::string(100000, ' ') + "1.5"), 1.5);
  EXPECT_EQ(ScanInt(std::string(100000, '\xe4')), std::nullopt);
}

struct StepsCase {
  double value;
  double scale;
  std::optional<int64_t> steps;
};

TEST(StepsOf, RoundsWhatBinaryArithmeticMissedAndTruncatesTheRest) {
  const StepsCase cases[] = {
      {230.5, 0.1, 2305},    {0.3, 0.1, 3},      {0.7, 0.1, 7},  // 2.9999999999999996, 6.99...
      {1.2345, 0.001, 1234}, {70, 0.001, 70000}, {-1, 0.001, -1000},  {1, 0.00319844, 312},
      {-0.9, 1.0, 0},        {0.999999, 1.0, 0}, {HUGE_VAL, 1.0, {}}, {-HUGE_VAL, 1.0, {}},
      {NAN, 1.0, {}},        {1e19, 1.0, {}},    {1.0, 0.0, {}},
  };
  for (const StepsCase& c : cases) {
    EXPECT_EQ(StepsOf(c.value, c.scale), c.steps) << c.value << " / " << c.scale;
  }
}

struct EntryCase {
  const char* text;
  Entry outcome;
  int64_t value;  // when accepted
};

void ExpectEntries(std::span<const EntryCase> cases, const auto& enter) {
  for (const EntryCase& c : cases) {
    const auto entered = enter(c.text);
    EXPECT_EQ(entered.outcome, c.outcome) << '"' << c.text << '"';
    if (c.outcome == Entry::Accepted) {
      EXPECT_EQ(entered.value, c.value) << '"' << c.text << '"';
    }
  }
}

TEST(EnterScaled, TakesAWholeNumberThatFitsSixteenUnsignedBits) {
  const EntryCase cases[] = {
      {"1.2345", Entry::Accepted, 1234}, {" 65.535 ", Entry::Accepted, 65535},
      {"-0.0001", Entry::Accepted, 0},   {"65.536", Entry::OutOfRange, 0},
      {"70", Entry::OutOfRange, 0},      {"-1", Entry::OutOfRange, 0},
      {"1e400", Entry::OutOfRange, 0},   {"1,5", Entry::Malformed, 0},
      {"0。5", Entry::Malformed, 0},     {"2.5 s", Entry::Malformed, 0},
      {"", Entry::NoNumber, 0},          {" \t", Entry::NoNumber, 0},
      {"abc", Entry::Malformed, 0},      {"一", Entry::Malformed, 0},
      {"\x01" "5", Entry::Malformed, 0}, {"０．５", Entry::Accepted, 500},
      {"７０", Entry::OutOfRange, 0},   {"－0.0001", Entry::Accepted, 0},
  };
  ExpectEntries(cases, [](const char* text) { return EnterScaled(text, 0.001, 0, 0xFFFF); });
}

TEST(EnterInt32, TakesAWholeNumberThatFitsThirtyTwoSignedBits) {
  const std::string nines(100000, '9');
  const EntryCase cases[] = {
      {"100000", Entry::Accepted, 100000},
      {"-2147483648", Entry::Accepted, INT32_MIN},
      {" 2147483647\t", Entry::Accepted, INT32_MAX},
      {"2147483648", Entry::OutOfRange, 0},
      {"99999999999", Entry::OutOfRange, 0},
      {nines.c_str(), Entry::OutOfRange, 0},
      {"12a", Entry::Malformed, 0},
      {"1.5", Entry::Malformed, 0},
      {"-", Entry::Malformed, 0},
      {"－５", Entry::Accepted, -5},
      {"＋２０ ", Entry::Accepted, 20},
  };
  ExpectEntries(cases, [](const char* text) { return EnterInt32(text); });
}

TEST(EnterHex16, TakesAWholeNumberFromZeroToFFFF) {
  const EntryCase cases[] = {
      {"FFFF", Entry::Accepted, 0xFFFF}, {"0x2a ", Entry::Accepted, 0x2A},
      {"-0", Entry::Accepted, 0},        {"10002", Entry::OutOfRange, 0},
      {"10300", Entry::OutOfRange, 0},   {"-0x10", Entry::OutOfRange, 0},
      {"5g", Entry::Malformed, 0},       {"g", Entry::Malformed, 0},
      {"", Entry::NoNumber, 0},          {"１０", Entry::Accepted, 0x10},
  };
  ExpectEntries(cases, [](const char* text) { return EnterHex16(text); });
}

// Every raw value whose shown text carries its register's steps exactly (the step is a whole
// number of the last digit shown) reads back as itself: the register browser's shown values and
// the parameter setpoints. Delay, hold, frequency and angles show fewer digits than they step.
TEST(EnterScaled, EveryRawValueReadsBackFromItsShownText) {
  std::set<std::pair<double, int>> shown = {{0.001, 3}, {0.1, 2}};  // setpoints: %.3lf, %.2lf
  for (const RegisterDescriptor& reg : RegisterTable) {
    const double lastDigits = reg.scale * std::pow(10.0, reg.decimals);
    if (std::fabs(lastDigits - std::round(lastDigits)) < 1e-9)
      shown.insert({reg.scale, reg.decimals});
  }
  ASSERT_GE(shown.size(), 6u);
  for (const auto& [scale, decimals] : shown) {
    int drifted = 0;
    for (int raw = 0; raw <= 0xFFFF; ++raw) {
      char text[64];
      std::snprintf(text, sizeof text, "%.*f", decimals, raw * scale);
      const Entered<int64_t> read = EnterScaled(text, scale, 0, 0xFFFF);
      if (read.outcome != Entry::Accepted || read.value != raw) ++drifted;
    }
    EXPECT_EQ(drifted, 0) << "scale " << scale << ", " << decimals << " decimals";
  }
}

}  // namespace
