#include "link/modbus_link.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "link/function_table.h"

namespace {

constexpr int32_t kDefaultTimeoutTicks = 50;
constexpr int32_t kDefaultTimerPeriodMs = 50;

constexpr uint16_t kClockStart = 0x0082;
constexpr uint16_t kClockRegisters = 4;
constexpr uint16_t kParameterStart = 0x0300;
constexpr uint16_t kParameterRegisters = 44;

// The reply time-out never falls below the timer's 50 ticks; on slow lines it also allows the
// request and its longest reply on the wire, plus this much.
constexpr int32_t kReplyMarginMs = 1000;

// The characters an RTU frame of n bytes (CRC included) takes as an ASCII frame: each byte but the
// CRC twice, the LRC twice, ':' and CR LF.
int32_t AsciiCharacters(int32_t n) { return AsciiFrameLength(n - 2); }

// The shortest reply to a read of one event record that answers: the record's bytes.
constexpr int32_t kEventRecordBytes = 24;

// The longest request the catalogue builds (function 16 with the 44 parameters) fits the ASCII
// transmit buffer.
static_assert(AsciiFrameLength(9 + 2 * 44 - 2) <= kMaxAsciiFrameLen);

// The length a reply has, CRC included, from its first three bytes; 0 for a code of no reply
// class.
int32_t ReplyLength(const uint8_t* frame) { return LengthOf(RuleOf(frame[1]).reply, frame); }

// The link's own tallies count on through every value and wrap.
uint32_t Incremented(uint32_t counter) { return counter + 1u; }

void PutWord(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value >> 8);
  at[1] = static_cast<uint8_t>(value & 0xFF);
}

}  // namespace

void ModbusLink::SetDefaults() {
  m_successCount = 0;
  m_failureCount = 0;
  m_ticks = 0;
  m_timeoutTicks = kDefaultTimeoutTicks;
  m_replyTicks = kDefaultTimeoutTicks;
  m_timerPeriod = kDefaultTimerPeriodMs;
  m_rxPos = 0;
  m_slaveAddress = 1;
  m_port = 1;
  m_baudRate = 9600;
  m_parity = 0;
  m_dataBits = 8;
  m_stopBits = 2;
}

template <typename Build>
bool ModbusLink::Send(Build build) {
  // Only an address a meter can have goes out, as held, never cut to its low byte: 0 is the
  // broadcast that every meter on the bus obeys, 248 to 255 are reserved, and 257 would reach
  // meter 1. The console refuses such an address where it is typed; this holds whatever the link
  // is given.
  if (m_slaveAddress < kFirstSlaveAddress || m_slaveAddress > kLastSlaveAddress) return false;
  if (m_protocol != kProtocolRtu && m_protocol != kProtocolAscii) return false;
  if (!m_isOpen) return false;
  // Bytes still waiting (a late answer to an earlier request, noise) and a partial frame can
  // never be this request's answer.
  DiscardInput();
  const uint16_t length = build();
  const uint8_t* onLine = m_txBuf;
  uint16_t characters = length;
  if (m_protocol == kProtocolAscii) {
    // The same request without its CRC, in characters closed with the LRC.
    characters = EncodeAscii(m_txBuf, static_cast<uint16_t>(length - 2), m_asciiTx);
    onLine = m_asciiTx;
  }
  // A frame the line refused went nowhere: the transaction outstanding, if any, is still the one
  // on the wire.
  if (!Write(onLine, characters)) return false;
  DropHeld();
  if (m_observer != nullptr) m_observer->FrameWritten(onLine, characters);
  StartTransaction(length);
  return true;
}

RequestTarget ModbusLink::Target() const {
  return {m_protocol,  m_slaveAddress, m_boundPath, m_baudRate,
          m_parity,    m_dataBits,     static_cast<uint8_t>(m_stopBits & 1),
          m_openCount};
}

