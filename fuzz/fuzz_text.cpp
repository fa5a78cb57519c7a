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
constexpr int kEditedFields[] = {1049, 1050, 1055, 1056, 1057, 1058, 1059, 1060, 1061, 1062,
                                 1063, 1064, 1065, 1066, 1067, 1074, 1075, 1159, 1086, 1087,
                                 1089, 1090, 1091, 1094, 1095, 1115, 1116, 1131, 1132, 1133};

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
  window.Type(1073, text);  // the register number, read by the register commands
  window.Type(1028, text);  // the slave address, an integer field
  window.Type(1003, text);
  window.Focus(1076);  // leaving the field runs its editor
  dialog.OnReadRegister();
  dialog.OnWriteRegister();
  dialog.OnExecuteYk();
  return 0;
}
