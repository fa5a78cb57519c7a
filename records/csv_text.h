#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The records' CSV: UTF-8 opened by a byte-order mark (spreadsheet programs then read the Chinese
// texts as UTF-8), fields separated by commas, lines ended by CR LF, a field quoted when it holds
// a comma, a quote, a line break or blanks at either end.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
inline constexpr std::string_view kCsvLineEnd = "\r\n";

// One line, built field by field.
class CsvLine {
 public:
  // A text of the console's own.
  CsvLine& Text(std::string_view text);
  // A text that came from outside (bytes received, a device's or a user's name, a path): one that
  // a spreadsheet would run as a formula (=, +, -, @ first) is kept as text by a leading '.
  CsvLine& Outside(std::string_view text);
  // A number as the window shows it ("230.5", "-0.1250"), written bare so that a spreadsheet
  // counts with it; anything else is written as text, and an empty text as an empty field.
  CsvLine& Number(std::string_view text);
  CsvLine& Integer(int64_t value);
  // The line with its end.
  std::string Done() &&;
  const std::string& Fields() const { return m_line; }

 private:
  void Separate();
  std::string m_line;
  bool m_first = true;
};

// Whether a text is a plain decimal number: an optional minus, digits, at most one point.
bool IsPlainNumber(std::string_view text);
