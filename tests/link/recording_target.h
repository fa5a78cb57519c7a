#pragma once

#include <cstdint>
#include <vector>

#include "link/link_notify.h"

struct Posted {
  uint32_t message;
  int32_t wParam;
  int32_t lParam;
  bool operator==(const Posted&) const = default;
};

// Stands in for the dialog: keeps every message the link posts, in order.
class RecordingTarget : public LinkNotifyTarget {
 public:
  void PostMessage(uint32_t message, int32_t wParam, int32_t lParam) override {
    posted.push_back({message, wParam, lParam});
  }
  std::vector<Posted> posted;
};

inline Posted Done(int32_t wParam, int32_t lParam) { return {WM_LINK_DONE, wParam, lParam}; }
