// `quorvel --save-profile` and `quorvel --apply-profile`: parameter profiles from a terminal, so
// that a shell loop over the addresses of a bus commissions every meter on it alike.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli.h"
#include "console/app_files.h"
#include "console/host_settings.h"
#include "console/line_watch.h"
#include "device/code_lookup.h"
#include "device/text_format.h"
#include "device/text_number.h"
#include "link/modbus_link.h"
#include "profiles/profile.h"
#include "records/journal_format.h"
#include "records/record_file.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitDiffers = 1;
constexpr int kExitRefused = 2;
constexpr int kExitNotWritten = 3;
constexpr uint16_t kBlockStart = 0x0300;
constexpr int kDataOffset = 3;

// The meter addressed on the line the options give.
struct Target {
  std::string port;  // "COM3", or an adapter's path
  std::string portText;
  HostSettings line;
  bool yes = false;
};

// One option's value into the target; the reason when it is none a meter's line takes.
std::optional<std::string> Apply(const std::string& name, const std::string& value, Target& t) {
  const auto number = [&](int64_t low, int64_t high) -> std::optional<int64_t> {
    const Entered<int64_t> n = EnterInteger(value, low, high);
    if (n.outcome != Entry::Accepted) return std::nullopt;
    return n.value;
  };
  const std::string upper = UpperAscii(value);
  if (name == "--port") {
    const auto port = PortOfOption(value);
    if (!port) return "no port named " + value + " (see quorvel --ports)";
    t.port = *port;
    t.portText = value;
  } else if (name == "--address") {
    const auto address = number(kFirstSlaveAddress, kLastSlaveAddress);
    if (!address) return "--address takes 1 to 247";
    t.line.address = static_cast<int32_t>(*address);
  } else if (name == "--baud") {
    const uint32_t code = PositionIn(BaudNames, value);
    if (code >= BaudNames.size()) return "--baud takes 300, 600, 1200, 2400, 4800, 9600 or 19200";
    t.line.baud = static_cast<uint32_t>(*number(300, 19200));
  } else if (name == "--parity") {
    const std::string p = upper.substr(0, 1);
    if (upper.empty() ||
        (upper.size() > 1 && upper != "NONE" && upper != "ODD" && upper != "EVEN") ||
        (p != "N" && p != "O" && p != "E")) {
      return "--parity takes N, E or O (NONE, EVEN, ODD)";
    }
    t.line.parity = p == "N" ? 0 : p == "O" ? 1 : 2;
  } else if (name == "--data-bits") {
    if (value != "7" && value != "8") return "--data-bits takes 7 or 8";
    t.line.dataBits = static_cast<uint8_t>(value[0] - '0');
  } else if (name == "--stop-bits") {
    if (value != "1" && value != "2") return "--stop-bits takes 1 or 2";
    t.line.stopBits = static_cast<uint8_t>(value[0] - '0');
  } else if (name == "--protocol") {
    if (upper != "RTU" && upper != "ASCII") return "--protocol takes rtu or ascii";
    t.line.protocol = upper == "RTU" ? kProtocolRtu : kProtocolAscii;
  } else {
    return "unknown option " + name;
  }
  return std::nullopt;
}

// The link to the one meter, driven at the console's own tick: requests run one at a time to
// their end (answer, refusal or time-out) as in the window.
class MeterSession : public LinkNotifyTarget {
 public:
  explicit MeterSession(const Target& t) : m_portText(t.portText) {
    m_link.SetDefaults();
    m_link.m_notifyWnd = this;
    m_link.m_protocol = t.line.protocol;
    m_link.m_slaveAddress = t.line.address;
    m_link.ChoosePort(t.port);
    m_link.m_baudRate = t.line.baud;
    m_link.m_parity = t.line.parity;
    m_link.m_dataBits = t.line.dataBits;
    m_link.m_stopBits = t.line.stopBits;
    m_link.Open();
  }

  void PostMessage(uint32_t message, int32_t wParam, int32_t lParam) override {
    if (message != WM_LINK_DONE) return;
    m_done = true;
    m_result = wParam;
    m_ending = lParam;
  }

