// quorvel.exe: the console on plain Win32.
#include "console/console_app.h"
#include "window/win32/win32_dialog_window.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// Needs windows.h first.
#include <commctrl.h>

#include <clocale>
#include <exception>

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

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::setlocale(LC_NUMERIC, "C");
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  try {
    Win32DialogWindow window(MainDialogTemplate());
    Win32DialogHost host(window);
    ConsoleApp app(host);
    return app.InitInstance();
  } catch (const std::exception&) {
    return -1;  // the window could not be made: there is nothing to show
  }
}
