#include "scan/scanner.h"

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

#include "device/register_table.h"
#include "scan/probe_reply.h"

namespace {

constexpr uint16_t kAddressRegister = 0x0300;  // the meter's own slave address
constexpr uint16_t kLineRegisters = 17;        // 0x0300 to 0x0320: its address and line settings
// Where each code sits among the 17 registers (two bytes of address apart).
constexpr size_t kAtProtocol = 2;   // 0x0304
constexpr size_t kAtParity = 3;     // 0x0306
constexpr size_t kAtBaud = 4;       // 0x0308
constexpr size_t kAtDataBits = 15;  // 0x031E
constexpr size_t kAtStopBits = 16;  // 0x0320

// The meter's codes, as its registers hold them.
constexpr uint32_t kBaudOfCode[] = {300, 600, 1200, 2400, 4800, 9600, 19200};
constexpr uint8_t kDataBitsOfCode[] = {8, 7};
constexpr uint8_t kStopBitsOfCode[] = {2, 1};

constexpr int64_t kPollUs = 1000;  // how often the line is looked at while waiting
// Time a reply may take beyond its own wire time once its first byte came: the meter's gaps and
// the adapter handing bytes on in chunks.
constexpr int64_t kReplySlackUs = 20'000;
constexpr uint8_t kScanStopBits = 2;  // a meter set to one stop bit understands two as well

// A whole request to this meter's line registers, read back, says it is this meter: the address
// it holds is the one it answered at and every code is one the meter defines.
std::optional<ScanFinding> MeterOf(const std::vector<uint16_t>& r, int address) {
  if (r.size() != kLineRegisters || r[0] != address || r[kAtProtocol] > 1 || r[kAtParity] > 2 ||
      r[kAtBaud] >= std::size(kBaudOfCode) || r[kAtDataBits] > 1 || r[kAtStopBits] > 1) {
    return std::nullopt;
  }
  ScanFinding meter;
  meter.kind = ScanFinding::Kind::ThisMeter;
  meter.meterAddress = address;
  meter.meterProtocol = r[kAtProtocol];
  meter.meterParity = static_cast<uint8_t>(r[kAtParity]);
  meter.meterBaud = kBaudOfCode[r[kAtBaud]];
  meter.meterDataBits = kDataBitsOfCode[r[kAtDataBits]];
  meter.meterStopBits = kStopBitsOfCode[r[kAtStopBits]];
  return meter;
}

// The bytes received that are a reply's and not the adapter's echo of the request.
size_t ReplyBytes(const std::vector<uint8_t>& request, const std::vector<uint8_t>& received) {
  const size_t common = std::min(request.size(), received.size());
  if (std::equal(received.begin(), received.begin() + static_cast<long>(common), request.begin())) {
    return received.size() - common;
  }
  return received.size();
}

}  // namespace

int64_t SteadyScanClock::NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SteadyScanClock::SleepUs(int64_t us) {
  std::this_thread::sleep_for(std::chrono::microseconds(us));
}

const char* KindText(ScanFinding::Kind kind) {
  switch (kind) {
    case ScanFinding::Kind::ThisMeter:
      return "本仪表";
    case ScanFinding::Kind::OtherDevice:
      return "其他 Modbus 设备";
    case ScanFinding::Kind::Signal:
      return "有信号，设置不符";
  }
  return "";
}

std::string MeterLineText(const ScanFinding& f) {
  return std::string(ProtocolNames[static_cast<size_t>(f.meterProtocol) % 2]) + "," +
         std::to_string(f.meterAddress) + ":" + std::to_string(f.meterBaud) + "," +
         ParityNames[f.meterParity % 3] + "," + std::to_string(f.meterDataBits) + "," +
         std::to_string(f.meterStopBits);
}

struct Scanner::Exchange {
  std::vector<uint8_t> request;
  std::vector<uint8_t> received;
  bool lost = false;  // the port went away, or refused the request
};

int64_t Scanner::WireUs(const ScanSetting& s, size_t characters) const {
  const int64_t bits = 1 + DataBitsOf(s) + (s.parity != 0 ? 1 : 0) + kScanStopBits;
  return static_cast<int64_t>(characters) * bits * 1'000'000 / std::max<int64_t>(s.baud, 1);
}

void Scanner::UseSetting(const ScanSetting& s) {
  if (m_configured && s == m_setting) return;
  m_port.m_baudRate = s.baud;
  m_port.m_parity = s.parity;
  m_port.m_dataBits = DataBitsOf(s);
  m_port.m_stopBits = kScanStopBits;
  m_port.Configure();
  m_setting = s;
  m_configured = true;
}

