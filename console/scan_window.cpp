#include "console/scan_window.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "console/line_watch.h"
#include "device/register_table.h"
#include "device/text_number.h"

namespace {

constexpr int kTickTimer = 1;
constexpr int kTickMs = 50;

struct Choice {
  int id;
  uint32_t value;
};
constexpr Choice kBaudBoxes[] = {{IDC_SCAN_BAUD_300, 300},   {IDC_SCAN_BAUD_600, 600},
                                 {IDC_SCAN_BAUD_1200, 1200}, {IDC_SCAN_BAUD_2400, 2400},
                                 {IDC_SCAN_BAUD_4800, 4800}, {IDC_SCAN_BAUD_9600, 9600},
                                 {IDC_SCAN_BAUD_19200, 19200}};
constexpr Choice kParityBoxes[] = {
    {IDC_SCAN_PARITY_NONE, 0}, {IDC_SCAN_PARITY_ODD, 1}, {IDC_SCAN_PARITY_EVEN, 2}};
constexpr Choice kProtocolBoxes[] = {{IDC_SCAN_RTU, 0}, {IDC_SCAN_ASCII, 1}};
// Fields that say what to try: fixed while a scan runs.
constexpr int kRequestFields[] = {IDC_SCAN_PORT, IDC_SCAN_FIRST_ADDRESS, IDC_SCAN_LAST_ADDRESS,
                                  IDC_SCAN_WAIT, IDC_SCAN_STOP_AT_FIRST};

constexpr const char* kChecked = "1";

std::string ResultRow(const ScanFinding& f) {
  const bool meter = f.kind == ScanFinding::Kind::ThisMeter;
  return (f.address != 0 ? std::to_string(f.address) : std::string("-")) + "\t" +
         std::to_string(f.setting.baud) + "\t" + ParityNames[f.setting.parity % 3] + "\t" +
         ProtocolNames[f.setting.protocol % 2] + "\t" + KindText(f.kind) + "\t" +
         (meter ? MeterLineText(f) : std::string());
}

std::string Remaining(size_t done, size_t total, int64_t remainingMs) {
  const int64_t seconds = (remainingMs + 999) / 1000;
  char text[96];
  std::snprintf(text, sizeof text, "已试 %zu / %zu，剩余约 %lld 分 %lld 秒", done, total,
                static_cast<long long>(seconds / 60), static_cast<long long>(seconds % 60));
  return text;
}

}  // namespace

// Hands what the scan's thread finds to the window's queue.
class ScanWindow::Relay : public ScanListener {
 public:
  explicit Relay(ScanWindow& window) : m_window(window) {}
  void Progress(size_t done, size_t total, int64_t remainingMs) override {
    Event e;
    e.kind = Event::Kind::Progress;
    e.done = done;
    e.total = total;
    e.remainingMs = remainingMs;
    Push(std::move(e));
  }
  void Found(const ScanFinding& finding) override {
    Event e;
    e.kind = Event::Kind::Found;
    e.finding = finding;
    Push(std::move(e));
  }
  void Finished(ScanEnd end, const LineError& error, const std::string& reason) override {
    Event e;
    e.kind = Event::Kind::Finished;
    e.end = end;
    e.error = error;
    e.reason = reason;
    Push(std::move(e));
  }

 private:
  void Push(Event e) {
    const std::lock_guard<std::mutex> lock(m_window.m_mutex);
    m_window.m_events.push_back(std::move(e));
  }
  ScanWindow& m_window;
};

ScanWindow::ScanWindow(ScanHost& host) : m_host(host) {}

ScanWindow::~ScanWindow() { StopAndWait(); }

void ScanWindow::Attach(DialogWindow* window) {
  if (window == nullptr) {
    StopAndWait();  // closing the window stops the scan and gives the port back as it was
    m_window = nullptr;
    return;
  }
  m_window = window;
  m_ports = m_host.ScanPorts();
  std::vector<std::string> names;
  int chosen = -1;
  for (const PortEntry& port : m_ports) {
    if (port.path == m_host.PortInUse()) chosen = static_cast<int>(names.size());
    names.push_back(port.name);
  }
  window->SetListEntries(IDC_SCAN_PORT, names);
  if (chosen >= 0) window->SelectListEntry(IDC_SCAN_PORT, chosen);
  for (const Choice& box : kBaudBoxes) window->SetText(box.id, kChecked);
  for (const Choice& box : kParityBoxes) window->SetText(box.id, kChecked);
  for (const Choice& box : kProtocolBoxes) window->SetText(box.id, kChecked);
  window->SetText(IDC_SCAN_STOP_AT_FIRST, kChecked);
  window->SetText(IDC_SCAN_PROGRESS, "0");
  ShowRunning(false);
  window->SetTimer(kTickTimer, kTickMs);
}

