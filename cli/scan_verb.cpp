// `quorvel --scan`: the bus scan from a terminal, for a site where meters are found by script.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/terminal.h"
#include "console/host_settings.h"
#include "console/line_watch.h"
#include "device/register_table.h"
#include "device/text_number.h"
#include "link/port_catalog.h"
#include "link/serial_port.h"
#include "scan/scanner.h"

namespace {

constexpr int kExitFound = 0;
constexpr int kExitNone = 1;
constexpr int kExitRefused = 2;

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at <= text.size()) {
    const size_t comma = std::min(text.find(',', at), text.size());
    parts.push_back(text.substr(at, comma - at));
    at = comma + 1;
  }
  return parts;
}

std::optional<int64_t> Number(const std::string& text, int64_t low, int64_t high) {
  const Entered<int64_t> n = EnterInteger(text, low, high);
  if (n.outcome != Entry::Accepted) return std::nullopt;
  return n.value;
}

// Reads one option's value into the request; the reason when it is none the scan takes.
std::optional<std::string> Apply(const std::string& name, const std::string& value,
                                 ScanRequest& r) {
  if (name == "--port") {
    const auto port = PortOfOption(value);
    if (!port) return "no port named " + value + " (see quorvel --ports)";
    r.port = *port;
  } else if (name == "--addresses") {
    const size_t dash = value.find('-');
    const auto first = Number(value.substr(0, dash), -99999, 99999);
    const auto last = dash == std::string::npos ? first : Number(value.substr(dash + 1), -99999, 99999);
    if (!first || !last) return "--addresses takes A-B or A, whole numbers";
    r.firstAddress = static_cast<int>(*first);
    r.lastAddress = static_cast<int>(*last);
  } else if (name == "--bauds") {
    if (value != "all") {
      r.bauds.clear();
      for (const std::string& part : Split(value)) {
        const auto baud = Number(part, 1, 1000000);
        if (!baud) return "--bauds takes speeds such as 9600,19200, or all";
        r.bauds.push_back(static_cast<uint32_t>(*baud));
      }
    }
  } else if (name == "--parity") {
    if (value != "all") {
      r.parities.clear();
      for (const std::string& part : Split(UpperAscii(value))) {
        const std::string p = part.substr(0, 1);
        if (part.empty() || (part.size() > 1 && part != "NONE" && part != "ODD" && part != "EVEN")) {
          return "--parity takes N,E,O (NONE, EVEN, ODD), or all";
        }
        r.parities.push_back(p == "N" ? 0 : p == "O" ? 1 : p == "E" ? 2 : 9);
      }
    }
  } else if (name == "--protocol") {
    r.protocols.clear();
    for (const std::string& part : Split(UpperAscii(value))) {
      if (part != "RTU" && part != "ASCII") return "--protocol takes rtu, ascii or rtu,ascii";
      r.protocols.push_back(part == "RTU" ? 0 : 1);
    }
  } else if (name == "--wait") {
    const auto wait = Number(value, -99999, 99999);
    if (!wait) return "--wait takes milliseconds";
    r.waitMs = static_cast<int>(*wait);
  } else {
    return "unknown option " + name;
  }
  return std::nullopt;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::string Json(const ScanFinding& f) {
  std::string json = "{\"address\": " + std::to_string(f.address) +
                     ", \"baud\": " + std::to_string(f.setting.baud) + ", \"parity\": \"" +
                     ParityNames[f.setting.parity % 3] + "\", \"protocol\": \"" +
                     ProtocolNames[f.setting.protocol % 2] + "\", \"answer\": \"" +
                     KindText(f.kind) + "\"";
  if (f.kind == ScanFinding::Kind::ThisMeter) {
    json += ", \"meter\": {\"line\": \"" + Escaped(MeterLineText(f)) +
            "\", \"address\": " + std::to_string(f.meterAddress) +
            ", \"protocol\": \"" + ProtocolNames[static_cast<size_t>(f.meterProtocol) % 2] +
            "\", \"baud\": " + std::to_string(f.meterBaud) + ", \"parity\": \"" +
            ParityNames[f.meterParity % 3] + "\", \"data_bits\": " +
            std::to_string(f.meterDataBits) + ", \"stop_bits\": " +
            std::to_string(f.meterStopBits) + "}";
  }
  return json + "}";
}

// Prints what the scan finds as it finds it, and the progress on a terminal.
class Printer : public ScanListener {
 public:
  Printer(std::FILE* out, std::FILE* err, bool json)
      : m_out(out), m_err(err), m_json(json), m_progress(IsTerminal(err)) {}

  void Progress(size_t done, size_t total, int64_t remainingMs) override {
    if (!m_progress) return;
    const int64_t seconds = (remainingMs + 999) / 1000;
    constexpr size_t kWidth = 30;
    const size_t filled = total == 0 ? kWidth : done * kWidth / total;
    std::fprintf(m_err, "\r[%s%s] 已试 %zu / %zu，剩余约 %lld 分 %lld 秒 ",
                 std::string(filled, '#').c_str(), std::string(kWidth - filled, '.').c_str(), done,
                 total, static_cast<long long>(seconds / 60), static_cast<long long>(seconds % 60));
    std::fflush(m_err);
  }
  void Found(const ScanFinding& f) override {
    if (f.kind == ScanFinding::Kind::ThisMeter) ++meters;
    if (m_json) {
      m_found.push_back(Json(f));
      return;
    }
    ClearProgress();
    const std::string address = f.address != 0 ? std::to_string(f.address) : "-";
    std::fprintf(m_out, "%s\t%u\t%s\t%s\t%s\t%s\n", address.c_str(), f.setting.baud,
                 ParityNames[f.setting.parity % 3], ProtocolNames[f.setting.protocol % 2],
                 KindText(f.kind),
                 f.kind == ScanFinding::Kind::ThisMeter ? MeterLineText(f).c_str() : "");
    std::fflush(m_out);
  }
  void Finished(ScanEnd e, const LineError& err, const std::string& why) override {
    end = e;
    error = err;
    reason = why;
    ClearProgress();
    if (!m_json) return;
    std::fprintf(m_out, "[");
    for (size_t k = 0; k < m_found.size(); ++k) {
      std::fprintf(m_out, "%s\n  %s", k == 0 ? "" : ",", m_found[k].c_str());
    }
    std::fprintf(m_out, "%s]\n", m_found.empty() ? "" : "\n");
  }

  size_t meters = 0;
  ScanEnd end = ScanEnd::Completed;
  LineError error;
  std::string reason;

 private:
  void ClearProgress() {
    if (m_progress) std::fprintf(m_err, "\r\033[K");
  }
  std::FILE* m_out;
  std::FILE* m_err;
  bool m_json;
  bool m_progress;
  std::vector<std::string> m_found;
};

}  // namespace

