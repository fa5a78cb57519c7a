#include "tools/meter-sim/meter_model.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kVoltsPerCount = 0.1;
constexpr double kAmpsPerCount = 0.001;
constexpr double kWattsPerCount = 0.4;
constexpr double kHertzPerCount = 0.00106813;
constexpr double kRadiansPerCount = 0.0001;
constexpr uint32_t kBaudByCode[7] = {300, 600, 1200, 2400, 4800, 9600, 19200};

// The supply went away this long before the simulator started.
constexpr int64_t kSupplyOutageSeconds = 47;
// Inputs change at random intervals of this many seconds.
constexpr uint64_t kInputChangeMinMs = 20000;
constexpr uint64_t kInputChangeMaxMs = 60000;

// Per phase: nominal current (A), displacement angle (degrees; positive = inductive, negative =
// capacitive) and a phase offset for the slow drifts, so the three phases don't move together.
struct PhaseLoad {
  double current;
  double angleDeg;
  double drift;
};
constexpr PhaseLoad kLoads[3] = {{3.2, 25.0, 0.0}, {2.7, 18.0, 2.1}, {3.6, -12.0, 4.2}};

// Harmonic content in percent of the fundamental for orders 3, 5, ..., 19.
constexpr double kVoltageHarmonics[9] = {1.2, 2.1, 1.0, 0.4, 0.6, 0.4, 0.15, 0.2, 0.15};
constexpr double kCurrentHarmonics[9] = {7.5, 11.0, 5.2, 1.8, 2.9, 1.7, 0.6, 0.9, 0.6};
constexpr double kNeutralHarmonics[9] = {45.0, 1.2, 0.8, 12.0, 0.5, 0.4, 4.0, 0.3, 0.2};

// Register positions: the first register of each phase's group of eight in the real-time block.
constexpr int kPhaseGroup = 8;
constexpr int kYxPosition = 3;
constexpr int kYkPosition = 11;
constexpr int kLineVoltagePosition = 1;  // Uca, Uab, Ubc in phase groups A, B, C
constexpr int kI0Position = 24;
constexpr int kEnergyPosition = 33;
constexpr int kClockPosition = 65;

uint16_t Unsigned(double value, double unit) {
  return static_cast<uint16_t>(std::clamp(std::lround(value / unit), 0L, 65535L));
}

uint16_t Signed(double value, double unit) {
  const long counts = std::clamp(std::lround(value / unit), -32768L, 32767L);
  return static_cast<uint16_t>(static_cast<int16_t>(counts));
}

// An angle in counts of 0.0001 rad, folded into -pi..pi.
uint16_t Angle(double radians) {
  const double folded = std::remainder(radians, 2 * kPi);
  return Signed(folded, kRadiansPerCount);
}

bool InPeriod(int32_t minute, uint16_t begin, uint16_t end) {
  if (begin == end) return false;
  if (begin < end) return minute >= begin && minute < end;
  return minute >= begin || minute < end;  // across midnight
}

}  // namespace

uint32_t LineSettings::BitsPerCharacter() const {
  return 1 + dataBits + (parity != 0 ? 1 : 0) + stopBits;
}

uint64_t LineSettings::CharacterTimeNs() const {
  return uint64_t{1000000000} * BitsPerCharacter() / (baudRate != 0 ? baudRate : 9600);
}

int BaudCode(uint32_t baudRate) {
  for (int code = 0; code < 7; ++code) {
    if (kBaudByCode[code] == baudRate) return code;
  }
  return -1;
}

MeterModel::MeterModel(uint32_t seed, const CivilTime& start, const LineSettings& line,
                       uint32_t unit)
    : m_rng(seed) {
  if (!m_clock.Set(start)) m_clock.Set(CivilTime{2026, 1, 1, 0, 0, 0});
  SetDefaultParameters(line, unit);
  // Counters as an installed meter would have them; the total is the sum of the tariffs.
  constexpr uint32_t kStartEnergy[3][4] = {{4210337, 1250, 1710223, 98214},
                                           {2730558, 0, 611970, 64830},
                                           {5102844, 3120, 1530007, 120411}};
  for (int t = 0; t < 3; ++t) {
    for (int q = 0; q < 4; ++q) {
      m_energy[t + 1][q] = kStartEnergy[t][q];
      m_energy[0][q] += kStartEnergy[t][q];
    }
  }
  m_inputs = 0x05;
  UpdateMeasurements();
  // The meter has just come back from a supply outage.
  m_events.Record(kEventSupplyLost, m_clock.Shifted(-kSupplyOutageSeconds),
                  EventSnapshot{m_inputs, m_outputs, {}, {}});
  RecordEvent(kEventSupplyBack);
  ScheduleNextInputChange();
}

