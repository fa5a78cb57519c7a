#pragma once

#include <cstdint>

// The completion message with which the link reports a finished transaction (WM_USER + 200).
constexpr uint32_t WM_LINK_DONE = 0x04C8;

// Its lParam: how the transaction ended. wParam is, in turn, the received minus the computed CRC
// (0 for a good frame), the bytes assembled when the time ran out, or the meter's exception code.
constexpr int32_t kLinkFrame = 0;      // a whole frame answered the request
constexpr int32_t kLinkTimedOut = 1;   // no whole answer came in time
constexpr int32_t kLinkException = 2;  // the meter refused the request with an exception reply

// What the link needs of the window that receives its completions: a message posted to the
// window's own queue, handled later on the same thread, never inside the caller.
class LinkNotifyTarget {
 public:
  virtual void PostMessage(uint32_t message, int32_t wParam, int32_t lParam) = 0;

 protected:
  ~LinkNotifyTarget() = default;
};
