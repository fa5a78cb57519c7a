#pragma once

#include <cstdint>

// The About item in the window's system menu. Windows has one per window; elsewhere the window
// manager owns that menu, and the About item lives in the dialog's context menu and on F1.

// Whether this platform gives the window a system menu of its own.
bool HasSystemMenu();
// Appends a separator and the item (UTF-8 text, command id) to the system menu of the native
// window; false when there is no such menu or the text is empty.
bool AppendSystemMenuItem(uintptr_t nativeWindow, const char* text, uint32_t command);
// The command of a native system-command message (Windows' generic MSG), else false.
bool SystemCommandOf(const void* nativeMessage, uint32_t& command);
