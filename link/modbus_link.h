#pragma once

#include <cstdint>
#include <string>

#include "link/frame_codec.h"
#include "link/link_notify.h"
#include "link/link_observer.h"
#include "link/serial_port.h"

// The console's Modbus master: protocol mode, slave address, the two frame buffers, the state of
// the one outstanding transaction, the two communication counts, and one entry point per request.
// Both framings, RTU and ASCII, build and hand on the same frames: the request in m_txBuf and the
// reply in m_rxBuf are RTU frames closed with their CRC in either mode, and only the characters
// on the line differ.
// A request made while another transaction is outstanding replaces it; the transaction ends in
// the receiver (PumpReceive), which posts WM_LINK_DONE to m_notifyWnd. Every request written to
// the line ends exactly once: answered, refused, timed out or replaced; only a frame from the
// slave addressed, with the function asked for and the length the request asks for, answers it.
// In RTU the answer is taken from the first place in the bytes received since the request where
// such a frame starts with a good CRC: stray bytes before it (a transceiver turning around, the
// tail of a late frame) and whole frames that answer something else are skipped.
// What a request was written to: the slave, the framing, the device and line it went out on,
// and which open of that device. A reply answers the meter and line now in use only while this is
// unchanged.
struct RequestTarget {
  int32_t protocol = 0;
  int32_t address = 0;
  std::string path;
  uint32_t baud = 0;
  uint8_t parity = 0;
  uint8_t dataBits = 0;
  uint8_t oneStopBit = 0;
  uint32_t openCount = 0;
  bool operator==(const RequestTarget&) const = default;
};

class ModbusLink : public SerialPort {
 public:
  ModbusLink() = default;

  void SetDefaults();

  // The request catalogue. Each returns true when its frame reached the line and the transaction
  // started; with the port closed, an unknown mode, an address no meter can have or a line that
  // refused the frame, nothing is sent and the transaction outstanding (if any) goes on.
  bool ReadCoils(uint16_t start, uint16_t count);
  bool ReadInputs(uint16_t start, uint16_t count);
  bool ReadHolding(uint16_t start, uint16_t count);
  bool WriteCoil(uint16_t coil, uint16_t state);
  bool WriteRegister(uint16_t address, uint16_t value);
  bool ReadEvent(uint16_t index);
  bool ClearEvents();
  bool WriteClock(const uint16_t values[4]);
  bool WriteParameters(const uint16_t values[44]);

  // The slave, framing, device and line that a request written now would go to.
  RequestTarget Target() const;

  // Append the frame in the transmit (receive) buffer to a log text.
  void DumpTx(std::string& text) const;
  void DumpRx(std::string& text) const;

  // The receive step, once per timer tick.
  void PumpReceive();
  // The device went away under the line: what the receiver holds is reported as cut by the loss
  // (a piece with no bytes when it held none), and the transaction outstanding ends without a
  // completion of the link's own. Returns how many bytes of its answer had come, or -1 when no
  // transaction was outstanding.
  int32_t AbandonOnLoss();
  void ReceiveRtu();
  void ReceiveAscii();

  LinkNotifyTarget* m_notifyWnd = nullptr;
  // Learns of every request written and every piece received, with its verdict; none when null.
  // The pieces received after a request cover each of its bytes once, up to its end.
  LinkObserver* m_observer = nullptr;
  int32_t m_protocol = 0;
  int32_t m_successCount = 0;
  int32_t m_failureCount = 0;
  int32_t m_ticks = 0;
  int32_t m_timeoutTicks = 0;
  int32_t m_timerPeriod = 0;  // ms
  // Bytes held by the receiver: RTU, those received since the request that no verdict has taken
  // yet, or while idle those of the frame in assembly; ASCII, the characters of the frame in
  // assembly.
  int32_t m_rxPos = 0;
  int32_t m_slaveAddress = 0;
  uint8_t m_rxBuf[kFrameBufferSize] = {};
  uint8_t m_txBuf[kFrameBufferSize] = {};
  uint16_t m_readStart = 0;
  uint16_t m_lastCount = 0;
  int32_t m_expectedLen = 0;
  int32_t m_baseLen = 0;

  // The outstanding request: who must answer, with which function, within how many ticks (the
  // time-out, or longer when the request and its longest reply take longer on the wire).
  uint8_t m_requestAddress = 0;
  uint8_t m_requestFunction = 0;
  int32_t m_replyTicks = 0;
  // The byte count the outstanding request asks for in its answer (functions 1 to 4 exactly; at
  // least one event record for 8); unused for the eight-byte replies.
  int32_t m_answerCount = 0;
  bool m_answerCountAtLeast = false;
  // What the last request written went to.
  RequestTarget m_requestTarget;
  // Since start: requests written to the line, requests replaced by a later one before they
  // ended, and whole frames dropped because they answered nothing outstanding. Wrapping.
  uint32_t m_requestsWritten = 0;
  uint32_t m_replacedCount = 0;
  uint32_t m_discardedFrames = 0;

