// Prints how many Shift+Tab presses move the keyboard focus to the control given, from where it
// lands when the window opens or from the control given second, counting the visible controls
// with a tab stop of template 102 (all of them enabled), or with --scan of the scan window's
// template 104. The end-to-end tests press exactly that many.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "resources/dialog_templates.h"

namespace {

// The place of a control in the tab order, or -1.
int PlaceOf(const std::vector<int>& stops, int id) {
  for (size_t k = 0; k < stops.size(); ++k) {
    if (stops[k] == id) return static_cast<int>(k);
  }
  std::fprintf(stderr, "tab_steps: control %d takes no focus\n", id);
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  const bool scan = argc > 1 && std::strcmp(argv[1], "--scan") == 0;
  if (scan) {
    --argc;
    ++argv;
  }
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: tab_steps [--scan] CONTROL_ID [FROM_CONTROL_ID]\n");
    return 2;
  }
  std::vector<int> stops;
  for (const ControlTemplate& c : (scan ? ScanDialogTemplate() : MainDialogTemplate()).controls) {
    if (c.id != IDC_STATIC && (c.style & (kHidden | kTabStop)) == kTabStop) stops.push_back(c.id);
  }
  const int to = PlaceOf(stops, std::atoi(argv[1]));
  const int from = argc == 3 ? PlaceOf(stops, std::atoi(argv[2])) : 0;
  if (to < 0 || from < 0) return 1;
  const int count = static_cast<int>(stops.size());
  std::printf("%d\n", ((from - to) % count + count) % count);
  return 0;
}