void ModbusLink::StartTransaction(uint16_t requestLength) {
  if (m_ticks != 0) m_replacedCount = Incremented(m_replacedCount);
  ClearScan();
  m_rxProtocol = m_protocol;
  m_ticks = 1;
  m_requestAddress = m_txBuf[0];
  m_requestFunction = m_txBuf[1];
  // The byte count the answer must carry, for the replies that have one.
  const int32_t quantity = m_txBuf[4] << 8 | m_txBuf[5];
  m_answerCountAtLeast = m_requestFunction == kFnReadEvent;
  switch (m_requestFunction) {
    case kFnReadCoils:
    case kFnReadInputs:
      m_answerCount = (quantity + 7) / 8;
      break;
    case kFnReadHolding:
    case kFnReadInput:
      m_answerCount = 2 * quantity;
      break;
    case kFnReadEvent:
      m_answerCount = kEventRecordBytes;
      break;
    default:
      m_answerCount = 0;
      break;
  }
  m_requestTarget = Target();
  const int32_t replyLength = LongestReply();
  const int32_t characters = m_protocol == kProtocolAscii
                                 ? AsciiCharacters(requestLength) + AsciiCharacters(replyLength)
                                 : requestLength + replyLength;
  m_replyTicks = std::max(m_timeoutTicks, WireTicks(characters));
  m_requestsWritten = Incremented(m_requestsWritten);
}

int32_t ModbusLink::LongestReply() const {
  const int32_t count = m_txBuf[4] << 8 | m_txBuf[5];
  switch (m_txBuf[1]) {
    case kFnReadCoils:
    case kFnReadInputs:
      return 5 + (count + 7) / 8;
    case kFnReadHolding:
    case kFnReadInput:
      return std::min(5 + 2 * count, kMaxReplyLen);
    case kFnReadEvent:
      return kMaxReplyLen;  // the meter gives the record's length
    default:
      return 8;
  }
}

int32_t ModbusLink::WireTicks(int32_t characters) const {
  // Start bit, data bits, parity bit, stop bits.
  const int64_t bits = 1 + m_dataBits + (m_parity != 0 ? 1 : 0) + ((m_stopBits & 1) != 0 ? 1 : 2);
  const int64_t baud = std::max<uint32_t>(m_baudRate, 1);
  const int64_t ms = (characters * bits * 1000 + baud - 1) / baud + kReplyMarginMs;
  const int64_t period = std::max(m_timerPeriod, 1);
  return static_cast<int32_t>(std::min<int64_t>((ms + period - 1) / period, INT32_MAX));
}

uint16_t ModbusLink::BuildHeader(uint8_t function, uint16_t word1, uint16_t word2) {
  m_txBuf[0] = static_cast<uint8_t>(m_slaveAddress & 0xFF);
  m_txBuf[1] = function;
  PutWord(m_txBuf + 2, word1);
  PutWord(m_txBuf + 4, word2);
  CloseFrame(m_txBuf, 8);
  return 8;
}

uint16_t ModbusLink::BuildWriteMultiple(uint16_t start, const uint16_t* values, uint16_t count) {
  m_txBuf[0] = static_cast<uint8_t>(m_slaveAddress & 0xFF);
  m_txBuf[1] = kFnWriteMultiple;
  PutWord(m_txBuf + 2, start);
  PutWord(m_txBuf + 4, count);
  m_txBuf[6] = static_cast<uint8_t>(count * 2);
  for (uint16_t k = 0; k < count; ++k) PutWord(m_txBuf + 7 + 2 * k, values[k]);
  const auto length = static_cast<uint16_t>(9 + count * 2);
  CloseFrame(m_txBuf, length);
  m_lastCount = count;
  return length;
}

bool ModbusLink::ReadCoils(uint16_t start, uint16_t count) {
  return Send([&] {
    m_lastCount = count;
    return BuildHeader(kFnReadCoils, start, count);
  });
}

bool ModbusLink::ReadInputs(uint16_t start, uint16_t count) {
  return Send([&] {
    m_lastCount = count;
    return BuildHeader(kFnReadInputs, start, count);
  });
}

bool ModbusLink::ReadHolding(uint16_t start, uint16_t count) {
  return Send([&] {
    m_readStart = start;
    m_lastCount = count;
    return BuildHeader(kFnReadHolding, start, count);
  });
}

bool ModbusLink::WriteCoil(uint16_t coil, uint16_t state) {
  return Send([&] {
    const uint16_t on = (state & 0xFF) != 0 ? 0xFF00 : 0x0000;
    return BuildHeader(kFnWriteCoil, coil & 0xFF, on);
  });
}

bool ModbusLink::WriteRegister(uint16_t address, uint16_t value) {
  return Send([&] {
    m_lastCount = 1;
    return BuildHeader(kFnWriteRegister, address, value);
  });
}

