// `quorvel-cli --ports` on Windows: the port list as the window offers it.
#include "cli/cli.h"
#include "link/port_catalog.h"

int RunPortsVerb(std::FILE* out) {
  std::fprintf(out, "COM1: to COM9:, as Windows numbers its ports, then:\n");
  const std::vector<PortEntry> adapters = ListAdapters();
  std::fprintf(out, "\nAdapters in the port list:%s\n", adapters.empty() ? " none" : "");
  for (const PortEntry& adapter : adapters) {
    std::fprintf(out, "  %-32s %s\n", adapter.name.c_str(), adapter.path.c_str());
  }
  return 0;
}
