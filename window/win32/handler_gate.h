#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <utility>

#include "window/dialog_window.h"
#include "window/modal_hold.h"

// The order in which a window hands its input to the dialog, as the dialog framework guarantees
// it: one handler at a time, never one inside another; posted messages first in, first out,
// before the next tick and never inside a handler; a message box raised inside a handler holds
// ticks (dropped) and posted messages (kept) until it closes, and so does one raised in a dialog
// run over this one or under it; focus gained and lost as moves between the dialog's own
// controls. Toolkit-neutral: the Windows window feeds it its messages.
class HandlerGate {
 public:
  // scheduleDrain asks the window to call Drain() later from its message loop, outside any
  // handler.
  explicit HandlerGate(std::function<void()> scheduleDrain);
  ~HandlerGate();
  HandlerGate(const HandlerGate&) = delete;
  HandlerGate& operator=(const HandlerGate&) = delete;

  void SetHandler(DialogHandler* handler) { m_handler = handler; }
  // This gate's dialog runs over the owner's (a child dialog): a box raised in either holds both.
  void JoinFamilyOf(HandlerGate& owner);
  // After the run no handler is called and nothing posted is kept.
  void End();
  bool Ended() const { return m_ended; }

  void Clicked(int id);
  // A list is about to show its entries.
  void DroppedDown(int id);
  void OK();
  void SysCommand(uint32_t command);
  void MenuCommand(int commandId);
  // A control of the dialog gained the focus.
  void FocusGained(int id);
  // A control lost the focus; focusStaysInWindow tells whether it went to the dialog or one of
  // its controls, rather than to another window (a message box, the About box, another program).
  // A control that loses the focus with the whole window keeps it for the dialog: its loss is
  // reported when the operator moves on to another control.
  void FocusLost(int id, bool focusStaysInWindow);
  void Tick(int timerId);
  void Post(uint32_t message, int32_t wParam, int32_t lParam);
  // Handles the posted messages now waiting, unless a handler or a message box holds them.
  void Drain();

  // A message box or file chooser shown from inside a handler of this dialog or of its family.
  void BeginMessageBox() { m_hold->Begin(); }
  void EndMessageBox() { m_hold->End(); }
  // A modal box opened outside the dialog's logic (the About box): ticks and posted messages go
  // on while it is open. Returns what Resume needs.
  int SuspendForModalBox() { return std::exchange(m_depth, 0); }
  void ResumeAfterModalBox(int depth) { m_depth = depth; }

  bool Held() const { return m_depth > 0 || m_hold->Held(); }
  size_t PendingMessages() const { return m_posted.size(); }
  int FocusedControl() const { return m_focusId; }

 private:
  struct Posted {
    uint32_t message;
    int32_t wParam;
    int32_t lParam;
  };
  template <typename Call>
  void Dispatch(Call call);
  void HandOnWaiting();

  std::function<void()> m_scheduleDrain;
  DialogHandler* m_handler = nullptr;
  std::deque<Posted> m_posted;
  int m_depth = 0;
  std::shared_ptr<ModalHold> m_hold = std::make_shared<ModalHold>();
  int m_member = 0;  // this gate's key in m_hold
  int m_focusId = 0;  // the control whose focus gain was reported and whose loss is still to come
  bool m_ended = false;
};
