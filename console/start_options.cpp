// The options of the window program.
#include "console/console_app.h"

const char* StartUsage() {
  return "usage: quorvel [--defaults]\n"
         "  --defaults  start with the built-in host settings and leave quorvel.ini alone\n"
         "(and the verbs that need no window: quorvel --ports, quorvel --scan ...)\n";
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
