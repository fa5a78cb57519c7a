#include "window/data_exchange.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

#include "device/text_number.h"

namespace {

constexpr const char* kNotAnInteger = "请键入一个整数。";

// The field holds a whole decimal integer: blanks, an optional sign, digits, blanks; full-width
// digits and signs count as theirs. A number beyond 32 bits reads as the nearest 32-bit value,
// never as its low bits ("4294967297" is not 1): the slave address then refuses it by its range.
bool ParseWholeInteger(const std::string& typed, int32_t& value) {
  const std::string text = AsciiDigits(typed);
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const size_t digitsStart = i;
  constexpr int64_t kBeyond32Bits = int64_t{1} << 32;
  int64_t magnitude = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    magnitude = std::min(magnitude * 10 + (text[i] - '0'), kBeyond32Bits);
    ++i;
  }
  if (i == digitsStart) return false;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i != text.size()) return false;
  value = static_cast<int32_t>(std::clamp<int64_t>(negative ? -magnitude : magnitude, INT32_MIN,
                                                   INT32_MAX));
  return true;
}

bool StartsWithIgnoringCase(const std::string& entry, const std::string& prefix) {
  if (prefix.size() > entry.size()) return false;
  for (size_t k = 0; k < prefix.size(); ++k) {
    if (std::tolower(static_cast<unsigned char>(entry[k])) !=
        std::tolower(static_cast<unsigned char>(prefix[k]))) {
      return false;
    }
  }
  return true;
}

bool IsList(ControlKind kind) {
  return kind == ControlKind::DropList || kind == ControlKind::DropDown;
}

}  // namespace

void CaptureText(DialogWindow& window, int id, std::string& member) { member = window.GetText(id); }

bool CaptureInteger(DialogWindow& window, int id, int32_t& member) {
  return CaptureInteger(window, window.GetText(id), member);
}

bool CaptureInteger(DialogWindow& window, const std::string& text, int32_t& member) {
  int32_t value = 0;
  if (!ParseWholeInteger(text, value)) {
    window.MessageBox(kNotAnInteger);
    return false;
  }
  member = value;
  return true;
}

void RefreshText(DialogWindow& window, int id, const std::string& member) {
  const ControlKind kind = window.KindOf(id);
  if (!IsList(kind)) {
    window.SetText(id, member);
    return;
  }
  // An empty text names no entry: the list shows none, so nothing is ever chosen for the
  // operator (a remote-control confirmation least of all).
  if (member.empty()) {
    window.SetText(id, member);
    return;
  }
  const std::vector<std::string> entries = window.ListEntries(id);
  for (size_t k = 0; k < entries.size(); ++k) {
    if (StartsWithIgnoringCase(entries[k], member)) {
      window.SelectListEntry(id, static_cast<int>(k));
      return;
    }
  }
  if (kind == ControlKind::DropDown) window.SetText(id, member);
}

void RefreshInteger(DialogWindow& window, int id, int32_t member) {
  window.SetText(id, IntegerText(member));
}

std::string IntegerText(int32_t member) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", member);
  return text;
}
