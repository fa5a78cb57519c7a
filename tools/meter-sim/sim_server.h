#pragma once

#include <csignal>
#include <cstdint>

class MeterBus;
class PtyLink;

// The line on its pseudo-terminal: one thread, one poll() loop. It hands the console's bytes to
// the bus of meters with the console's line settings of the moment, writes their replies when
// due and moves the meters' simulated time on with the wall clock.
class SimServer {
 public:
  SimServer(MeterBus& bus, PtyLink& pty) : m_bus(bus), m_pty(pty) {}

  // Serves until *stop becomes non-zero. Signals named in blocked are let through only while
  // waiting, so a stop request is never missed between the test and the wait.
  void Run(const volatile sig_atomic_t* stop, const sigset_t& waitMask);

 private:
  void ReadRequests(uint64_t nowNs);
  void WriteDue(uint64_t nowNs);
  void AdvanceMeters(uint64_t nowNs);

  MeterBus& m_bus;
  PtyLink& m_pty;
  uint64_t m_startNs = 0;
  uint64_t m_advancedNs = 0;  // meter time already given, since m_startNs
  bool m_hungUp = false;      // the console's end reported a hang-up; look again later
};
