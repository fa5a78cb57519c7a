// Placeholder until this unit is written.
#include "console/main_dialog.h"

void MainDialog::OnTimer(int) {}
int32_t MainDialog::OnLinkDone(int32_t, int32_t) { return 0; }
void MainDialog::LogTxFrame() {}
void MainDialog::UpdateControlStates() {}
void MainDialog::OnResetCounters() {}
void MainDialog::OnClearTxLog() {}
void MainDialog::OnClearRxLog() {}
void MainDialog::OnToggleAutoPoll() {}
void MainDialog::OnFieldFocus() {}
void MainDialog::OnOK() {}
void MainDialog::OnCommSettingChanged() {}
void MainDialog::OnAddressChanged() {}
