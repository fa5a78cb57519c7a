#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Operator text to numbers, the way the console has always read its fields: leading blanks
// skipped, an optional sign, then as many characters as can continue the number; the rest of
// the text is ignored. No number at all gives nullopt, and the caller keeps its previous value.

// "%d": decimal integer; an overflowing value keeps its low 32 bits.
std::optional<int32_t> ScanInt(std::string_view text);
// "%lf": decimal digits, point and exponent; no hex, inf or nan.
std::optional<double> ScanDouble(std::string_view text);
// "%x": hexadecimal digits with an optional 0x; an overflowing value keeps its low 32 bits.
std::optional<uint32_t> ScanHex(std::string_view text);

// A scaled value typed by the operator to a raw register value: divided by the scale in double
// precision, truncated toward zero to 64 bits, low 16 bits kept. Values outside the 64-bit range
// (and NaN) give 0, as the conversion of the original console did.
uint16_t ScaledToRaw(double value, double scale);
