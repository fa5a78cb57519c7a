#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Operator text to numbers, the way the console has always read its fields: leading blanks
// skipped, an optional sign, then as many characters as can continue the number. The scanners
// ignore the rest of the text; no number at all gives nullopt, and the caller keeps its value.

// The text with full-width digits, signs and the full-width full stop "．" in their ASCII forms,
// as a Chinese input method in full-width mode types them ("２０" is 20); nothing else changes.
std::string AsciiDigits(std::string_view text);
// Nothing but blanks: an empty field.
bool IsBlankText(std::string_view text);

// "%d": decimal integer; an overflowing value keeps its low 32 bits.
std::optional<int32_t> ScanInt(std::string_view text);
// "%lf": decimal digits, point and exponent; no hex, inf or nan.
std::optional<double> ScanDouble(std::string_view text);
// "%x": hexadecimal digits with an optional 0x; an overflowing value keeps its low 32 bits.
std::optional<uint32_t> ScanHex(std::string_view text);

// What became of a number the operator typed into a field that stores it somewhere. A field's
// number goes out to the meter, so it is taken only whole and only when it fits.
enum class Entry : uint8_t {
  Accepted,    // the number fits its destination: value holds it
  NoNumber,    // the field is empty (blanks at most): the destination keeps its value
  Malformed,   // the text is no number, or something other than blanks follows the number
  OutOfRange,  // the number does not fit its destination
};

template <typename T>
struct Entered {
  Entry outcome;
  T value;
};

// The Enter functions read the text after AsciiDigits.

// A decimal typed for a register counted in steps of `scale`: the number of steps, accepted when
// it lies within [min, max]. Text that is no finite number is out of range.
Entered<int64_t> EnterScaled(std::string_view text, double scale, int64_t min, int64_t max);
// A decimal integer that must fit in 32 signed bits (PT and CT ratios).
Entered<int32_t> EnterInt32(std::string_view text);
// A hexadecimal number from 0 to FFFF (a register's value or its address).
Entered<uint16_t> EnterHex16(std::string_view text);
// A decimal integer within [min, max]; used for the parts of the texts the console reads back.
Entered<int64_t> EnterInteger(std::string_view text, int64_t min, int64_t max);

// The whole number of steps of `scale` in a value: the quotient value / scale, rounded to the
// nearest whole number when it lies within 1e-9 of it (relative to its size, at least 1), else
// truncated toward zero. So 0.3 in steps of 0.1 is 3 steps, although binary arithmetic makes the
// quotient 2.9999999999999996, and 1.2345 in steps of 0.001 is 1234. nullopt when the quotient
// is not finite or beyond 64 bits.
std::optional<int64_t> StepsOf(double value, double scale);
