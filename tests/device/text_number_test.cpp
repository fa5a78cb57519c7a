#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

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

struct RawCase {
  double value;
  double scale;
  uint16_t raw;
};

TEST(ScaledToRaw, TruncatesTowardZeroAndKeepsTheLow16Bits) {
  const RawCase cases[] = {
      {230.5, 0.1, 2305},    {0.7, 0.1, 6},       {0.3, 0.1, 2},
      {1.2345, 0.001, 1234}, {70, 0.001, 4464},   {-1, 0.001, 64536},
      {1, 0.00319844, 312},  {-0.9, 1.0, 0},      {65536 + 7, 1.0, 7},
      {HUGE_VAL, 1.0, 0},    {-HUGE_VAL, 1.0, 0}, {NAN, 1.0, 0},
      {1e19, 1.0, 0},        {-1e19, 1.0, 0},     {1099511627783.0, 1.0, 7},
      {1.0, 0.0, 0},
  };
  for (const RawCase& c : cases) {
    EXPECT_EQ(ScaledToRaw(c.value, c.scale), c.raw) << c.value << " / " << c.scale;
  }
}

}  // namespace
