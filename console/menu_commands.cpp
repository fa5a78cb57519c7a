// The commands of the menu bar. A menu takes no focus, so no field has lost it: the editors of
// fields changed and not yet left run first, and a refusal stops the command.
#include "console/main_dialog.h"
#include "console/record_keeper.h"
#include "console/scan_host.h"
#include "console/scan_window.h"

void MainDialog::OnMenuCommand(int commandId) {
  // Leaving is never held back by a field's refusal: an edit not written is dropped, as Escape does.
  if (commandId == IDM_EXIT) return m_window.EndDialog();
  if (!EditorsAllowSend()) return;
  switch (commandId) {
    case IDM_TRACE_START:
      m_records->AskCapture();
      break;
    case IDM_TRACE_STOP:
      m_records->StopCapture();
      break;
    case IDM_LOG_START:
      m_records->AskDataLog();
      break;
    case IDM_LOG_STOP:
      m_records->StopDataLog();
      break;
    case IDM_OPEN_JOURNAL:
      m_records->OpenJournalFolder();
      break;
    case IDM_SCAN_BUS:
      OnScanBus();
      break;
    case IDM_SAVE_PROFILE:
      OnSaveProfile();
      break;
    case IDM_LOAD_PROFILE:
      OnLoadProfile();
      break;
    case IDM_HELP_ABOUT:
      m_window.ShowAboutBox();
      break;
    default:
      break;
  }
}

// 工具 → 扫描总线…: continuous reading pauses while the scan window is open and goes on as it was
// after it, unless a meter was adopted (its block is then being read).
void MainDialog::OnScanBus() {
  const int32_t polling = m_autoPoll;
  m_autoPoll = 0;
  UpdateControlStates();
  ConsoleScanHost host(*this);
  ScanWindow scan(host);
  if (m_scanSetup) m_scanSetup(scan);
  m_window.RunChildDialog(ScanDialogTemplate(), scan);
  if (m_portLent) host.ReturnPort();
  m_autoPoll = polling;
  RefreshDisplay();
  UpdateControlStates();
}
