// quorvel.exe: the console on plain Win32.
#include "console/console_app.h"
#include "window/win32/win32_dialog_window.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// Needs windows.h first.
#include <shellapi.h>

#include <algorithm>
#include <clocale>
#include <exception>
#include <string>
#include <vector>

namespace {

// The window as the application's modal dialog.
class Win32DialogHost : public DialogHost {
 public:
  explicit Win32DialogHost(Win32DialogWindow& window) : m_window(window) {}
  DialogWindow& Window() override { return m_window; }
  void RunModal() override { m_window.RunModal(); }

 private:
  Win32DialogWindow& m_window;
};

}  // namespace

namespace {

// The program's options, as UTF-8.
std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return args;
  for (int k = 1; k < count; ++k) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide[k], -1, nullptr, 0, nullptr, nullptr);
    std::string arg(static_cast<size_t>(std::max(size, 1)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide[k], -1, arg.data(), size, nullptr, nullptr);
    arg.resize(arg.size() - 1);
    args.push_back(arg);
  }
  LocalFree(wide);
  return args;
}

std::wstring Wide(const std::string& text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(std::max(size, 1)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), size);
  wide.resize(wide.size() - 1);
  return wide;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::setlocale(LC_NUMERIC, "C");
  // A window program shows no standard error: an option it does not take is said in a box.
  StartOptions options;
  std::string error;
  if (!ParseStartOptions(Arguments(), options, error)) {
    MessageBoxW(nullptr, Wide(error).c_str(), L"quorvel", MB_OK | MB_ICONERROR);
    return 2;
  }
  try {
    Win32DialogWindow window(MainDialogTemplate());
    Win32DialogHost host(window);
    ConsoleApp app(host, options);
    return app.InitInstance();
  } catch (const std::exception&) {
    return -1;  // the window could not be made: there is nothing to show
  }
}
