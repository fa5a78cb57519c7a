// Platforms whose window manager owns the window menu: no system menu item of our own.
#include "window/system_menu.h"

bool HasSystemMenu() { return false; }

bool AppendSystemMenuItem(uintptr_t, const char*, uint32_t) { return false; }

bool SystemCommandOf(const void*, uint32_t&) { return false; }
