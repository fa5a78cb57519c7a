#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "tools/meter-sim/fault_injector.h"
#include "tools/meter-sim/line_pacing.h"

class MeterModel;
class ModbusSlave;
class PtyLink;

// The meter on its line: one thread, one poll() loop over the pseudo-terminal. It reads
// requests, lets the slave answer them after the turnaround time, paces the replies at the
// meter's own line speed and moves the meter's simulated time on with the wall clock.
class SimServer {
 public:
  SimServer(MeterModel& meter, ModbusSlave& slave, FaultInjector& faults, PtyLink& pty, FILE* log);

  // Serves until *stop becomes non-zero. Signals named in blocked are let through only while
  // waiting, so a stop request is never missed between the test and the wait.
  void Run(const volatile sig_atomic_t* stop, const sigset_t& waitMask);

  // Whole requests taken off the line, and those of them dropped because a reply was pending.
  uint64_t Received() const { return m_received; }
  uint64_t DroppedBusy() const { return m_droppedBusy; }

 private:
  void ReadRequests(uint64_t nowNs);
  void HandleFrames(uint64_t nowNs);
  void Answer(const std::vector<uint8_t>& request, uint64_t nowNs);
  void WriteDue(uint64_t nowNs);
  void AdvanceMeter(uint64_t nowNs);
  // Frames in hex; ASCII frames as their characters.
  void LogFrame(const char* direction, const std::vector<uint8_t>& frame, const char* notes,
                bool ascii = false);
  uint64_t SilenceNs() const;

  MeterModel& m_meter;
  ModbusSlave& m_slave;
  FaultInjector& m_faults;
  PtyLink& m_pty;
  FILE* m_log;  // null: quiet
  RequestFramer m_framer;
  PacedOutput m_output;
  uint64_t m_startNs = 0;
  uint64_t m_advancedNs = 0;  // meter time already given, since m_startNs
  bool m_hungUp = false;      // the console's end reported a hang-up; look again later
  uint64_t m_received = 0;
  uint64_t m_droppedBusy = 0;
};
