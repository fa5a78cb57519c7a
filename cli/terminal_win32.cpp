#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// Needs windows.h first.
#include <io.h>

#include "cli/terminal.h"

namespace {

std::atomic<bool>* g_stop = nullptr;

BOOL WINAPI OnControl(DWORD) {
  if (g_stop == nullptr) return FALSE;
  g_stop->store(true);
  return TRUE;
}

}  // namespace

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

void StopOnInterrupt(std::atomic<bool>& stop) {
  g_stop = &stop;
  SetConsoleCtrlHandler(OnControl, TRUE);
}
