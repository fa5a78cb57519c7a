#include <optional>

#include "console/main_dialog.h"
#include "device/text_format.h"
#include "device/text_number.h"

namespace {

constexpr int kLastIndex = kRegisterCount - 1;
constexpr const char* kHexLow = "0000";
constexpr const char* kHexHigh = "FFFF";
constexpr const char* kNothingToWrite = "请先在值(Hex)或实际值中输入要写入的值";

bool IsRegisterIndex(int32_t index) { return index >= 0 && index <= kLastIndex; }

// What the lookup of the typed register number found.
enum class Lookup : uint8_t {
  NoNumber,   // "编号" holds no number, or one that was refused: nothing changes
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

// The typed number selects a register. A number beyond FFFF is refused, not taken modulo 65536.
Lookup SelectTypedRegister(MainDialog& dialog) {
  const Entered<uint16_t> number = EnterHex16(dialog.m_regNumber);
  if (!dialog.TakeEntry(number.outcome, kHexLow, kHexHigh)) return Lookup::NoNumber;
  dialog.m_regIndex = dialog.FindEntry(number.value);
  if (dialog.m_regIndex >= 0) return Lookup::Found;
  dialog.m_status = Printf("未定义寄存器 %04X", static_cast<unsigned>(number.value));
  return Lookup::Undefined;
}

// Reading or stepping shows the register as the image holds it: a value typed and not written
// is given up.
void ReadSelected(MainDialog& dialog) {
  dialog.m_regPending.reset();
  dialog.LogSend(dialog.m_link.ReadHolding(dialog.m_regTable[dialog.m_regIndex].address, 1));
}

}  // namespace

void MainDialog::OnReadRegister() {
  if (!EditorsAllowSend()) return;
  CaptureControls();
  const Lookup found = SelectTypedRegister(*this);
  if (found != Lookup::NoNumber) m_regPending.reset();
  if (found == Lookup::Found) {
    ReadSelected(*this);
  } else {
    RefreshDisplay();
  }
  UpdateControlStates();
}

// Sends the value typed into "值(Hex)" or "实际值" to the register "编号" shows, whichever was
// typed first. Only a typed value goes out: the value a refresh put there (the image's, which may
// never have been read from this meter) is no value anybody meant to write. The image takes the
// value when the meter echoes it.
void MainDialog::OnWriteRegister() {
  if (!EditorsAllowSend()) return;
  CaptureControls();
  std::optional<uint16_t> value;
  if (SelectTypedRegister(*this) == Lookup::Found) {
    value = m_regPending;
    if (!value) m_status = kNothingToWrite;
  }
  if (value) {
    m_regPending.reset();
    const uint16_t address = m_regTable[m_regIndex].address;
    const bool sent = m_link.WriteRegister(address, *value);
    LogSend(sent);
    if (sent) ExpectReadBack(WriteCheck::Kind::Register, address, &*value, 1);
  } else {
    RefreshDisplay();
  }
  UpdateControlStates();
}

// "+": wraps from the last register, or from no register, to the first.
void MainDialog::OnNextRegister() {
  if (!EditorsAllowSend()) return;
  CaptureControls();
  m_regIndex = (m_regIndex >= 0 && m_regIndex < kLastIndex) ? m_regIndex + 1 : 0;
  ReadSelected(*this);
  UpdateControlStates();
}

// "-": wraps from the first register, or from no register, to the last.
void MainDialog::OnPreviousRegister() {
  if (!EditorsAllowSend()) return;
  CaptureControls();
  m_regIndex = (m_regIndex > 0 && m_regIndex <= kLastIndex) ? m_regIndex - 1 : kLastIndex;
  ReadSelected(*this);
  UpdateControlStates();
}

// "编号" lost the focus: a new number selects its register as "读寄存器" would, without reading
// it, and a value typed into "值(Hex)" stays to be written there.
void MainDialog::OnRegisterNumberEdited() {
  CaptureControls();
  if (!FieldUnchanged(IDC_REG_NUMBER)) SelectTypedRegister(*this);
  RefreshDisplay();
  UpdateControlStates();
}

// "值(Hex)" (IDC_REG_HEX) or "实际值" (IDC_REG_REAL) lost the focus: the value typed becomes the
// value to write, shown in both fields; the device image keeps what the meter last said. With no
// register selected there is nothing to write to, and a text holding no number keeps the value.
void MainDialog::OnRegisterValueEdited(int controlId) {
  CaptureControls();
  if (IsRegisterIndex(m_regIndex) && !FieldUnchanged(controlId)) {
    const RegisterDescriptor& reg = m_regTable[m_regIndex];
    if (controlId == IDC_REG_HEX) {
      const Entered<uint16_t> raw = EnterHex16(m_regHex);
      if (TakeEntry(raw.outcome, kHexLow, kHexHigh)) m_regPending = raw.value;
    } else {
      const std::string format = Printf("%%.%dlf", reg.decimals);
      if (const auto raw = TakeScaledEntry(m_regReal, reg.scale, format.c_str())) {
        m_regPending = *raw;
      }
    }
  }
  RefreshDisplay();
  UpdateControlStates();
}
