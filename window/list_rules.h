#pragma once

#include <string>
#include <vector>

#include "resources/dialog_templates.h"

// What a drop-down list, a table or a progress bar shows and selects when its text is set, the same
// in every window.

// Drop-down lists. A fixed list shows an entry or nothing; an editable list shows any text.
// The entry a text selects when it is set: in a fixed list the entry equal to it (case counts),
// else none; in an editable list the current selection while the text is that entry, else none.
int SelectionForText(ControlKind kind, const std::vector<std::string>& entries, int current,
                     const std::string& text);
// The selection the window reports: an editable list whose typed text differs from the selected
// entry has none.
int ReportedSelection(ControlKind kind, const std::vector<std::string>& entries, int current,
                      const std::string& shownText);

// Tables. The rows of a table's text: one a line, cells separated by tabs. An empty text is no
// row, and a line break at the end closes the last row rather than opening another.
std::vector<std::vector<std::string>> TableRows(const std::string& text);

// Progress bars: the part done that a text gives, "0" to "100"; beyond that range the nearest end,
// and 0 for a text that is no whole number.
int ProgressPart(const std::string& text);
