#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "link/serial_port.h"
#include "scan/scan_plan.h"

// The bus scan: each probe of the plan on the port, with deadlines of its own in milliseconds,
// not the console's transaction time-out or its 50 ms tick. It only reads: function 3 of the
// meter's address register, and, where the value read is the address probed, of the meter's line
// settings. It runs on a thread of its own; the window and the command line learn of it through
// a listener.

// Time as the scan counts it. Tests give a clock that advances only when the scan sleeps.
class ScanClock {
 public:
  virtual ~ScanClock() = default;
  virtual int64_t NowUs() = 0;
  virtual void SleepUs(int64_t us) = 0;
};

// The computer's monotonic clock.
class SteadyScanClock : public ScanClock {
 public:
  int64_t NowUs() override;
  void SleepUs(int64_t us) override;
};

// What answered at an address and setting.
struct ScanFinding {
  enum class Kind : uint8_t {
    ThisMeter,    // "本仪表": its own registers say so, and say its line
    OtherDevice,  // "其他 Modbus 设备": a well-formed reply, not this meter's
    Signal,       // "有信号，设置不符": bytes at this setting, but no frame
  };
  Kind kind = Kind::Signal;
  int address = 0;  // where it answered (0 for a signal)
  ScanSetting setting;
  // This meter's own line, from its registers: what the console must be set to.
  int32_t meterProtocol = 0;
  int meterAddress = 0;
  uint32_t meterBaud = 0;
  uint8_t meterParity = 0;
  uint8_t meterDataBits = 8;
  uint8_t meterStopBits = 2;
};

// The words of a finding's kind, as the results show them.
const char* KindText(ScanFinding::Kind kind);
// This meter's line as its 从机通讯设定 line shows it: "Modbus RTU,5:19200,EVEN,8,1".
std::string MeterLineText(const ScanFinding& finding);

enum class ScanEnd : uint8_t {
  Completed,    // every probe tried
  FoundMeter,   // stopped at the first meter, as asked
  Stopped,      // the operator stopped it
  PortFailed,   // the port could not be opened, or was lost: the error says why
  Refused,      // the request was refused: the reason says why
};

class ScanListener {
 public:
  virtual ~ScanListener() = default;
  // After each probe: how many of how many, and about how long the rest takes.
  virtual void Progress(size_t done, size_t total, int64_t remainingMs) = 0;
  virtual void Found(const ScanFinding& finding) = 0;
  // The last call of a run.
  virtual void Finished(ScanEnd end, const LineError& error, const std::string& reason) = 0;
};

class Scanner {
 public:
  Scanner(SerialPort& port, ScanClock& clock) : m_port(port), m_clock(clock) {}
  // Opens the request's port, tries the plan's probes in turn until done or `stop` is set (between
  // two probes, or in a wait), and closes the port. Never writes to a meter.
  void Run(const ScanRequest& request, ScanListener& listener, const std::atomic<bool>& stop);

 private:
  // One read: what came back by its deadlines.
  struct Exchange;
  Exchange Read(const ScanSetting& setting, int address, uint16_t start, uint16_t quantity,
                int waitMs, const std::atomic<bool>& stop);
  void UseSetting(const ScanSetting& setting);
  int64_t WireUs(const ScanSetting& setting, size_t characters) const;

  SerialPort& m_port;
  ScanClock& m_clock;
  bool m_configured = false;
  ScanSetting m_setting;
};
