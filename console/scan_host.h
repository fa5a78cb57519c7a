#pragma once

#include "console/scan_window.h"

class MainDialog;

// The console as the scan window sees it: the port list, the line in use, the port lent while the
// scan uses it, and the meter adopted.
class ConsoleScanHost : public ScanHost {
 public:
  explicit ConsoleScanHost(MainDialog& dialog) : m_dialog(dialog) {}

  std::vector<PortEntry> ScanPorts() override;
  std::string PortInUse() const override;
  ScanSetting SettingInUse() const override;
  int AddressInUse() const override;
  bool LendPort(const std::string& portId) override;
  void ReturnPort() override;
  void Adopt(const std::string& portId, const ScanFinding& meter) override;

 private:
  MainDialog& m_dialog;
};
