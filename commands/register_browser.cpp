// Placeholder until this unit is written.
#include "console/main_dialog.h"

int32_t MainDialog::FindEntry(uint16_t) const { return -1; }
void MainDialog::OnReadRegister() {}
void MainDialog::OnWriteRegister() {}
void MainDialog::OnNextRegister() {}
void MainDialog::OnPreviousRegister() {}
void MainDialog::OnRegisterValueEdited(int) {}
