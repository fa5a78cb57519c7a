#include "records/csv_text.h"

namespace {

bool NeedsQuotes(std::string_view text) {
  if (text.empty()) return false;
  if (text.front() == ' ' || text.back() == ' ') return true;
  return text.find_first_of(",\"\r\n") != std::string_view::npos;
}

void AppendQuoted(std::string& line, std::string_view text) {
  line += '"';
  for (char c : text) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

}  // namespace

void CsvLine::Separate() {
  if (!m_first) m_line += ',';
  m_first = false;
}

CsvLine& CsvLine::Text(std::string_view text) {
  Separate();
  if (NeedsQuotes(text)) {
    AppendQuoted(m_line, text);
  } else {
    m_line += text;
  }
  return *this;
}

CsvLine& CsvLine::Outside(std::string_view text) {
  if (text.empty() || std::string_view("=+-@\t\r").find(text.front()) == std::string_view::npos) {
    return Text(text);
  }
  std::string kept(1, '\'');
  kept.append(text);
  return Text(kept);
}

CsvLine& CsvLine::Number(std::string_view text) {
  if (!IsPlainNumber(text)) return Outside(text);
  Separate();
  m_line += text;
  return *this;
}

CsvLine& CsvLine::Integer(int64_t value) {
  Separate();
  m_line += std::to_string(value);
  return *this;
}

std::string CsvLine::Done() && {
  m_line += kCsvLineEnd;
  return std::move(m_line);
}

bool IsPlainNumber(std::string_view text) {
  if (!text.empty() && text.front() == '-') text.remove_prefix(1);
  bool digits = false;
  bool point = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digits = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits;
}
