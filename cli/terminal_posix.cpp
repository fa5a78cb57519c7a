#include <signal.h>
#include <unistd.h>

#include "cli/terminal.h"

namespace {

std::atomic<bool>* g_stop = nullptr;

void OnInterrupt(int) {
  if (g_stop != nullptr) g_stop->store(true);
}

}  // namespace

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

void StopOnInterrupt(std::atomic<bool>& stop) {
  g_stop = &stop;
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}