bool ModbusLink::ReadEvent(uint16_t index) {
  return Send([&] { return BuildHeader(kFnReadEvent, 0, index); });
}

bool ModbusLink::ClearEvents() {
  return Send([&] { return BuildHeader(kFnClearEvents, 0, 0); });
}

bool ModbusLink::WriteClock(const uint16_t values[4]) {
  return Send([&] { return BuildWriteMultiple(kClockStart, values, kClockRegisters); });
}

bool ModbusLink::WriteParameters(const uint16_t values[44]) {
  return Send([&] { return BuildWriteMultiple(kParameterStart, values, kParameterRegisters); });
}

void ModbusLink::AppendFrame(std::string& text, const uint8_t* frame, int32_t n) const {
  if (n == 0) {
    text += "未知功能码";
  } else if (m_protocol == kProtocolRtu) {
    AppendHex(text, frame, n);
  } else {
    AppendAscii(text, frame, n - 2);  // the characters from ':' to the LRC
  }
}

void ModbusLink::DumpTx(std::string& text) const {
  if (m_protocol != kProtocolRtu && m_protocol != kProtocolAscii) {
    text += "未知通讯规约";
    return;
  }
  AppendFrame(text, m_txBuf, LengthOf(RuleOf(m_txBuf[1]).request, m_txBuf));
}

void ModbusLink::DumpRx(std::string& text) const {
  if (m_protocol != kProtocolRtu && m_protocol != kProtocolAscii) {
    text += "未知通讯规约";
    return;
  }
  const FunctionRule rule = RuleOf(m_rxBuf[1]);
  AppendFrame(text, m_rxBuf, rule.replyLogged ? LengthOf(rule.reply, m_rxBuf) : 0);
}

void ModbusLink::PumpReceive() {
  // A partial frame read in the other framing is no start of a frame in this one.
  if (m_protocol != m_rxProtocol) {
    DropHeld();
    m_rxProtocol = m_protocol;
  }
  if (m_protocol == kProtocolRtu) {
    ReceiveRtu();
  } else if (m_protocol == kProtocolAscii) {
    ReceiveAscii();
  }
}

int32_t ModbusLink::AbandonOnLoss() {
  const bool outstanding = m_ticks != 0;
  const int32_t received = m_rxPos;
  if (m_rxProtocol == kProtocolAscii) {
    ReportStray(HeldVerdict());
    Report(m_asciiRx, m_rxPos, RxVerdict::LineLost);
  } else {
    Report(outstanding ? m_scan : m_rxBuf, m_rxPos, RxVerdict::LineLost);
  }
  ClearScan();
  m_ticks = 0;
  return outstanding ? received : -1;
}

void ModbusLink::Post(int32_t wParam, int32_t lParam) {
  if (m_notifyWnd != nullptr) m_notifyWnd->PostMessage(WM_LINK_DONE, wParam, lParam);
}

bool ModbusLink::CountTick() {
  if (m_ticks == 0) return false;
  if (m_ticks < m_replyTicks) {
    ++m_ticks;
    return false;
  }
  m_ticks = 0;
  return true;
}

// A tick reads what came before it counts the time: a reply that arrived during the last tick
// of its time-out is taken, not timed out and then dropped as a frame that answers nothing.
void ModbusLink::ReceiveRtu() {
  while (BytesWaiting()) {
    const uint8_t byte = ReadByte();
    if (m_ticks == 0) {
      AssembleIdle(byte);
    } else if (ScanByte(byte)) {
      return;  // further bytes wait for the next tick
    }
  }
  if (!CountTick()) return;
  // The time-out reports the bytes of the answer that came: those from the oldest place it may
  // still start.
  const int32_t from = m_startCount > 0 ? m_starts[0].at : m_rxPos;
  const int32_t received = m_rxPos - from;
  Report(m_scan, from, RxVerdict::Stray);
  Report(m_scan + from, received, RxVerdict::TimedOut);
  ClearScan();
  Post(received, kLinkTimedOut);
}

