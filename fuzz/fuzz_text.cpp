// Every operator text conversion: the scanners, the integer fields, the decimal, hex, ratio and
// list editors, the register number, the tariff periods and the meter's serial-settings line,
// with arbitrary bytes (invalid UTF-8 and very long texts included).
#include <cstdint>
#include <string>

#include "console/main_dialog.h"
#include "device/text_number.h"
#include "window/headless_window.h"

namespace {

// Fields whose focus loss runs an editor, and the register browser's number field.
constexpr int kEditedFields[] = {IDC_WIRING,        IDC_PT,           IDC_CT,
                                 IDC_YK1_HOLD,      IDC_YK1_DELAY,    IDC_YK1_ENABLE,
                                 IDC_YK1_SETPOINT,  IDC_YK2_SETPOINT, IDC_YK2_HOLD,
                                 IDC_YK2_DELAY,     IDC_YK2_ENABLE,   IDC_YK3_HOLD,
                                 IDC_YK3_DELAY,     IDC_YK3_ENABLE,   IDC_YK3_SETPOINT,
                                 IDC_REG_HEX,       IDC_REG_REAL,     IDC_SLAVE_SETTINGS,
                                 IDC_PEAK_END1,     IDC_PEAK_BEGIN1,  IDC_PEAK_END2,
                                 IDC_PEAK_BEGIN2,   IDC_PEAK_END3,    IDC_PEAK_BEGIN3,
                                 IDC_PEAK_END4,     IDC_PEAK_BEGIN4,  IDC_VALLEY_END1,
                                 IDC_VALLEY_BEGIN1, IDC_VALLEY_END2,  IDC_VALLEY_BEGIN2};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  (void)ScanInt(text);
  (void)ScanHex(text);
  if (auto v = ScanDouble(text)) (void)StepsOf(*v, 0.00319844);
  (void)EnterScaled(text, 0.001, 0, 0xFFFF);
  (void)EnterInt32(text);
  (void)EnterHex16(text);

  HeadlessWindow window;
  MainDialog dialog(window);
  window.SetHandler(&dialog);
  dialog.LoadRegisterTable();
  dialog.m_link.SetDefaults();
  (void)dialog.ParsePeriod(text);
  dialog.ParseSlaveSettings(text);

  const int field = kEditedFields[data[0] % std::size(kEditedFields)];
  window.Focus(field);
  window.Type(field, text);
  window.Type(IDC_REG_NUMBER, text);     // the register number, read by the register commands
  window.Type(IDC_SLAVE_ADDRESS, text);  // the slave address, an integer field
  window.Type(IDC_BAUD, text);
  window.Focus(IDC_READ_REGISTER);  // leaving the field runs its editor
  dialog.OnReadRegister();
  dialog.OnWriteRegister();
  dialog.OnExecuteYk();
  return 0;
}