  // Why the port is not open; empty when it is.
  std::string LineFailure() const {
    if (m_link.m_isOpen) return {};
    return LineErrorText(m_portText, m_link.LastError());
  }

  // The 44 registers of the block; nullopt with the reason in `why`.
  std::optional<ParameterBlock> ReadBlock(std::string& why) {
    if (!Run([&] { return m_link.ReadHolding(kBlockStart, kParameterCount); }, why)) return {};
    if (m_link.m_rxBuf[1] != kFnReadHolding || m_link.m_rxBuf[2] != 2 * kParameterCount) {
      why = "仪表的应答不是参数块";
      return std::nullopt;
    }
    ParameterBlock block{};
    for (int k = 0; k < kParameterCount; ++k) {
      const uint8_t* word = m_link.m_rxBuf + kDataOffset + 2 * k;
      block[static_cast<size_t>(k)] = static_cast<uint16_t>(word[0] << 8 | word[1]);
    }
    return block;
  }

  bool WriteBlock(const ParameterBlock& block, std::string& why) {
    return Run([&] { return m_link.WriteParameters(block.data()); }, why);
  }

 private:
  template <typename Send>
  bool Run(Send send, std::string& why) {
    m_done = false;
    if (!send()) {
      why = m_link.m_isOpen ? "发送失败：串口不接受数据" : "串口未打开";
      return false;
    }
    while (!m_done) {
      std::this_thread::sleep_for(std::chrono::milliseconds(m_link.m_timerPeriod));
      m_link.PumpReceive();
    }
    if (m_ending == kLinkException) {
      why = Printf("通讯失败：从机返回异常码 %02X", static_cast<unsigned>(m_result));
      return false;
    }
    if (m_ending != kLinkFrame || m_result != 0) {
      why = "通讯失败：仪表无应答或应答有误";
      return false;
    }
    return true;
  }

  ModbusLink m_link;
  std::string m_portText;
  bool m_done = false;
  int32_t m_result = 0;
  int32_t m_ending = 0;
};

// The file and the options after it; the exit status and the reason when they are refused.
std::optional<int> ReadOptions(const char* verb, const std::vector<std::string>& options,
                               bool allowYes, Target& t, std::string& file, std::FILE* err) {
  const LoadedHostSettings saved = LoadHostSettings(HostSettingsPath());
  t.line = saved.settings.value_or(HostSettings{});
  t.port = t.line.port;
  t.portText = t.line.port;
  if (options.empty() || options[0].rfind("--", 0) == 0) {
    std::fprintf(err, "quorvel %s: the profile file comes first\n%s", verb, VerbUsage());
    return kExitRefused;
  }
  file = options[0];
  for (size_t k = 1; k < options.size(); ++k) {
    const std::string& name = options[k];
    if (name == "--yes" && allowYes) {
      t.yes = true;
    } else if (k + 1 < options.size()) {
      if (const auto refusal = Apply(name, options[++k], t)) {
        std::fprintf(err, "quorvel %s: %s\n%s", verb, refusal->c_str(), VerbUsage());
        return kExitRefused;
      }
    } else {
      std::fprintf(err, "quorvel %s: %s needs a value\n%s", verb, name.c_str(), VerbUsage());
      return kExitRefused;
    }
  }
  return std::nullopt;
}

std::string LineSummary(const Target& t) {
  return t.portText + ":" + std::to_string(t.line.baud) + "," +
         std::string(ParityNames[t.line.parity % 3]).substr(0, 1) + "," +
         std::to_string(t.line.dataBits) + "," + std::to_string(t.line.stopBits);
}

