// Placeholder until this unit is written.
#include "console/main_dialog.h"

void MainDialog::RefreshDisplay() { PushFields(); }
std::string MainDialog::FormatPeriod(uint16_t) const { return {}; }
