// Placeholder until the templates are written.
#include "resources/dialog_templates.h"

namespace {
const ControlTemplate kMainControls[] = {
    {IDOK, ControlKind::DefPushButton, "确定", 0, 0, 1, 1, kHidden, {}, nullptr},
};
const DialogTemplate kMain = {IDD_MAIN, "Quorvel", 503, 374, "MS Sans Serif", 8, kMainControls};
const DialogTemplate kAbout = {IDD_ABOUTBOX, "关于Quorvel", 217, 55, "MS Sans Serif", 8, {}};
}  // namespace

const DialogTemplate& MainDialogTemplate() { return kMain; }
const DialogTemplate& AboutDialogTemplate() { return kAbout; }
const char* LoadResourceString(int id) { return id == IDS_ABOUTBOX ? "关于Quorvel" : ""; }
const ControlTemplate* FindControl(const DialogTemplate& dialog, int id) {
  for (const ControlTemplate& c : dialog.controls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}
