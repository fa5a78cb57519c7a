#include <optional>

#include "console/main_dialog.h"
#include "device/text_format.h"
#include "device/text_number.h"

namespace {

constexpr int kLastIndex = kRegisterCount - 1;

bool IsRegisterIndex(int32_t index) { return index >= 0 && index <= kLastIndex; }

// What the lookup of the typed register number found.
enum class Lookup : uint8_t {
  NoNumber,   // "编号" holds no number: nothing changes
  Undefined,  // no register has that address: none is selected any more
  Found,      // m_regIndex is the register
};

}  // namespace

// Binary search of the image, which is sorted strictly ascending by address.
int32_t MainDialog::FindEntry(uint16_t address) const {
  int32_t low = 0;
  int32_t high = kLastIndex;
  while (low <= high) {
    const int32_t middle = (low + high) / 2;
    const uint16_t found = m_regTable[middle].address;
    if (found == address) return middle;
    if (found < address) {
      low = middle + 1;
    } else {
      high = middle - 1;
    }
  }
  return -1;
}

namespace {

// The first steps of "读寄存器" and "写寄存器": the typed number, taken modulo 65536, selects a
// register. The message shows the number as typed, so 10301 reads "未定义寄存器 10301".
Lookup SelectTypedRegister(MainDialog& dialog) {
  const std::optional<uint32_t> number = ScanHex(dialog.m_regNumber);
  if (!number) return Lookup::NoNumber;
  dialog.m_regIndex = dialog.FindEntry(static_cast<uint16_t>(*number & 0xFFFF));
  if (dialog.m_regIndex >= 0) return Lookup::Found;
  dialog.m_status = Printf("未定义寄存器 %04X", static_cast<unsigned>(*number));
  return Lookup::Undefined;
}

}  // namespace

void MainDialog::OnReadRegister() {
  CaptureControls();
  if (SelectTypedRegister(*this) == Lookup::Found) {
    m_link.ReadHolding(m_regTable[m_regIndex].address, 1);
    LogTxFrame();
  } else {
    RefreshDisplay();
  }
  UpdateControlStates();
}

// Writes the text of "值(Hex)" as it stands at the press, not the image's value; the editors keep
// the two in step.
void MainDialog::OnWriteRegister() {
  CaptureControls();
  std::optional<uint32_t> value;
  if (SelectTypedRegister(*this) == Lookup::Found) value = ScanHex(m_regHex);
  if (value) {
    m_link.WriteRegister(m_regTable[m_regIndex].address, static_cast<uint16_t>(*value & 0xFFFF));
    LogTxFrame();
  } else {
    RefreshDisplay();
  }
  UpdateControlStates();
}

// "+": wraps from the last register, or from no register, to the first.
void MainDialog::OnNextRegister() {
  CaptureControls();
  m_regIndex = (m_regIndex >= 0 && m_regIndex < kLastIndex) ? m_regIndex + 1 : 0;
  m_link.ReadHolding(m_regTable[m_regIndex].address, 1);
  LogTxFrame();
  UpdateControlStates();
}

// "-": wraps from the first register, or from no register, to the last.
void MainDialog::OnPreviousRegister() {
  CaptureControls();
  m_regIndex = (m_regIndex > 0 && m_regIndex <= kLastIndex) ? m_regIndex - 1 : kLastIndex;
  m_link.ReadHolding(m_regTable[m_regIndex].address, 1);
  LogTxFrame();
  UpdateControlStates();
}

// "值(Hex)" (1074) or "实际值" (1075) lost the focus. With no register selected there is nothing
// to change, and a text holding no number keeps the value.
void MainDialog::OnRegisterValueEdited(int controlId) {
  CaptureControls();
  if (IsRegisterIndex(m_regIndex)) {
    RegisterDescriptor& reg = m_regTable[m_regIndex];
    if (controlId == 1074) {
      if (const auto raw = ScanHex(m_regHex)) reg.value = static_cast<uint16_t>(*raw & 0xFFFF);
    } else if (const auto real = ScanDouble(m_regReal)) {
      reg.value = ScaledToRaw(*real, reg.scale);
    }
  }
  RefreshDisplay();
  UpdateControlStates();
}
