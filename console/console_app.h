#pragma once

#include <string>
#include <vector>

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

// How the window program was started: its options, after the verbs that run without a window
// have been taken care of.
struct StartOptions {
  bool defaults = false;  // --defaults: the built-in host settings; quorvel.ini is left alone
  std::string trace;      // --trace FILE: the traffic capture runs from the start
  std::string log;        // --log FILE: the data log runs from the start
};

// The options of the window program; false with the reason and the usage for anything else.
bool ParseStartOptions(const std::vector<std::string>& args, StartOptions& options,
                       std::string& error);
// What the window program takes, for the message that refuses an option.
const char* StartUsage();

// The application object: builds the main dialog on the host's window, runs it modally and
// tears it down. It starts with the host settings of the last clean run (quorvel.ini) unless
// told not to, and saves them when the run ends.
class ConsoleApp {
 public:
  explicit ConsoleApp(DialogHost& host, StartOptions options = {})
      : m_host(host), m_options(options) {}
  // The process exit code: 0 after a normal run, -1 when timer 1 could not be created.
  int InitInstance();

 private:
  DialogHost& m_host;
  StartOptions m_options;
};
