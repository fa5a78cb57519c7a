#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/port_catalog.h"
#include "link/serial_port.h"
#include "scan/scanner.h"
#include "window/dialog_window.h"

// What the scan window needs of the console: its ports and line, its port while the scan uses it,
// and a meter to switch to.
class ScanHost {
 public:
  // The port list's entries, brought up to date.
  virtual std::vector<PortEntry> ScanPorts() = 0;
  virtual std::string PortInUse() const = 0;
  virtual ScanSetting SettingInUse() const = 0;
  virtual int AddressInUse() const = 0;
  // The console lets the scan have the port when it is its own: it closes it and stops trying it
  // again. False while a transaction is outstanding: asked again at the next tick.
  virtual bool LendPort(const std::string& portId) = 0;
  // The port lent comes back as it was.
  virtual void ReturnPort() = 0;
  // The console switches to the meter found on that port and reads its parameter block.
  virtual void Adopt(const std::string& portId, const ScanFinding& meter) = 0;

 protected:
  ~ScanHost() = default;
};

// The scan window (template 104): what to try, 开始/停止, progress and results, 采用. The scan runs
// on a thread of its own; the window's timer takes in what it found.
class ScanWindow : public ChildDialog {
 public:
  explicit ScanWindow(ScanHost& host);
  ~ScanWindow();
  ScanWindow(const ScanWindow&) = delete;
  ScanWindow& operator=(const ScanWindow&) = delete;

  // Tests: the line and clock the scan uses, instead of the platform's.
  std::function<std::unique_ptr<SerialLine>()> m_lineFactory;
  std::function<std::unique_ptr<ScanClock>()> m_clockFactory;

  void Attach(DialogWindow* window) override;
  void OnNotify(int controlId, Notification code) override;
  void OnTimerMessage(int timerId) override;
  void OnPostedMessage(uint32_t, int32_t, int32_t) override {}
  void OnOK() override {}
  void OnSysCommand(uint32_t) override {}

  bool Running() const { return m_thread.joinable(); }
  const std::vector<ScanFinding>& Findings() const { return m_findings; }

 private:
  // What the scan's thread hands to the window, taken in at each tick.
  struct Event {
    enum class Kind : uint8_t { Progress, Found, Finished } kind = Kind::Progress;
    size_t done = 0, total = 0;
    int64_t remainingMs = 0;
    ScanFinding finding;
    ScanEnd end = ScanEnd::Completed;
    LineError error;
    std::string reason;
  };
  class Relay;

  void Start();
  void StopAndWait();
  void TakeEvents();
  void Finish(const Event& finished);
  void AdoptSelected();
  std::optional<ScanRequest> RequestFromFields();
  void ShowRunning(bool running);
  void ShowResults();
  void Say(const std::string& text);

  ScanHost& m_host;
  DialogWindow* m_window = nullptr;
  std::vector<PortEntry> m_ports;
  ScanRequest m_request;
  bool m_startWaiting = false;  // 开始 pressed while the console's transaction was outstanding
  bool m_lent = false;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
  std::mutex m_mutex;
  std::vector<Event> m_events;  // guarded by m_mutex
  std::vector<ScanFinding> m_findings;
  size_t m_meters = 0;
  size_t m_done = 0, m_total = 0;  // probes tried and planned, as last reported
};