void ScanWindow::OnNotify(int controlId, Notification code) {
  if (code != Notification::Clicked) return;
  if (controlId == IDC_SCAN_START) {
    if (Running()) {
      m_stop = true;  // the scan ends within a poll of the line; the tick takes its end in
    } else if (m_startWaiting) {
      m_startWaiting = false;
      Say("已停止");
      ShowRunning(false);
    } else {
      Start();
    }
  } else if (controlId == IDC_SCAN_ADOPT) {
    AdoptSelected();
  }
}

void ScanWindow::OnTimerMessage(int) {
  if (m_startWaiting) Start();
  TakeEvents();
}

void ScanWindow::Say(const std::string& text) {
  if (m_window != nullptr) m_window->SetText(IDC_SCAN_STATUS, text);
}

std::optional<ScanRequest> ScanWindow::RequestFromFields() {
  ScanRequest r;
  const int port = m_window->ListSelection(IDC_SCAN_PORT);
  if (port < 0 || static_cast<size_t>(port) >= m_ports.size()) {
    Say("请选择端口");
    return std::nullopt;
  }
  r.port = m_ports[static_cast<size_t>(port)].path;
  const Entered<int64_t> first = EnterInteger(m_window->GetText(IDC_SCAN_FIRST_ADDRESS), -9999, 9999);
  const Entered<int64_t> last = EnterInteger(m_window->GetText(IDC_SCAN_LAST_ADDRESS), -9999, 9999);
  const Entered<int64_t> wait = EnterInteger(m_window->GetText(IDC_SCAN_WAIT), 0, 999999);
  if (first.outcome != Entry::Accepted || last.outcome != Entry::Accepted) {
    Say("地址应为 1 至 247 的整数");
    return std::nullopt;
  }
  if (wait.outcome != Entry::Accepted) {
    Say("等待时间应为 20 至 2000 的整数（毫秒）");
    return std::nullopt;
  }
  r.firstAddress = static_cast<int>(first.value);
  r.lastAddress = static_cast<int>(last.value);
  r.waitMs = static_cast<int>(wait.value);
  r.bauds.clear();
  r.parities.clear();
  r.protocols.clear();
  for (const Choice& box : kBaudBoxes) {
    if (m_window->GetText(box.id) == kChecked) r.bauds.push_back(box.value);
  }
  for (const Choice& box : kParityBoxes) {
    if (m_window->GetText(box.id) == kChecked) r.parities.push_back(static_cast<uint8_t>(box.value));
  }
  for (const Choice& box : kProtocolBoxes) {
    if (m_window->GetText(box.id) == kChecked) {
      r.protocols.push_back(static_cast<uint8_t>(box.value));
    }
  }
  r.stopAtFirst = m_window->GetText(IDC_SCAN_STOP_AT_FIRST) == kChecked;
  r.current = m_host.SettingInUse();
  r.currentAddress = m_host.AddressInUse();
  if (const auto refusal = RefusalOf(r)) {
    Say(*refusal);
    return std::nullopt;
  }
  return r;
}

void ScanWindow::Start() {
  const bool retry = m_startWaiting;
  m_startWaiting = false;
  if (!retry) {
    const auto request = RequestFromFields();
    if (!request) return;
    m_request = *request;
  }
  // The console's own port is the scan's only once the console has let go of it.
  if (m_request.port == m_host.PortInUse()) {
    if (!m_host.LendPort(m_request.port)) {
      m_startWaiting = true;
      Say("等待当前通讯结束…");
      ShowRunning(true);
      return;
    }
    m_lent = true;
  }
  m_findings.clear();
  m_meters = 0;
  m_done = m_total = 0;
  ShowResults();
  m_window->SetText(IDC_SCAN_PROGRESS, "0");
  Say("正在扫描…");
  m_stop = false;
  auto line = m_lineFactory ? m_lineFactory() : nullptr;
  auto clock = m_clockFactory ? m_clockFactory() : std::make_unique<SteadyScanClock>();
  m_thread = std::thread([this, request = m_request, line = std::move(line),
                          clock = std::move(clock)]() mutable {
    SerialPort port;
    if (line) port.SetLine(std::move(line));
    Relay relay(*this);
    Scanner(port, *clock).Run(request, relay, m_stop);
  });
  ShowRunning(true);
}