void MeterModel::SetDefaultParameters(const LineSettings& line, uint32_t unit) {
  m_params.fill(0);
  m_params[param::kAddress] = line.address;
  m_params[param::kWiring] = 0;  // three-phase four-wire
  m_params[param::kProtocol] = line.protocol & 1u;
  m_params[param::kParity] = line.parity % 3;
  const int baud = BaudCode(line.baudRate);
  m_params[param::kBaud] = static_cast<uint16_t>(baud >= 0 ? baud : 5);
  m_params[5] = 1;  // voltage range
  m_params[param::kPtLow] = 100;
  m_params[param::kCtLow] = 50;
  char serial[12];
  std::snprintf(serial, sizeof serial, "QVS26%03u", unit % 1000);
  for (int i = 0; i < 4; ++i) {
    m_params[param::kSerialText + i] = static_cast<uint16_t>(
        static_cast<uint8_t>(serial[2 * i]) << 8 | static_cast<uint8_t>(serial[2 * i + 1]));
  }
  m_params[param::kDataBits] = line.dataBits == 7 ? 1 : 0;
  m_params[param::kStopBits] = line.stopBits == 1 ? 1 : 0;
  // Peak 8:00-11:30 and 18:00-21:00; valley 23:00-7:00.
  const uint16_t kPeak[8] = {480, 690, 1080, 1260, 0, 0, 0, 0};
  const uint16_t kValley[4] = {1380, 420, 0, 0};
  std::copy(kPeak, kPeak + 8, m_params.begin() + param::kPeakPeriods);
  std::copy(kValley, kValley + 4, m_params.begin() + param::kValleyPeriods);
  // Protection outputs: setpoint, operate delay and hold time (counts of 0.00319844 s: 313 is
  // about one second), enable. Over-current 6 A, under-voltage 180 V, zero-sequence 0.5 A.
  const uint16_t kProtection[12] = {6000, 313, 626, 1, 1800, 313, 626, 1, 500, 313, 626, 0};
  std::copy(kProtection, kProtection + 12, m_params.begin() + 31);
}

LineSettings MeterModel::Line() const {
  LineSettings line;
  line.protocol = static_cast<uint8_t>(m_params[param::kProtocol] & 1u);
  line.address = static_cast<uint8_t>(m_params[param::kAddress]);
  line.baudRate = kBaudByCode[m_params[param::kBaud] % 7];
  line.parity = static_cast<uint8_t>(m_params[param::kParity] % 3);
  line.dataBits = (m_params[param::kDataBits] & 1) != 0 ? 7 : 8;
  line.stopBits = (m_params[param::kStopBits] & 1) != 0 ? 1 : 2;
  return line;
}

int MeterModel::Tariff() const {
  const int32_t minute = m_clock.MinuteOfDay();
  for (int i = 0; i < 4; ++i) {
    const int at = param::kPeakPeriods + 2 * i;
    if (InPeriod(minute, m_params[at], m_params[at + 1])) return 1;
  }
  for (int i = 0; i < 2; ++i) {
    const int at = param::kValleyPeriods + 2 * i;
    if (InPeriod(minute, m_params[at], m_params[at + 1])) return 3;
  }
  return 2;
}

void MeterModel::Advance(uint64_t elapsedMs) {
  // Long steps are taken in pieces so the energy follows the tariff changes and the inputs
  // change at their own times.
  constexpr uint64_t kStepMs = 1000;
  while (elapsedMs > 0) {
    uint64_t step = std::min(elapsedMs, kStepMs);
    if (m_nextInputChangeMs > m_elapsedMs) step = std::min(step, m_nextInputChangeMs - m_elapsedMs);
    Integrate(step / 1000.0);
    m_clock.Advance(step);
    m_elapsedMs += step;
    m_seconds = m_elapsedMs / 1000.0;
    elapsedMs -= step;
    if (m_elapsedMs >= m_nextInputChangeMs) {
      ToggleInput(std::uniform_int_distribution<int>(0, kInputCount - 1)(m_rng));
      ScheduleNextInputChange();
    }
    UpdateMeasurements();
  }
}

void MeterModel::ScheduleNextInputChange() {
  m_nextInputChangeMs = m_elapsedMs + std::uniform_int_distribution<uint64_t>(
                                          kInputChangeMinMs, kInputChangeMaxMs)(m_rng);
}

void MeterModel::Integrate(double seconds) {
  const double hours = seconds / 3600.0;
  const double amounts[4] = {std::max(m_pSum, 0.0) * hours, std::max(-m_pSum, 0.0) * hours,
                             std::max(m_qSum, 0.0) * hours, std::max(-m_qSum, 0.0) * hours};
  const int tariff = Tariff();
  for (int q = 0; q < 4; ++q) {
    m_energyFraction[q] += amounts[q];
    const double whole = std::floor(m_energyFraction[q]);
    if (whole < 1) continue;
    m_energyFraction[q] -= whole;
    // The counters wrap at 32 bits like the meter's.
    const uint32_t units = static_cast<uint32_t>(whole);
    m_energy[0][q] += units;
    m_energy[tariff][q] += units;
  }
}