void ModbusLink::AssembleIdle(uint8_t byte) {
  m_rxBuf[m_rxPos] = byte;
  const int32_t p = ++m_rxPos;
  if (p == 1) return;  // the address byte
  if (p == 2) {
    // A frame of no class is dropped once 7 bytes of it have come, as an 8-byte one would be;
    // a byte-counted one is 5 bytes and its count, an exception reply 5.
    const FrameLength shape = RuleOf(m_rxBuf[1]).reply;
    m_baseLen = shape == FrameLength::Eight || shape == FrameLength::None ? 8 : 5;
    m_expectedLen = m_baseLen;
    return;
  }
  if (p == m_baseLen - 1) {
    const FrameLength shape = RuleOf(m_rxBuf[1]).reply;
    if (shape == FrameLength::None) {
      Report(m_rxBuf, p, RxVerdict::Idle);
      m_rxPos = 0;  // no reply class: drop the bytes, the next one starts a new frame
    } else {
      m_expectedLen = LengthOf(shape, m_rxBuf);
    }
    return;
  }
  if (p == m_expectedLen) {
    Report(m_rxBuf, p, RxVerdict::Idle);
    m_rxPos = 0;
    m_discardedFrames = Incremented(m_discardedFrames);
  }
}

bool ModbusLink::ScanByte(uint8_t byte) {
  if (m_rxPos == kFrameBufferSize) SettleStray();
  m_scan[m_rxPos++] = byte;
  const int32_t end = m_rxPos;

  // Each place the answer may start takes the byte at its offset; one whose header held is
  // complete at its length, and only then is its CRC computed. The oldest complete one with a
  // good CRC is the answer.
  AnswerStart answer{-1, 0};
  AnswerStart failed{-1, 0};
  int32_t kept = 0;
  for (int32_t k = 0; k < m_startCount; ++k) {
    AnswerStart start = m_starts[k];
    if (start.length == 0 && !FitsAnswer(start, end - 1 - start.at, byte)) continue;
    if (start.length != 0 && end - start.at == start.length) {
      if (CheckFrame(m_scan + start.at, static_cast<uint16_t>(start.length)) != 0) {
        failed = start;
      } else if (answer.at < 0) {
        answer = start;
      }
      continue;
    }
    m_starts[kept++] = start;
  }
  m_startCount = kept;
  if (answer.at >= 0) {
    EndWithFrame(answer, true);
    return true;
  }
  if (byte == m_requestAddress && m_startCount < static_cast<int32_t>(std::size(m_starts))) {
    m_starts[m_startCount++] = {end - 1, 0};
  }
  for (int32_t skipped = 0; (skipped = SkipWholeFrame()) > 0;) failed.at -= skipped;
  // A frame placed as the answer that does not check fails the transaction, unless another place
  // whose header held is still pending: noise may hold a false start of the frame that follows.
  const bool pending = std::any_of(m_starts, m_starts + m_startCount,
                                   [](const AnswerStart& start) { return start.length != 0; });
  if (failed.at >= 0 && !pending) {
    EndWithFrame(failed, false);
    return true;
  }
  return false;
}

bool ModbusLink::FitsAnswer(AnswerStart& start, int32_t offset, uint8_t byte) const {
  if (offset == 1) {
    FrameLength shape = FrameLength::None;
    if (byte == m_requestFunction) shape = RuleOf(byte).reply;
    if (byte == (m_requestFunction | 0x80)) shape = FrameLength::Exception;  // the meter refused
    if (shape == FrameLength::None) return false;
    if (shape != FrameLength::CountAtByte2) start.length = LengthOf(shape, m_scan + start.at);
    return true;
  }
  // The byte count of a byte-counted reply.
  if (!CountAsked(byte)) return false;
  start.length = LengthOf(FrameLength::CountAtByte2, m_scan + start.at);
  return true;
}

bool ModbusLink::CountAsked(uint8_t count) const {
  return m_answerCountAtLeast ? count >= m_answerCount : count == m_answerCount;
}

