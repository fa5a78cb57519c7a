#include "window/modal_hold.h"

#include <utility>

int ModalHold::Join(std::function<void()> resume) {
  m_resume[m_nextMember] = std::move(resume);
  return m_nextMember++;
}

void ModalHold::Leave(int member) { m_resume.erase(member); }

// Each window only asks for its messages to be handed on from its own loop later: no handler runs
// here, inside the code that closed the box.
void ModalHold::End() {
  --m_boxes;
  for (const auto& [member, resume] : m_resume) resume();
}
