#pragma once

#include <cstdio>
#include <string>

// A display text from a printf-style format, as the console has always formed its texts. The
// process keeps LC_NUMERIC at "C", so a decimal point is always a point. Every text the console
// forms fits in 128 bytes.
template <typename... Args>
std::string Printf(const char* format, Args... args) {
  char text[128];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

// At most maxBytes of a UTF-8 text, never ending inside a character.
inline std::string TruncateUtf8(const std::string& text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t end = maxBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0u) == 0x80u) --end;
  return text.substr(0, end);
}
