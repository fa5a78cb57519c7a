#pragma once

#include <cstdint>
#include <string>

#include "window/dialog_window.h"

// The exchange rules between a field and its member, in both directions.

// Window to member. Text fields and lists give their visible text.
void CaptureText(DialogWindow& window, int id, std::string& member);
// An integer field that holds no decimal integer shows "请键入一个整数。", keeps the member and
// returns false: the capture stops at that field.
bool CaptureInteger(DialogWindow& window, int id, int32_t& member);
// The same for the text the field is known to hold.
bool CaptureInteger(DialogWindow& window, const std::string& text, int32_t& member);

// Member to window. A list selects its first entry that begins with the text, ignoring ASCII
// case; when none does, an editable list shows the text and a fixed list keeps its selection. An
// empty text shows no entry in either kind of list.
void RefreshText(DialogWindow& window, int id, const std::string& member);
void RefreshInteger(DialogWindow& window, int id, int32_t member);
// The text an integer field shows for its member.
std::string IntegerText(int32_t member);
