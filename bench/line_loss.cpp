// line_loss: how the console notices a serial device that goes away and takes it up again.
//
//   line_loss PROGRAM [RUNS] [SECONDS]
//
// Each run links COM1 to a raw pseudo-terminal in a temporary configuration folder and starts
// PROGRAM offscreen; nothing answers its polls. Once its first request has arrived, the program's
// CPU time is taken over SECONDS (polling a silent meter). Then the terminal's far end is closed,
// as when an adapter is pulled out, and the time until the program reports the loss on standard
// error is taken (detection), then its CPU time over SECONDS while the device is gone (a retry
// about once a second). Finally a new terminal is made and the link re-pointed at it, and the
// times until the program reports the port open again (reopen) and until its first request
// arrives there (first poll) are taken. The program's ticks (50 ms) and retries (1 s) keep their
// own rhythm, to which the steps above are locked, so run k pauses k x 23 ms modulo 50 ms before
// pulling and k x 397 ms modulo 1 s before re-pointing: the figures then spread over the tick and
// over the second as an operator's unplug and replug would. CPU
// time is the sum over the program's threads of /proc/<pid>/task/*/schedstat (nanoseconds). Prints
// one line per run, then min / median / max.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/link/pty_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kGiveUpMs = 20000;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of every thread of the process, in nanoseconds.
double CpuNs(pid_t pid) {
  double total = 0;
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  for (const auto& task : fs::directory_iterator(tasks)) {
    std::ifstream stat(task.path() / "schedstat");
    double ns = 0;
    if (stat >> ns) total += ns;
  }
  return total;
}

// Reads the program's standard error until a line holds `marker`; false past the deadline.
bool AwaitReport(int fd, std::string& seen, const std::string& marker, int timeoutMs) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (seen.find(marker) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char chunk[512];
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n <= 0) return false;
    seen.append(chunk, static_cast<size_t>(n));
  }
  seen.erase(0, seen.find(marker) + marker.size());
  return true;
}

struct Run {
  double detectMs = -1, reopenMs = -1, firstPollMs = -1, lostCpuPct = -1, pollingCpuPct = -1;
};

// Re-points the link at once, as a user's `ln -sf` does.
void Relink(const fs::path& link, const std::string& device) {
  const fs::path fresh = link.string() + ".new";
  fs::remove(fresh);
  fs::create_symlink(device, fresh);
  fs::rename(fresh, link);
}

double CpuShare(pid_t pid, int seconds) {
  const double cpu0 = CpuNs(pid);
  const Clock::time_point t0 = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  return 100.0 * (CpuNs(pid) - cpu0) / (MsSince(t0) * 1e6);
}

bool OneRun(const char* program, int seconds, int k, Run& run) {
  char pattern[] = "/tmp/quorvel-line-loss-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return false;
  const fs::path home = pattern;
  fs::create_directories(home / "quorvel/ports");
  const fs::path link = home / "quorvel/ports/COM1";
  bool ok = false;
  {
    RawPty first;
    fs::create_symlink(first.slavePath, link);
    ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int err[2];
    if (::pipe2(err, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    char* argv[] = {const_cast<char*>(program), nullptr};
    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, program, &actions, nullptr, argv, environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(err[1]);
    std::string seen;
    if (spawned == 0 && first.MasterReadable(kGiveUpMs)) {
      run.pollingCpuPct = CpuShare(child, seconds);
      std::this_thread::sleep_for(std::chrono::milliseconds(k * 23 % 50));
      const Clock::time_point pulled = Clock::now();
      first.HangUp();
      if (AwaitReport(err[0], seen, "line lost", kGiveUpMs)) {
        run.detectMs = MsSince(pulled);
        run.lostCpuPct = CpuShare(child, seconds);
        std::this_thread::sleep_for(std::chrono::milliseconds(k * 397 % 1000));
        RawPty second;
        const Clock::time_point plugged = Clock::now();
        Relink(link, second.slavePath);
        if (AwaitReport(err[0], seen, "open again", kGiveUpMs)) {
          run.reopenMs = MsSince(plugged);
          if (second.MasterReadable(kGiveUpMs)) {
            run.firstPollMs = MsSince(plugged);
            ok = true;
          }
        }
      }
    }
    if (spawned == 0) {
      ::kill(child, SIGTERM);
      ::waitpid(child, nullptr, 0);
    }
    ::close(err[0]);
  }
  std::error_code ignored;
  fs::remove_all(home, ignored);
  return ok;
}

void Summary(const char* name, std::vector<double> values, const char* unit) {
  std::sort(values.begin(), values.end());
  std::printf("%s=%.3f,%.3f,%.3f  # min,median,max %s\n", name, values.front(),
              values[values.size() / 2], values.back(), unit);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: line_loss PROGRAM [RUNS] [SECONDS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const int seconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 10;
  std::vector<double> detect, reopen, firstPoll, lostCpu, pollingCpu;
  for (int k = 1; k <= runs; ++k) {
    Run run;
    if (!OneRun(argv[1], seconds, k, run)) {
      std::fprintf(stderr, "line_loss: run %d did not complete\n", k);
      return 1;
    }
    std::printf(
        "run %d: detect %.1f ms, reopen %.1f ms, first poll %.1f ms, CPU lost %.3f %%, CPU "
        "polling %.3f %%\n",
        k, run.detectMs, run.reopenMs, run.firstPollMs, run.lostCpuPct, run.pollingCpuPct);
    std::fflush(stdout);
    detect.push_back(run.detectMs);
    reopen.push_back(run.reopenMs);
    firstPoll.push_back(run.firstPollMs);
    lostCpu.push_back(run.lostCpuPct);
    pollingCpu.push_back(run.pollingCpuPct);
  }
  std::printf("runs=%d\nseconds=%d\n", runs, seconds);
  Summary("detect_ms", detect, "ms");
  Summary("reopen_ms", reopen, "ms");
  Summary("first_poll_ms", firstPoll, "ms");
  Summary("cpu_lost_pct", lostCpu, "% of one core");
  Summary("cpu_polling_pct", pollingCpu, "% of one core");
  return 0;
}
