// `quorvel --scan` from a terminal against a bus of two simulated meters with other lines than
// the console's: one at address 2, 19200 baud, even parity, Modbus RTU, 8 data bits, 1 stop bit;
// one at address 5, 4800 baud, no parity, Modbus ASCII, 7 data bits, 2 stop bits. A
// pseudo-terminal carries the speed but not the parity, so each meter answers a probe at its own
// speed and framing whatever parity is tried: the lines printed must be the meter's own settings,
// read from its registers, not the setting that found it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "sim/sim_process.h"

namespace {

struct ScanRun {
  int status = -1;
  std::vector<std::string> lines;  // standard output, sorted
  std::string errors;
};

// Runs the program with the options, its configuration (and so COM1) in the simulator's folder.
ScanRun RunScan(const std::string& home, const std::vector<std::string>& options) {
  int out[2], err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) return {};
  std::vector<std::string> args = {QUORVEL_BINARY, "--scan"};
  args.insert(args.end(), options.begin(), options.end());
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) ::unsetenv(name);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  ScanRun run;
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) > 0;) run.errors.append(buffer, n);
  ::close(out[0]);
  ::close(err[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) run.lines.push_back(line);
  std::sort(run.lines.begin(), run.lines.end());
  return run;
}

constexpr const char* kMeter2 = "2\t19200\tNONE\tModbus RTU\t本仪表\tModbus RTU,2:19200,EVEN,8,1";
constexpr const char* kMeter5 =
    "5\t4800\tNONE\tModbus ASCII\t本仪表\tModbus ASCII,5:4800,NONE,7,2";

struct ScanCase {
  const char* what;
  std::vector<std::string> options;
  int status;
  std::vector<std::string> lines;
};

TEST(ScanFromTerminal, PrintsEachMeterWithItsOwnLineAndSaysByItsStatusWhatItFound) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--address", "2,5", "--baud", "19200,4800", "--parity", "even,none",
                         "--protocol", "rtu,ascii", "--data-bits", "8,7", "--stop-bits", "1,2"}))
      << sim.Output();
  // Waits are generous: a silent address costs the whole wait, a loaded machine answers late.
  const std::vector<std::string> both = {"--port", "COM1", "--bauds", "4800,19200", "--parity",
                                         "N", "--protocol", "rtu,ascii", "--wait", "300"};
  auto with = [&](std::vector<std::string> more) {
    more.insert(more.begin(), both.begin(), both.end());
    return more;
  };
  const ScanCase cases[] = {
      {"both meters", with({"--addresses", "1-6"}), 0, {kMeter2, kMeter5}},
      {"stop at the first", with({"--addresses", "1-6", "--first"}), 0, {kMeter2}},
      {"no meter in the range", with({"--addresses", "3-4"}), 1, {}},
      {"a port that is not there", {"--port", "/dev/quorvel-no-such-port", "--addresses", "1"}, 2,
       {}},
      {"address 0 is never probed", with({"--addresses", "0-6"}), 2, {}},
  };
  for (const ScanCase& c : cases) {
    const ScanRun run = RunScan(sim.ConfigHome(), c.options);
    EXPECT_EQ(run.status, c.status) << c.what << "\n" << run.errors;
    EXPECT_EQ(run.lines, c.lines) << c.what;
    EXPECT_EQ(run.errors.empty(), c.status != 2) << c.what << "\n" << run.errors;
  }
}

}  // namespace
