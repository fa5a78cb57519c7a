#include <string>

#include "console/main_dialog.h"
#include "device/text_format.h"

namespace {

// One row of the protection grid: its first register (setpoint, delay, hold, enable follow)
// and its fields; row 1 shows its setpoint with two decimals, the others with three.
struct ProtectionRow {
  int first;
  const char* setpointFormat;
  std::string MainDialog::*setpoint;
  std::string MainDialog::*delay;
  std::string MainDialog::*hold;
  std::string MainDialog::*enable;
};
constexpr ProtectionRow kProtectionRows[3] = {
    {kRegYk1First, "%.3lf", &MainDialog::m_yk1Setpoint, &MainDialog::m_yk1Delay,
     &MainDialog::m_yk1Hold, &MainDialog::m_yk1Enable},
    {kRegYk2First, "%.2lf", &MainDialog::m_yk2Setpoint, &MainDialog::m_yk2Delay,
     &MainDialog::m_yk2Hold, &MainDialog::m_yk2Enable},
    {kRegYk3First, "%.3lf", &MainDialog::m_yk3Setpoint, &MainDialog::m_yk3Delay,
     &MainDialog::m_yk3Hold, &MainDialog::m_yk3Enable},
};

// The tariff-period fields in register order, HTM_BEG0 (158) to LTM_END1 (169).
constexpr std::string MainDialog::*kPeriodTexts[12] = {
    &MainDialog::m_peakBegin1, &MainDialog::m_peakEnd1,     &MainDialog::m_peakBegin2,
    &MainDialog::m_peakEnd2,   &MainDialog::m_peakBegin3,   &MainDialog::m_peakEnd3,
    &MainDialog::m_peakBegin4, &MainDialog::m_peakEnd4,     &MainDialog::m_valleyBegin1,
    &MainDialog::m_valleyEnd1, &MainDialog::m_valleyBegin2, &MainDialog::m_valleyEnd2,
};

// Wiring, PT, CT and the protection grid: with the twelve periods, the 27 fields shown only
// once the parameter block has been read.
constexpr std::string MainDialog::*kParameterTexts[15] = {
    &MainDialog::m_wiringText,  &MainDialog::m_ptRatio,     &MainDialog::m_ctRatio,
    &MainDialog::m_yk1Enable,   &MainDialog::m_yk1Delay,    &MainDialog::m_yk1Hold,
    &MainDialog::m_yk1Setpoint, &MainDialog::m_yk2Enable,   &MainDialog::m_yk2Delay,
    &MainDialog::m_yk2Hold,     &MainDialog::m_yk2Setpoint, &MainDialog::m_yk3Enable,
    &MainDialog::m_yk3Delay,    &MainDialog::m_yk3Hold,     &MainDialog::m_yk3Setpoint,
};

uint16_t Value(const MainDialog& dialog, int index) { return dialog.m_regTable[index].value; }

double Scaled(const MainDialog& dialog, int index) {
  return Value(dialog, index) * dialog.m_regTable[index].scale;
}

// A PT or CT ratio: two registers, low word first, read as one signed 32-bit number.
int32_t Ratio(const MainDialog& dialog, int low) {
  const uint32_t value = static_cast<uint32_t>(Value(dialog, low + 1)) << 16 | Value(dialog, low);
  return static_cast<int32_t>(value);
}

void RefreshLineSettings(MainDialog& dialog) {
  const ModbusLink& link = dialog.m_link;
  dialog.m_counts = Printf("S%d/F%d", link.m_successCount, link.m_failureCount);
  const bool knownProtocol = link.m_protocol == kProtocolRtu || link.m_protocol == kProtocolAscii;
  dialog.m_protocolText = knownProtocol ? ProtocolNames[static_cast<size_t>(link.m_protocol)] : "";
  dialog.m_addressField = link.m_slaveAddress;
  dialog.m_portText = dialog.PortNameOf(link.PortId());
  // The baud rate has always been printed as a signed 32-bit number.
  dialog.m_baudText = Printf("%d", static_cast<int32_t>(link.m_baudRate));
  dialog.m_parityText = ParityNames[link.m_parity % 3];
  dialog.m_dataBitsText = Printf("%d", link.m_dataBits);
  dialog.m_stopBitsText = StopBitNames[link.m_stopBits % 2];
  dialog.m_commSummary = dialog.LineSummary();
}

void RefreshRegisterBrowser(MainDialog& dialog) {
  const int32_t index = dialog.m_regIndex;
  if (index < 0 || index >= kRegisterCount) {
    // No register selected: the scaled value and the name keep what they showed.
    dialog.m_regNumber.clear();
    dialog.m_regHex.clear();
    return;
  }
  const RegisterDescriptor& entry = dialog.m_regTable[index];
  // A value typed for writing shows until it is written or given up; else the image's value.
  const uint16_t value = dialog.m_regPending.value_or(entry.value);
  dialog.m_regNumber = Printf("%04X", static_cast<unsigned>(entry.address));
  dialog.m_regHex = Printf("%04X", static_cast<unsigned>(value));
  const std::string format = Printf("%%.%dlf", entry.decimals);
  dialog.m_regReal = Printf(format.c_str(), value * entry.scale);
  // The image is all zero until the register table has been loaded.
  dialog.m_regName = Printf("%s", entry.name != nullptr ? entry.name : "");
}

void RefreshParameters(MainDialog& dialog) {
  if (dialog.m_paramsValid == 0) {
    for (std::string MainDialog::*text : kParameterTexts) (dialog.*text).clear();
    for (std::string MainDialog::*text : kPeriodTexts) (dialog.*text).clear();
    return;
  }
  dialog.m_wiringText = WiringNames[Value(dialog, kRegWiring) % 7];
  dialog.m_ptRatio = Printf("%d", Ratio(dialog, kRegPtLow));
  dialog.m_ctRatio = Printf("%d", Ratio(dialog, kRegCtLow));
  for (const ProtectionRow& row : kProtectionRows) {
    dialog.*row.setpoint = Printf(row.setpointFormat, Scaled(dialog, row.first + kYkSetpoint));
    dialog.*row.delay = Printf("%.2lf", Scaled(dialog, row.first + kYkDelay));
    dialog.*row.hold = Printf("%.2lf", Scaled(dialog, row.first + kYkHold));
    dialog.*row.enable = EnableNames[Value(dialog, row.first + kYkEnable) % 2];
  }
  for (int k = 0; k < 12; ++k) {
    dialog.*kPeriodTexts[k] = dialog.FormatPeriod(Value(dialog, kRegFirstPeriod + k));
  }
}

void RefreshMeterSettingsAndClock(MainDialog& dialog) {
  dialog.m_slaveSettings = std::string(ProtocolNames[Value(dialog, kRegProtocol) % 2]) +
                           Printf(",%d:", Value(dialog, kRegSlaveAddress)) +
                           Printf("%s,", BaudNames[Value(dialog, kRegBaud) % 7]) +
                           Printf("%s,", ParityNames[Value(dialog, kRegParity) % 3]) +
                           Printf("%s,", DataBitNames[Value(dialog, kRegDataBits) % 2]) +
                           Printf("%s ", StopBitNames[Value(dialog, kRegStopBits) % 2]);
  const uint16_t monthDay = Value(dialog, kRegMonthDay);
  const uint16_t hourMinute = Value(dialog, kRegHourMinute);
  dialog.m_meterDate =
      Printf("%04d.%d.%d", Value(dialog, kRegYear), monthDay / 256, monthDay % 256);
  dialog.m_meterTime =
      Printf("%d:%02d:%02d", hourMinute / 256, hourMinute % 256, Value(dialog, kRegSecond) / 256);
}

}  // namespace

// The port as the list names it; "COMn:" brings its own colon before the line settings.
std::string MainDialog::LineSummary() const {
  std::string summary = PortNameOf(m_link.PortId());
  if (!m_link.m_isOpen) return summary + " 打不开 ";
  if (summary.empty() || summary.back() != ':') summary += ':';
  // The baud rate has always been printed as a signed 32-bit number.
  return summary + Printf("%d", static_cast<int32_t>(m_link.m_baudRate)) + "," +
         std::string(ParityNames[m_link.m_parity % 3]).substr(0, 1) + "," +
         Printf("%d", m_link.m_dataBits) + "," + StopBitNames[m_link.m_stopBits % 2];
}

std::string MainDialog::FormatPeriod(uint16_t minutes) const {
  return Printf("%2d:%02d", minutes / 60, minutes % 60);
}

void MainDialog::RefreshDisplay() {
  RefreshLineSettings(*this);
  RefreshRegisterBrowser(*this);
  RefreshParameters(*this);
  RefreshMeterSettingsAndClock(*this);
  PushFields();
}
