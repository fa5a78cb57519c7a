// The port list of the host settings: "COM1:" to "COM9:" as always, then the adapters plugged in
// now, by name. An entry is its device path; its name is only shown, so an entry chosen earlier
// that has gone stays in the list, marked, and is the same entry when the adapter comes back.
#include <algorithm>
#include <string>
#include <vector>

#include "console/main_dialog.h"
#include "link/port_catalog.h"

namespace {

constexpr uint32_t kNumberedPorts = 9;
constexpr const char* kGoneMark = " (已拔出)";

// "COM1" to "COM9": the numbered ports, resolved at every open.
bool NumberedPort(const std::string& id, uint32_t& number) {
  if (id.size() != 4 || id.compare(0, 3, "COM") != 0 || id[3] < '1' || id[3] > '9') return false;
  number = static_cast<uint32_t>(id[3] - '0');
  return true;
}

std::string NumberedId(uint32_t number) { return "COM" + std::to_string(number); }

}  // namespace

std::string MainDialog::PortNameOf(const std::string& id) const {
  uint32_t number = 0;
  if (NumberedPort(id, number)) return NumberedId(number) + ":";
  for (const PortEntry& entry : m_portEntries) {
    if (entry.path == id) return entry.name;
  }
  return AdapterLabel(id) + kGoneMark;
}

std::string MainDialog::AdapterLabel(const std::string& id) const {
  auto known = m_adapterNames.find(id);
  return known != m_adapterNames.end() ? known->second : AbsentAdapterName(id);
}

std::string MainDialog::PortLabel() const {
  const std::string id = m_link.PortId();
  uint32_t number = 0;
  return NumberedPort(id, number) ? id : AdapterLabel(id);
}

std::string MainDialog::PortIdOfName(const std::string& name) const {
  for (const PortEntry& entry : m_portEntries) {
    if (entry.name == name) return entry.path;
  }
  for (uint32_t n = 1; n <= kNumberedPorts; ++n) {
    if (name == NumberedId(n) + ":") return NumberedId(n);
  }
  return {};
}

void MainDialog::RefreshPortList() {
  // The entry the list shows (perhaps chosen and not yet applied) and the one in use are kept.
  const std::string shownId = PortIdOfName(m_window.GetText(IDC_PORT));
  std::vector<PortEntry> entries;
  for (uint32_t n = 1; n <= kNumberedPorts; ++n) {
    entries.push_back({NumberedId(n) + ":", NumberedId(n)});
  }
  for (const PortEntry& adapter : ListAdapters()) {
    entries.push_back(adapter);
    m_adapterNames[adapter.path] = adapter.name;
  }
  for (const std::string& kept : {m_link.PortId(), shownId}) {
    uint32_t number = 0;
    if (kept.empty() || NumberedPort(kept, number)) continue;
    const bool listed = std::any_of(entries.begin(), entries.end(),
                                    [&](const PortEntry& entry) { return entry.path == kept; });
    if (!listed) entries.push_back({AdapterLabel(kept) + kGoneMark, kept});
  }
  m_portEntries = entries;

  std::vector<std::string> names;
  int shown = -1;
  for (const PortEntry& entry : entries) {
    if (entry.path == shownId) shown = static_cast<int>(names.size());
    names.push_back(entry.name);
  }
  m_window.SetListEntries(IDC_PORT, names);
  // A name may have changed (the adapter came back, or went): the same entry stays chosen.
  if (shown >= 0) m_window.SelectListEntry(IDC_PORT, shown);
}

void MainDialog::OnPortListOpening() { RefreshPortList(); }

bool MainDialog::ApplyPortChoice(const std::string& shownName) {
  return ApplyPortId(PortIdOfName(shownName));
}

bool MainDialog::ApplyPortId(const std::string& id) {
  if (id.empty()) return false;
  m_link.ChoosePort(id);
  return true;
}
