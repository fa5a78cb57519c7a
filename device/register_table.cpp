#include "device/register_table.h"

#include <cstddef>

namespace {

constexpr const char* kBlank = " ";

// A name made at compile time; the longest generated name ("-Qh_1l", "I0nW19") has 6 characters.
struct Name {
  char text[8] = {};
};

constexpr void Append(Name& name, std::size_t& at, const char* part) {
  for (; *part != '\0'; ++part) name.text[at++] = *part;
}

// Energy counters: index 33 + 8t + 2q + w, named kind, "_", word, then the tariff suffix.
constexpr int kEnergyFirst = 33;
constexpr int kEnergyCount = 32;
constexpr const char* kEnergyKinds[4] = {"+Wh", "-Wh", "+Qh", "-Qh"};
constexpr const char* kEnergyUnits[4] = {"Wh", "Wh", "Varh", "Varh"};
constexpr const char* kTariffSuffixes[4] = {"", "h", "m", "l"};

constexpr Name EnergyName(int offset) {
  const int tariff = offset / 8;
  const int kind = offset % 8 / 2;
  const int word = offset % 2;
  Name name;
  std::size_t at = 0;
  Append(name, at, kEnergyKinds[kind]);
  Append(name, at, word == 0 ? "_0" : "_1");
  Append(name, at, kTariffSuffixes[tariff]);
  return name;
}

// Harmonics: for each odd order 3..19, one register per channel, named channel, "W", order.
constexpr int kHarmonicsFirst = 76;
constexpr int kHarmonicsCount = 63;
constexpr int kChannels = 7;
constexpr const char* kHarmonicChannels[kChannels] = {"Uan", "Ubn", "Ucn", "Ian",
                                                      "Ibn", "Icn", "I0n"};

constexpr Name HarmonicName(int offset) {
  const int order = 3 + 2 * (offset / kChannels);
  Name name;
  std::size_t at = 0;
  Append(name, at, kHarmonicChannels[offset % kChannels]);
  Append(name, at, "W");
  if (order >= 10) name.text[at++] = static_cast<char>('0' + order / 10);
  name.text[at++] = static_cast<char>('0' + order % 10);
  return name;
}

template <int Count, typename Make>
constexpr std::array<Name, Count> MakeNames(Make make) {
  std::array<Name, Count> names{};
  for (int k = 0; k < Count; ++k) names[static_cast<std::size_t>(k)] = make(k);
  return names;
}

// Static storage the generated rows point into.
constexpr std::array<Name, kEnergyCount> kEnergyNames = MakeNames<kEnergyCount>(EnergyName);
constexpr std::array<Name, kHarmonicsCount> kHarmonicNames =
    MakeNames<kHarmonicsCount>(HarmonicName);

// Rows with irregular content; the address follows from the row's index.
struct Row {
  double scale;
  int32_t decimals;
  const char* name;
  const char* unit;
};

constexpr Row kRealtimeRows[kEnergyFirst] = {
    {0.1, 2, "Uan", "V"},        {0.1, 2, "Uca", "V"},        {0.001, 3, "Ian", "A"},
    {1.0, 0, "Yx", "Bit"},       {0.4, 2, "Pan", "W"},        {0.0001, 4, "PFan", kBlank},
    {0.4, 2, "Qan", "Var"},      {0.4, 2, "San", "VA"},       {0.1, 2, "Ubn", "V"},
    {0.1, 2, "Uab", "V"},        {0.001, 3, "Ibn", "A"},      {1.0, 0, "Yk", kBlank},
    {0.4, 2, "Pbn", "W"},        {0.0001, 4, "PFbn", kBlank}, {0.4, 2, "Qbn", "Var"},
    {0.4, 2, "Sbn", "VA"},       {0.1, 2, "Ucn", "V"},        {0.1, 2, "Ubc", "V"},
    {0.001, 3, "Icn", "A"},      {0.001, 4, "Vpm10", "V"},    {0.4, 2, "Pcn", "W"},
    {0.0001, 4, "PFcn", kBlank}, {0.4, 2, "Qcn", "Var"},      {0.4, 2, "Scn", "VA"},
    {0.001, 3, "I0n", "A"},      {0.1, 2, "Uav", "V"},        {0.001, 3, "Iav", "A"},
    {0.00106813, 3, "f", "Hz"},  {0.4, 2, "Psum", "W"},       {0.0001, 4, "PFav", kBlank},
    {0.4, 2, "Qsum", "Var"},     {0.4, 2, "Ssum", "VA"},      {1.0, 0, "Rev0", kBlank},
};

// Counts of 0.0001 rad shown in degrees.
constexpr double kAngleScale = 0.005729578;

constexpr Row kClockStatusRows[kHarmonicsFirst - kClockFirst] = {
    {1.0, 0, "Year", kBlank},       {1.0, 0, "MmDd", kBlank},       {1.0, 0, "HhMm", kBlank},
    {1.0, 0, "SsPp", kBlank},       {1.0, 0, "SysStat", kBlank},    {kAngleScale, 2, "ArgIa", "°"},
    {kAngleScale, 2, "ArgIb", "°"}, {kAngleScale, 2, "ArgIc", "°"}, {kAngleScale, 2, "ArgUa", "°"},
    {kAngleScale, 2, "ArgUb", "°"}, {kAngleScale, 2, "ArgUc", "°"},
};

// Delay and hold times in counts of 0.00319844.
constexpr double kTimeScale = 0.00319844;

constexpr Row kParameterRows[kParameterCount] = {
    {1.0, 0, "从机地址", kBlank},       {1.0, 0, "接线方式", kBlank},
    {1.0, 0, "通讯规约", kBlank},       {1.0, 0, "奇偶校验", kBlank},
    {1.0, 0, "波特率", kBlank},         {1.0, 0, "电压量程", kBlank},
    {1.0, 0, "电能单位", kBlank},       {1.0, 0, "PT低位", kBlank},
    {1.0, 0, "PT高位", kBlank},         {1.0, 0, "CT低位", kBlank},
    {1.0, 0, "CT高位", kBlank},         {1.0, 0, "SN_1", kBlank},
    {1.0, 0, "SN_2", kBlank},           {1.0, 0, "SN_3", kBlank},
    {1.0, 0, "SN_4", kBlank},           {1.0, 0, "数据位", kBlank},
    {1.0, 0, "停止位", kBlank},         {1.0, 0, "锁定键盘", kBlank},
    {1.0, 0, "语言", kBlank},           {1.0, 0, "HTM_BEG0", "分"},
    {1.0, 0, "HTM_END0", "分"},         {1.0, 0, "HTM_BEG1", "分"},
    {1.0, 0, "HTM_END1", "分"},         {1.0, 0, "HTM_BEG2", "分"},
    {1.0, 0, "HTM_END2", "分"},         {1.0, 0, "HTM_BEG3", "分"},
    {1.0, 0, "HTM_END3", "分"},         {1.0, 0, "LTM_BEG0", "分"},
    {1.0, 0, "LTM_END0", "分"},         {1.0, 0, "LTM_BEG1", "分"},
    {1.0, 0, "LTM_END1", "分"},         {0.001, 3, "Yk1定值", kBlank},
    {kTimeScale, 2, "Yk1延时", kBlank}, {kTimeScale, 2, "Yk1返回", kBlank},
    {1.0, 0, "Yk1使能", kBlank},        {0.1, 3, "Yk2定值", kBlank},
    {kTimeScale, 2, "Yk2延时", kBlank}, {kTimeScale, 2, "Yk2返回", kBlank},
    {1.0, 0, "Yk2使能", kBlank},        {0.001, 3, "Yk3定值", kBlank},
    {kTimeScale, 2, "Yk3延时", kBlank}, {kTimeScale, 2, "Yk3返回", kBlank},
    {1.0, 0, "Yk3使能", kBlank},        {1.0, 0, "电能指示", kBlank},
};

// The first two blocks are contiguous from address 0; the parameter block starts at 0x0300.
constexpr uint16_t AddressOf(int index) {
  return static_cast<uint16_t>(index < kParameterFirst ? 2 * index : 2 * index + 490);
}

constexpr RegisterDescriptor Describe(int index) {
  Row row{};
  if (index < kEnergyFirst) {
    row = kRealtimeRows[index];
  } else if (index < kClockFirst) {
    const int offset = index - kEnergyFirst;
    row = {1.0, 0, kEnergyNames[static_cast<std::size_t>(offset)].text,
           kEnergyUnits[offset % 8 / 2]};
  } else if (index < kHarmonicsFirst) {
    row = kClockStatusRows[index - kClockFirst];
  } else if (index < kParameterFirst) {
    row = {0.01, 2, kHarmonicNames[static_cast<std::size_t>(index - kHarmonicsFirst)].text, "% "};
  } else {
    row = kParameterRows[index - kParameterFirst];
  }
  return {AddressOf(index), 0, row.scale, row.decimals, row.name, row.unit};
}

constexpr std::array<RegisterDescriptor, kRegisterCount> BuildTable() {
  std::array<RegisterDescriptor, kRegisterCount> table{};
  for (int k = 0; k < kRegisterCount; ++k) table[static_cast<std::size_t>(k)] = Describe(k);
  return table;
}

constexpr std::array<RegisterDescriptor, kRegisterCount> kTable = BuildTable();

// FindEntry's binary search depends on this order.
constexpr bool StrictlyAscending() {
  for (int k = 1; k < kRegisterCount; ++k) {
    if (kTable[static_cast<std::size_t>(k)].address <=
        kTable[static_cast<std::size_t>(k - 1)].address)
      return false;
  }
  return true;
}
static_assert(StrictlyAscending());
static_assert(kTable[kHarmonicFirst - 1].address == 0x0088 && kTable[138].address == 0x0114);
static_assert(kTable[kParameterFirst].address == 0x0300 && kTable[182].address == 0x0356);

}  // namespace

constinit const std::array<RegisterDescriptor, kRegisterCount> RegisterTable = kTable;

const std::array<const char*, 2> ProtocolNames = {"Modbus RTU", "Modbus ASCII"};
const std::array<const char*, 7> BaudNames = {"300",  "600",  "1200", "2400",
                                              "4800", "9600", "19200"};
const std::array<const char*, 3> ParityNames = {"NONE", "ODD", "EVEN"};
const std::array<const char*, 2> DataBitNames = {"8", "7"};
const std::array<const char*, 2> StopBitNames = {"2", "1"};
const std::array<const char*, 2> EnableNames = {"未使能", "巳使能"};
const std::array<const char*, 7> WiringNames = {"三相四线",        "一相二线", "三相三线",
                                                "三相三线平衡",    "一相三线", "三相四线平衡",
                                                "三相三线一压二流"};
