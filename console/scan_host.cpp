// The console's side of a bus scan: the scan borrows the console's port and gives it back as it
// was, or the operator adopts a meter found and the console switches to it.
#include "console/scan_host.h"

#include "console/main_dialog.h"
#include "console/record_keeper.h"

std::vector<PortEntry> ConsoleScanHost::ScanPorts() {
  m_dialog.RefreshPortList();
  return m_dialog.m_portEntries;
}

std::string ConsoleScanHost::PortInUse() const { return m_dialog.m_link.PortId(); }

ScanSetting ConsoleScanHost::SettingInUse() const {
  const ModbusLink& link = m_dialog.m_link;
  return {link.m_baudRate, link.m_parity, static_cast<uint8_t>(link.m_protocol == 1 ? 1 : 0)};
}

int ConsoleScanHost::AddressInUse() const { return m_dialog.m_link.m_slaveAddress; }

// Polling is paused while the scan window is open; a transaction still outstanding ends first, so
// that no reply of the console's is lost and no probe is taken for its answer.
bool ConsoleScanHost::LendPort(const std::string& portId) {
  if (portId != m_dialog.m_link.PortId()) return true;
  if (m_dialog.m_link.m_ticks != 0) return false;
  m_dialog.m_link.Close();
  m_dialog.m_portLent = true;
  return true;
}

// The same line as before the scan: the block read from the meter addressed stays valid.
void ConsoleScanHost::ReturnPort() {
  if (!m_dialog.m_portLent) return;
  m_dialog.m_portLent = false;
  m_dialog.m_link.Reopen();
  if (m_dialog.m_link.m_isOpen) m_dialog.m_records->LineReopened();
  m_dialog.ReportOpen();
  m_dialog.RefreshDisplay();
  m_dialog.UpdateControlStates();
}

// As when the operator chooses each of the host settings and leaves the list: another line, so the
// block read before is no longer this meter's; then its block is read.
void ConsoleScanHost::Adopt(const std::string& portId, const ScanFinding& meter) {
  MainDialog& d = m_dialog;
  d.m_portLent = false;
  d.m_link.Close();
  d.ApplyPortId(portId);
  d.m_link.m_protocol = meter.meterProtocol;
  d.m_link.m_slaveAddress = meter.meterAddress;
  d.m_link.m_baudRate = meter.meterBaud;
  d.m_link.m_parity = meter.meterParity;
  d.m_link.m_dataBits = meter.meterDataBits;
  d.m_link.m_stopBits = meter.meterStopBits == 1 ? 1 : 2;
  d.m_link.Open();
  if (d.m_link.m_isOpen) d.m_records->LineReopened();
  d.InvalidateParameters();
  d.m_link.m_successCount = 0;
  d.m_link.m_failureCount = 0;
  d.ReportOpen();
  d.RefreshDisplay();
  if (d.m_link.m_isOpen) d.ReadParameterBlock();
  d.UpdateControlStates();
}
