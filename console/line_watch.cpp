// The console's watch over its serial line: the reason a port could not be opened, a device
// that went away while open, and the retries that bring the port back.
#include "console/line_watch.h"

#include "console/main_dialog.h"
#include "console/record_keeper.h"

namespace {

constexpr int32_t kRetryPeriodMs = 1000;  // a closed port is tried again about once a second

constexpr const char* kLostText = "串口已断开";
constexpr const char* kBackText = "串口已重新打开";

const char* ReasonText(LineFault fault) {
  switch (fault) {
    case LineFault::Missing:
      return "设备不存在";
    case LineFault::NoPermission:
      return "无权访问，请将当前用户加入 dialout 组后重新登录";
    case LineFault::Busy:
      return "端口被占用";
    case LineFault::NotSerial:
      return "不是串口设备";
    default:
      return nullptr;
  }
}

}  // namespace

std::string LineBackText(const std::string& port, const std::string& device) {
  return std::string(kBackText) + "：" + port + "（" + device + "）";
}

std::string LineErrorText(const std::string& port, const LineError& error) {
  if (error.fault == LineFault::Lost) return kLostText;
  // Built by concatenation: a /dev/serial/by-id name alone can fill a printf-sized text.
  std::string text = port + "（" + error.device + "）：";
  const char* reason = ReasonText(error.fault);
  if (reason != nullptr) return text + reason;
  return text + "打不开（错误 " + std::to_string(error.code) + "）";
}

// Once per tick, before the receiver runs: an open line is asked whether its device is still
// there; a closed one is tried again every second with the link's settings as they stand.
void MainDialog::WatchLine() {
  if (m_lineWatch.noticePending) {
    m_lineWatch.noticePending = false;
    ShowNotice(LineErrorText(PortLabel(), m_lineWatch.shown));
  }
  if (m_link.m_isOpen) {
    if (m_link.LineLost()) OnLineLost();
    return;
  }
  if (m_portLent) return;  // a bus scan has it; it comes back when the scan ends
  const int32_t retryTicks = m_link.m_timerPeriod > 0 ? kRetryPeriodMs / m_link.m_timerPeriod : 1;
  if (++m_lineWatch.ticksClosed < retryTicks) return;
  m_lineWatch.ticksClosed = 0;
  m_link.Reopen();
  if (m_link.m_isOpen) {
    OnLineBack();
  } else if (ShouldShowLineError(m_link.LastError())) {
    m_lineWatch.shown = m_link.LastError();
    ShowNotice(LineErrorText(PortLabel(), m_lineWatch.shown));
  }
}

// The port is already closed; polling state and counters stay as they are. The transaction
// outstanding ends as the link's own time-out ends one, posted with the bytes received so far
// and counted once by the completion handler; "串口已断开" follows on the next tick, after that
// handler has written its own outcome.
void MainDialog::OnLineLost() {
  m_lineWatch.lost = true;
  m_lineWatch.ticksClosed = 0;
  m_lineWatch.shown = m_link.LastError();
  // A frame cut by the loss is never completed by bytes from a new line; what was held goes to
  // the link's observer as cut by the loss.
  const int32_t received = m_link.AbandonOnLoss();
  if (received >= 0) {
    m_window.PostMessage(WM_LINK_DONE, received, kLinkTimedOut);
    m_lineWatch.noticePending = true;
    return;
  }
  ShowNotice(LineErrorText(PortLabel(), m_lineWatch.shown));
}

// Polling carries on where it was. After a loss or a failed open the parameter block read before
// is no longer trusted: the device may now reach another bus.
void MainDialog::OnLineBack() {
  InvalidateParameters();
  RefreshPortList();  // an adapter back under another kernel name has another name
  m_lineWatch = {};
  m_records->LineReopened();
  ShowNotice(LineBackText(PortLabel(), m_link.LastError().device));
}

// After an open the operator caused (start-up, a change of the line settings): a failure says
// why at once, whatever was shown before, and retries start from here. The caller refreshes the
// window.
void MainDialog::ReportOpen() {
  m_lineWatch.ticksClosed = 0;
  m_lineWatch.noticePending = false;
  if (m_link.m_isOpen) {
    if (m_lineWatch.lost || m_lineWatch.shown.fault != LineFault::None) {
      m_status = LineBackText(PortLabel(), m_link.LastError().device);
    }
    m_lineWatch = {};
    return;
  }
  m_lineWatch.shown = m_link.LastError();
  m_status = LineErrorText(PortLabel(), m_lineWatch.shown);
}

// A retry that fails as the last one did says nothing new. After a loss, a device that is
// missing is what "串口已断开" already says.
bool MainDialog::ShouldShowLineError(const LineError& error) const {
  if (error == m_lineWatch.shown) return false;
  return !(m_lineWatch.lost && error.fault == LineFault::Missing);
}

// Outside any operator handler: the fields are captured first, so that the refresh puts back
// what the window holds.
void MainDialog::ShowNotice(const std::string& text) {
  CaptureControls();
  m_status = text;
  RefreshDisplay();
  UpdateControlStates();
}
