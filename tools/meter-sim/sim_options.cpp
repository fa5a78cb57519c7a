#include "tools/meter-sim/sim_options.h"

#include <charconv>
#include <cstring>

namespace {

bool ParseNumber(const std::string& text, uint64_t low, uint64_t high, uint64_t& value) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end && value >= low && value <= high;
}

// "COM3", "com3" or "3".
bool ParsePort(std::string text, uint32_t& port) {
  if (text.size() > 3 && strncasecmp(text.c_str(), "COM", 3) == 0) text = text.substr(3);
  uint64_t n = 0;
  if (!ParseNumber(text, 1, 255, n)) return false;
  port = static_cast<uint32_t>(n);
  return true;
}

// "RULE" or "RULE:MS" for --delay.
bool ParseDelay(const std::string& text, FaultPlan& plan) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return ParseFaultRule(text, plan.delay);
  uint64_t ms = 0;
  if (!ParseNumber(text.substr(colon + 1), 0, 600000, ms)) return false;
  plan.delayMs = static_cast<uint32_t>(ms);
  return ParseFaultRule(text.substr(0, colon), plan.delay);
}

bool ApplyValue(const std::string& name, const std::string& value, SimOptions& o) {
  uint64_t n = 0;
  if (name == "--port") return ParsePort(value, o.port);
  if (name == "--by-id") {
    o.byId = value;
    return !value.empty();
  }
  if (name == "--address") {
    if (!ParseNumber(value, 1, 247, n)) return false;
    o.address = static_cast<uint8_t>(n);
    return true;
  }
  if (name == "--protocol") {
    if (strcasecmp(value.c_str(), "rtu") != 0 && strcasecmp(value.c_str(), "ascii") != 0) {
      return false;
    }
    o.protocol = strcasecmp(value.c_str(), "ascii") == 0 ? 1 : 0;
    return true;
  }
  if (name == "--seed") {
    if (!ParseNumber(value, 0, 0xFFFFFFFFu, n)) return false;
    o.seed = static_cast<uint32_t>(n);
    o.seedGiven = true;
    return true;
  }
  if (name == "--drop") return ParseFaultRule(value, o.faults.drop);
  if (name == "--corrupt-crc") return ParseFaultRule(value, o.faults.corruptCrc);
  if (name == "--delay") return ParseDelay(value, o.faults);
  if (name == "--noise") return ParseFaultRule(value, o.faults.noise);
  if (name == "--wrong-count") return ParseFaultRule(value, o.faults.wrongCount);
  return false;
}

bool TakesValue(const std::string& name) {
  static const char* const kNames[] = {"--port",  "--by-id",   "--address", "--protocol",
                                       "--seed",  "--drop",    "--corrupt-crc",
                                       "--delay", "--noise",   "--wrong-count"};
  for (const char* known : kNames) {
    if (name == known) return true;
  }
  return false;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, SimOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    if (arg == "--verbose" || arg == "-v") {
      options.verbose = true;
      continue;
    }
    std::string value;
    const size_t equals = arg.find('=');
    const bool inlineValue = arg.rfind("--", 0) == 0 && equals != std::string::npos;
    if (inlineValue) {
      value = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
    }
    if (!TakesValue(arg)) {
      error = "unknown option: " + arg;
      return false;
    }
    if (!inlineValue) {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    if (!ApplyValue(arg, value, options)) {
      error = "bad value for " + arg + ": " + value;
      return false;
    }
  }
  return true;
}

std::string HelpText() {
  return R"(Usage: quorvel-sim [options]

A simulated three-phase meter: a Modbus RTU or Modbus ASCII slave on a pseudo-terminal,
reached by the console as COMn through the link $XDG_CONFIG_HOME/quorvel/ports/COMn
(~/.config/quorvel/ports/COMn when XDG_CONFIG_HOME is not set).

Options:
  --port COMn        the port name to link (default COM1; "3" means COM3)
  --by-id NAME       link NAME in the folder $QUORVEL_SERIAL_BY_ID instead, so the console
                     lists the meter as a plugged-in adapter (for tests)
  --address N        the meter's slave address, 1..247 (default 1)
  --protocol P       rtu or ascii: the framing the meter starts with (default rtu)
  --seed N           seed of the simulation and of the faults (default: from the clock;
                     printed at start, so a run can be repeated)
  --verbose, -v      log every request and reply in hex on stderr
  --help, -h         this text

Fault injection (all off by default). RULE is a rate from 0 to 1 (0.1 strikes about one
reply in ten), "once" (the first reply), "@N" (the Nth reply, counting from 1) or a list
such as "@3,@10". Replies are counted together for all faults, exception replies included.
  --drop RULE          the meter sends no reply
  --corrupt-crc RULE   both CRC bytes inverted (in ASCII: the LRC inverted)
  --delay RULE[:MS]    the reply goes out MS ms late (default 3000: after the console's
                       2.5 s time-out, so it arrives while the console is idle)
  --noise RULE         1 to 3 random bytes on the line just before the reply
  --wrong-count RULE   replies to functions 1, 2, 3 and 8 carry a byte count two bytes
                       off, with data and a good CRC to match

The meter starts at 9600 baud, no parity, 8 data bits, 2 stop bits, Modbus RTU (Modbus
ASCII with --protocol ascii), and paces its replies at the speed its own serial settings
give; writing those settings (function 16 of the parameter block at 0x0300, or function 6)
changes the framing, the pacing and the address it answers after its reply to that write.
It answers functions 1, 2, 3, 5, 6, 8, 9 and 16, one request at a time.
SIGINT or SIGTERM stops it and removes its link.
)";
}
