#pragma once

#include <QIcon>

// The console's icon (a meter glyph), shown in the caption, the task switcher and the About box.
QIcon ConsoleIcon();

// The look the dialog's cells are laid out for: the classic Windows style with its narrow frames
// and framed group titles (unless QT_STYLE_OVERRIDE asks for another), and the Simplified Chinese
// face of Noto Sans CJK at 11 pixels (96 DPI), so a cell of n characters holds n Chinese
// characters; without that face fontconfig may pick the Japanese glyph shapes.
void UseConsoleStyle();

// What the application needs once its QApplication exists: numbers printed and read in the C
// locale whatever the user's locale (QApplication has set the process locale from the
// environment), and the console's style and font.
void PrepareConsoleApplication();
