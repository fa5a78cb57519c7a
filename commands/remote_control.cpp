// Placeholder until this unit is written.
#include "console/main_dialog.h"

void MainDialog::OnReadYx() {}
void MainDialog::OnReadYk() {}
void MainDialog::OnExecuteYk() {}
