// Placeholder until the conversions are written.
#include "device/text_number.h"

std::optional<int32_t> ScanInt(std::string_view) { return std::nullopt; }
std::optional<double> ScanDouble(std::string_view) { return std::nullopt; }
std::optional<uint32_t> ScanHex(std::string_view) { return std::nullopt; }
uint16_t ScaledToRaw(double, double) { return 0; }
