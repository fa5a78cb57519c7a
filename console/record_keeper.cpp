#include "console/record_keeper.h"

#include <algorithm>
#include <cstdio>

#include "console/app_files.h"
#include "console/main_dialog.h"
#include "device/register_table.h"
#include "device/register_text.h"
#include "device/text_format.h"
#include "link/function_table.h"
#include "records/capture_format.h"
#include "records/data_log_format.h"

namespace {

constexpr const char* kStoppedText = "记录已停止：";
constexpr const char* kJournalFailedText = "操作记录写入失败：";
constexpr const char* kJournalRetryText = "（下次写操作时重试）";
constexpr const char* kCaptureName = "通讯记录";
constexpr const char* kDataLogName = "数据记录";
constexpr const char* kFileFilter = "CSV (*.csv)";
constexpr const char* kNotRead = "未读";
constexpr const char* kClosed = "合";
constexpr const char* kOpened = "分";

// A stop from the menu, or the end of the run, lets a capture's or data log's thread write what
// waits for this long; a failure taken in by the tick does not wait at all.
constexpr int kStopWaitMs = 1000;

constexpr uint16_t kClockAddress = 0x0082;
constexpr uint16_t kClockRegisters = 4;
// The request's address, function and first two words: what the meter's echo repeats.
constexpr size_t kEchoedBytes = 6;

uint16_t Word(const uint8_t* at) { return static_cast<uint16_t>(at[0] << 8 | at[1]); }

std::string Hex16(uint16_t value) { return Printf("0x%04X", static_cast<unsigned>(value)); }

// The meter's clock (Year, MmDd, HhMm, SsPp) as the window shows its date and time.
std::string ClockText(const uint16_t values[4]) {
  return Printf("%04d.%d.%d %d:%02d:%02d", values[0], values[1] / 256, values[1] % 256,
                values[2] / 256, values[2] % 256, values[3] / 256);
}

// "20261207-101502" from the local time, for a file name.
std::string FileStamp(const WallTime& when) {
  const std::string iso = IsoLocalText(when);
  std::string stamp;
  for (size_t k = 0; k < 19 && k < iso.size(); ++k) {
    if (iso[k] == 'T') {
      stamp += '-';
    } else if (iso[k] != '-' && iso[k] != ':') {
      stamp += iso[k];
    }
  }
  return stamp;
}

}  // namespace

// Adds the time from its making to its end to the tick's time in the recorders.
class RecordKeeper::Spent {
 public:
  explicit Spent(RecordKeeper& keeper)
      : m_keeper(keeper), m_start(std::chrono::steady_clock::now()) {}
  ~Spent() {
    m_keeper.m_tickNs += static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                             m_start)
            .count());
  }
  Spent(const Spent&) = delete;
  Spent& operator=(const Spent&) = delete;

 private:
  RecordKeeper& m_keeper;
  std::chrono::steady_clock::time_point m_start;
};

RecordKeeper::RecordKeeper(MainDialog& dialog)
    : m_journalFolder(JoinPath(DataFolder(), "journal")), m_dialog(dialog) {
  for (const DataColumn& column : DataLogColumns()) {
    m_dataFields.push_back(m_dialog.TextMember(column.controlId));
  }
}

RecordKeeper::~RecordKeeper() { Close(); }

void RecordKeeper::FrameWritten(const uint8_t* bytes, uint16_t length) {
  if (!m_capture) return;
  Spent spent(*this);
  RxPiece piece;
  piece.bytes = bytes;
  piece.length = length;
  Capture(CaptureWhat::Written, m_dialog.m_link.m_protocol, piece);
}

void RecordKeeper::Received(const RxPiece& piece) {
  if (piece.verdict == RxVerdict::LineLost) m_pendingLost = true;
  if (!m_capture) return;
  Spent spent(*this);
  Capture(CaptureWhat::Received, m_dialog.m_link.m_rxProtocol, piece);
}

