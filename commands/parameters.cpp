// Placeholder until this unit is written.
#include "console/main_dialog.h"

void MainDialog::OnReadParameters() {}
void MainDialog::OnWriteParameters() {}
void MainDialog::OnParameterEdited(int) {}
