// The options of the window program.
#include "console/console_app.h"

const char* StartUsage() {
  return "usage: quorvel [--defaults] [--trace FILE] [--log FILE]\n"
         "  --defaults    start with the built-in host settings and leave quorvel.ini alone\n"
         "  --trace FILE  record every frame sent and received to FILE (CSV) from the start\n"
         "  --log FILE    record every real-time reply's values to FILE (CSV) from the start\n"
         "(and the verbs that need no window: quorvel --ports, quorvel --scan ...)\n";
}

bool ParseStartOptions(const std::vector<std::string>& args, StartOptions& options,
                       std::string& error) {
  for (size_t k = 0; k < args.size(); ++k) {
    const std::string& arg = args[k];
    if (arg == "--defaults") {
      options.defaults = true;
      continue;
    }
    std::string* file = arg == "--trace" ? &options.trace : arg == "--log" ? &options.log : nullptr;
    if (file == nullptr) {
      error = "quorvel: unknown option '" + arg + "'\n" + StartUsage();
      return false;
    }
    if (k + 1 == args.size() || args[k + 1].empty() || args[k + 1].rfind("--", 0) == 0) {
      error = "quorvel: " + arg + " needs a file\n" + StartUsage();
      return false;
    }
    *file = args[++k];
  }
  return true;
}
