#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The code of a text in one of the code tables: the position of the first name equal to it,
// byte for byte, or the table's length when no name is. Callers reduce that to a code the meter
// knows (modulo the length, or the low bit), so an unknown text selects the first name.
template <std::size_t N>
uint32_t PositionIn(const std::array<const char*, N>& names, std::string_view text) {
  for (std::size_t k = 0; k < N; ++k) {
    if (text == names[k]) return static_cast<uint32_t>(k);
  }
  return static_cast<uint32_t>(N);
}

// The same after the names have been put into the form the text was brought to (letters only,
// digits only), so "modbus rtu" finds "Modbus RTU".
template <std::size_t N, typename Reduce>
uint32_t PositionIn(const std::array<const char*, N>& names, std::string_view text, Reduce reduce) {
  for (std::size_t k = 0; k < N; ++k) {
    if (text == reduce(std::string_view(names[k]))) return static_cast<uint32_t>(k);
  }
  return static_cast<uint32_t>(N);
}
