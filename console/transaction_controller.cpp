// The transaction controller: the tick that pumps the link and paces the polling rotation, the
// completion handler, the frame logs and counters, and the enable states of the commands.
#include <algorithm>
#include <iterator>
#include <string>

#include "console/main_dialog.h"
#include "console/record_keeper.h"
#include "device/text_format.h"
#include "link/function_table.h"

namespace {

// One block of the polling rotation, read with function 3.
struct PollBlock {
  uint16_t start;
  uint16_t count;
};

// Indexed by the rotation value after the step: the real-time block, the harmonic block, then
// the parameter block.
constexpr PollBlock kPollBlocks[] = {{768, 44}, {0, 69}, {138, 70}};
constexpr uint8_t kLastPollBlock = 2;

// m_autoPoll counts 1..4 while polling: a poll goes out when it would reach this value.
constexpr int32_t kPollPhase = 5;

constexpr const char* kSuccessText = "通讯成功";
constexpr const char* kFailureText = "通讯失败";
constexpr const char* kPauseCaption = "暂停读数据";
constexpr const char* kResumeCaption = "连续读数据";

// Buttons usable only while polling is off and no transaction is outstanding.
constexpr int kIdleOnlyButtons[] = {
    IDC_READ_REGISTER, IDC_NEXT_REGISTER, IDC_PREV_REGISTER, IDC_READ_YX,     IDC_READ_YK,
    IDC_CLEAR_TX_LOG,  IDC_CLEAR_RX_LOG,  IDC_EXECUTE_YK,    IDC_READ_PARAMS, IDC_WRITE_REGISTER};
// Buttons that also need the parameter block read once: "写参数" and "校时".
constexpr int kParamsButtons[] = {IDC_WRITE_PARAMS, IDC_SYNC_CLOCK};
// Of the idle-only buttons, those that change the meter: disabled while the port is closed, as
// "写参数", "校时" and "清事件" are.
constexpr int kWriteButtons[] = {IDC_WRITE_REGISTER, IDC_EXECUTE_YK};

constexpr const char* kPortClosedText = "串口未打开";
constexpr const char* kNotWrittenText = "发送失败：串口不接受数据";

std::string ExceptionText(int32_t code) {
  if (const char* name = ExceptionName(code)) {
    return Printf("通讯失败：从机返回异常码 %02X（%s）", code, name);
  }
  return Printf("通讯失败：从机返回异常码 %02X", code);
}

// The counters are shown with %d and wrap as two's complement, through unsigned arithmetic.
void Increment(int32_t& counter) {
  counter = static_cast<int32_t>(static_cast<uint32_t>(counter) + 1u);
}

}  // namespace

void MainDialog::OnTimer(int timerId) {
  m_records->OnTick();
  if (timerId == m_timerId) {
    WatchLine();
    m_link.PumpReceive();
    if (m_writeCheck.kind != WriteCheck::Kind::None) ++m_writeCheck.ticks;
  }
  if (m_link.m_ticks != 0 || m_autoPoll == 0) return;

  // The phase stands still while a transaction is outstanding, so a poll goes out on the fourth
  // consecutive idle tick, counting the tick in which the previous transaction ended.
  if (++m_autoPoll < kPollPhase) return;
  m_autoPoll = 1;
  s_pollBlock = static_cast<uint8_t>(s_pollBlock + 1);
  if (s_pollBlock > kLastPollBlock) s_pollBlock = 0;

  const PollBlock& block = kPollBlocks[s_pollBlock];
  // With the port closed the rotation goes on, but a read that was not written is not logged.
  if (m_link.ReadHolding(block.start, block.count)) LogTxFrame();
  UpdateControlStates();
}

