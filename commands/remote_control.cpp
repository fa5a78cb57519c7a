#include <cstddef>
#include <string>

#include "console/main_dialog.h"

namespace {

constexpr uint16_t kFirstPoint = 0;
constexpr uint16_t kPointCount = 8;

constexpr const char* kBlanks = " \t";

// The one character a list holds, blanks around it aside; 0 when it holds none or more than one,
// so "12" is no channel and "1x" no state.
uint8_t SoleCharacter(const std::string& text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return 0;
  const std::size_t last = text.find_last_not_of(kBlanks);
  return first == last ? static_cast<uint8_t>(text[first]) : 0;
}

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
bool IsBinaryDigit(uint8_t c) { return c == '0' || c == '1'; }

}  // namespace

// "读遥信": inputs 0 to 7; the reply fills "Yx".
void MainDialog::OnReadYx() {
  if (!EditorsAllowSend()) return;
  CaptureControls();
  LogSend(m_link.ReadInputs(kFirstPoint, kPointCount));
  UpdateControlStates();
}

// "读遥控": coils 0 to 7; the reply fills "Yk".
void MainDialog::OnReadYk() {
  if (!EditorsAllowSend()) return;
  CaptureControls();
  LogSend(m_link.ReadCoils(kFirstPoint, kPointCount));
  UpdateControlStates();
}

// "执  行": an output is switched only when each list holds exactly one of its entries and
// "分/合" and "确 认" name the same state, so one careless choice cannot operate a relay. Both are
// emptied after every press, sent or refused: each switching needs a fresh, explicit
// confirmation.
void MainDialog::OnExecuteYk() {
  if (!EditorsAllowSend()) return;
  CaptureControls();
  const uint8_t channel = SoleCharacter(m_ykChannel);
  const uint8_t state = SoleCharacter(m_ykState);
  const uint8_t confirm = SoleCharacter(m_ykConfirm);
  const bool valid =
      IsDigit(channel) && IsBinaryDigit(state) && IsBinaryDigit(confirm) && state == confirm;
  m_ykState.clear();
  m_ykConfirm.clear();
  if (valid) {
    m_status = "正在通信";
    LogSend(m_link.WriteCoil(channel & 0x0F, state & 0x0F));
  } else {
    m_status = "遥控参数设置不当";
    RefreshDisplay();
  }
  UpdateControlStates();
}