void RecordKeeper::Capture(CaptureWhat what, int32_t framing, const RxPiece& piece) {
  CaptureEntry entry;
  entry.when = LocalNow();
  entry.sinceStartMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - m_captureStart)
                           .count();
  entry.framing = framing;
  entry.what = what;
  entry.piece = piece;
  m_capture->Hand(CaptureLine(entry));  // a failure is taken in at the next tick
}

void RecordKeeper::CapturePort(CaptureWhat what) {
  if (!m_capture) return;
  const std::string portLine = m_dialog.LineSummary();
  CaptureEntry entry;
  entry.when = LocalNow();
  entry.sinceStartMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - m_captureStart)
                           .count();
  entry.framing = m_dialog.m_link.m_protocol;
  entry.what = what;
  entry.portLine = portLine;
  m_capture->Hand(CaptureLine(entry));
}

void RecordKeeper::OnTick() {
  m_longestTickNs = std::max(m_longestTickNs, m_tickNs);
  m_tickNs = 0;
  if (m_dialog.m_link.m_ticks == 0) TakeFailures();
}

// Failures of several files at once are said together.
void RecordKeeper::TakeFailures() {
  std::vector<std::string> texts;
  if (m_journal && m_journal->Failed()) {
    if (const auto reason = m_journal->TakeFailure()) {
      texts.push_back(kJournalFailedText + *reason + kJournalRetryText);
    }
  }
  for (std::unique_ptr<RecordFile>* file : {&m_capture, &m_dataLog}) {
    if (!*file || !(*file)->Failed()) continue;
    const std::string reason = (*file)->TakeFailure().value_or("");
    const std::string path = (*file)->Path();
    (*file)->Finish(0);  // a disk that stopped answering may hold its thread: not waited for
    file->reset();
    texts.push_back(std::string(kStoppedText) + (file == &m_capture ? kCaptureName : kDataLogName) +
                    "（" + path + "）：" + reason);
    UpdateMenu();
  }
  if (texts.empty()) return;
  std::string said;
  for (const std::string& text : texts) {
    std::fprintf(stderr, "quorvel: %s\n", text.c_str());
    said += (said.empty() ? "" : "；") + text;
  }
  m_dialog.ShowNotice(said);
}

void RecordKeeper::RequestLogged() {
  const uint8_t* request = m_dialog.m_link.m_txBuf;
  const uint8_t function = request[1];
  const bool write = function == kFnWriteCoil || function == kFnWriteRegister ||
                     function == kFnClearEvents || function == kFnWriteMultiple;
  if (!write && !m_pending) return;
  Spent spent(*this);
  // The write before has no outcome of its own any more: this request replaced it on the line.
  if (m_pending) JournalPending("未确认（被后来的请求取代）");
  if (!write) return;
  if (m_user.empty()) m_user = UserName();
  m_pending = DescribeWrite();
  m_pendingLost = false;
  m_pendingRequest.assign(request, request + kEchoedBytes);
}

void RecordKeeper::TransactionEnded(int32_t result, int32_t kind, bool answered) {
  const ModbusLink& link = m_dialog.m_link;
  const bool realtime = answered && m_dataLog && link.m_rxBuf[1] == kFnReadHolding &&
                        link.m_readStart == 0 && link.m_lastCount == kRealtimeCount;
  if (m_pending || realtime) {
    Spent spent(*this);
    if (m_pending) JournalPending(Outcome(result, kind));
    if (realtime) m_dataLog->Hand(DataLogRow(LocalNow(), m_dataFields));
  }
  TakeFailures();
}

std::string RecordKeeper::Outcome(int32_t result, int32_t kind) const {
  if (m_pendingLost) return "串口断开";
  if (kind == kLinkTimedOut) return "超时";
  if (kind == kLinkException) {
    const char* name = ExceptionName(result);
    return name != nullptr ? Printf("异常 %02X（%s）", result, name) : Printf("异常 %02X", result);
  }
  if (result == kUnreadableFrame) return "应答无法识别";
  if (result != 0) return "应答校验错误";
  const uint8_t* reply = m_dialog.m_link.m_rxBuf;
  if (std::equal(m_pendingRequest.begin(), m_pendingRequest.end(), reply)) return "已确认";
  return Printf("回显不符（%02X %02X %02X %02X）", reply[2], reply[3], reply[4], reply[5]);
}

