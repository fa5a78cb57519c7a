#include <string>

#include "console/main_dialog.h"

namespace {

constexpr const char* kClearEventsQuestion = "确定清除仪表中的全部事件记录吗？此操作不可恢复。";

// The meter keeps 64 places; the offset counts without bound and is taken modulo 64.
uint16_t EventIndex(int32_t offset) {
  return static_cast<uint16_t>(static_cast<uint32_t>(offset) & 0x3F);
}

// The offset steps as a two's-complement counter, so no press count can overflow it.
int32_t Stepped(int32_t offset, uint32_t step) {
  return static_cast<int32_t>(static_cast<uint32_t>(offset) + step);
}

}  // namespace

// "当前事件".
void MainDialog::OnCurrentEvent() {
  if (!EditorsAllowSend()) return;
  CaptureControls();
  m_eventOffset = 0;
  LogSend(m_link.ReadEvent(0));
  UpdateControlStates();
}

// "上一事件".
void MainDialog::OnPreviousEvent() {
  if (!EditorsAllowSend()) return;
  CaptureControls();
  m_eventOffset = Stepped(m_eventOffset, ~0u);
  LogSend(m_link.ReadEvent(EventIndex(m_eventOffset)));
  UpdateControlStates();
}

// "下一事件".
void MainDialog::OnNextEvent() {
  if (!EditorsAllowSend()) return;
  CaptureControls();
  m_eventOffset = Stepped(m_eventOffset, 1);
  LogSend(m_link.ReadEvent(EventIndex(m_eventOffset)));
  UpdateControlStates();
}

// "清事件" destroys the meter's record of why its outputs switched, so it asks first, before
// anything else; 否 (the default, Enter and Escape too) changes nothing at all. It then ends
// continuous reading. A poll still outstanding then is let finish: the clear goes out from the
// completion handler once that reply has been handled, so the reply is neither replaced by the
// clear nor able to refill the event fields after they have been emptied. A second press while a
// clear is held back joins it, so one clear goes out.
void MainDialog::OnClearEvents() {
  if (!m_window.Ask(kClearEventsQuestion)) return;
  if (!EditorsAllowSend()) return;
  CaptureControls();
  m_eventOffset = 0;
  if (m_autoPoll != 0) {
    m_autoPoll = 0;
    if (m_link.m_ticks != 0) m_clearPending = true;
  }
  if (m_clearPending) {
    RefreshDisplay();
    UpdateControlStates();
    return;
  }
  SendClearEvents();
}

// The event fields are emptied only when the clear reached the line.
void MainDialog::SendClearEvents() {
  m_clearPending = false;
  if (!m_link.ClearEvents()) {
    LogSend(false);
    UpdateControlStates();
    return;
  }
  m_eventOffset = 0;
  m_eventSeq = 0;
  for (std::string* text :
       {&m_eventDate, &m_eventTime, &m_eventName, &m_eventU1, &m_eventU2, &m_eventU3, &m_eventI1,
        &m_eventI2, &m_eventI3, &m_eventYx, &m_eventYk}) {
    text->clear();
  }
  LogTxFrame();
  UpdateControlStates();
}
