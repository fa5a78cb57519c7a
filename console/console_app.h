#pragma once

#include "window/dialog_window.h"

// What the toolkit gives the application: the dialog's window and its modal run.
class DialogHost {
 public:
  virtual DialogWindow& Window() = 0;
  // Shows the window and runs until the Escape key or the close command ends the run.
  virtual void RunModal() = 0;

 protected:
  ~DialogHost() = default;
};

// The application object: builds the main dialog on the host's window, runs it modally and
// tears it down. There is no command line, no file and nothing saved.
class ConsoleApp {
 public:
  explicit ConsoleApp(DialogHost& host) : m_host(host) {}
  // The process exit code: 0 after a normal run, -1 when timer 1 could not be created.
  int InitInstance();

 private:
  DialogHost& m_host;
};