// The silence allowed is counted from when the request has left the wire; once a byte of a reply
// came, the reply has its own wire time. A reply that is whole ends the wait at once.
Scanner::Exchange Scanner::Read(const ScanSetting& s, int address, uint16_t start,
                                uint16_t quantity, int waitMs, const std::atomic<bool>& stop) {
  Exchange e;
  e.request = ProbeRequest(s, address, start, quantity);
  m_port.DiscardInput();
  if (!m_port.Write(e.request.data(), static_cast<uint16_t>(e.request.size()))) {
    e.lost = true;
    return e;
  }
  int64_t deadline = m_clock.NowUs() + WireUs(s, e.request.size()) + int64_t{waitMs} * 1000;
  const int64_t replyUs = WireUs(s, static_cast<size_t>(LongestProbeReply(s, quantity))) +
                          kReplySlackUs;
  bool replyBegun = false;
  for (;;) {
    while (m_port.BytesWaiting()) e.received.push_back(m_port.ReadByte());
    if (!replyBegun && ReplyBytes(e.request, e.received) > 0) {
      replyBegun = true;
      deadline = m_clock.NowUs() + replyUs;
    }
    const ProbeAnswer answer = ReadProbeReply(s, address, quantity, e.request, e.received).answer;
    if (answer == ProbeAnswer::Registers || answer == ProbeAnswer::OtherReply) return e;
    if (m_port.LineLost()) {
      e.lost = true;
      return e;
    }
    const int64_t now = m_clock.NowUs();
    if (now >= deadline || stop.load()) return e;
    m_clock.SleepUs(std::min(kPollUs, deadline - now));
  }
}

void Scanner::Run(const ScanRequest& request, ScanListener& listener,
                  const std::atomic<bool>& stop) {
  if (const auto refusal = RefusalOf(request)) {
    listener.Finished(ScanEnd::Refused, {}, *refusal);
    return;
  }
  const std::vector<Probe> probes = PlanProbes(request);
  // The time the rest takes if nothing answers: each request on the wire and the wait after it.
  std::vector<int64_t> restUs(probes.size() + 1, 0);
  for (size_t k = probes.size(); k-- > 0;) {
    const size_t requestChars = probes[k].setting.protocol == 0 ? 8 : 17;
    restUs[k] = restUs[k + 1] + WireUs(probes[k].setting, requestChars) +
                int64_t{request.waitMs} * 1000;
  }

  m_configured = false;
  m_port.ChoosePort(request.port);
  if (!probes.empty()) UseSetting(probes.front().setting);
  m_port.Open();
  if (!m_port.m_isOpen) {
    listener.Finished(ScanEnd::PortFailed, m_port.LastError(), {});
    return;
  }

  std::set<int> meters;   // addresses found to be this meter: not probed again
  std::set<int> others;   // addresses of other devices, reported once
  std::set<std::tuple<uint32_t, uint8_t, uint8_t>> signals;  // settings with a signal, once
  ScanEnd end = ScanEnd::Completed;
  for (size_t k = 0; k < probes.size() && end == ScanEnd::Completed; ++k) {
    if (stop.load()) {
      end = ScanEnd::Stopped;
      break;
    }
    const Probe& p = probes[k];
    if (meters.count(p.address) == 0) {
      UseSetting(p.setting);
      Exchange e = Read(p.setting, p.address, kAddressRegister, 1, request.waitMs, stop);
      ProbeReply reply = ReadProbeReply(p.setting, p.address, 1, e.request, e.received);
      std::optional<ScanFinding> meter;
      if (!e.lost && reply.answer == ProbeAnswer::Registers && reply.registers[0] == p.address) {
        e = Read(p.setting, p.address, kAddressRegister, kLineRegisters, request.waitMs, stop);
        reply = ReadProbeReply(p.setting, p.address, kLineRegisters, e.request, e.received);
        if (reply.answer == ProbeAnswer::Registers) meter = MeterOf(reply.registers, p.address);
      }
      if (e.lost) {
        m_port.Close();
        listener.Finished(ScanEnd::PortFailed, m_port.LastError(), {});
        return;
      }
      if (meter) {
        meters.insert(p.address);
        meter->address = p.address;
        meter->setting = p.setting;
        listener.Found(*meter);
        if (request.stopAtFirst) end = ScanEnd::FoundMeter;
      } else if (reply.answer == ProbeAnswer::Registers ||
                 reply.answer == ProbeAnswer::OtherReply) {
        if (others.insert(p.address).second) {
          listener.Found({ScanFinding::Kind::OtherDevice, p.address, p.setting});
        }
      } else if (reply.answer == ProbeAnswer::Garbled) {
        const auto key = std::make_tuple(p.setting.baud, p.setting.parity, p.setting.protocol);
        if (signals.insert(key).second) {
          listener.Found({ScanFinding::Kind::Signal, 0, p.setting});
        }
      }
    }
    listener.Progress(k + 1, probes.size(), restUs[k + 1] / 1000);
  }
  m_port.Close();
  listener.Finished(end, {}, {});
}
