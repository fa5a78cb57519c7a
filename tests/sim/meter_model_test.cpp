#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tools/meter-sim/meter_model.h"

namespace {

constexpr CivilTime kMorning{2026, 3, 5, 9, 0, 0};

uint16_t Reg(const MeterModel& m, uint16_t address) {
  uint16_t v = 0;
  EXPECT_TRUE(m.ReadRegister(address, v)) << address;
  return v;
}
double Signed(const MeterModel& m, uint16_t address) {
  return static_cast<int16_t>(Reg(m, address));
}
uint32_t Energy32(const MeterModel& m, int tariff, int kind) {
  const uint16_t at = static_cast<uint16_t>(2 * (33 + 8 * tariff + 2 * kind));
  return Reg(m, at) | static_cast<uint32_t>(Reg(m, at + 2)) << 16;
}

TEST(MeterModel, StartsWithTheParameterBlockTheConsoleExpects) {
  const MeterModel m(1, kMorning);
  const struct {
    int position;
    uint16_t value;
  } expected[] = {{param::kAddress, 1},          {param::kProtocol, 0},
                  {param::kParity, 0},           {param::kBaud, 5},
                  {param::kDataBits, 0},         {param::kStopBits, 0},
                  {param::kPtLow, 100},          {param::kCtLow, 50},
                  {param::kPeakPeriods, 480},    {param::kPeakPeriods + 1, 690},
                  {param::kValleyPeriods, 1380}, {param::kValleyPeriods + 1, 420}};
  for (const auto& e : expected) EXPECT_EQ(m.Parameter(e.position), e.value) << e.position;
  const LineSettings line = m.Line();
  EXPECT_EQ(line.protocol, 0);
  EXPECT_EQ(line.address, 1);
  EXPECT_EQ(line.baudRate, 9600u);
  EXPECT_EQ(line.dataBits, 8);
  EXPECT_EQ(line.parity, 0);
  EXPECT_EQ(line.stopBits, 2);
}

TEST(MeterModel, LogsTheSupplyLossAndItsReturnAtStart) {
  const MeterModel m(1, kMorning);
  EXPECT_EQ(m.Events().At(0)[1], kEventSupplyBack);
  EXPECT_EQ(m.Events().At(63)[1], kEventSupplyLost);
  EXPECT_EQ(m.Events().At(0)[5], 9);   // back at 9:00:00
  EXPECT_EQ(m.Events().At(63)[5], 8);  // lost at 8:59:13
  EXPECT_EQ(m.Events().At(0)[10] | m.Events().At(0)[11] << 8, Reg(m, 0x0000));
}

TEST(MeterModel, PowersAndPowerFactorsAgreeWithEachOtherInEveryPhaseAndInTotal) {
  MeterModel m(7, kMorning);
  for (int step = 0; step < 12; ++step) {
    m.Advance(37000);
    double pSum = 0, qSum = 0, sSum = 0;
    for (int phase = 0; phase < 3; ++phase) {
      const uint16_t g = static_cast<uint16_t>(16 * phase);  // eight registers per phase
      const double u = Reg(m, g) * 0.1, i = Reg(m, g + 4) * 0.001;
      const double p = Signed(m, g + 8) * 0.4, pf = Signed(m, g + 10) * 0.0001;
      const double q = Signed(m, g + 12) * 0.4, s = Reg(m, g + 14) * 0.4;
      EXPECT_NEAR(u, 230, 5);
      EXPECT_NEAR(s, u * i, 2.0);
      EXPECT_NEAR(s * s, p * p + q * q, 2.0 * s);
      EXPECT_NEAR(pf, p / s, 0.002);
      EXPECT_GT(p, 0);
      pSum += p;
      qSum += q;
      sSum += s;
    }
    // Phases A and B are inductive, phase C capacitive.
    EXPECT_GT(Signed(m, 0x000C), 0);
    EXPECT_LT(Signed(m, 0x002C), 0);
    EXPECT_NEAR(Signed(m, 0x0038) * 0.4, pSum, 1.5);
    EXPECT_NEAR(Signed(m, 0x003C) * 0.4, qSum, 1.5);
    EXPECT_NEAR(Reg(m, 0x003E) * 0.4, sSum, 1.5);
    EXPECT_NEAR(Signed(m, 0x003A) * 0.0001, pSum / sSum, 0.002);
    EXPECT_NEAR(Reg(m, 0x0036) * 0.00106813, 50.0, 0.1);
  }
}

TEST(MeterModel, LineVoltagesAreRootThreeTimesThePhaseVoltages) {
  const MeterModel m(3, kMorning);
  for (uint16_t line : {0x0002, 0x0012, 0x0022}) EXPECT_NEAR(Reg(m, line) * 0.1, 398.4, 8);
  EXPECT_NEAR(Reg(m, 0x0032) * 0.1, (Reg(m, 0x0000) + Reg(m, 0x0010) + Reg(m, 0x0020)) / 30.0, 0.1);
  // An unbalanced load leaves a zero-sequence current.
  EXPECT_GT(Reg(m, 0x0030), 100);
}

TEST(MeterModel, AnglesAndHarmonicsArePlausible) {
  const MeterModel m(3, kMorning);
  const double kDegrees = 0.005729578;
  EXPECT_NEAR(Signed(m, 0x0092) * kDegrees, 0, 1);     // Ua
  EXPECT_NEAR(Signed(m, 0x0094) * kDegrees, -120, 1);  // Ub
  EXPECT_NEAR(Signed(m, 0x0096) * kDegrees, 120, 1);   // Uc
  EXPECT_NEAR(Signed(m, 0x008C) * kDegrees, -25, 4);   // Ia lags Ua
  for (uint16_t at = 0x0098; at <= 0x0114; at += 2) {
    const double percent = Reg(m, at) * 0.01;
    EXPECT_GT(percent, 0) << at;
    EXPECT_LT(percent, 50) << at;
  }
  EXPECT_LT(Reg(m, 0x0098), Reg(m, 0x009E));  // UanW3 below IanW3
}

struct TariffCase {
  CivilTime start;
  int tariff;  // 1 peak, 2 flat, 3 valley
};

TEST(MeterModel, EnergyAccumulatesIntoTheTariffTheClockSelects) {
  const TariffCase cases[] = {{{2026, 3, 5, 8, 30, 0}, 1},  {{2026, 3, 5, 19, 0, 0}, 1},
                              {{2026, 3, 5, 12, 0, 0}, 2},  {{2026, 3, 5, 7, 0, 0}, 2},
                              {{2026, 3, 5, 23, 30, 0}, 3}, {{2026, 3, 5, 2, 0, 0}, 3}};
  for (const TariffCase& c : cases) {
    MeterModel m(5, c.start);
    EXPECT_EQ(m.Tariff(), c.tariff) << c.start.hour << ":" << c.start.minute;
    uint32_t before[4];
    for (int t = 0; t < 4; ++t) before[t] = Energy32(m, t, 0);
    const double watts = Signed(m, 0x0038) * 0.4;
    m.Advance(10 * 60 * 1000);  // ten minutes, inside every period above
    const uint32_t gained = Energy32(m, 0, 0) - before[0];
    EXPECT_NEAR(gained, watts / 6, watts / 6 * 0.3);
    for (int t = 1; t < 4; ++t) {
      EXPECT_EQ(Energy32(m, t, 0) - before[t], t == c.tariff ? gained : 0u) << "tariff " << t;
    }
    // Importing only: the export counter stays.
    EXPECT_EQ(Energy32(m, 0, 1), m.Energy(0, 1));
  }
}

TEST(MeterModel, TotalsStayTheSumOfTheTariffsThroughADay) {
  MeterModel m(11, {2026, 3, 5, 0, 0, 0});
  m.Advance(24ull * 3600 * 1000);
  for (int kind = 0; kind < 4; ++kind) {
    EXPECT_EQ(Energy32(m, 0, kind),
              Energy32(m, 1, kind) + Energy32(m, 2, kind) + Energy32(m, 3, kind));
  }
  EXPECT_EQ(Reg(m, 0x0084), 0x0306);  // the clock ran on to the next day
}

TEST(MeterModel, TheWrittenClockRunsOnFromTheWrittenTime) {
  MeterModel m(1, kMorning);
  const uint16_t clock[4] = {2027, 0x0C1F, 0x173B, 0x3A00};  // 2027-12-31 23:59:58
  ASSERT_EQ(m.WriteRegisters(0x0082, clock, 4), Refusal::kNone);
  m.Advance(3000);
  EXPECT_EQ(Reg(m, 0x0082), 2028);
  EXPECT_EQ(Reg(m, 0x0084), 0x0101);
  EXPECT_EQ(Reg(m, 0x0086), 0x0000);
  EXPECT_EQ(Reg(m, 0x0088), 0x0100);
}

struct WriteCase {
  const char* what;
  uint16_t start;
  std::vector<uint16_t> values;
  Refusal expected;
};

TEST(MeterModel, TakesWritesOnlyWhereAndWhatTheMeterAccepts) {
  const WriteCase cases[] = {
      {"one parameter", 0x0326, {500}, Refusal::kNone},
      {"the clock's hour and minute", 0x0086, {0x0A00}, Refusal::kNone},
      {"a real-time register", 0x0000, {1}, Refusal::kIllegalAddress},
      {"a harmonic register", 0x0100, {1}, Refusal::kIllegalAddress},
      {"an odd address", 0x0301, {1}, Refusal::kIllegalAddress},
      {"past the parameter block", 0x0356, {1, 2}, Refusal::kIllegalAddress},
      {"from the energy into the clock", 0x0080, {1, 2026}, Refusal::kIllegalAddress},
      {"address 0", 0x0300, {0}, Refusal::kIllegalValue},
      {"address 248", 0x0300, {248}, Refusal::kIllegalValue},
      {"baud code 7", 0x0308, {7}, Refusal::kIllegalValue},
      {"parity code 3", 0x0306, {3}, Refusal::kIllegalValue},
      {"month 13", 0x0084, {0x0D01}, Refusal::kIllegalValue},
  };
  for (const WriteCase& c : cases) {
    MeterModel m(1, kMorning);
    const uint16_t before = Reg(m, c.start & 0xFFFE);
    EXPECT_EQ(m.WriteRegisters(c.start, c.values.data(), static_cast<int>(c.values.size())),
              c.expected)
        << c.what;
    if (c.expected == Refusal::kNone) {
      EXPECT_EQ(Reg(m, c.start), c.values[0]) << c.what;
    } else {
      EXPECT_EQ(Reg(m, c.start & 0xFFFE), before) << c.what;
    }
  }
}

TEST(MeterModel, ARefusedBlockWriteChangesNothing) {
  MeterModel m(1, kMorning);
  uint16_t block[kParameterCount];
  for (int i = 0; i < kParameterCount; ++i) block[i] = m.Parameter(i);
  block[param::kPtLow] = 200;
  block[param::kBaud] = 9;
  EXPECT_EQ(m.WriteRegisters(kParameterFirst, block, kParameterCount), Refusal::kIllegalValue);
  EXPECT_EQ(m.Parameter(param::kPtLow), 100);
}

// A meter that ignores writes to one register answers them as taken and keeps that register.
TEST(MeterModel, KeepsTheIgnoredRegisterThroughBlockAndSingleWrites) {
  MeterModel m(1, kMorning);
  m.IgnoreWritesTo(0x0312);  // CT低位
  uint16_t block[kParameterCount];
  for (int i = 0; i < kParameterCount; ++i) block[i] = m.Parameter(i);
  block[param::kPtLow] = 200;
  block[param::kCtLow] = 75;
  EXPECT_EQ(m.WriteRegisters(kParameterFirst, block, kParameterCount), Refusal::kNone);
  EXPECT_EQ(m.Parameter(param::kPtLow), 200);
  EXPECT_EQ(m.Parameter(param::kCtLow), 50);
  const uint16_t ct = 80;
  EXPECT_EQ(m.WriteRegisters(0x0312, &ct, 1), Refusal::kNone);
  EXPECT_EQ(m.Parameter(param::kCtLow), 50);
}

TEST(MeterModel, SerialSettingsComeFromTheParameterBlock) {
  MeterModel m(1, kMorning);
  const uint16_t settings[] = {7, 0, 1, 2, 6};  // address 7, Modbus ASCII, even parity, 19200
  ASSERT_EQ(m.WriteRegisters(0x0300, settings, 5), Refusal::kNone);
  const uint16_t oneStop = 1;
  ASSERT_EQ(m.WriteRegisters(0x0320, &oneStop, 1), Refusal::kNone);
  const LineSettings line = m.Line();
  EXPECT_EQ(line.protocol, 1);
  EXPECT_EQ(line.address, 7);
  EXPECT_EQ(line.baudRate, 19200u);
  EXPECT_EQ(line.parity, 2);
  EXPECT_EQ(line.stopBits, 1);
  EXPECT_EQ(line.BitsPerCharacter(), 11u);  // start, 8 data, parity, stop
}

// A meter on a bus starts with its own line, held in its parameter block as the console reads it,
// and its own serial number.
TEST(MeterModel, StartsWithTheLineItIsGiven) {
  const MeterModel m(1, kMorning, LineSettings{1, 200, 4800, 1, 7, 1}, 17);
  const std::vector<uint16_t> codes = {
      m.Parameter(param::kAddress), m.Parameter(param::kProtocol), m.Parameter(param::kParity),
      m.Parameter(param::kBaud),    m.Parameter(param::kDataBits), m.Parameter(param::kStopBits)};
  EXPECT_EQ(codes, (std::vector<uint16_t>{200, 1, 1, 4, 1, 1}));
  EXPECT_EQ(Reg(m, 0x031C), 0x3137);  // "QVS26017": "17" in the serial number's last register
}

TEST(MeterModel, OutputsFollowCoilWritesAndLogTheirChanges) {
  MeterModel m(1, kMorning);
  const int eventsBefore = m.Events().Count();
  EXPECT_EQ(m.SetCoil(1, true), Refusal::kNone);
  EXPECT_EQ(m.SetCoil(1, true), Refusal::kNone);  // no change, no event
  EXPECT_EQ(m.Outputs(), 0x02);
  EXPECT_EQ(Reg(m, 0x0016), 0x02);
  EXPECT_EQ(m.Events().Count(), eventsBefore + 1);
  EXPECT_EQ(m.Events().At(0)[1], 0x32);
  EXPECT_EQ(m.Events().At(0)[9], 0x02);
  EXPECT_EQ(m.SetCoil(1, false), Refusal::kNone);
  EXPECT_EQ(m.Events().At(0)[1], 0x42);
  EXPECT_EQ(m.SetCoil(3, true), Refusal::kIllegalAddress);
  EXPECT_EQ(m.Outputs(), 0x00);
}

TEST(MeterModel, InputsChangeNowAndThenAndEachChangeIsLogged) {
  MeterModel m(9, kMorning);
  const int eventsBefore = m.Events().Count();
  m.Advance(30 * 60 * 1000);
  const int changes = m.Events().Count() - eventsBefore;
  EXPECT_GE(changes, 20);
  EXPECT_LE(changes, 62);
  const uint8_t code = m.Events().At(0)[1];
  const int channel = code & 0x0F;
  ASSERT_TRUE((code & 0xF0) == kEventInputClosed || (code & 0xF0) == kEventInputOpened);
  ASSERT_TRUE(channel >= 1 && channel <= 6);
  EXPECT_EQ(m.Input(channel - 1), (code & 0xF0) == kEventInputClosed);
  EXPECT_EQ(Reg(m, 0x0006), m.Inputs());
  EXPECT_EQ(m.Inputs() & 0xC0, 0);
}

TEST(MeterModel, TheSameSeedGivesTheSameMeter) {
  MeterModel a(42, kMorning), b(42, kMorning);
  a.Advance(90000);
  b.Advance(90000);
  for (uint16_t at = 0; at <= 0x0114; at += 2) EXPECT_EQ(Reg(a, at), Reg(b, at)) << at;
}

TEST(MeterModel, EveryRegisterOfTheThreeBlocksIsThereAndNothingElse) {
  const MeterModel m(1, kMorning);
  int present = 0;
  for (uint32_t at = 0; at <= 0xFFFF; ++at) {
    uint16_t v;
    if (m.ReadRegister(static_cast<uint16_t>(at), v)) ++present;
  }
  EXPECT_EQ(present, 183);
  uint16_t v;
  EXPECT_TRUE(m.ReadRegister(0x0114, v));
  EXPECT_FALSE(m.ReadRegister(0x0116, v));
  EXPECT_FALSE(m.ReadRegister(0x02FE, v));
  EXPECT_TRUE(m.ReadRegister(0x0356, v));
  EXPECT_FALSE(m.ReadRegister(0x0358, v));
}

}  // namespace
