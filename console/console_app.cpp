// Placeholder until this unit is written.
#include "console/main_dialog.h"

bool MainDialog::OnInitDialog() { return true; }
void MainDialog::OnDestroy() {}
void MainDialog::OnSysCommand(uint32_t) {}
#include "console/console_app.h"
int ConsoleApp::InitInstance() { return 0; }
