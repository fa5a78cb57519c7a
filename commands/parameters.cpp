#include <string>

#include "commands/code_lookup.h"
#include "console/main_dialog.h"
#include "device/text_number.h"

namespace {

constexpr uint16_t kParameterBlockAddress = 0x0300;

// How the text of a parameter field becomes register values.
enum class Conversion : uint8_t {
  Wiring,  // position in WiringNames, modulo 7
  Ratio,   // "%d": bits 0 to 15 to the register, bits 16 to 31 to the next one
  Enable,  // position in EnableNames, low bit
  Scaled,  // "%lf" divided by the register's scale
};

struct ParameterField {
  int controlId;
  Conversion conversion;
  int index;  // register in m_regTable (the low half for a ratio)
};

constexpr ParameterField kParameterFields[] = {
    {1049, Conversion::Wiring, 140},  // wiring mode
    {1050, Conversion::Ratio, 146},   // PT, 146 and 147
    {1055, Conversion::Ratio, 148},   // CT, 148 and 149
    // Row 0, Yk1: enable, delay, hold time, setpoint.
    {1058, Conversion::Enable, 173},
    {1057, Conversion::Scaled, 171},
    {1056, Conversion::Scaled, 172},
    {1059, Conversion::Scaled, 170},
    // Row 1, Yk2.
    {1063, Conversion::Enable, 177},
    {1062, Conversion::Scaled, 175},
    {1061, Conversion::Scaled, 176},
    {1060, Conversion::Scaled, 174},
    // Row 2, Yk3.
    {1066, Conversion::Enable, 181},
    {1065, Conversion::Scaled, 179},
    {1064, Conversion::Scaled, 180},
    {1067, Conversion::Scaled, 178},
};

const ParameterField* FindParameterField(int controlId) {
  for (const ParameterField& field : kParameterFields) {
    if (field.controlId == controlId) return &field;
  }
  return nullptr;
}

// Stores the field's text into the image. A text holding no number leaves the register as it was.
void StoreParameter(RegisterDescriptor* table, const ParameterField& field,
                    const std::string& text) {
  RegisterDescriptor& reg = table[field.index];
  switch (field.conversion) {
    case Conversion::Wiring:
      reg.value = static_cast<uint16_t>(PositionIn(WiringNames, text) % WiringNames.size());
      break;
    case Conversion::Ratio:
      if (const auto ratio = ScanInt(text)) {
        const auto bits = static_cast<uint32_t>(*ratio);
        reg.value = static_cast<uint16_t>(bits & 0xFFFF);
        table[field.index + 1].value = static_cast<uint16_t>(bits >> 16);
      }
      break;
    case Conversion::Enable:
      reg.value = static_cast<uint16_t>(PositionIn(EnableNames, text) & 1);
      break;
    case Conversion::Scaled:
      if (const auto decimal = ScanDouble(text)) reg.value = ScaledToRaw(*decimal, reg.scale);
      break;
  }
}

}  // namespace

// "读参数": the whole block with the link settings last applied, so no capture first.
void MainDialog::OnReadParameters() {
  m_link.ReadHolding(kParameterBlockAddress, kParameterCount);
  LogTxFrame();
  UpdateControlStates();
}

// "写参数": the block as the editors left it; registers no field edits go back as they were read.
void MainDialog::OnWriteParameters() {
  uint16_t values[kParameterCount];
  for (int k = 0; k < kParameterCount; ++k) values[k] = m_regTable[kParameterFirst + k].value;
  m_link.WriteParameters(values);
  LogTxFrame();
  UpdateControlStates();
}

// A parameter field lost the focus: its text goes into the image, and the refresh then shows
// what was stored rather than what was typed.
void MainDialog::OnParameterEdited(int controlId) {
  CaptureControls();
  const ParameterField* field = FindParameterField(controlId);
  const std::string* text = TextMember(controlId);
  if (field != nullptr && text != nullptr) StoreParameter(m_regTable, *field, *text);
  RefreshDisplay();
  UpdateControlStates();
}