int32_t ModbusLink::SkipWholeFrame() {
  for (;;) {
    const uint8_t* frame = m_scan + m_frameAt;
    const int32_t have = m_rxPos - m_frameAt;
    if (m_frameLength == 0) {
      if (have < 2) return 0;
      const FrameLength shape = RuleOf(frame[1]).reply;
      if (shape == FrameLength::None) {
        ++m_frameAt;  // no frame starts here
        continue;
      }
      if (shape == FrameLength::CountAtByte2 && have < 3) return 0;
      m_frameLength = LengthOf(shape, frame);
    }
    if (have < m_frameLength) return 0;
    if (CheckFrame(frame, static_cast<uint16_t>(m_frameLength)) == 0) break;
    // No frame starts here after all (noise that looked like a header): the next byte may.
    ++m_frameAt;
    m_frameLength = 0;
  }
  // A whole frame that is not the answer (the answer would have been taken from the same
  // bytes): it and everything before it are skipped, and the line is listened to on.
  const int32_t skipped = m_frameAt + m_frameLength;
  Report(m_scan, m_frameAt, RxVerdict::Stray);
  Report(m_scan + m_frameAt, m_frameLength, SkippedVerdict(m_scan + m_frameAt));
  m_discardedFrames = Incremented(m_discardedFrames);
  m_frameAt = skipped;
  m_frameLength = 0;
  DropScanned(skipped);
  return skipped;
}

RxVerdict ModbusLink::SkippedVerdict(const uint8_t* frame) const {
  if (frame[0] != m_requestAddress) return RxVerdict::OtherSlave;
  if ((frame[1] & 0x7F) != m_requestFunction) return RxVerdict::OtherFunction;
  return RxVerdict::NotTheAnswer;
}

void ModbusLink::SettleStray() {
  // A place still pending lies within the longest reply of the end, so a full buffer always
  // frees most of itself.
  int32_t settled = m_frameAt;
  if (m_startCount > 0) settled = std::min(settled, m_starts[0].at);
  Report(m_scan, settled, RxVerdict::Stray);
  DropScanned(settled);
}

void ModbusLink::DropScanned(int32_t n) {
  std::memmove(m_scan, m_scan + n, static_cast<size_t>(m_rxPos - n));
  m_rxPos -= n;
  m_frameAt -= n;
  int32_t kept = 0;
  for (int32_t k = 0; k < m_startCount; ++k) {
    if (m_starts[k].at >= n) m_starts[kept++] = {m_starts[k].at - n, m_starts[k].length};
  }
  m_startCount = kept;
}

void ModbusLink::EndWithFrame(const AnswerStart& start, bool checks) {
  const int32_t n = start.length;
  std::copy_n(m_scan + start.at, n, m_rxBuf);
  Report(m_scan, start.at, RxVerdict::Stray);
  ClearScan();
  m_ticks = 0;
  if (!checks) {
    // The CRC received and the one computed, as the frame carries them: low byte first on the
    // wire.
    const uint16_t crc = Crc16(m_rxBuf, static_cast<uint16_t>(n - 2));
    Report(m_rxBuf, n, RxVerdict::BadCheck,
           static_cast<uint16_t>(m_rxBuf[n - 2] | m_rxBuf[n - 1] << 8),
           static_cast<uint16_t>(crc >> 8 | (crc & 0xFF) << 8));
    Post(CheckFrame(m_rxBuf, static_cast<uint16_t>(n)), kLinkFrame);
  } else if ((m_rxBuf[1] & 0x80) != 0) {
    Report(m_rxBuf, n, RxVerdict::Exception);
    Post(m_rxBuf[2], kLinkException);
  } else {
    Report(m_rxBuf, n, RxVerdict::Answer);
    Post(0, kLinkFrame);
  }
}

void ModbusLink::ClearScan() {
  m_rxPos = 0;
  m_startCount = 0;
  m_frameAt = 0;
  m_frameLength = 0;
}

void ModbusLink::DropHeld() {
  if (m_rxProtocol == kProtocolAscii) {
    AddStray(m_asciiRx, m_rxPos);
    ReportStray(HeldVerdict());
  } else {
    Report(m_ticks != 0 ? m_scan : m_rxBuf, m_rxPos, HeldVerdict());
  }
  ClearScan();
}

RxVerdict ModbusLink::HeldVerdict() const {
  return m_ticks != 0 ? RxVerdict::Stray : RxVerdict::Idle;
}

void ModbusLink::AddStray(const uint8_t* chars, int32_t n) {
  if (m_strayLen + n > kFrameBufferSize) ReportStray(HeldVerdict());  // a flood cuts the run
  std::copy_n(chars, n, m_scan + m_strayLen);
  m_strayLen += n;
}

void ModbusLink::ReportStray(RxVerdict verdict) {
  Report(m_scan, m_strayLen, verdict);
  m_strayLen = 0;
}

