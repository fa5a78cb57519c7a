#pragma once

#include <QString>

class QWidget;

// How much text a control shows whole, measured as the widget lays its text out in its own font.
// A one-line field scrolls a longer text and a list or button clips it: either way the operator
// would read only part of it.

// Pixels of text the control shows whole: a field's text area inside its frame and side margins,
// less its cursor; a list's field (for an editable list, its inner
// field); a button's label area; a check box's label beside its box. -1 for any other control.
int TextRoom(const QWidget* control);

// Pixels the control's font gives the text on one line.
int TextWidth(const QWidget* control, const QString& text);

// Whether the control would show the text whole.
bool ShowsWhole(const QWidget* control, const QString& text);
