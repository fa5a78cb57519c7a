#include "tools/meter-sim/sim_options.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <iterator>

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

// The per-meter options, as given: one value for every meter or one per --address.
struct MeterLists {
  std::vector<std::string> address{"1"};
  std::vector<std::string> protocol, baud, parity, dataBits, stopBits;
};

struct ListOption {
  const char* name;
  std::vector<std::string> MeterLists::*values;
};

constexpr ListOption kListOptions[] = {
    {"--address", &MeterLists::address},    {"--protocol", &MeterLists::protocol},
    {"--baud", &MeterLists::baud},          {"--parity", &MeterLists::parity},
    {"--data-bits", &MeterLists::dataBits}, {"--stop-bits", &MeterLists::stopBits}};

const ListOption* FindListOption(const std::string& name) {
  for (const ListOption& option : kListOptions) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  size_t at = 0;
  while (true) {
    const size_t comma = text.find(',', at);
    items.push_back(text.substr(at, comma == std::string::npos ? comma : comma - at));
    if (comma == std::string::npos) return items;
    at = comma + 1;
  }
}

// One value of a per-meter option into line; false, with what is accepted in reason, when it is
// no such value.
bool ApplyMeterValue(const std::string& name, const std::string& value, LineSettings& line,
                     std::string& reason) {
  uint64_t n = 0;
  if (name == "--address") {
    reason = "1..247";
    if (!ParseNumber(value, 1, 247, n)) return false;
    line.address = static_cast<uint8_t>(n);
  } else if (name == "--protocol") {
    reason = "rtu or ascii";
    if (strcasecmp(value.c_str(), "rtu") == 0) {
      line.protocol = 0;
    } else if (strcasecmp(value.c_str(), "ascii") == 0) {
      line.protocol = 1;
    } else {
      return false;
    }
  } else if (name == "--baud") {
    reason = "300, 600, 1200, 2400, 4800, 9600 or 19200";
    if (!ParseNumber(value, 1, 19200, n) || BaudCode(static_cast<uint32_t>(n)) < 0) return false;
    line.baudRate = static_cast<uint32_t>(n);
  } else if (name == "--parity") {
    reason = "none, odd or even";
    static const char* const kParity[3] = {"none", "odd", "even"};
    const auto* found = std::find_if(std::begin(kParity), std::end(kParity), [&](const char* p) {
      return strcasecmp(value.c_str(), p) == 0;
    });
    if (found == std::end(kParity)) return false;
    line.parity = static_cast<uint8_t>(found - std::begin(kParity));
  } else if (name == "--data-bits") {
    reason = "7 or 8";
    if (!ParseNumber(value, 7, 8, n)) return false;
    line.dataBits = static_cast<uint8_t>(n);
  } else {
    reason = "1 or 2";
    if (!ParseNumber(value, 1, 2, n)) return false;
    line.stopBits = static_cast<uint8_t>(n);
  }
  return true;
}

// The meters the lists describe; false with the reason in error.
bool BuildMeters(const MeterLists& lists, std::vector<LineSettings>& meters, std::string& error) {
  const size_t count = lists.address.size();
  meters.assign(count, LineSettings{});
  for (const ListOption& option : kListOptions) {
    const std::string name = option.name;
    const std::vector<std::string>& values = lists.*option.values;
    if (values.empty()) continue;
    if (values.size() != 1 && values.size() != count) {
      error = name + " has " + std::to_string(values.size()) + " values for " +
              std::to_string(count) + " meters (give one for all, or one for each --address)";
      return false;
    }
    for (size_t k = 0; k < count; ++k) {
      const std::string& value = values[values.size() == 1 ? 0 : k];
      std::string reason;
      if (!ApplyMeterValue(name, value, meters[k], reason)) {
        error = "bad value for " + name + ": " + (value.empty() ? "(empty)" : value) + " (" +
                reason + ")";
        return false;
      }
    }
  }
  for (size_t k = 0; k < count; ++k) {
    for (size_t j = 0; j < k; ++j) {
      if (meters[j].address == meters[k].address) {
        error = "--address " + std::to_string(meters[k].address) +
                " twice: each meter on the line needs its own address";
        return false;
      }
    }
  }
  return true;
}