void ModbusLink::Report(const uint8_t* bytes, int32_t length, RxVerdict verdict, uint16_t received,
                        uint16_t computed) {
  // A time-out and a loss are told even with no bytes: the observer learns how the request ended.
  const bool told = verdict == RxVerdict::TimedOut || verdict == RxVerdict::LineLost;
  if (m_observer == nullptr || (length == 0 && !told)) return;
  m_observer->Received({bytes, static_cast<uint16_t>(length), verdict, received, computed});
}

void ModbusLink::ReceiveAscii() {
  while (BytesWaiting()) {
    const uint8_t c = ReadByte();
    if (c == ':') {
      // A frame starts, or starts again: what came before it is no frame.
      AddStray(m_asciiRx, m_rxPos);
      m_rxPos = 0;
    } else if (m_rxPos == 0) {
      AddStray(&c, 1);  // between frames: noise
      continue;
    }
    m_asciiRx[m_rxPos++] = c;
    if (c == '\n') {
      const int32_t length = m_rxPos;
      m_rxPos = 0;
      if (TakeAsciiFrame(length)) return;  // further characters wait for the next tick
    } else if (m_rxPos == kMaxAsciiFrameLen) {
      // Longer than any frame: dropped, and its rest skipped up to the next ':'.
      AddStray(m_asciiRx, m_rxPos);
      m_rxPos = 0;
    }
  }
  if (!CountTick()) return;
  ReportStray(RxVerdict::Stray);
  Report(m_asciiRx, m_rxPos, RxVerdict::TimedOut);
  const int32_t received = m_rxPos;
  m_rxPos = 0;
  Post(received, kLinkTimedOut);
}

bool ModbusLink::TakeAsciiFrame(int32_t length) {
  // The bytes go where an RTU reply's would, closed with their CRC, so that everything after the
  // receiver reads one form.
  uint16_t n = 0;
  const int32_t check = DecodeAscii(m_asciiRx, length, m_rxBuf, n);
  const auto closed = static_cast<uint16_t>(n + 2);
  if (check == 0) CloseFrame(m_rxBuf, closed);
  ReportStray(HeldVerdict());
  // With nothing outstanding no frame answers anything (a reply after its time-out); while a
  // request is outstanding, a whole frame from another slave or with another function is not its
  // answer, and the line is listened to on. A damaged frame cannot say whom it answers: it fails.
  const bool answers = m_rxBuf[0] == m_requestAddress && (m_rxBuf[1] & 0x7F) == m_requestFunction;
  if (m_ticks == 0 || (check == 0 && !answers)) {
    Report(m_asciiRx, length, m_ticks == 0 ? RxVerdict::Idle : SkippedVerdict(m_rxBuf));
    m_discardedFrames = Incremented(m_discardedFrames);
    return false;
  }
  // An ASCII frame ends where its characters end: one that does not hold what its function says
  // cannot be read, and fails; one that holds another byte count than the request asks for
  // answers an earlier request, and is skipped.
  const FrameLength shape = RuleOf(m_rxBuf[1]).reply;
  const bool readable = check == 0 && closed == ReplyLength(m_rxBuf);
  if (readable && shape == FrameLength::CountAtByte2 && !CountAsked(m_rxBuf[2])) {
    Report(m_asciiRx, length, RxVerdict::NotTheAnswer);
    m_discardedFrames = Incremented(m_discardedFrames);
    return false;
  }
  m_ticks = 0;
  if (check != 0 && check != kUnreadableFrame) {
    // The LRC received and the one computed, each in its low byte.
    const uint8_t computed = Lrc(m_rxBuf, n);
    Report(m_asciiRx, length, RxVerdict::BadCheck, static_cast<uint8_t>(computed + check),
           computed);
    Post(check, kLinkFrame);
  } else if (!readable) {
    Report(m_asciiRx, length, RxVerdict::Unreadable);
    Post(kUnreadableFrame, kLinkFrame);
  } else if (shape == FrameLength::Exception) {
    Report(m_asciiRx, length, RxVerdict::Exception);
    Post(m_rxBuf[2], kLinkException);
  } else {
    Report(m_asciiRx, length, RxVerdict::Answer);
    Post(0, kLinkFrame);
  }
  return true;
}
