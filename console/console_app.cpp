// Start-up, the About box and shutdown of the console, on whatever window the host provides.
#include "console/console_app.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "console/host_settings.h"
#include "console/main_dialog.h"
#include "console/record_keeper.h"
#include "device/text_format.h"

namespace {

// The longest module path the caption takes: a Windows path buffer of MAX_PATH characters.
constexpr size_t kMaxPathChars = 260;
constexpr uint32_t kSysCommandMask = 0xFFF0;  // the low four bits belong to the window manager

}  // namespace

bool MainDialog::OnInitDialog() {
  // The window has already filled its lists, added the About item and set the icon.
  m_link.m_notifyWnd = &m_window;
  m_link.m_protocol = kProtocolRtu;
  m_link.SetDefaults();
  if (m_startSettings) ApplyStartSettings(*m_startSettings);
  RefreshPortList();
  m_link.Open();  // a port that does not open shows as " 打不开 " in the settings summary
  ReportOpen();   // and 提示信息 says why
  // The capture and the data log asked for at start begin before the first request.
  if (!m_startTrace.empty()) m_records->StartCapture(m_startTrace);
  if (!m_startLog.empty()) m_records->StartDataLog(m_startLog);
  m_records->UpdateMenu();
  // Settings that could not be taken from the file are said first.
  if (!m_startNotice.empty()) {
    m_status = m_status.empty() ? m_startNotice : m_startNotice + "；" + m_status;
  }

  m_timerId = 1;
  m_timerId = m_window.SetTimer(1, m_link.m_timerPeriod);
  if (m_timerId == 0) {
    m_window.MessageBox("Set timer error !");
    return false;
  }

  m_rxCount = 0;
  m_txCount = 0;
  m_link.m_successCount = 0;
  m_link.m_failureCount = 0;
  std::memset(m_link.m_rxBuf, 0, sizeof m_link.m_rxBuf);
  std::memset(m_link.m_txBuf, 0, sizeof m_link.m_txBuf);

  LoadRegisterTable();
  m_paramsValid = 0;
  m_autoPoll = 1;

  // The first transaction of every run reads the parameter block, as "读参数" does; with the port
  // closed nothing could go out, and 提示信息 keeps the reason the port did not open.
  if (m_link.m_isOpen) ReadParameterBlock();
  RefreshDisplay();
  UpdateControlStates();

  m_modulePath = TruncateUtf8(m_window.ModuleFileName(), kMaxPathChars);
  m_window.SetCaption(m_modulePath);
  return true;
}

void MainDialog::ApplyStartSettings(const HostSettings& settings) {
  m_link.m_protocol = settings.protocol;
  m_link.m_slaveAddress = settings.address;
  ApplyPortId(settings.port);
  m_link.m_baudRate = settings.baud;
  m_link.m_parity = settings.parity;
  m_link.m_dataBits = settings.dataBits;
  m_link.m_stopBits = settings.stopBits;
}

HostSettings MainDialog::HostSettingsInUse() const {
  return {m_link.m_protocol, m_link.m_slaveAddress, m_link.PortId(), m_link.m_baudRate,
          m_link.m_parity,   m_link.m_dataBits,     static_cast<uint8_t>(m_link.m_stopBits & 1 ? 1 : 2)};
}

void MainDialog::LoadRegisterTable() {
  std::copy(RegisterTable.begin(), RegisterTable.end(), m_regTable);
  m_regIndex = kParameterFirst;  // register 0x300, the first of the parameter block
}

void MainDialog::OnSysCommand(uint32_t command) {
  if ((command & kSysCommandMask) == static_cast<uint32_t>(IDM_ABOUTBOX)) m_window.ShowAboutBox();
}

// The timer ends with the window, and the port is closed when the dialog object is destroyed.
// A write still outstanding is journaled as unconfirmed, and the records' files are finished.
void MainDialog::OnDestroy() { m_records->Close(); }

int ConsoleApp::InitInstance() {
  DialogWindow& window = m_host.Window();
  MainDialog dialog(window);
  window.SetHandler(&dialog);
  const std::string settingsFile = HostSettingsPath();
  if (!m_options.defaults) {
    LoadedHostSettings loaded = LoadHostSettings(settingsFile);
    dialog.m_startSettings = loaded.settings;
    dialog.m_startNotice = loaded.notice;
    if (!loaded.notice.empty()) std::fprintf(stderr, "quorvel: %s\n", loaded.notice.c_str());
  }
  dialog.m_startTrace = m_options.trace;
  dialog.m_startLog = m_options.log;
  int exitCode = 0;
  if (dialog.OnInitDialog()) {
    m_host.RunModal();
    dialog.OnDestroy();
    // A clean end: the line in use is what the next run starts with.
    if (!m_options.defaults) {
      if (const auto failed = SaveHostSettings(settingsFile, dialog.HostSettingsInUse())) {
        std::fprintf(stderr, "quorvel: the host settings were not saved: %s\n", failed->c_str());
      }
    }
  } else {
    exitCode = -1;
  }
  // The window must not call into the dialog once it is gone.
  window.SetHandler(nullptr);
  return exitCode;
}