// The write into the month's journal file as the console journals its writes (one line per
// register it changed, against the block read just before), then its read-back; any failure to
// write the journal goes to standard error.
void JournalApplied(const Target& t, const WallTime& when, const ParameterBlock& before,
                    const ParameterBlock& written, const std::string& outcome,
                    const std::optional<ParameterBlock>& readBack, std::FILE* err) {
  JournalWrite write;
  write.when = when;
  write.user = UserName();
  write.portLine = LineSummary(t);
  write.slave = t.line.address;
  write.function = kFnWriteMultiple;
  write.changes = ChangedRegisters(kParameterFirst, before.data(), written.data(), kParameterCount);
  const std::string path =
      JoinPath(JoinPath(DataFolder(), "journal"), LocalMonthText(write.when) + ".csv");
  const auto journal = RecordFile::Journal(JournalHeader());
  journal->HandNumbered(path, JournalLines(write, outcome));
  if (readBack) {
    JournalWrite check = write;
    check.when = LocalNow();  // the read-back ended after the write
    check.function = kFnReadHolding;
    check.changes =
        ChangedRegisters(kParameterFirst, written.data(), readBack->data(), kParameterCount);
    const bool agrees = check.changes.empty();
    if (agrees) check.changes.push_back({"读回", kBlockStart, "", "", ""});
    journal->HandNumbered(path, JournalLines(check, agrees ? "读回一致" : "读回不一致"));
  }
  if (!journal->WaitWritten(RecordFile::kFinishWaitMs)) {
    const auto failure = journal->TakeFailure();
    std::fprintf(err, "quorvel --apply-profile: 操作记录写入失败：%s\n",
                 failure ? failure->c_str() : path.c_str());
  }
}

}  // namespace

int RunSaveProfileVerb(const std::vector<std::string>& options, std::FILE* out, std::FILE* err) {
  Target target;
  std::string file;
  if (const auto refused = ReadOptions("--save-profile", options, false, target, file, err)) {
    return *refused;
  }
  MeterSession meter(target);
  std::string why = meter.LineFailure();
  const auto block = why.empty() ? meter.ReadBlock(why) : std::nullopt;
  if (!block) {
    std::fprintf(err, "quorvel --save-profile: %s\n", why.c_str());
    return kExitRefused;
  }
  const ProfileOrigin origin{IsoLocalText(LocalNow()), target.portText, LineSummary(target),
                             target.line.address, MeterLineOf(*block)};
  if (const auto failed = WriteProfile(file, ProfileText(*block, origin))) {
    std::fprintf(err, "quorvel --save-profile: 参数文件未能保存：%s\n", failed->c_str());
    return kExitRefused;
  }
  std::fprintf(out, "参数已保存到 %s\n", file.c_str());
  return kExitDone;
}

int RunApplyProfileVerb(const std::vector<std::string>& options, std::FILE* out, std::FILE* err) {
  Target target;
  std::string file;
  if (const auto refused = ReadOptions("--apply-profile", options, true, target, file, err)) {
    return *refused;
  }
  const ProfileRead profile = ReadProfile(file);
  if (!profile.block) {
    std::fprintf(err, "quorvel --apply-profile: %s\n", profile.reason.c_str());
    return kExitRefused;
  }
  MeterSession meter(target);
  std::string why = meter.LineFailure();
  const auto before = why.empty() ? meter.ReadBlock(why) : std::nullopt;
  if (!before) {
    std::fprintf(err, "quorvel --apply-profile: %s\n", why.c_str());
    return kExitRefused;
  }
  const ParameterBlock wanted = WithProfile(*before, *profile.block);
  const std::vector<std::string> changes = BlockChanges(*before, wanted);
  std::fprintf(out, "%s\n", ChangesText(changes).c_str());
  std::fflush(out);
  if (changes.empty()) return kExitDone;
  if (!target.yes) {
    std::fprintf(err, "quorvel --apply-profile: 未写入（加 --yes 写入仪表）\n");
    return kExitNotWritten;
  }
  std::optional<ParameterBlock> after;
  const WallTime writtenAt = LocalNow();
  const bool written = meter.WriteBlock(wanted, why);
  if (written) after = meter.ReadBlock(why);
  JournalApplied(target, writtenAt, *before, wanted, written ? "已确认" : why, after, err);
  if (!after) {
    std::fprintf(err, "quorvel --apply-profile: %s\n", why.c_str());
    return kExitRefused;
  }
  const auto differences =
      ReadBackDifferences(kBlockStart, wanted.data(), after->data(), kParameterCount);
  if (!differences.empty()) {
    std::fprintf(out, "%s\n", ReadBackText(differences).c_str());
    return kExitDiffers;
  }
  std::fprintf(out, "参数已写入，读回一致\n");
  return kExitDone;
}
