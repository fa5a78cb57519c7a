#include "cli/cli.h"

const char* VerbUsage() {
  return "usage: quorvel --ports\n"
         "       quorvel --scan [--port COMn|PATH|NAME] [--addresses 1-247] [--bauds 9600,19200|all]\n"
         "                      [--parity N,E,O|all] [--protocol rtu,ascii] [--wait MS] [--first]\n"
         "                      [--json]\n"
         "       quorvel --save-profile FILE [--port P] [--address N] [line options]\n"
         "       quorvel --apply-profile FILE [--port P] [--address N] [line options] [--yes]\n"
         "  line options: [--protocol rtu|ascii] [--baud 9600] [--parity N|E|O]\n"
         "                [--data-bits 8|7] [--stop-bits 2|1] (default: the console's last line)\n"
         "  --ports      what each COMn stands for, and the adapters the port list offers\n"
         "  --scan       find meters on a port: each address at each line setting given\n"
         "               (default: the last port the console used, addresses 1-247, every speed,\n"
         "               parity and framing, wait 100 ms); exit 0 when this meter was found,\n"
         "               1 when none, 2 on a bad option or a port that cannot be opened\n"
         "  --save-profile   the meter's parameter block into a profile file (JSON)\n"
         "  --apply-profile  what the profile changes in the meter, in the meter's terms; with\n"
         "               --yes written and read back. Never the meter's own line or serial\n"
         "               number. Exit 0 written and verified (or nothing to change), 1 the meter\n"
         "               holds other values after the write, 2 a refused file, a bad option or a\n"
         "               line error, 3 differences shown and nothing written\n";
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
  if (args[0] == "--save-profile") return RunSaveProfileVerb(rest, out, err);
  if (args[0] == "--apply-profile") return RunApplyProfileVerb(rest, out, err);
  return std::nullopt;
}
