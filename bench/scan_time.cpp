// scan_time: how long the bus scan takes on a real line, against the floor the wire and the wait
// set, and how much CPU it spends meanwhile.
//
//   scan_time silent            247 silent addresses at 9600 8N2 Modbus RTU, 100 ms wait, on a
//                               pseudo-terminal nobody answers
//   scan_time find QUORVEL_SIM  the default scan (every speed, parity and framing, addresses 1 to
//                               247, the console's defaults first) until it finds the simulated
//                               meter at address 200, 19200 baud, even parity
//
// Prints key=value lines: wall_ms, floor_ms (silent: 247 × (the request's wire time + the wait)),
// probes, cpu_share_pct (process CPU time over wall time, every thread).
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "link/serial_port.h"
#include "scan/scanner.h"

namespace {

using Clock = std::chrono::steady_clock;

double ProcessCpuMs() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Counts the probes and notes when the first meter was reported.
class Watch : public ScanListener {
 public:
  void Progress(size_t done, size_t, int64_t) override { probes = done; }
  void Found(const ScanFinding& f) override {
    if (f.kind == ScanFinding::Kind::ThisMeter && !found) found = Clock::now();
  }
  void Finished(ScanEnd e, const LineError&, const std::string&) override { end = e; }

  size_t probes = 0;
  std::optional<Clock::time_point> found;
  ScanEnd end = ScanEnd::Completed;
};

struct Outcome {
  double wallMs = 0;
  double cpuMs = 0;
  Watch watch;
};

Outcome Scan(const ScanRequest& request) {
  SerialPort port;
  SteadyScanClock clock;
  Outcome o;
  std::atomic<bool> stop{false};
  const double cpu0 = ProcessCpuMs();
  const auto t0 = Clock::now();
  Scanner(port, clock).Run(request, o.watch, stop);
  const auto t1 = o.watch.found.value_or(Clock::now());
  o.wallMs = std::chrono::duration<double, std::milli>(t1 - t0).count();
  o.cpuMs = ProcessCpuMs() - cpu0;
  return o;
}

void Print(const Outcome& o, double floorMs) {
  std::printf("wall_ms=%.1f\n", o.wallMs);
  if (floorMs > 0) std::printf("floor_ms=%.1f\nratio=%.4f\n", floorMs, o.wallMs / floorMs);
  std::printf("probes=%zu\ncpu_share_pct=%.3f\n", o.watch.probes, 100.0 * o.cpuMs / o.wallMs);
}

int Silent() {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return 1;
  ScanRequest r;
  r.port = ::ptsname(master);
  r.bauds = {9600};
  r.parities = {0};
  r.protocols = {0};
  r.current = {9600, 0, 0};
  const Outcome o = Scan(r);
  ::close(master);
  // An 8-byte request, each character 1 start, 8 data and 2 stop bits.
  const double floorMs = 247 * (8.0 * 11 * 1000 / 9600 + r.waitMs);
  Print(o, floorMs);
  return o.watch.end == ScanEnd::Completed ? 0 : 1;
}

// Starts the simulated meter in a folder of its own and returns its terminal's path.
std::string StartMeter(const char* sim, pid_t& pid, std::string& folder) {
  char home[] = "/tmp/quorvel-scan-bench-XXXXXX";
  if (::mkdtemp(home) == nullptr) return {};
  folder = home;
  int out[2];
  if (::pipe(out) != 0) return {};
  pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::setenv("XDG_CONFIG_HOME", home, 1);
    ::execl(sim, sim, "--address", "200", "--baud", "19200", "--parity", "even", "--seed", "1",
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  std::string text;
  char buffer[512];
  for (ssize_t n; text.find("link:") == std::string::npos &&
                  (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<size_t>(n));
  }
  const size_t at = text.find("device: ");
  if (at == std::string::npos) return {};
  return text.substr(at + 8, text.find('\n', at) - at - 8);
}

int Find(const char* sim) {
  pid_t pid = -1;
  std::string folder;
  const std::string device = StartMeter(sim, pid, folder);
  if (device.empty()) return 1;
  ScanRequest r;  // every setting, addresses 1 to 247, 100 ms wait
  r.port = device;
  r.current = {9600, 0, 0};
  r.currentAddress = 1;
  r.stopAtFirst = true;
  const Outcome o = Scan(r);
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  std::filesystem::remove_all(folder);
  Print(o, 0);
  return o.watch.found ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "silent") return Silent();
  if (mode == "find" && argc > 2) return Find(argv[2]);
  std::fprintf(stderr, "usage: scan_time silent | scan_time find QUORVEL_SIM\n");
  return 2;
}
