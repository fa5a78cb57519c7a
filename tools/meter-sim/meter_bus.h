#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "tools/meter-sim/fault_injector.h"
#include "tools/meter-sim/line_pacing.h"
#include "tools/meter-sim/meter_model.h"
#include "tools/meter-sim/modbus_slave.h"
#include "tools/meter-sim/uart_line.h"

// One meter on the line: its device image, serial settings and event log (the model), its Modbus
// slave and its UART's framer.
struct BusMeter {
  BusMeter(uint32_t seed, const CivilTime& start, const LineSettings& line, uint32_t unit)
      : model(seed, start, line, unit), slave(model) {}

  MeterModel model;
  ModbusSlave slave;
  RequestFramer framer;
  uint64_t received = 0;     // frames its UART took, for it or not
  uint64_t droppedBusy = 0;  // requests for it that came while the line carried a reply
};

// The meters on one line and the line's output. Each meter hears the console's bytes through its
// own UART (at its own speed and character format, see Hear), frames them in its own protocol
// and answers only its own address; replies share the line, one at a time, each paced at its
// meter's speed. The faults strike the line's replies counted together. Time is given by the
// caller, so tests run it on a fake clock.
class MeterBus {
 public:
  struct Options {
    uint32_t seed = 0;
    bool garbleWrongSpeed = false;  // answer a request no meter hears at its speed with noise
  };

  // One meter for each entry of lines, in that order; meter k has serial number k + 1.
  MeterBus(const std::vector<LineSettings>& lines, const CivilTime& start, const Options& options,
           FaultInjector& faults, const ConsoleLine& console, FILE* log);

  // The time log lines count from.
  void SetOrigin(uint64_t nowNs) { m_originNs = nowNs; }
  // Bytes the console sent, as each meter hears them at the console's line settings now.
  void Receive(const uint8_t* bytes, size_t count, uint64_t nowNs);
  // Lets every meter take the requests it has framed and answer them.
  void HandleFrames(uint64_t nowNs);
  // The bytes due on the line by now.
  std::vector<uint8_t> TakeDue(uint64_t nowNs) { return m_output.TakeDue(nowNs); }
  // When the bus has something to do without new bytes; 0 when nothing waits.
  uint64_t NextWakeNs() const;
  void Advance(uint64_t elapsedMs);

  size_t Size() const { return m_meters.size(); }
  BusMeter& Meter(size_t k) { return *m_meters[k]; }
  const BusMeter& Meter(size_t k) const { return *m_meters[k]; }

 private:
  void Answer(BusMeter& meter, const std::vector<uint8_t>& request, uint64_t nowNs);
  void SendNoise(uint64_t nowNs);
  // Frames in hex; ASCII frames as their characters. On a line of several meters, a line about
  // one meter names it by the address it had when the request came (0: the line itself).
  void LogFrame(uint8_t address, uint64_t nowNs, const char* direction,
                const std::vector<uint8_t>& frame, const char* notes, bool ascii = false);

  std::vector<std::unique_ptr<BusMeter>> m_meters;
  Options m_options;
  FaultInjector& m_faults;
  const ConsoleLine& m_console;
  FILE* m_log;  // null: quiet
  PacedOutput m_output;
  std::mt19937 m_rng;
  uint64_t m_originNs = 0;
  uint64_t m_noiseAtNs = 0;         // when noise answers a request no meter heard; 0: none due
  uint64_t m_noiseCharacterNs = 0;  // at the console's speed
};
