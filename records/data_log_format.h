#pragma once

#include <span>
#include <string>

#include "records/local_time.h"

// The data log: one row per real-time block the meter answered, the time first, then every field
// of 实时数据 and of the energy grid as the window shows it, and the harmonic content of the latest
// harmonic reply. Each value goes in as a number, with the window's decimals; a field the window
// shows empty (no harmonic reply yet) is an empty cell.
struct DataColumn {
  int controlId;
  const char* heading;  // the field's name and unit: "Uan (V)", "+KWh 总", "3 U1 (%)"
};

std::span<const DataColumn> DataLogColumns();
std::string DataLogHeader();
// values: the text of each column's field, in the order of DataLogColumns.
std::string DataLogRow(const WallTime& when, std::span<const std::string* const> values);
