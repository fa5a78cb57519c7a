#include <fcntl.h>
#include <unistd.h>
#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "console/console_app.h"
#include "cli/cli.h"
#include "window/qt/console_style.h"
#include "window/qt/qt_dialog_window.h"

namespace {

// The window as the application's modal dialog.
class QtDialogHost : public DialogHost {
 public:
  explicit QtDialogHost(QtDialogWindow& window) : m_window(window) {}
  DialogWindow& Window() override { return m_window; }
  void RunModal() override { m_window.RunModal(); }

 private:
  QtDialogWindow& m_window;
};

int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT close the window as its close command does, so the run ends normally and
// the port is purged and closed on the way out.
void CloseOnTerminationSignals(QtDialogWindow& window) {
  if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
    char byte = 0;
    while (::read(g_signalPipe[0], &byte, 1) > 0) {
    }
    window.close();
  });
  struct sigaction action = {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  // The verbs need no window, so they run before Qt looks for a display.
  if (const auto status = RunVerb(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr)) {
    return *status;
  }
  QApplication application(argc, argv);  // takes its own options (-platform ...) out of argv
  StartOptions options;
  std::string error;
  if (!ParseStartOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fputs(error.c_str(), stderr);
    return 2;
  }
  PrepareConsoleApplication();

  QtDialogWindow window(MainDialogTemplate());
  CloseOnTerminationSignals(window);
  QtDialogHost host(window);
  ConsoleApp app(host, options);
  return app.InitInstance();
}