bool ApplyValue(const std::string& name, const std::string& value, SimOptions& o) {
  uint64_t n = 0;
  if (name == "--port") return ParsePort(value, o.port);
  if (name == "--by-id") {
    o.byId = value;
    return !value.empty();
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
  if (name == "--ignore-writes") {
    // A register's address in hex, as the console's register browser shows it: 0312 or 0x0312.
    const std::string digits =
        value.rfind("0x", 0) == 0 || value.rfind("0X", 0) == 0 ? value.substr(2) : value;
    if (digits.empty() || digits.size() > 4 ||
        digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
      return false;
    }
    o.ignoreWrites = static_cast<int32_t>(std::stoul(digits, nullptr, 16));
    return true;
  }
  return false;
}

bool TakesValue(const std::string& name) {
  static const char* const kNames[] = {"--port",        "--by-id", "--seed",  "--drop",
                                       "--corrupt-crc", "--delay", "--noise", "--wrong-count",
                                       "--ignore-writes"};
  for (const char* known : kNames) {
    if (name == known) return true;
  }
  return FindListOption(name) != nullptr;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, SimOptions& options, std::string& error) {
  MeterLists lists;
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
    if (arg == "--garble-wrong-speed") {
      options.garbleWrongSpeed = true;
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
    if (const ListOption* list = FindListOption(arg)) {
      lists.*list->values = SplitList(value);  // checked once the number of meters is known
      continue;
    }
    if (!ApplyValue(arg, value, options)) {
      error = "bad value for " + arg + ": " + value;
      return false;
    }
  }
  return BuildMeters(lists, options.meters, error);
}

std::string HelpText() {
  return R"(Usage: quorvel-sim [options]

A simulated three-phase meter, or a bus of them: Modbus RTU or Modbus ASCII slaves on one
pseudo-terminal, reached by the console as COMn through the link
$XDG_CONFIG_HOME/quorvel/ports/COMn (~/.config/quorvel/ports/COMn when XDG_CONFIG_HOME is not
set).

Options:
  --port COMn        the port name to link (default COM1; "3" means COM3)
  --by-id NAME       link NAME in the folder $QUORVEL_SERIAL_BY_ID instead, so the console
                     lists the meter as a plugged-in adapter (for tests)
  --address N[,N..]  the meters' slave addresses, 1..247, each on its own meter (default 1);
                     "--address 5,17,200" puts three meters on the line
  --protocol P       rtu or ascii: the framing a meter starts with (default rtu)
  --baud B           300, 600, 1200, 2400, 4800, 9600 or 19200 (default 9600)
  --parity P         none, odd or even (default none)
  --data-bits D      7 or 8 (default 8)
  --stop-bits S      1 or 2 (default 2)
                     Each of these five takes one value for every meter, or a list with one
                     value for each address in the order of --address:
                     --address 5,200 --baud 19200,4800 --protocol rtu,ascii
  --garble-wrong-speed
                     answer a request that no meter hears at its speed with 1 to 3 random
                     bytes, as noise on a real line would give the console something to read
  --seed N           seed of the simulation and of the faults (default: from the clock;
                     printed at start, so a run can be repeated)
  --ignore-writes ADDR
                     a meter that clamps or ignores a value: every meter answers a write to
                     the register at ADDR (hex, e.g. 0312) as taken and keeps its value
  --verbose, -v      log every request and reply in hex on stderr (with several meters, each
                     line names the meter by its address)
  --help, -h         this text

Fault injection (all off by default). RULE is a rate from 0 to 1 (0.1 strikes about one
reply in ten), "once" (the first reply), "@N" (the Nth reply, counting from 1) or a list
such as "@3,@10". The replies on the line are counted together, for all faults and all
meters, exception replies included.
  --drop RULE          the meter sends no reply
  --corrupt-crc RULE   both CRC bytes inverted (in ASCII: the LRC inverted)
  --delay RULE[:MS]    the reply goes out MS ms late (default 3000: after the console's
                       2.5 s time-out, so it arrives while the console is idle)
  --noise RULE         1 to 3 random bytes on the line just before the reply
  --wrong-count RULE   replies to functions 1, 2, 3 and 8 carry a byte count two bytes
                       off, with data and a good CRC to match

Each meter has its own registers, event log and serial settings (its parameter block at
0x0300: address, protocol, parity, baud, data bits, stop bits). It answers only its own
address, in its own framing, and paces its replies at its own speed; writing those settings
(function 16 of the block, or function 6) changes that meter only, after its reply to the
write. A meter hears the console as a UART would: a request sent at another speed than its
own is not heard, and the stop bits never matter (a meter set to 2 also takes 1, and one set
to 1 takes 2). A pseudo-terminal carries the speed and the stop bits the console sets, but
not the parity or the data bits: on it a meter cannot tell the console's parity or data bits,
and takes every request at its own speed as if they matched. The simulator leaves the
terminal's speed as it finds it; until the console sets its speed, a meter at another speed
stays deaf. The meters answer functions 1, 2, 3, 5, 6, 8, 9 and 16, one request at a time on
the line. SIGINT or SIGTERM stops the simulator and removes its link.
)";
}
