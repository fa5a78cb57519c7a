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
