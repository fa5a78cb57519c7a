// first_byte: how long the console takes from exec to its first byte on the wire.
//
//   first_byte PROGRAM [RUNS]
//
// Each run makes a pseudo-terminal in raw mode, links COM1 to its slave side in a temporary
// configuration folder, starts PROGRAM offscreen with that folder as its configuration home, and
// times the first byte that arrives on the master side. The program is then stopped with
// SIGTERM. Prints one line per run and the median, in milliseconds.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/link/pty_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kGiveUpMs = 20000;

// One timed start; a negative result when no byte came or the program could not be started.
double TimeOneStart(const char* program) {
  char pattern[] = "/tmp/quorvel-first-byte-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return -1;
  const fs::path home = pattern;
  double ms = -1;

  // The held slave descriptor keeps the master from seeing a hang-up before the program opens
  // its end.
  const RawPty pty;
  if (pty.ok()) {
    fs::create_directories(home / "quorvel/ports");
    fs::create_symlink(pty.slavePath, home / "quorvel/ports/COM1");

    ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char* argv[] = {const_cast<char*>(program), nullptr};
    // The program's own chatter (Qt's notes on stderr) stays out of the figures.
    posix_spawn_file_actions_t quiet;
    ::posix_spawn_file_actions_init(&quiet);
    ::posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const Clock::time_point start = Clock::now();
    const int spawned = ::posix_spawn(&child, program, &quiet, nullptr, argv, environ);
    ::posix_spawn_file_actions_destroy(&quiet);
    if (spawned == 0) {
      if (pty.MasterReadable(kGiveUpMs)) {
        ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      }
      ::kill(child, SIGTERM);
      ::waitpid(child, nullptr, 0);
    }
  }
  std::error_code ignored;
  fs::remove_all(home, ignored);
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: first_byte PROGRAM [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  std::vector<double> times;
  for (int k = 0; k < runs; ++k) {
    const double ms = TimeOneStart(argv[1]);
    if (ms < 0) {
      std::fprintf(stderr, "first_byte: run %d: no byte from %s\n", k + 1, argv[1]);
      return 1;
    }
    std::printf("run %d: %.1f ms\n", k + 1, ms);
    times.push_back(ms);
  }
  std::sort(times.begin(), times.end());
  std::printf("median: %.1f ms\n", times[times.size() / 2]);
  return 0;
}
