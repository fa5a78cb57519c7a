// Placeholder until this unit is written.
#include "console/main_dialog.h"

void MainDialog::OnCurrentEvent() {}
void MainDialog::OnPreviousEvent() {}
void MainDialog::OnNextEvent() {}
void MainDialog::OnClearEvents() {}
void MainDialog::SendClearEvents() {}
