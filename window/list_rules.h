#pragma once

#include <string>
#include <vector>

#include "resources/dialog_templates.h"

// What a drop-down list shows and selects when its text is set, the same in every window.

// Drop-down lists. A fixed list shows an entry or nothing; an editable list shows any text.
// The entry a text selects when it is set: in a fixed list the entry equal to it (case counts),
// else none; in an editable list the current selection while the text is that entry, else none.
int SelectionForText(ControlKind kind, const std::vector<std::string>& entries, int current,
                     const std::string& text);
// The selection the window reports: an editable list whose typed text differs from the selected
// entry has none.
int ReportedSelection(ControlKind kind, const std::vector<std::string>& entries, int current,
                      const std::string& shownText);
