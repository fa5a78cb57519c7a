#pragma once

#include <array>
#include <cstdint>
#include <random>

#include "tools/meter-sim/event_log.h"
#include "tools/meter-sim/meter_clock.h"

// The three register blocks, addressed by byte offset: register n of a block is at first + 2n.
constexpr uint16_t kRealTimeFirst = 0x0000;
constexpr int kRealTimeCount = 69;
constexpr uint16_t kHarmonicFirst = 0x008A;
constexpr int kHarmonicCount = 70;
constexpr uint16_t kParameterFirst = 0x0300;
constexpr int kParameterCount = 44;
constexpr uint16_t kClockFirst = 0x0082;  // Year, MmDd, HhMm, SsPp
constexpr int kClockCount = 4;

// Positions inside the parameter block.
namespace param {
constexpr int kAddress = 0;
constexpr int kWiring = 1;
constexpr int kProtocol = 2;
constexpr int kParity = 3;
constexpr int kBaud = 4;
constexpr int kPtLow = 7;
constexpr int kCtLow = 9;
constexpr int kSerialText = 11;  // four registers, two characters each
constexpr int kDataBits = 15;
constexpr int kStopBits = 16;
constexpr int kPeakPeriods = 19;    // four begin/end pairs, minutes after midnight
constexpr int kValleyPeriods = 27;  // two begin/end pairs
}  // namespace param

// The meter's own serial line as its parameter block sets it.
struct LineSettings {
  uint8_t protocol = 0;  // 0 Modbus RTU, 1 Modbus ASCII
  uint8_t address = 1;
  uint32_t baudRate = 9600;
  uint8_t parity = 0;  // 0 none, 1 odd, 2 even
  uint8_t dataBits = 8;
  uint8_t stopBits = 2;

  // Start bit, data bits, parity bit if any, stop bits.
  uint32_t BitsPerCharacter() const;
  uint64_t CharacterTimeNs() const;
};

// The code of a speed in the meter's baud register (300, 600, ... 19200 are 0 to 6); -1 for a
// speed the meter does not offer.
int BaudCode(uint32_t baudRate);

enum class Refusal { kNone, kIllegalAddress, kIllegalValue };

// Coils 0..7 and inputs 0..7 can be read; the meter has three outputs (coils 0..2) and six
// inputs (0..5).
constexpr int kReadableBits = 8;
constexpr int kOutputCount = 3;
constexpr int kInputCount = 6;

// A three-phase meter on a simulated supply and load. Time is simulated: Advance moves the
// clock, the measurements, the energy counters and the inputs on by the given milliseconds, so
// a test can run an hour of the meter without waiting for it.
class MeterModel {
 public:
  // The meter starts with the serial settings of `line` (a speed it does not offer is taken as
  // 9600) and serial number QVS26001, QVS26002, ... by `unit`, so meters on one bus differ.
  MeterModel(uint32_t seed, const CivilTime& start, const LineSettings& line = {},
             uint32_t unit = 1);

  void Advance(uint64_t elapsedMs);

  // False when no register lies at that address.
  bool ReadRegister(uint16_t address, uint16_t& value) const;
  // Writes count consecutive registers from start, all or none. Only the parameter block and the
  // clock are writable; the parameter block refuses codes the meter cannot take.
  Refusal WriteRegisters(uint16_t start, const uint16_t* values, int count);

  bool Coil(int n) const { return n >= 0 && n < 8 && ((m_outputs >> n) & 1) != 0; }
  bool Input(int n) const { return n >= 0 && n < 8 && ((m_inputs >> n) & 1) != 0; }
  Refusal SetCoil(int n, bool on);
  // Flips input n (0..5) and records its event; the simulation does this now and then.
  void ToggleInput(int n);

  uint8_t Inputs() const { return m_inputs; }
  uint8_t Outputs() const { return m_outputs; }
  const EventLog& Events() const { return m_events; }
  void ClearEvents() { m_events.Clear(); }
  const MeterClock& Clock() const { return m_clock; }
  LineSettings Line() const;

  // Tariff the clock selects now: 1 peak, 2 flat, 3 valley.
  int Tariff() const;
  // Energy register pair of tariff t (0 total, 1 peak, 2 flat, 3 valley) and kind q (0 +Wh,
  // 1 -Wh, 2 +varh, 3 -varh), in Wh or varh.
  uint32_t Energy(int tariff, int kind) const { return m_energy[tariff][kind]; }

  uint16_t Parameter(int position) const { return m_params[position]; }
  // A meter that clamps or ignores a value: writes to the register at this address are answered
  // as taken, and the register keeps its value (-1: every write is taken).
  void IgnoreWritesTo(int32_t address) { m_ignoredAddress = address; }

 private:
  void SetDefaultParameters(const LineSettings& line, uint32_t unit);
  void UpdateMeasurements();
  void Integrate(double seconds);
  void ScheduleNextInputChange();
  EventSnapshot Snapshot() const;
  void RecordEvent(uint8_t code);
  // A written block (the clock's or the parameters', from address `first`) keeps the ignored
  // register's value from before the write.
  void KeepIgnored(uint16_t first, const uint16_t* before, uint16_t* after) const;
  static Refusal CheckParameters(const std::array<uint16_t, kParameterCount>& block);

  std::mt19937 m_rng;
  MeterClock m_clock;
  double m_seconds = 0;  // simulated seconds since start, drives the slow drifts
  uint64_t m_nextInputChangeMs = 0;
  uint64_t m_elapsedMs = 0;

  std::array<uint16_t, kRealTimeCount> m_realTime{};
  std::array<uint16_t, kHarmonicCount> m_harmonic{};
  std::array<uint16_t, kParameterCount> m_params{};

  // Totals in watts and vars, for the energy integration.
  double m_pSum = 0;
  double m_qSum = 0;
  std::array<std::array<uint32_t, 4>, 4> m_energy{};  // [tariff][kind], whole Wh / varh
  std::array<double, 4> m_energyFraction{};           // [kind], not yet a whole unit

  int32_t m_ignoredAddress = -1;
  uint8_t m_inputs = 0;
  uint8_t m_outputs = 0;
  EventLog m_events;
};
