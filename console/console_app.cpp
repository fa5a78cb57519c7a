// Placeholder until this unit is written.
#include "console/main_dialog.h"

bool MainDialog::OnInitDialog() { return true; }
void MainDialog::OnDestroy() {}