void ScanWindow::TakeEvents() {
  std::vector<Event> events;
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    events.swap(m_events);
  }
  for (const Event& e : events) {
    switch (e.kind) {
      case Event::Kind::Progress:
        m_done = e.done;
        m_total = e.total;
        if (m_window != nullptr) {
          m_window->SetText(IDC_SCAN_PROGRESS, std::to_string(e.total == 0 ? 100 : e.done * 100 / e.total));
          m_window->SetText(IDC_SCAN_REMAINING, Remaining(e.done, e.total, e.remainingMs));
        }
        break;
      case Event::Kind::Found:
        m_findings.push_back(e.finding);
        if (e.finding.kind == ScanFinding::Kind::ThisMeter) ++m_meters;
        ShowResults();
        break;
      case Event::Kind::Finished:
        Finish(e);
        break;
    }
  }
}

void ScanWindow::Finish(const Event& finished) {
  if (m_thread.joinable()) m_thread.join();
  if (m_lent) {
    m_host.ReturnPort();
    m_lent = false;
  }
  ShowRunning(false);
  // A scan that ended early has nothing left to wait for; the first meter found is chosen, so
  // 采用 takes it at once.
  if (m_window != nullptr) {
    if (m_total > 0) m_window->SetText(IDC_SCAN_REMAINING, Remaining(m_done, m_total, 0));
    const auto meter = std::find_if(m_findings.begin(), m_findings.end(), [](const ScanFinding& f) {
      return f.kind == ScanFinding::Kind::ThisMeter;
    });
    if (meter != m_findings.end() && m_window->ListSelection(IDC_SCAN_RESULTS) < 0) {
      m_window->SelectListEntry(IDC_SCAN_RESULTS, static_cast<int>(meter - m_findings.begin()));
    }
  }
  switch (finished.end) {
    case ScanEnd::Completed:
      Say(m_meters == 0 ? "扫描完成：未找到本仪表"
                        : "扫描完成：找到 " + std::to_string(m_meters) + " 台本仪表");
      break;
    case ScanEnd::FoundMeter:
      Say("已找到本仪表");
      break;
    case ScanEnd::Stopped:
      Say("已停止");
      break;
    case ScanEnd::PortFailed: {
      std::string port = m_request.port;
      for (const PortEntry& entry : m_ports) {
        if (entry.path == m_request.port) port = entry.name;
      }
      if (!port.empty() && port.back() == ':') port.pop_back();
      Say(LineErrorText(port, finished.error));
      break;
    }
    case ScanEnd::Refused:
      Say(finished.reason);
      break;
  }
}

void ScanWindow::StopAndWait() {
  m_startWaiting = false;
  m_stop = true;
  if (m_thread.joinable()) m_thread.join();
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_events.clear();
  }
  if (m_lent) {
    m_host.ReturnPort();
    m_lent = false;
  }
}

void ScanWindow::AdoptSelected() {
  const int row = m_window->ListSelection(IDC_SCAN_RESULTS);
  if (Running() || row < 0 || static_cast<size_t>(row) >= m_findings.size() ||
      m_findings[static_cast<size_t>(row)].kind != ScanFinding::Kind::ThisMeter) {
    Say("请在结果中选择一台本仪表");
    return;
  }
  m_host.Adopt(m_request.port, m_findings[static_cast<size_t>(row)]);
  m_window->EndDialog();
}

void ScanWindow::ShowRunning(bool running) {
  if (m_window == nullptr) return;
  m_window->SetText(IDC_SCAN_START, running ? "停止" : "开始");
  for (int id : kRequestFields) m_window->EnableControl(id, !running);
  for (const auto& boxes : {std::span<const Choice>(kBaudBoxes), std::span<const Choice>(kParityBoxes),
                            std::span<const Choice>(kProtocolBoxes)}) {
    for (const Choice& box : boxes) m_window->EnableControl(box.id, !running);
  }
  m_window->EnableControl(IDC_SCAN_ADOPT, !running);
}

void ScanWindow::ShowResults() {
  if (m_window == nullptr) return;
  std::string rows;
  for (const ScanFinding& f : m_findings) {
    if (!rows.empty()) rows += '\n';
    rows += ResultRow(f);
  }
  m_window->SetText(IDC_SCAN_RESULTS, rows);
}
