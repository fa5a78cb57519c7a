// The options of the window program.
#include "console/console_app.h"

const char* StartUsage() {
  return "usage: quorvel [--defaults]\n"
         "       quorvel --ports\n"
         "  --defaults  start with the built-in host settings and leave quorvel.ini alone\n"
         "  --ports     list the serial ports and what each stands for, without a window\n";
}

bool ParseStartOptions(const std::vector<std::string>& args, StartOptions& options,
                       std::string& error) {
  for (const std::string& arg : args) {
    if (arg == "--defaults") {
      options.defaults = true;
    } else {
      error = "quorvel: unknown option '" + arg + "'\n" + StartUsage();
      return false;
    }
  }
  return true;
}