void MeterModel::UpdateMeasurements() {
  std::normal_distribution<double> jitter(0.0, 1.0);
  const double t = m_seconds;
  // The load follows a slow profile with a faster ripple on top.
  const double load =
      1.0 + 0.25 * std::sin(2 * kPi * t / 180.0) + 0.08 * std::sin(2 * kPi * t / 23.0);
  std::complex<double> u[3];
  std::complex<double> i[3];
  double pSum = 0, qSum = 0, sSum = 0, uSum = 0, iSum = 0;
  for (int p = 0; p < 3; ++p) {
    const PhaseLoad& l = kLoads[p];
    const double volts = 230.0 + 1.5 * std::sin(2 * kPi * t / 97.0 + l.drift) + 0.1 * jitter(m_rng);
    const double amps = std::max(0.0, l.current * load + 0.01 * jitter(m_rng));
    const double phi = (l.angleDeg + 3.0 * std::sin(2 * kPi * t / 131.0 + l.drift)) * kPi / 180.0;
    const double uAngle = -2.0 * kPi / 3.0 * p + 0.002 * std::sin(t / 17.0 + l.drift);
    u[p] = std::polar(volts, uAngle);
    i[p] = std::polar(amps, uAngle - phi);
    const double s = volts * amps;
    const double pw = s * std::cos(phi);
    const double qw = s * std::sin(phi);
    const int g = kPhaseGroup * p;
    m_realTime[g] = Unsigned(volts, kVoltsPerCount);
    m_realTime[g + 2] = Unsigned(amps, kAmpsPerCount);
    m_realTime[g + 4] = Signed(pw, kWattsPerCount);
    m_realTime[g + 5] = Signed(s > 0 ? pw / s : 1.0, 0.0001);
    m_realTime[g + 6] = Signed(qw, kWattsPerCount);
    m_realTime[g + 7] = Unsigned(s, kWattsPerCount);
    pSum += pw;
    qSum += qw;
    sSum += s;
    uSum += volts;
    iSum += amps;
    m_harmonic[1 + p] = Angle(uAngle - phi);
    m_harmonic[4 + p] = Angle(uAngle);
  }
  // Line voltages: Uca in phase group A, Uab in B, Ubc in C.
  m_realTime[kLineVoltagePosition] = Unsigned(std::abs(u[2] - u[0]), kVoltsPerCount);
  m_realTime[kPhaseGroup + kLineVoltagePosition] = Unsigned(std::abs(u[0] - u[1]), kVoltsPerCount);
  m_realTime[2 * kPhaseGroup + kLineVoltagePosition] =
      Unsigned(std::abs(u[1] - u[2]), kVoltsPerCount);
  m_realTime[kYxPosition] = m_inputs;
  m_realTime[kYkPosition] = m_outputs;
  m_realTime[kI0Position] = Unsigned(std::abs(i[0] + i[1] + i[2]), kAmpsPerCount);
  m_realTime[25] = Unsigned(uSum / 3, kVoltsPerCount);
  m_realTime[26] = Unsigned(iSum / 3, kAmpsPerCount);
  const double hertz =
      50.0 + 0.03 * std::sin(2 * kPi * t / 300.0) + 0.01 * std::sin(2 * kPi * t / 41.0);
  m_realTime[27] = Unsigned(hertz, kHertzPerCount);
  m_realTime[28] = Signed(pSum, kWattsPerCount);
  m_realTime[29] = Signed(sSum > 0 ? pSum / sSum : 1.0, 0.0001);
  m_realTime[30] = Signed(qSum, kWattsPerCount);
  m_realTime[31] = Unsigned(sSum, kWattsPerCount);
  m_pSum = pSum;
  m_qSum = qSum;
  for (int tariff = 0; tariff < 4; ++tariff) {
    for (int q = 0; q < 4; ++q) {
      const uint32_t e = m_energy[tariff][q];
      const int at = kEnergyPosition + 8 * tariff + 2 * q;
      m_realTime[at] = static_cast<uint16_t>(e & 0xFFFF);
      m_realTime[at + 1] = static_cast<uint16_t>(e >> 16);
    }
  }
  m_clock.ToRegisters(&m_realTime[kClockPosition]);
  // Harmonics of orders 3..19: Ua, Ub, Uc, Ia, Ib, Ic, I0, in counts of 0.01 %.
  for (int h = 0; h < 9; ++h) {
    for (int j = 0; j < 7; ++j) {
      const double base = j < 3   ? kVoltageHarmonics[h]
                          : j < 6 ? kCurrentHarmonics[h]
                                  : kNeutralHarmonics[h];
      const double wobble = 1.0 + 0.06 * std::sin(2 * kPi * t / (60.0 + 7 * h) + j);
      m_harmonic[7 + 7 * h + j] = Unsigned(base * wobble, 0.01);
    }
  }
}