int32_t MainDialog::OnLinkDone(int32_t result, int32_t timedOut) {
  CaptureControls();
  // A good frame that answers an older or a different request is not stored: it would put
  // values into the device image under the wrong registers.
  const bool answered = result == 0 && timedOut == kLinkFrame && ReplyFitsRequest();
  if (answered) {
    m_status = kSuccessText;
    Increment(m_link.m_successCount);
    if (m_link.m_successCount == 0) m_link.m_failureCount = 0;
    DecodeReply();
  } else {
    Increment(m_link.m_failureCount);
    Increment(m_rxCount);
    if (timedOut == kLinkException) {
      // The meter refused the request: say why, and log the refusal as it came.
      m_status = ExceptionText(result);
      m_rxLog = Printf("第 %d 次接收失败(Hex) : ", m_rxCount);
      m_link.DumpRx(m_rxLog);
    } else {
      m_status = kFailureText;
      m_rxLog = Printf("第 %d 次接收失败", m_rxCount);
    }
  }
  RefreshDisplay();
  UpdateControlStates();
  m_records->TransactionEnded(result, timedOut, answered);
  // A write's echo is followed by its read-back (journaled after the write it checks), which a
  // held-back clear waits for in turn.
  bool readingBack = false;
  if (m_writeCheck.kind != WriteCheck::Kind::None) {
    readingBack = CheckWrite(answered);
    RefreshDisplay();
    UpdateControlStates();
  }

  // The event-log clear waited for this completion so that it would not replace the transaction
  // that was outstanding; the link is idle now.
  if (m_clearPending && !readingBack) {
    m_clearPending = false;
    SendClearEvents();
  }
  return 0;
}

void MainDialog::LogTxFrame() {
  m_records->RequestLogged();
  Increment(m_txCount);
  m_txLog = Printf("第 %d 次发送信息帖(Hex) : ", m_txCount);
  m_link.DumpTx(m_txLog);
  RefreshDisplay();
}

void MainDialog::LogSend(bool sent) {
  if (sent) {
    LogTxFrame();
    return;
  }
  m_status = NotSentText();
  RefreshDisplay();
}

std::string MainDialog::NotSentText() const {
  if (m_link.m_isOpen) return kNotWrittenText;
  if (m_lineWatch.shown.fault == LineFault::None) return kPortClosedText;
  return std::string(kPortClosedText) + "：" + LineErrorText(PortLabel(), m_lineWatch.shown);
}

void MainDialog::UpdateControlStates() {
  const bool idle = m_autoPoll == 0 && m_link.m_ticks == 0;
  const bool open = m_link.m_isOpen != 0;
  for (int id : kIdleOnlyButtons) {
    const bool writes = std::find(std::begin(kWriteButtons), std::end(kWriteButtons), id) !=
                        std::end(kWriteButtons);
    m_window.EnableControl(id, idle && (open || !writes));
  }
  for (int id : kParamsButtons) m_window.EnableControl(id, idle && open && m_paramsValid == 1);
  // Never disabled while the port is open: it asks before it clears anything.
  m_window.EnableControl(IDC_CLEAR_EVENTS, open);
  m_window.SetText(IDC_AUTO_POLL, m_autoPoll != 0 ? kPauseCaption : kResumeCaption);
}

void MainDialog::OnResetCounters() {
  CaptureControls();
  m_autoPoll = 0;
  m_link.m_successCount = 0;
  m_link.m_failureCount = 0;
  m_rxCount = 0;
  m_txCount = 0;
  m_rxLog.clear();
  m_txLog.clear();
  m_status.clear();
  RefreshDisplay();
  UpdateControlStates();
}

void MainDialog::OnClearTxLog() {
  CaptureControls();
  m_txLog.clear();
  RefreshDisplay();
  UpdateControlStates();
}

void MainDialog::OnClearRxLog() {
  CaptureControls();
  m_rxLog.clear();
  RefreshDisplay();
  UpdateControlStates();
}

void MainDialog::OnToggleAutoPoll() {
  m_autoPoll = m_autoPoll == 0 ? 1 : 0;
  UpdateControlStates();
}

void MainDialog::OnFieldFocus() {
  CaptureControls();
  m_autoPoll = 0;
  RefreshDisplay();
  UpdateControlStates();
}

void MainDialog::OnOK() { m_autoPoll = 0; }

// The new port and line settings reach the line only through a fresh open. A block read before
// belongs to another meter when the line changed, or when the port had been closed (lost, or
// never opened): the device behind the name may be another now.
void MainDialog::OnCommSettingChanged() {
  CaptureControls();
  const bool wasOpen = m_link.m_isOpen != 0;
  const bool changed = ApplyHostSettings();
  m_link.Close();
  m_link.Open();
  if (changed || !wasOpen) InvalidateParameters();
  if (m_link.m_isOpen) m_records->LineReopened();
  ReportOpen();
  m_link.m_successCount = 0;
  m_link.m_failureCount = 0;
  RefreshDisplay();
  UpdateControlStates();
}

void MainDialog::OnAddressChanged() {
  CaptureControls();
  RefreshDisplay();
  UpdateControlStates();
}
