#include "scan/scan_plan.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace {

// Speeds, parities and framings by how often meters are found set to them.
constexpr uint32_t kBaudOrder[] = {9600, 19200, 4800, 2400, 1200, 600, 300};
constexpr uint8_t kParityOrder[] = {0, 2, 1};
constexpr uint8_t kProtocolOrder[] = {0, 1};
constexpr uint32_t kMeterBauds[] = {300, 600, 1200, 2400, 4800, 9600, 19200};

// The combinations most meters leave the factory with, or are set to on site.
constexpr ScanSetting kLikely[] = {{9600, 0, 0}, {9600, 2, 0}, {19200, 0, 0}, {19200, 2, 0}};
constexpr int kLikelyLastAddress = 10;

template <typename T, typename List>
bool Contains(const List& list, T value) {
  return std::find(std::begin(list), std::end(list), value) != std::end(list);
}

bool Asked(const ScanRequest& r, const ScanSetting& s) {
  return Contains(r.bauds, s.baud) && Contains(r.parities, s.parity) &&
         Contains(r.protocols, s.protocol);
}

// Every setting asked for, most likely first.
std::vector<ScanSetting> SettingsInOrder(const ScanRequest& r) {
  std::vector<ScanSetting> settings;
  const auto add = [&](const ScanSetting& s) {
    if (Asked(r, s) && !Contains(settings, s)) settings.push_back(s);
  };
  add(r.current);
  for (const ScanSetting& s : kLikely) add(s);
  for (uint32_t baud : kBaudOrder) {
    for (uint8_t parity : kParityOrder) {
      for (uint8_t protocol : kProtocolOrder) add({baud, parity, protocol});
    }
  }
  return settings;
}

}  // namespace

uint8_t DataBitsOf(const ScanSetting& setting) { return setting.protocol == 1 ? 7 : 8; }

std::optional<std::string> RefusalOf(const ScanRequest& r) {
  const auto range = [](int low, int high) {
    return "（" + std::to_string(low) + " 至 " + std::to_string(high) + "）";
  };
  if (r.firstAddress < kFirstScanAddress || r.lastAddress > kLastScanAddress ||
      r.firstAddress > r.lastAddress) {
    return "地址范围无效，应在 " + std::to_string(kFirstScanAddress) + " 至 " +
           std::to_string(kLastScanAddress) + " 之内，起始不大于结束";
  }
  if (r.waitMs < kShortestWaitMs || r.waitMs > kLongestWaitMs) {
    return "等待时间超出范围" + range(kShortestWaitMs, kLongestWaitMs);
  }
  for (uint32_t baud : r.bauds) {
    if (!Contains(kMeterBauds, baud)) return "波特率不在仪表的列表中：" + std::to_string(baud);
  }
  for (uint8_t parity : r.parities) {
    if (parity > 2) return "未知的校验";
  }
  for (uint8_t protocol : r.protocols) {
    if (protocol > 1) return "未知的规约";
  }
  if (r.bauds.empty() || r.parities.empty() || r.protocols.empty()) {
    return "请至少选择一种波特率、校验和规约";
  }
  return std::nullopt;
}

std::vector<Probe> PlanProbes(const ScanRequest& r) {
  std::vector<Probe> probes;
  if (RefusalOf(r)) return probes;
  std::set<std::tuple<uint32_t, uint8_t, uint8_t, int>> planned;
  const auto add = [&](const ScanSetting& s, int address) {
    if (address < r.firstAddress || address > r.lastAddress || !Asked(r, s)) return;
    if (planned.insert({s.baud, s.parity, s.protocol, address}).second) {
      probes.push_back({s, address});
    }
  };
  add(r.current, r.currentAddress);
  for (const ScanSetting& s : kLikely) {
    for (int address = 1; address <= kLikelyLastAddress; ++address) add(s, address);
  }
  for (const ScanSetting& s : SettingsInOrder(r)) {
    for (int address = r.firstAddress; address <= r.lastAddress; ++address) add(s, address);
  }
  return probes;
}