EventSnapshot MeterModel::Snapshot() const {
  EventSnapshot s;
  s.inputs = m_inputs;
  s.outputs = m_outputs;
  for (int p = 0; p < 3; ++p) {
    s.voltage[p] = m_realTime[kPhaseGroup * p];
    s.current[p] = m_realTime[kPhaseGroup * p + 2];
  }
  return s;
}

void MeterModel::RecordEvent(uint8_t code) { m_events.Record(code, m_clock.Now(), Snapshot()); }

bool MeterModel::ReadRegister(uint16_t address, uint16_t& value) const {
  if ((address & 1) != 0) return false;
  const struct {
    uint16_t first;
    int count;
    const uint16_t* data;
  } kBlocks[3] = {{kRealTimeFirst, kRealTimeCount, m_realTime.data()},
                  {kHarmonicFirst, kHarmonicCount, m_harmonic.data()},
                  {kParameterFirst, kParameterCount, m_params.data()}};
  for (const auto& block : kBlocks) {
    if (address < block.first) continue;
    const int n = (address - block.first) / 2;
    if (n >= block.count) continue;
    value = block.data[n];
    return true;
  }
  return false;
}

Refusal MeterModel::CheckParameters(const std::array<uint16_t, kParameterCount>& block) {
  const uint16_t address = block[param::kAddress];
  if (address < 1 || address > 247) return Refusal::kIllegalValue;
  if (block[param::kWiring] > 6 || block[param::kProtocol] > 1 || block[param::kParity] > 2 ||
      block[param::kBaud] > 6 || block[param::kDataBits] > 1 || block[param::kStopBits] > 1) {
    return Refusal::kIllegalValue;
  }
  return Refusal::kNone;
}

void MeterModel::KeepIgnored(uint16_t first, const uint16_t* before, uint16_t* after) const {
  const int32_t at = m_ignoredAddress - first;
  if (m_ignoredAddress >= 0 && at >= 0 && at % 2 == 0) {
    const int position = at / 2;
    if ((first == kClockFirst && position < kClockCount) ||
        (first == kParameterFirst && position < kParameterCount)) {
      after[position] = before[position];
    }
  }
}

Refusal MeterModel::WriteRegisters(uint16_t start, const uint16_t* values, int count) {
  if ((start & 1) != 0 || count < 1) return Refusal::kIllegalAddress;
  const int last = start + 2 * (count - 1);
  if (start >= kClockFirst && last <= kClockFirst + 2 * (kClockCount - 1)) {
    uint16_t clock[kClockCount];
    m_clock.ToRegisters(clock);
    uint16_t before[kClockCount];
    m_clock.ToRegisters(before);
    std::copy(values, values + count, clock + (start - kClockFirst) / 2);
    KeepIgnored(kClockFirst, before, clock);
    CivilTime time;
    if (!MeterClock::FromRegisters(clock, time)) return Refusal::kIllegalValue;
    m_clock.Set(time);
    m_clock.ToRegisters(&m_realTime[kClockPosition]);
    return Refusal::kNone;
  }
  if (start >= kParameterFirst && last <= kParameterFirst + 2 * (kParameterCount - 1)) {
    std::array<uint16_t, kParameterCount> block = m_params;
    std::copy(values, values + count, block.begin() + (start - kParameterFirst) / 2);
    KeepIgnored(kParameterFirst, m_params.data(), block.data());
    const Refusal refusal = CheckParameters(block);
    if (refusal == Refusal::kNone) m_params = block;
    return refusal;
  }
  return Refusal::kIllegalAddress;
}

Refusal MeterModel::SetCoil(int n, bool on) {
  if (n < 0 || n >= kOutputCount) return Refusal::kIllegalAddress;
  const uint8_t bit = static_cast<uint8_t>(1u << n);
  if (Coil(n) == on) return Refusal::kNone;
  m_outputs = static_cast<uint8_t>(on ? m_outputs | bit : m_outputs & ~bit);
  m_realTime[kYkPosition] = m_outputs;
  RecordEvent(static_cast<uint8_t>((on ? kEventOutputClosed : kEventOutputOpened) + n + 1));
  return Refusal::kNone;
}

void MeterModel::ToggleInput(int n) {
  if (n < 0 || n >= kInputCount) return;
  m_inputs = static_cast<uint8_t>(m_inputs ^ (1u << n));
  m_realTime[kYxPosition] = m_inputs;
  RecordEvent(static_cast<uint8_t>((Input(n) ? kEventInputClosed : kEventInputOpened) + n + 1));
}