void RecordKeeper::JournalPending(const std::string& outcome) {
  if (!m_journal) m_journal = RecordFile::Journal(JournalHeader());
  const std::string path = JoinPath(m_journalFolder, LocalMonthText(m_pending->when) + ".csv");
  m_journal->HandNumbered(path, JournalLines(*m_pending, outcome));
  m_pending.reset();
  m_pendingLost = false;
}

std::optional<JournalWrite> RecordKeeper::DescribeWrite() const {
  const uint8_t* request = m_dialog.m_link.m_txBuf;
  JournalWrite write;
  write.when = LocalNow();
  write.user = m_user;
  write.portLine = m_dialog.LineSummary();
  write.slave = request[0];
  write.function = request[1];
  const uint16_t word1 = Word(request + 2);
  const uint16_t word2 = Word(request + 4);
  const auto& read = m_dialog.m_readValues;

  // A register by its index in the table (-1: none there), before as last read and after.
  auto change = [&](int32_t index, uint16_t address, uint16_t value) {
    JournalChange line;
    line.name = index >= 0 ? RegisterTable[static_cast<size_t>(index)].name : "寄存器";
    line.address = address;
    const bool known = index >= 0 && read[static_cast<size_t>(index)].has_value();
    line.before = known ? RegisterValueText(index, *read[static_cast<size_t>(index)]) : kNotRead;
    line.after = RegisterValueText(index, value);
    line.raw = Hex16(value);
    return line;
  };

  switch (write.function) {
    case kFnWriteCoil: {
      // The output's state as the Yk bits last read show it: "7654 3210".
      const std::string& bits = m_dialog.m_ykBits;
      std::string before = kNotRead;
      if (bits.size() == 9 && word1 < 8) {
        before = bits[word1 < 4 ? 8 - word1 : 7 - word1] == '1' ? kClosed : kOpened;
      }
      write.changes.push_back({Printf("Yk通道 %u", static_cast<unsigned>(word1)), word1, before,
                               word2 != 0 ? kClosed : kOpened, Hex16(word2)});
      break;
    }
    case kFnWriteRegister:
      write.changes.push_back(change(m_dialog.FindEntry(word1), word1, word2));
      break;
    case kFnClearEvents:
      write.changes.push_back({"事件记录", 0, "", "全部清除", ""});
      break;
    case kFnWriteMultiple: {
      const uint8_t* values = request + 7;
      const int32_t first = m_dialog.FindEntry(word1);
      if (word1 == kClockAddress && word2 == kClockRegisters && first >= 0) {
        uint16_t sent[kClockRegisters];
        uint16_t before[kClockRegisters];
        bool known = true;
        std::string raw;
        for (int k = 0; k < kClockRegisters; ++k) {
          sent[k] = Word(values + 2 * k);
          raw += Printf(k == 0 ? "%04X" : " %04X", static_cast<unsigned>(sent[k]));
          const auto& value = read[static_cast<size_t>(first + k)];
          known = known && value.has_value();
          before[k] = value.value_or(0);
        }
        write.changes.push_back(
            {"时钟", word1, known ? ClockText(before) : kNotRead, ClockText(sent), raw});
        break;
      }
      // One line per register whose value differs from what the meter was last read to hold.
      for (int k = 0; k < word2; ++k) {
        const int32_t index = first >= 0 && first + k < kRegisterCount ? first + k : -1;
        const uint16_t value = Word(values + 2 * k);
        if (index >= 0 && read[static_cast<size_t>(index)] == value) continue;
        const auto address = static_cast<uint16_t>(
            index >= 0 ? RegisterTable[static_cast<size_t>(index)].address : word1 + 2 * k);
        write.changes.push_back(change(index, address, value));
      }
      if (write.changes.empty()) write.changes.push_back({"无变化", word1, "", "", ""});
      break;
    }
    default:
      return std::nullopt;
  }
  return write;
}

void RecordKeeper::LineReopened() { CapturePort(CaptureWhat::Reopened); }

