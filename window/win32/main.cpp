// quorvel.exe: the console on plain Win32.
#include "console/console_app.h"
#include "console/wide_text_win32.h"
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
  for (int k = 1; k < count; ++k) args.push_back(Utf8Of(wide[k]));
  LocalFree(wide);
  return args;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::setlocale(LC_NUMERIC, "C");
  // A window program shows no standard error: an option it does not take is said in a box.
  StartOptions options;
  std::string error;
  if (!ParseStartOptions(Arguments(), options, error)) {
    MessageBoxW(nullptr, WideOf(error).c_str(), L"quorvel", MB_OK | MB_ICONERROR);
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
