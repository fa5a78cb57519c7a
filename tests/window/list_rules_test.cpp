#include "window/list_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "window/file_filter.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

TEST(TableRows, AreTheLinesOfTheTextWithTheirCellsBetweenTabs) {
  const std::pair<std::string, Rows> cases[] = {
      {"", {}},
      {"1\t9600\tNONE", {{"1", "9600", "NONE"}}},
      {"1\t9600\n17\t19200\n", {{"1", "9600"}, {"17", "19200"}}},  // the last break closes a row
      {"\n\t\n仪表", {{""}, {"", ""}, {"仪表"}}},                     // empty rows and cells stay
  };
  for (const auto& [text, rows] : cases) EXPECT_EQ(TableRows(text), rows) << text;
}

TEST(ProgressPart, IsTheWholeNumberOfTheTextWithinZeroToAHundred) {
  const std::pair<std::string, int> cases[] = {
      {"0", 0},    {"40", 40}, {"100", 100}, {"250", 100}, {"-3", 0},
      {"", 0},     {"4x", 0},  {"40.5", 0},  {"99999999999999999999", 100}};
  for (const auto& [text, part] : cases) EXPECT_EQ(ProgressPart(text), part) << text;
}

TEST(FileFilter, GivesThePatternsInParenthesesAndTheFirstOnesExtension) {
  struct Case {
    const char* filter;
    std::vector<std::string> patterns;
    const char* extension;
  };
  const Case cases[] = {
      {"CSV (*.csv)", {"*.csv"}, "csv"},
      {"表格 (*.csv *.txt)", {"*.csv", "*.txt"}, "csv"},
      {"参数 (*.json;*.JSON)", {"*.json", "*.JSON"}, "json"},
      {"所有文件 (*)", {"*"}, ""},
      {"所有文件 (*.*)", {"*.*"}, ""},
      {"", {"*"}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FilterPatterns(c.filter), c.patterns) << c.filter;
    EXPECT_EQ(DefaultExtension(c.filter), c.extension) << c.filter;
  }
}

}  // namespace