  // ASCII mode: the characters of the request as they went on the line, and those of the reply
  // being assembled, ':' first.
  uint8_t m_asciiTx[kMaxAsciiFrameLen] = {};
  uint8_t m_asciiRx[kMaxAsciiFrameLen] = {};
  // The framing the partial frame in assembly was read in.
  int32_t m_rxProtocol = 0;

 private:
  // A position in m_scan where the answer to the request outstanding may start, and the answer's
  // whole length once its header has said (0 before).
  struct AnswerStart {
    int32_t at = 0;
    int32_t length = 0;
  };

  // Builders: fill m_txBuf, set the last-request fields, return the frame length.
  uint16_t BuildHeader(uint8_t function, uint16_t word1, uint16_t word2);
  uint16_t BuildWriteMultiple(uint16_t start, const uint16_t* values, uint16_t count);
  // Shared by every entry point: build runs, and the request goes out in the mode's framing, only
  // with the port open, a known mode and a slave address a meter can have.
  template <typename Build>
  bool Send(Build build);
  // A request of this length has been written from m_txBuf: the transaction starts.
  void StartTransaction(uint16_t requestLength);
  // Bytes of the longest reply the request in m_txBuf can draw.
  int32_t LongestReply() const;
  // Ticks the request and that reply take on the wire at the line's settings, plus a second.
  int32_t WireTicks(int32_t characters) const;
  // Counts one tick of the outstanding transaction; true when its time ran out and it ended.
  bool CountTick();
  // RTU while idle: the byte goes into the frame assembled as its function code predicts, and a
  // whole frame is dropped, as it answers nothing.
  void AssembleIdle(uint8_t byte);
  // RTU while a request is outstanding: takes the next byte; true when it ended the transaction.
  bool ScanByte(uint8_t byte);
  // The byte at `offset` (1 or 2) of a frame that may start the answer at `start`: false when it
  // cannot, and the frame's length set once its header is whole.
  bool FitsAnswer(AnswerStart& start, int32_t offset, uint8_t byte) const;
  // Whether a reply's byte count is the one the outstanding request asks for.
  bool CountAsked(uint8_t count) const;
  // Follows the frame the function codes predict through m_scan, from each byte on until one
  // checks. When a whole one with a good CRC has come, which is not the answer (another slave,
  // another function, another length), it is skipped with everything before it; returns how many
  // bytes that dropped from m_scan (0 when none).
  int32_t SkipWholeFrame();
  // Makes room in a full m_scan: the bytes before the oldest place a frame may still start are
  // stray.
  void SettleStray();
  // Drops the first n bytes of m_scan, already reported, and the places an answer could start in
  // them.
  void DropScanned(int32_t n);
  // The complete frame at `start` ends the transaction: the answer or the meter's refusal when
  // its CRC checks, else a failure.
  void EndWithFrame(const AnswerStart& start, bool checks);
  // Forgets the bytes received since the request and every place an answer could start in them.
  void ClearScan();
  // What the receiver holds when a request is written or the framing changes can start no answer
  // now: reported (stray while a transaction is outstanding, idle otherwise) and dropped.
  void DropHeld();
  // ASCII: characters outside any frame join the run of stray (idle) characters, reported as one
  // piece when the next frame is judged or the run is dropped.
  void AddStray(const uint8_t* chars, int32_t n);
  void ReportStray(RxVerdict verdict);
  // What bytes dropped now are: stray while a transaction is outstanding, idle otherwise.
  RxVerdict HeldVerdict() const;
  // Hands one piece of the received stream to the observer; an empty one only for a time-out.
  void Report(const uint8_t* bytes, int32_t length, RxVerdict verdict, uint16_t received = 0,
              uint16_t computed = 0);
  // Why a whole good frame that is not the answer is skipped: another slave's, another
  // function's, or the slave's with the function but not the length asked for.
  RxVerdict SkippedVerdict(const uint8_t* frame) const;
  // ASCII: the frame of `length` characters in m_asciiRx has come whole. True when it ended the
  // outstanding transaction (answered, refused, or failed as damaged or unreadable), false when it
  // was dropped or skipped and assembly goes on; a good one is then in m_rxBuf in RTU form.
  bool TakeAsciiFrame(int32_t length);
  // The frame of n bytes (CRC included) in the form of the frame logs for the mode.
  void AppendFrame(std::string& text, const uint8_t* frame, int32_t n) const;
  void Post(int32_t wParam, int32_t lParam);

  // RTU, while a request is outstanding: the bytes received since it that no verdict has taken
  // yet, m_rxPos of them from offset 0 (while idle, frames are assembled in m_rxBuf instead).
  // ASCII: the run of characters outside any frame, m_strayLen of them.
  uint8_t m_scan[kFrameBufferSize] = {};
  // The places in m_scan where the answer may start, oldest first. Each holds until its length
  // (at most kMaxReplyLen) has come, so no more than kMaxReplyLen are ever pending.
  AnswerStart m_starts[kMaxReplyLen] = {};
  int32_t m_startCount = 0;
  // The frame the function-code rule predicts in m_scan, whatever it answers: where it starts and
  // its length (0 until its header has come).
  int32_t m_frameAt = 0;
  int32_t m_frameLength = 0;
  int32_t m_strayLen = 0;
};
