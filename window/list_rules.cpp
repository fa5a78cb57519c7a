#include "window/list_rules.h"

#include <algorithm>
#include <charconv>

int SelectionForText(ControlKind kind, const std::vector<std::string>& entries, int current,
                     const std::string& text) {
  if (kind == ControlKind::DropDown) {
    const bool shown = current >= 0 && current < static_cast<int>(entries.size()) &&
                       entries[static_cast<size_t>(current)] == text;
    return shown ? current : -1;
  }
  const auto it = std::find(entries.begin(), entries.end(), text);
  return it == entries.end() ? -1 : static_cast<int>(it - entries.begin());
}

int ReportedSelection(ControlKind kind, const std::vector<std::string>& entries, int current,
                      const std::string& shownText) {
  if (current < 0 || current >= static_cast<int>(entries.size())) return -1;
  if (kind == ControlKind::DropDown && entries[static_cast<size_t>(current)] != shownText) {
    return -1;
  }
  return current;
}

std::vector<std::vector<std::string>> TableRows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    std::vector<std::string>& row = rows.emplace_back();
    for (size_t cell = start;;) {
      const size_t tab = std::min(text.find('\t', cell), end);
      row.push_back(text.substr(cell, tab - cell));
      if (tab == end) break;
      cell = tab + 1;
    }
    start = end + 1;
  }
  return rows;
}

int ProgressPart(const std::string& text) {
  long long part = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, part);
  if (stop != end || text.empty()) return 0;
  if (error == std::errc::result_out_of_range) return text[0] == '-' ? 0 : 100;
  return static_cast<int>(std::clamp<long long>(part, 0, 100));
}
