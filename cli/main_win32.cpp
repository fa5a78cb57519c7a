// quorvel-cli.exe: the command-line verbs on Windows, a console program beside the window program
// quorvel.exe (cmd.exe waits for a console program and shows its output, not a window program's).
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <clocale>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "console/wide_text_win32.h"

int wmain(int argc, wchar_t** argv) {
  std::setlocale(LC_NUMERIC, "C");
  SetConsoleOutputCP(CP_UTF8);  // the Chinese words of the results, as UTF-8
  std::vector<std::string> args;
  for (int k = 1; k < argc; ++k) args.push_back(Utf8Of(argv[k]));
  if (const auto status = RunVerb(args, stdout, stderr)) return *status;
  std::fputs(VerbUsage(), stderr);
  return 2;
}
