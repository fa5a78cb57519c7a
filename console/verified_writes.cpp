// Verified writes: after the meter echoes "写参数", "写寄存器" or "校时", the console reads back
// what it wrote, as a transaction of its own, and says whether the meter holds it. A meter may
// clamp or ignore a value and still echo the write.
#include <string>

#include "console/main_dialog.h"
#include "console/record_keeper.h"
#include "device/text_format.h"
#include "profiles/profile.h"

namespace {

constexpr uint16_t kRealtimeStart = 0x0000;
constexpr int kDataOffset = 3;

// Addresses of the meter's own communication settings: a write there switches the meter's line
// after its reply, so the console's line can read nothing back.
constexpr uint16_t kMeterLineAddresses[] = {0x0300, 0x0304, 0x0306, 0x0308, 0x031E, 0x0320};

bool IsMeterLineAddress(uint16_t address) {
  for (uint16_t own : kMeterLineAddresses) {
    if (own == address) return true;
  }
  return false;
}

// Register n of the register reply in the receive buffer.
uint16_t ReplyWord(const uint8_t* frame, int n) {
  return static_cast<uint16_t>(frame[kDataOffset + 2 * n] << 8 | frame[kDataOffset + 2 * n + 1]);
}

std::string ClockText(const uint16_t clock[4]) {
  return Printf("%d.%d.%d %d:%02d:%02d", clock[0], clock[1] >> 8, clock[1] & 0xFF, clock[2] >> 8,
                clock[2] & 0xFF, clock[3] >> 8);
}

const char* OkText(WriteCheck::Kind kind) {
  switch (kind) {
    case WriteCheck::Kind::Register:
      return "寄存器已写入，读回一致";
    case WriteCheck::Kind::Clock:
      return "时钟已写入，读回一致";
    default:
      return "参数已写入，读回一致";
  }
}

}  // namespace

void MainDialog::ExpectReadBack(WriteCheck::Kind kind, uint16_t start, const uint16_t* values,
                                int count) {
  m_writeCheck = {};
  m_writeCheck.kind = kind;
  m_writeCheck.start = start;
  m_writeCheck.written.assign(values, values + count);
  if (kind == WriteCheck::Kind::Block) {
    std::array<uint16_t, kParameterCount> written{};
    for (int k = 0; k < kParameterCount && k < count; ++k)
      written[static_cast<size_t>(k)] = values[k];
    m_writeCheck.meterLineChanged = ChangesMeterLine(MeterBlock(), written);
  } else if (kind == WriteCheck::Kind::Register) {
    m_writeCheck.meterLineChanged = IsMeterLineAddress(start);
  }
}

bool MainDialog::CheckWrite(bool answered) {
  if (m_writeCheck.kind == WriteCheck::Kind::None) return false;
  WriteCheck check = std::move(m_writeCheck);
  m_writeCheck = {};
  // A failed write or read-back: 提示信息 already says why; nothing is known of what the meter
  // holds. A reply from a meter or line no longer in use checks nothing either.
  if (!answered || !ReplyFromMeterInUse()) {
    if (check.phase == WriteCheck::Phase::ReadBack) {
      m_status = "写入后读回失败，未能确认仪表所存的值";
      m_records->ReadBackChecked(check.start, {}, true);
    }
    return false;
  }
  const int count = static_cast<int>(check.written.size());
  if (check.phase == WriteCheck::Phase::Echo) {
    if (check.meterLineChanged) {
      std::string line = m_slaveSettings;
      while (!line.empty() && line.back() == ' ') line.pop_back();
      m_status = "已写入，仪表的通讯设定已改为 " + line +
                 "，未读回：请将主机通讯设定改为与之相同后再读参数";
      return false;
    }
    check.phase = WriteCheck::Phase::ReadBack;
    const bool sent = check.kind == WriteCheck::Kind::Clock
                          ? m_link.ReadHolding(kRealtimeStart, kRealtimeCount)
                          : m_link.ReadHolding(check.start, static_cast<uint16_t>(count));
    LogSend(sent);
    if (sent) m_writeCheck = std::move(check);
    return sent;
  }

  const uint8_t* frame = m_link.m_rxBuf;
  std::vector<uint16_t> readBack(static_cast<size_t>(count));
  const int first = check.kind == WriteCheck::Kind::Clock ? kClockFirst : 0;
  for (int k = 0; k < count; ++k) readBack[static_cast<size_t>(k)] = ReplyWord(frame, first + k);
  if (check.kind == WriteCheck::Kind::Clock && count == 4) {
    const int64_t elapsedMs = int64_t{check.ticks} * m_link.m_timerPeriod;
    const bool agrees = ClockAgrees(check.written.data(), readBack.data(), elapsedMs);
    const std::string written = ClockText(check.written.data());
    const std::string read = ClockText(readBack.data());
    m_status = agrees ? OkText(check.kind) : "读回不一致：仪表时钟 " + read + "，写入 " + written;
    std::vector<JournalChange> lines;
    if (!agrees) lines.push_back({"时钟", check.start, written, read, ""});
    m_records->ReadBackChecked(check.start, std::move(lines));
    return false;
  }
  const std::vector<std::string> differences =
      ReadBackDifferences(check.start, check.written.data(), readBack.data(), count);
  m_status = differences.empty() ? OkText(check.kind) : ReadBackText(differences);
  m_records->ReadBackChecked(
      check.start,
      ChangedRegisters(FindEntry(check.start), check.written.data(), readBack.data(), count));
  return false;
}
