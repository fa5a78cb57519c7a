#include "cli/cli.h"

const char* VerbUsage() {
  return "usage: quorvel --ports\n"
         "       quorvel --scan [--port COMn|PATH|NAME] [--addresses 1-247] [--bauds 9600,19200|all]\n"
         "                      [--parity N,E,O|all] [--protocol rtu,ascii] [--wait MS] [--first]\n"
         "                      [--json]\n"
         "  --ports      what each COMn stands for, and the adapters the port list offers\n"
         "  --scan       find meters on a port: each address at each line setting given\n"
         "               (default: the last port the console used, addresses 1-247, every speed,\n"
         "               parity and framing, wait 100 ms); exit 0 when this meter was found,\n"
         "               1 when none, 2 on a bad option or a port that cannot be opened\n";
}

std::optional<int> RunVerb(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  if (args.empty()) return std::nullopt;
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "--ports") {
    if (!rest.empty()) {
      std::fprintf(err, "quorvel: --ports takes no option\n%s", VerbUsage());
      return 2;
    }
    return RunPortsVerb(out);
  }
  if (args[0] == "--scan") return RunScanVerb(rest, out, err);
  return std::nullopt;
}
