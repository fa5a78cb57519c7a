#pragma once

#include <cstdint>

// The completion message with which the link reports a finished transaction (WM_USER + 200).
constexpr uint32_t WM_LINK_DONE = 0x04C8;

// What the link needs of the window that receives its completions: a message posted to the
// window's own queue, handled later on the same thread, never inside the caller.
class LinkNotifyTarget {
 public:
  virtual void PostMessage(uint32_t message, int32_t wParam, int32_t lParam) = 0;

 protected:
  ~LinkNotifyTarget() = default;
};
