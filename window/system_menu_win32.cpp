// The system menu on Windows: GetSystemMenu, AppendMenu and WM_SYSCOMMAND.
#include <windows.h>

#include <string>

#include "window/system_menu.h"

bool HasSystemMenu() { return true; }

bool AppendSystemMenuItem(uintptr_t nativeWindow, const char* text, uint32_t command) {
  HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(nativeWindow), FALSE);
  if (menu == nullptr || text == nullptr || text[0] == '\0') return false;
  const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (length <= 0) return false;
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, command, wide.c_str());
  return true;
}

bool SystemCommandOf(const void* nativeMessage, uint32_t& command) {
  const MSG* message = static_cast<const MSG*>(nativeMessage);
  if (message == nullptr || message->message != WM_SYSCOMMAND) return false;
  command = static_cast<uint32_t>(message->wParam);
  return true;
}
