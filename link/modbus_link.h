#pragma once

#include <cstdint>
#include <string>

#include "link/frame_codec.h"
#include "link/link_notify.h"
#include "link/serial_port.h"

// The console's Modbus master: protocol mode, slave address, the two frame buffers, the state of
// the one outstanding transaction, the two communication counts, and one entry point per request.
// Both framings, RTU and ASCII, build and hand on the same frames: the request in m_txBuf and the
// reply in m_rxBuf are RTU frames closed with their CRC in either mode, and only the characters
// on the line differ.
// A request made while another transaction is outstanding replaces it; the transaction ends in
// the receiver (PumpReceive), which posts WM_LINK_DONE to m_notifyWnd. Every request written to
// the line ends exactly once: answered, refused, timed out or replaced; only a frame from the
// slave addressed, with the function asked for, answers it.
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
  void ReceiveRtu();
  void ReceiveAscii();

  LinkNotifyTarget* m_notifyWnd = nullptr;
  int32_t m_protocol = 0;
  int32_t m_successCount = 0;
  int32_t m_failureCount = 0;
  int32_t m_ticks = 0;
  int32_t m_timeoutTicks = 0;
  int32_t m_timerPeriod = 0;  // ms
  int32_t m_rxPos = 0;        // bytes assembled; characters in ASCII mode
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
  // Counts one tick of the outstanding transaction and ends it when its time has run out.
  void CountTick();
  // A whole frame has arrived; check is 0 when its CRC or LRC held, and the frame is then in
  // m_rxBuf in RTU form, n bytes. True when it ended the outstanding transaction, false when it
  // was dropped and assembly goes on.
  bool TakeFrame(int32_t check, uint16_t n);
  // The ASCII frame of `length` characters in m_asciiRx, taken as TakeFrame takes a frame.
  bool TakeAsciiFrame(int32_t length);
  // The frame of n bytes (CRC included) in the form of the frame logs for the mode.
  void AppendFrame(std::string& text, const uint8_t* frame, int32_t n) const;
  void Post(int32_t wParam, int32_t lParam);
};
