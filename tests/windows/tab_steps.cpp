// Prints how many Shift+Tab presses move the keyboard focus from where it lands when the window
// opens to the control given, counting the visible controls with a tab stop of template 102 (all
// of them enabled). The end-to-end test presses exactly that many.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "resources/dialog_templates.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tab_steps CONTROL_ID\n");
    return 2;
  }
  const int target = std::atoi(argv[1]);
  std::vector<int> stops;
  for (const ControlTemplate& c : MainDialogTemplate().controls) {
    if (c.id != IDC_STATIC && (c.style & (kHidden | kTabStop)) == kTabStop) stops.push_back(c.id);
  }
  for (size_t k = 0; k < stops.size(); ++k) {
    if (stops[k] == target) {
      std::printf("%zu\n", (stops.size() - k) % stops.size());
      return 0;
    }
  }
  std::fprintf(stderr, "tab_steps: control %d takes no focus\n", target);
  return 1;
}
