// quorvel-sim: a simulated meter on a pseudo-terminal, for the console without hardware.
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "tools/meter-sim/fault_injector.h"
#include "tools/meter-sim/meter_bus.h"
#include "tools/meter-sim/pty_link.h"
#include "tools/meter-sim/sim_options.h"
#include "tools/meter-sim/sim_server.h"

namespace {

volatile sig_atomic_t g_stop = 0;

void OnStopSignal(int) { g_stop = 1; }

CivilTime LocalTimeNow() {
  const time_t now = ::time(nullptr);
  tm local{};
  ::localtime_r(&now, &local);
  return CivilTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                   local.tm_hour,        local.tm_min,     std::min(local.tm_sec, 59)};
}

// SIGINT, SIGTERM and SIGHUP stop the meter; they are blocked except while the loop waits.
sigset_t InstallStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigset_t stops;
  sigemptyset(&stops);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    ::sigaction(sig, &action, nullptr);
    sigaddset(&stops, sig);
  }
  ::signal(SIGPIPE, SIG_IGN);
  sigset_t waitMask;
  ::sigprocmask(SIG_BLOCK, &stops, &waitMask);
  return waitMask;
}

}  // namespace

int main(int argc, char** argv) {
  SimOptions options;
  std::string error;
  if (!ParseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "quorvel-sim: %s (see --help)\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(HelpText().c_str(), stdout);
    return 0;
  }
  if (!options.seedGiven) {
    options.seed = static_cast<uint32_t>(::time(nullptr)) ^ static_cast<uint32_t>(::getpid());
  }
  const sigset_t waitMask = InstallStopSignals();

  FaultInjector faults(options.faults, options.seed ^ 0x9E3779B9u);
  PtyLink pty;
  const std::string linkPath =
      options.byId.empty() ? PortLinkPath(options.port) : ByIdLinkPath(options.byId, error);
  if (linkPath.empty() || !pty.Open(error) || !pty.PlaceLink(linkPath, error)) {
    std::fprintf(stderr, "quorvel-sim: %s\n", error.c_str());
    return 1;
  }
  MeterBus::Options busOptions;
  busOptions.seed = options.seed;
  busOptions.garbleWrongSpeed = options.garbleWrongSpeed;
  MeterBus bus(options.meters, LocalTimeNow(), busOptions, faults, pty,
               options.verbose ? stderr : nullptr);
  for (size_t k = 0; k < bus.Size(); ++k) bus.Meter(k).model.IgnoreWritesTo(options.ignoreWrites);
  static const char* const kParity[3] = {"no parity", "odd parity", "even parity"};
  static const char* const kProtocol[2] = {"Modbus RTU", "Modbus ASCII"};
  for (size_t k = 0; k < bus.Size(); ++k) {
    const LineSettings line = bus.Meter(k).model.Line();
    std::printf(
        "quorvel-sim: meter at slave address %u, %s, %u baud, %u data bits, %s, %u stop bits",
        line.address, kProtocol[line.protocol], line.baudRate, line.dataBits, kParity[line.parity],
        line.stopBits);
    if (k == 0) std::printf(", seed %u", options.seed);
    std::printf("\n");
  }
  std::printf("device: %s\n", pty.DevicePath().c_str());
  std::printf("link: %s\n", pty.LinkPath().c_str());
  if (options.byId.empty()) {
    std::printf("Open COM%u in the console; Ctrl+C stops the meter.\n", options.port);
  } else {
    std::printf("Choose it in the console's port list; Ctrl+C stops the meter.\n");
  }
  std::fflush(stdout);

  SimServer server(bus, pty);
  server.Run(&g_stop, waitMask);
  pty.RemoveLink();
  for (size_t k = 0; k < bus.Size(); ++k) {
    const BusMeter& meter = bus.Meter(k);
    const std::string who =
        bus.Size() > 1 ? "meter " + std::to_string(meter.model.Line().address) + ": " : "";
    std::printf(
        "quorvel-sim: %s%llu requests received, %llu of them dropped while a reply was "
        "pending\n",
        who.c_str(), static_cast<unsigned long long>(meter.received),
        static_cast<unsigned long long>(meter.droppedBusy));
  }
  std::printf("quorvel-sim: stopped, %s removed\n", linkPath.c_str());
  return 0;
}
