#include "window/file_filter.h"

#include <algorithm>

std::vector<std::string> FilterPatterns(const std::string& filter) {
  std::vector<std::string> patterns;
  const size_t open = filter.rfind('(');
  const size_t close = filter.rfind(')');
  if (open != std::string::npos && close != std::string::npos && close > open) {
    const std::string inside = filter.substr(open + 1, close - open - 1);
    size_t start = 0;
    while (start <= inside.size()) {
      const size_t end = std::min(inside.find_first_of(" ;", start), inside.size());
      if (end > start) patterns.push_back(inside.substr(start, end - start));
      start = end + 1;
    }
  }
  if (patterns.empty()) patterns.push_back("*");
  return patterns;
}

std::string DefaultExtension(const std::string& filter) {
  const std::string first = FilterPatterns(filter).front();
  if (first.rfind("*.", 0) != 0) return {};
  const std::string extension = first.substr(2);
  if (extension.empty() || extension.find_first_of("*?") != std::string::npos) return {};
  return extension;
}