void RecordKeeper::ReadBackChecked(uint16_t address, std::vector<JournalChange> differences,
                                   bool failed) {
  Spent spent(*this);
  const bool agrees = differences.empty();
  JournalWrite check;
  check.when = LocalNow();
  check.user = m_user.empty() ? UserName() : m_user;
  check.portLine = m_dialog.LineSummary();
  check.slave = m_dialog.m_link.m_slaveAddress;
  check.function = kFnReadHolding;
  check.changes =
      agrees ? std::vector<JournalChange>{{"读回", address, "", "", ""}} : std::move(differences);
  if (!m_journal) m_journal = RecordFile::Journal(JournalHeader());
  const std::string path = JoinPath(m_journalFolder, LocalMonthText(check.when) + ".csv");
  const char* outcome = failed ? "读回失败" : agrees ? "读回一致" : "读回不一致";
  m_journal->HandNumbered(path, JournalLines(check, outcome));
}

// The journal is given the longest to finish; what it still could not write is said on standard
// error, there being no window left to say it in.
void RecordKeeper::Close() {
  if (m_closed) return;
  m_closed = true;
  if (m_pending) JournalPending("未确认");
  if (m_journal) {
    m_journal->Finish(RecordFile::kFinishWaitMs);
    if (const auto reason = m_journal->TakeFailure()) {
      std::fprintf(stderr, "quorvel: %s%s\n", kJournalFailedText, reason->c_str());
    }
  }
  for (RecordFile* file : {m_capture.get(), m_dataLog.get()}) {
    if (file != nullptr) file->Finish(kStopWaitMs);
  }
}

void RecordKeeper::StartCapture(const std::string& path) {
  if (m_capture) m_capture->Finish(kStopWaitMs);
  m_capture = RecordFile::Stream(path, CaptureHeader());
  m_captureStart = std::chrono::steady_clock::now();
  CapturePort(CaptureWhat::Start);
  UpdateMenu();
}

void RecordKeeper::StopCapture() {
  if (m_capture) m_capture->Finish(kStopWaitMs);
  m_capture.reset();
  UpdateMenu();
}

void RecordKeeper::StartDataLog(const std::string& path) {
  if (m_dataLog) m_dataLog->Finish(kStopWaitMs);
  m_dataLog = RecordFile::Stream(path, DataLogHeader());
  UpdateMenu();
}

void RecordKeeper::StopDataLog() {
  if (m_dataLog) m_dataLog->Finish(kStopWaitMs);
  m_dataLog.reset();
  UpdateMenu();
}

void RecordKeeper::AskCapture() {
  const std::string suggested =
      JoinPath(DataFolder(), std::string(kCaptureName) + "-" + FileStamp(LocalNow()) + ".csv");
  if (const auto path = m_dialog.m_window.AskSaveFile("记录通讯", suggested, kFileFilter)) {
    StartCapture(*path);
  }
}

void RecordKeeper::AskDataLog() {
  const std::string suggested =
      JoinPath(DataFolder(), std::string(kDataLogName) + "-" + FileStamp(LocalNow()) + ".csv");
  if (const auto path = m_dialog.m_window.AskSaveFile("记录数据", suggested, kFileFilter)) {
    StartDataLog(*path);
  }
}

// The folder is made first, so that there is something to show before the first write.
void RecordKeeper::OpenJournalFolder() {
  if (const auto why = MakeFolders(m_journalFolder)) {
    m_dialog.ShowNotice("无法建立操作记录文件夹：" + *why);
  } else if (!m_dialog.m_window.OpenFolder(m_journalFolder)) {
    m_dialog.ShowNotice("无法打开文件夹：" + m_journalFolder);
  }
}

void RecordKeeper::UpdateMenu() {
  DialogWindow& window = m_dialog.m_window;
  window.EnableMenuItem(IDM_TRACE_START, !Capturing());
  window.EnableMenuItem(IDM_TRACE_STOP, Capturing());
  window.EnableMenuItem(IDM_LOG_START, !Logging());
  window.EnableMenuItem(IDM_LOG_STOP, Logging());
}
