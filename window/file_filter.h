#pragma once

#include <string>
#include <vector>

// The file choosers' filters, as the logic gives them: a name and its patterns in parentheses,
// "CSV (*.csv)", several patterns separated by blanks or ';' ("表格 (*.csv *.txt)").

// The patterns ("*.csv"); "*" when the filter names none.
std::vector<std::string> FilterPatterns(const std::string& filter);
// The extension a file saved under a name typed without one gets: that of the first pattern
// ("csv"), or "" when it names no single extension ("*", "*.*").
std::string DefaultExtension(const std::string& filter);
