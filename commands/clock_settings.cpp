// Placeholder until this unit is written.
#include "console/main_dialog.h"

void MainDialog::OnSyncClock() {}
void MainDialog::OnPeriodEdited(int) {}
void MainDialog::OnSlaveSettingsEdited() {}
int32_t MainDialog::ParsePeriod(const std::string&) const { return 0; }
void MainDialog::ParseSlaveSettings(const std::string&) {}
