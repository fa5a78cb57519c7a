#include "window/win32/handler_gate.h"

HandlerGate::HandlerGate(std::function<void()> scheduleDrain)
    : m_scheduleDrain(std::move(scheduleDrain)), m_member(m_hold->Join([this] { HandOnWaiting(); })) {}

HandlerGate::~HandlerGate() { m_hold->Leave(m_member); }

void HandlerGate::JoinFamilyOf(HandlerGate& owner) {
  m_hold->Leave(m_member);
  m_hold = owner.m_hold;
  m_member = m_hold->Join([this] { HandOnWaiting(); });
}

// A box of the family has closed: the messages that waited are handed on from the loop.
void HandlerGate::HandOnWaiting() {
  if (!m_posted.empty()) m_scheduleDrain();
}

template <typename Call>
void HandlerGate::Dispatch(Call call) {
  if (m_handler == nullptr || m_ended || Held()) return;
  ++m_depth;
  call();
  --m_depth;
  if (!m_posted.empty() && !Held()) m_scheduleDrain();
}

void HandlerGate::End() {
  m_ended = true;
  m_posted.clear();
}

void HandlerGate::Clicked(int id) {
  Dispatch([this, id] { m_handler->OnNotify(id, Notification::Clicked); });
}

void HandlerGate::DroppedDown(int id) {
  Dispatch([this, id] { m_handler->OnNotify(id, Notification::DropDown); });
}

void HandlerGate::OK() {
  Dispatch([this] { m_handler->OnOK(); });
}

void HandlerGate::SysCommand(uint32_t command) {
  Dispatch([this, command] { m_handler->OnSysCommand(command); });
}

void HandlerGate::MenuCommand(int commandId) {
  Dispatch([this, commandId] { m_handler->OnMenuCommand(commandId); });
}

void HandlerGate::FocusGained(int id) {
  if (m_ended || Held() || id == m_focusId) return;
  const int previous = std::exchange(m_focusId, id);
  if (previous != 0)
    Dispatch([this, previous] { m_handler->OnNotify(previous, Notification::KillFocus); });
  Dispatch([this, id] { m_handler->OnNotify(id, Notification::SetFocus); });
}

void HandlerGate::FocusLost(int id, bool focusStaysInWindow) {
  if (m_ended || Held() || id != m_focusId || !focusStaysInWindow) return;
  m_focusId = 0;
  Dispatch([this, id] { m_handler->OnNotify(id, Notification::KillFocus); });
}

// A tick that comes while a handler or a message box holds the dialog is dropped, not saved up.
void HandlerGate::Tick(int timerId) {
  if (m_ended || Held()) return;
  Drain();  // a completion posted before this tick is handled before it
  Dispatch([this, timerId] { m_handler->OnTimerMessage(timerId); });
}

void HandlerGate::Post(uint32_t message, int32_t wParam, int32_t lParam) {
  if (m_ended) return;
  m_posted.push_back({message, wParam, lParam});
}

void HandlerGate::Drain() {
  while (!m_posted.empty() && m_handler != nullptr && !m_ended && !Held()) {
    const Posted p = m_posted.front();
    m_posted.pop_front();
    Dispatch([this, p] { m_handler->OnPostedMessage(p.message, p.wParam, p.lParam); });
  }
}
