#include "window/list_rules.h"

#include <algorithm>

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
