#include <array>
#include <cstddef>
#include <string>

#include "console/main_dialog.h"
#include "device/code_lookup.h"
#include "device/text_number.h"

namespace {

constexpr uint16_t kParameterBlockAddress = 0x0300;

// How the text of a parameter field becomes register values.
enum class Conversion : uint8_t {
  Wiring,  // position in WiringNames
  Ratio,   // signed 32 bits: bits 0 to 15 to the register, bits 16 to 31 to the next one
  Enable,  // position in EnableNames
  Scaled,  // a decimal in steps of the register's scale
};

struct ParameterField {
  int controlId;
  Conversion conversion;
  int index;           // register in m_regTable (the low half for a ratio)
  const char* format;  // how the field shows a scaled value, for the range of a refusal
};

constexpr ParameterField kParameterFields[] = {
    {IDC_WIRING, Conversion::Wiring, kRegWiring, nullptr},  // wiring mode
    {IDC_PT, Conversion::Ratio, kRegPtLow, nullptr},        // PT, low and high register
    {IDC_CT, Conversion::Ratio, kRegCtLow, nullptr},        // CT
    // Row 0, Yk1: enable, delay, hold time, setpoint.
    {IDC_YK1_ENABLE, Conversion::Enable, kRegYk1First + kYkEnable, nullptr},
    {IDC_YK1_DELAY, Conversion::Scaled, kRegYk1First + kYkDelay, "%.2lf"},
    {IDC_YK1_HOLD, Conversion::Scaled, kRegYk1First + kYkHold, "%.2lf"},
    {IDC_YK1_SETPOINT, Conversion::Scaled, kRegYk1First + kYkSetpoint, "%.3lf"},
    // Row 1, Yk2.
    {IDC_YK2_ENABLE, Conversion::Enable, kRegYk2First + kYkEnable, nullptr},
    {IDC_YK2_DELAY, Conversion::Scaled, kRegYk2First + kYkDelay, "%.2lf"},
    {IDC_YK2_HOLD, Conversion::Scaled, kRegYk2First + kYkHold, "%.2lf"},
    {IDC_YK2_SETPOINT, Conversion::Scaled, kRegYk2First + kYkSetpoint, "%.2lf"},
    // Row 2, Yk3.
    {IDC_YK3_ENABLE, Conversion::Enable, kRegYk3First + kYkEnable, nullptr},
    {IDC_YK3_DELAY, Conversion::Scaled, kRegYk3First + kYkDelay, "%.2lf"},
    {IDC_YK3_HOLD, Conversion::Scaled, kRegYk3First + kYkHold, "%.2lf"},
    {IDC_YK3_SETPOINT, Conversion::Scaled, kRegYk3First + kYkSetpoint, "%.3lf"},
};

constexpr const char* kNotInList = "请从列表中选择一项。";
constexpr const char* kReadFirst = "请先读参数";

const ParameterField* FindParameterField(int controlId) {
  for (const ParameterField& field : kParameterFields) {
    if (field.controlId == controlId) return &field;
  }
  return nullptr;
}

// A list's text to its code. An empty text keeps the register; a text that is none of the names
// is refused rather than taken as the first name.
template <size_t N>
void StoreListChoice(MainDialog& dialog, const std::array<const char*, N>& names,
                     const std::string& text, uint16_t& value) {
  if (text.empty()) return;
  const uint32_t position = PositionIn(names, text);
  if (position >= N) {
    dialog.RefuseEntry(kNotInList);
    return;
  }
  value = static_cast<uint16_t>(position);
}

void StoreRatio(MainDialog& dialog, const std::string& text, int low) {
  const Entered<int32_t> ratio = EnterInt32(text);
  if (!dialog.TakeEntry(ratio.outcome, "-2147483648", "2147483647")) return;
  const auto bits = static_cast<uint32_t>(ratio.value);
  dialog.m_regTable[low].value = static_cast<uint16_t>(bits & 0xFFFF);
  dialog.m_regTable[low + 1].value = static_cast<uint16_t>(bits >> 16);
}

void StoreScaled(MainDialog& dialog, const std::string& text, const ParameterField& field) {
  RegisterDescriptor& reg = dialog.m_regTable[field.index];
  if (const auto raw = dialog.TakeScaledEntry(text, reg.scale, field.format)) reg.value = *raw;
}

}  // namespace

// "读参数": the whole block with the link settings last applied, so no capture first.
void MainDialog::OnReadParameters() {
  if (!EditorsAllowSend()) return;
  ReadParameterBlock();
}

void MainDialog::ReadParameterBlock() {
  LogSend(m_link.ReadHolding(kParameterBlockAddress, kParameterCount));
  UpdateControlStates();
}

// "写参数": the block as the editors left it; registers no field edits go back as they were read.
// An editor that ran first may have readdressed the console: then the block is another meter's.
void MainDialog::OnWriteParameters() {
  if (!EditorsAllowSend() || !BlockReadFromMeterInUse()) return;
  uint16_t values[kParameterCount];
  for (int k = 0; k < kParameterCount; ++k) values[k] = m_regTable[kParameterFirst + k].value;
  const bool sent = m_link.WriteParameters(values);
  LogSend(sent);
  if (sent) {
    ExpectReadBack(WriteCheck::Kind::Block, kParameterBlockAddress, values, kParameterCount);
  }
  UpdateControlStates();
}

bool MainDialog::BlockReadFromMeterInUse() {
  if (m_paramsValid == 1) return true;
  m_status = kReadFirst;
  RefreshDisplay();
  UpdateControlStates();
  return false;
}

// A parameter field lost the focus: a text the operator changed goes into the image, or is
// refused, and the refresh then shows what is stored rather than what was typed. A text left as
// the refresh showed it stores nothing: a shown delay has fewer digits than the register steps.
void MainDialog::OnParameterEdited(int controlId) {
  CaptureControls();
  const ParameterField* field = FindParameterField(controlId);
  const std::string* text = TextMember(controlId);
  if (field != nullptr && text != nullptr && !FieldUnchanged(controlId)) {
    uint16_t& value = m_regTable[field->index].value;
    switch (field->conversion) {
      case Conversion::Wiring:
        StoreListChoice(*this, WiringNames, *text, value);
        break;
      case Conversion::Ratio:
        StoreRatio(*this, *text, field->index);
        break;
      case Conversion::Enable:
        StoreListChoice(*this, EnableNames, *text, value);
        break;
      case Conversion::Scaled:
        StoreScaled(*this, *text, *field);
        break;
    }
  }
  RefreshDisplay();
  UpdateControlStates();
}
