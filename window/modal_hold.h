#pragma once

#include <functional>
#include <map>

// The boxes open over a family of windows: a dialog and the dialogs run over it. A message box or
// file chooser raised inside a handler of any of them holds the ticks and posted messages of every
// one of them until it closes, so no handler of the family runs inside another (a child dialog's
// tick inside the main dialog's handler, or the other way round). Each window of the family joins
// with a way to hand on the messages that waited, which it is asked to do whenever a box closes.
class ModalHold {
 public:
  // Returns the member's key, for Leave.
  int Join(std::function<void()> resume);
  void Leave(int member);
  void Begin() { ++m_boxes; }
  void End();
  bool Held() const { return m_boxes > 0; }

 private:
  int m_boxes = 0;
  int m_nextMember = 0;
  std::map<int, std::function<void()>> m_resume;
};
