#include <string>

#include "console/main_dialog.h"

namespace {

constexpr uint16_t kFirstPoint = 0;
constexpr uint16_t kPointCount = 8;

// Only the first character of a list's text counts; an empty text gives the character code 0.
uint8_t FirstCharacter(const std::string& text) {
  return text.empty() ? 0 : static_cast<uint8_t>(text[0]);
}

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
bool IsBinaryDigit(uint8_t c) { return c == '0' || c == '1'; }

}  // namespace

// "读遥信": inputs 0 to 7; the reply fills "Yx".
void MainDialog::OnReadYx() {
  CaptureControls();
  LogSend(m_link.ReadInputs(kFirstPoint, kPointCount));
  UpdateControlStates();
}

// "读遥控": coils 0 to 7; the reply fills "Yk".
void MainDialog::OnReadYk() {
  CaptureControls();
  LogSend(m_link.ReadCoils(kFirstPoint, kPointCount));
  UpdateControlStates();
}

// "执  行": an output is switched only when "分/合" and "确 认" name the same state, so one
// careless choice cannot operate a relay. Both are emptied after every press, sent or refused:
// each switching needs a fresh, explicit confirmation.
void MainDialog::OnExecuteYk() {
  CaptureControls();
  const uint8_t channel = FirstCharacter(m_ykChannel);
  const uint8_t state = FirstCharacter(m_ykState);
  const uint8_t confirm = FirstCharacter(m_ykConfirm);
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
