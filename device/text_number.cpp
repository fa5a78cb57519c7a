#include "device/text_number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <system_error>

namespace {

// The blanks the console has always skipped before a number, whatever the locale.
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the text from the front: blanks, then an optional sign.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : m_text(text) {
    while (m_at < m_text.size() && IsBlank(m_text[m_at])) ++m_at;
    if (Peek() == '+' || Peek() == '-') m_negative = m_text[m_at++] == '-';
  }
  char Peek(std::size_t ahead = 0) const {
    return m_at + ahead < m_text.size() ? m_text[m_at + ahead] : '\0';
  }
  void Skip(std::size_t n = 1) { m_at += n; }
  std::size_t At() const { return m_at; }
  bool Negative() const { return m_negative; }
  std::string_view Text() const { return m_text; }

 private:
  std::string_view m_text;
  std::size_t m_at = 0;
  bool m_negative = false;
};

// Low 32 bits of the value, negated modulo 2^32 after a minus sign.
uint32_t Signed(uint32_t magnitude, bool negative) { return negative ? 0u - magnitude : magnitude; }

// A decimal exponent that saturates instead of overflowing; far beyond any double's range.
constexpr int64_t kExponentLimit = 1'000'000'000;

}  // namespace

std::optional<int32_t> ScanInt(std::string_view text) {
  Cursor cursor(text);
  if (!IsDigit(cursor.Peek())) return std::nullopt;
  uint32_t value = 0;
  while (IsDigit(cursor.Peek())) {
    value = value * 10u + static_cast<uint32_t>(cursor.Peek() - '0');
    cursor.Skip();
  }
  return static_cast<int32_t>(Signed(value, cursor.Negative()));
}

std::optional<uint32_t> ScanHex(std::string_view text) {
  Cursor cursor(text);
  // "0x" is a prefix only when a hex digit follows; otherwise the 0 is the number.
  if (cursor.Peek() == '0' && (cursor.Peek(1) == 'x' || cursor.Peek(1) == 'X') &&
      HexDigit(cursor.Peek(2)) >= 0) {
    cursor.Skip(2);
  }
  if (HexDigit(cursor.Peek()) < 0) return std::nullopt;
  uint32_t value = 0;
  for (int digit = HexDigit(cursor.Peek()); digit >= 0; digit = HexDigit(cursor.Peek())) {
    value = value * 16u + static_cast<uint32_t>(digit);
    cursor.Skip();
  }
  return Signed(value, cursor.Negative());
}

std::optional<double> ScanDouble(std::string_view text) {
  Cursor cursor(text);
  const std::size_t begin = cursor.At();
  // Decimal position of the leading significant digit, to tell an overflow from an underflow.
  int64_t magnitude = 0;
  bool significant = false;
  bool digits = false;
  while (IsDigit(cursor.Peek())) {
    significant = significant || cursor.Peek() != '0';
    if (significant) ++magnitude;
    digits = true;
    cursor.Skip();
  }
  if (cursor.Peek() == '.') {
    cursor.Skip();
    while (IsDigit(cursor.Peek())) {
      if (!significant) --magnitude;
      significant = significant || cursor.Peek() != '0';
      digits = true;
      cursor.Skip();
    }
  }
  if (!digits) return std::nullopt;
  // The exponent counts only when at least one digit follows the e and its sign.
  if (cursor.Peek() == 'e' || cursor.Peek() == 'E') {
    const std::size_t sign = cursor.Peek(1) == '+' || cursor.Peek(1) == '-' ? 1 : 0;
    if (IsDigit(cursor.Peek(1 + sign))) {
      const bool negativeExponent = cursor.Peek(1) == '-';
      cursor.Skip(1 + sign);
      int64_t exponent = 0;
      while (IsDigit(cursor.Peek())) {
        exponent = std::min(exponent * 10 + (cursor.Peek() - '0'), kExponentLimit);
        cursor.Skip();
      }
      magnitude += negativeExponent ? -exponent : exponent;
    }
  }
  const std::string_view number = cursor.Text().substr(begin, cursor.At() - begin);
  double value = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) value = magnitude > 0 ? HUGE_VAL : 0.0;
  return cursor.Negative() ? -value : value;
}

uint16_t ScaledToRaw(double value, double scale) {
  const double raw = value / scale;
  // Outside the 64-bit range (and NaN) the processor's conversion gives 0x8000000000000000,
  // whose low 16 bits are 0.
  constexpr double kTwoTo63 = 9223372036854775808.0;
  if (!(raw >= -kTwoTo63 && raw < kTwoTo63)) return 0;
  return static_cast<uint16_t>(static_cast<uint64_t>(static_cast<int64_t>(raw)) & 0xFFFFu);
}