// "COM3", "com3" or "3"; an adapter's path; or an adapter's name as the port list shows it.
std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::optional<std::string> PortOfOption(const std::string& text) {
  std::string number = UpperAscii(text);
  if (number.rfind("COM", 0) == 0) number = number.substr(3);
  if (const auto n = Number(number, 1, 255); n && number.find_first_not_of("0123456789") == std::string::npos) {
    if (*n <= 9) return "COM" + std::to_string(*n);
    return "\\\\.\\COM" + std::to_string(*n);  // a COM port Windows numbers above 9
  }
  if (text.rfind('/', 0) == 0 || text.rfind("\\\\.\\", 0) == 0) return text;
  for (const PortEntry& adapter : ListAdapters()) {
    if (adapter.name == text) return adapter.path;
  }
  return std::nullopt;
}

int RunScanVerb(const std::vector<std::string>& options, std::FILE* out, std::FILE* err) {
  ScanRequest request;
  request.bauds = {300, 600, 1200, 2400, 4800, 9600, 19200};
  const LoadedHostSettings saved = LoadHostSettings(HostSettingsPath());
  const HostSettings line = saved.settings.value_or(HostSettings{});
  request.port = line.port;
  request.current = {line.baud, line.parity, static_cast<uint8_t>(line.protocol)};
  request.currentAddress = line.address;
  bool json = false;
  for (size_t k = 0; k < options.size(); ++k) {
    const std::string& name = options[k];
    if (name == "--first") {
      request.stopAtFirst = true;
    } else if (name == "--json") {
      json = true;
    } else if (k + 1 < options.size()) {
      if (const auto refusal = Apply(name, options[++k], request)) {
        std::fprintf(err, "quorvel --scan: %s\n%s", refusal->c_str(), VerbUsage());
        return kExitRefused;
      }
    } else {
      std::fprintf(err, "quorvel --scan: %s needs a value\n%s", name.c_str(), VerbUsage());
      return kExitRefused;
    }
  }
  if (const auto refusal = RefusalOf(request)) {
    std::fprintf(err, "quorvel --scan: %s\n", refusal->c_str());
    return kExitRefused;
  }
  std::atomic<bool> stop{false};
  StopOnInterrupt(stop);
  SerialPort port;
  SteadyScanClock clock;
  Printer printer(out, err, json);
  Scanner(port, clock).Run(request, printer, stop);
  if (printer.end == ScanEnd::PortFailed) {
    std::fprintf(err, "quorvel --scan: %s\n", LineErrorText(request.port, printer.error).c_str());
    return kExitRefused;
  }
  if (printer.end == ScanEnd::Refused) {
    std::fprintf(err, "quorvel --scan: %s\n", printer.reason.c_str());
    return kExitRefused;
  }
  return printer.meters > 0 ? kExitFound : kExitNone;
}
