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
// Integer magnitudes are kept exactly up to here and stop growing beyond: every destination the
// console has is far smaller, and no count of digits can overflow the arithmetic.
constexpr uint64_t kMagnitudeLimit = uint64_t{1} << 40;

// A number read from the front of a text, and where it ended.
template <typename T>
struct Scanned {
  std::optional<T> value;
  std::size_t end = 0;
};

// Digits of an integer: the value modulo 2^32 (what "%d" and "%x" keep) and, for range checks,
// its magnitude up to kMagnitudeLimit.
struct Magnitude {
  uint32_t low32 = 0;
  uint64_t capped = 0;
  bool negative = false;

  void Add(uint32_t base, uint32_t digit) {
    low32 = low32 * base + digit;
    capped = std::min(capped * base + digit, kMagnitudeLimit);
  }
  // The value with its sign, or nullopt when it lies outside [min, max].
  std::optional<int64_t> Within(int64_t min, int64_t max) const {
    const int64_t value = negative ? -static_cast<int64_t>(capped) : static_cast<int64_t>(capped);
    if (value < min || value > max) return std::nullopt;
    return value;
  }
};

Scanned<Magnitude> ScanDecimalAt(std::string_view text) {
  Cursor cursor(text);
  if (!IsDigit(cursor.Peek())) return {};
  Magnitude number;
  number.negative = cursor.Negative();
  while (IsDigit(cursor.Peek())) {
    number.Add(10, static_cast<uint32_t>(cursor.Peek() - '0'));
    cursor.Skip();
  }
  return {number, cursor.At()};
}

Scanned<Magnitude> ScanHexAt(std::string_view text) {
  Cursor cursor(text);
  // "0x" is a prefix only when a hex digit follows; otherwise the 0 is the number.
  if (cursor.Peek() == '0' && (cursor.Peek(1) == 'x' || cursor.Peek(1) == 'X') &&
      HexDigit(cursor.Peek(2)) >= 0) {
    cursor.Skip(2);
  }
  if (HexDigit(cursor.Peek()) < 0) return {};
  Magnitude number;
  number.negative = cursor.Negative();
  for (int digit = HexDigit(cursor.Peek()); digit >= 0; digit = HexDigit(cursor.Peek())) {
    number.Add(16, static_cast<uint32_t>(digit));
    cursor.Skip();
  }
  return {number, cursor.At()};
}

Scanned<double> ScanDoubleAt(std::string_view text) {
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
  if (!digits) return {};
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
  return {cursor.Negative() ? -value : value, cursor.At()};
}

// UTF-8 of the full-width forms U+FF0B "＋", U+FF0D "－", U+FF0E "．" and U+FF10 to U+FF19
// "０" to "９": EF BC 8B, EF BC 8D, EF BC 8E, EF BC 90 to EF BC 99.
constexpr char kFullWidthLead0 = '\xEF';
constexpr char kFullWidthLead1 = '\xBC';

std::optional<char> FullWidthAscii(unsigned char third) {
  if (third >= 0x90 && third <= 0x99) return static_cast<char>('0' + (third - 0x90));
  if (third == 0x8B) return '+';
  if (third == 0x8D) return '-';
  if (third == 0x8E) return '.';
  return std::nullopt;
}

// Only blanks follow the number.
bool EndsClean(std::string_view text, std::size_t end) {
  for (std::size_t k = end; k < text.size(); ++k) {
    if (!IsBlank(text[k])) return false;
  }
  return true;
}

// The outcome of a scan against a destination: an empty field, text that is no number or has
// junk after it, or a value that may still not fit (nullopt).
template <typename T, typename U>
Entered<T> Judge(const Scanned<U>& scanned, std::string_view text, const std::optional<T>& fitted) {
  if (!scanned.value) return {IsBlankText(text) ? Entry::NoNumber : Entry::Malformed, T{}};
  if (!EndsClean(text, scanned.end)) return {Entry::Malformed, T{}};
  if (!fitted) return {Entry::OutOfRange, T{}};
  return {Entry::Accepted, *fitted};
}

}  // namespace

std::string AsciiDigits(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (text[k] == kFullWidthLead0 && k + 2 < text.size() && text[k + 1] == kFullWidthLead1) {
      if (const auto ascii = FullWidthAscii(static_cast<unsigned char>(text[k + 2]))) {
        out += *ascii;
        k += 2;
        continue;
      }
    }
    out += text[k];
  }
  return out;
}

bool IsBlankText(std::string_view text) { return EndsClean(text, 0); }

std::optional<int32_t> ScanInt(std::string_view text) {
  const Scanned<Magnitude> scanned = ScanDecimalAt(text);
  if (!scanned.value) return std::nullopt;
  return static_cast<int32_t>(Signed(scanned.value->low32, scanned.value->negative));
}

std::optional<uint32_t> ScanHex(std::string_view text) {
  const Scanned<Magnitude> scanned = ScanHexAt(text);
  if (!scanned.value) return std::nullopt;
  return Signed(scanned.value->low32, scanned.value->negative);
}

std::optional<double> ScanDouble(std::string_view text) { return ScanDoubleAt(text).value; }

std::optional<int64_t> StepsOf(double value, double scale) {
  const double quotient = value / scale;
  constexpr double kTwoTo62 = 4611686018427387904.0;
  if (!(std::fabs(quotient) < kTwoTo62)) return std::nullopt;  // NaN and infinities included
  const double nearest = std::nearbyint(quotient);
  constexpr double kTolerance = 1e-9;
  if (std::fabs(quotient - nearest) <= kTolerance * std::max(1.0, std::fabs(nearest))) {
    return static_cast<int64_t>(nearest);
  }
  return static_cast<int64_t>(std::trunc(quotient));
}

Entered<int64_t> EnterScaled(std::string_view typed, double scale, int64_t min, int64_t max) {
  const std::string text = AsciiDigits(typed);
  const Scanned<double> scanned = ScanDoubleAt(text);
  const std::optional<int64_t> steps =
      scanned.value ? StepsOf(*scanned.value, scale) : std::nullopt;
  const bool fits = steps.has_value() && steps.value() >= min && steps.value() <= max;
  return Judge(scanned, text, fits ? steps : std::nullopt);
}

Entered<int64_t> EnterInteger(std::string_view typed, int64_t min, int64_t max) {
  const std::string text = AsciiDigits(typed);
  const Scanned<Magnitude> scanned = ScanDecimalAt(text);
  std::optional<int64_t> value;
  if (scanned.value) value = scanned.value->Within(min, max);
  return Judge(scanned, text, value);
}

Entered<int32_t> EnterInt32(std::string_view text) {
  const Entered<int64_t> entered = EnterInteger(text, INT32_MIN, INT32_MAX);
  return {entered.outcome, static_cast<int32_t>(entered.value)};
}

Entered<uint16_t> EnterHex16(std::string_view typed) {
  const std::string text = AsciiDigits(typed);
  const Scanned<Magnitude> scanned = ScanHexAt(text);
  std::optional<uint16_t> value;
  if (scanned.value) {
    if (const auto fitted = scanned.value->Within(0, 0xFFFF)) {
      value = static_cast<uint16_t>(*fitted);
    }
  }
  return Judge(scanned, text, value);
}
