// The reply assembler, RTU and ASCII, under arbitrary byte streams split across arbitrary ticks,
// with requests, mode changes and time-outs interleaved. The line is scripted; nothing may read or
// write outside the buffers, every transaction must end in a completion or a time-out, every byte
// read reaches the observer once, and each completion follows the piece that says why.
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>

#include "link/modbus_link.h"

namespace {

struct Wire {
  std::deque<uint8_t> incoming;
  size_t read = 0;  // bytes the receiver took off the line (not those purged before a request)
};

class ScriptedLine : public SerialLine {
 public:
  explicit ScriptedLine(Wire& wire) : m_wire(wire) {}
  bool Open(const SerialPort&) override { return true; }
  void Configure(const SerialPort&) override {}
  void Close() override {}
  bool BytesWaiting() override { return !m_wire.incoming.empty(); }
  uint8_t ReadByte() override {
    const uint8_t b = m_wire.incoming.front();
    m_wire.incoming.pop_front();
    ++m_wire.read;
    return b;
  }
  void DiscardInput() override { m_wire.incoming.clear(); }
  bool Write(const uint8_t*, uint16_t) override { return true; }

 private:
  Wire& m_wire;
};

void Check(bool condition) {
  if (!condition) std::abort();
}

struct Recorder : LinkNotifyTarget, LinkObserver {
  explicit Recorder(const Wire& wire) : m_wire(wire) {}

  // Everything read before a request was told before it went out.
  void FrameWritten(const uint8_t*, uint16_t length) override {
    Check(length > 0);
    Check(reported == m_wire.read);
  }
  void Received(const RxPiece& piece) override {
    Check(piece.length > 0 || piece.verdict == RxVerdict::TimedOut);
    reported += piece.length;
    Check(reported <= m_wire.read);
    last = piece.verdict;
  }
  void PostMessage(uint32_t message, int32_t wParam, int32_t lParam) override {
    Check(message == WM_LINK_DONE);
    if (lParam == kLinkTimedOut) {
      Check(last == RxVerdict::TimedOut);
    } else if (lParam == kLinkException) {
      Check(last == RxVerdict::Exception);
    } else if (wParam == 0) {
      Check(last == RxVerdict::Answer);
    } else {
      Check(last == RxVerdict::BadCheck || last == RxVerdict::Unreadable);
    }
    last = RxVerdict::Idle;  // each completion follows a piece of its own
  }

  size_t reported = 0;
  RxVerdict last = RxVerdict::Idle;

 private:
  const Wire& m_wire;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Wire wire;
  ModbusLink link;
  link.SetLine(std::make_unique<ScriptedLine>(wire));
  Recorder recorder(wire);
  link.m_notifyWnd = &recorder;
  link.m_observer = &recorder;
  link.SetDefaults();
  link.m_protocol = kProtocolRtu;
  link.Open();

  size_t i = 0;
  int ticksWithoutEnd = 0;
  while (i < size) {
    const uint8_t op = data[i++];
    switch (op % 8) {
      case 0:
      case 1:
      case 2: {  // a run of bytes arrives
        const size_t n = std::min<size_t>(op / 8 + 1, size - i);
        wire.incoming.insert(wire.incoming.end(), data + i, data + i + n);
        i += n;
        break;
      }
      case 3:
      case 4: {  // ticks
        const int outstanding = link.m_ticks != 0;
        for (int t = 0; t < op / 8 + 1; ++t) {
          link.PumpReceive();
          // Bytes received since the request in RTU, characters of a frame in ASCII.
          const int32_t longest =
              link.m_protocol == kProtocolAscii ? kMaxAsciiFrameLen - 1 : kFrameBufferSize;
          Check(link.m_rxPos >= 0 && link.m_rxPos <= longest);
        }
        if (outstanding && link.m_ticks != 0) {
          ticksWithoutEnd += op / 8 + 1;
        } else {
          ticksWithoutEnd = 0;
        }
        // A transaction ends within its time-out in either framing.
        if (link.m_protocol == kProtocolRtu || link.m_protocol == kProtocolAscii) {
          Check(ticksWithoutEnd <= link.m_replyTicks + 32);
        }
        break;
      }
      case 5: {  // a request goes out
        const uint16_t arg = static_cast<uint16_t>(op << 4 | (i < size ? data[i] : 0));
        switch ((op / 8) % 7) {
          case 0:
            link.ReadHolding(arg, static_cast<uint16_t>(arg & 0x7F));
            break;
          case 1:
            link.ReadCoils(0, 8);
            break;
          case 2:
            link.WriteRegister(arg, arg);
            break;
          case 3:
            link.ReadEvent(arg & 0x3F);
            break;
          case 4:
            link.ClearEvents();
            break;
          case 5: {
            const uint16_t values[4] = {arg, arg, arg, arg};
            link.WriteClock(values);
            break;
          }
          default:
            link.WriteCoil(arg, arg);
            break;
        }
        ticksWithoutEnd = 0;
        break;
      }
      case 6:  // the operator changes the protocol
        link.m_protocol = (op / 8) % 3 == 0 ? kProtocolRtu : (op / 8) % 3;
        ticksWithoutEnd = 0;
        break;
      default: {  // the frame logs read the buffers as they stand
        std::string text;
        link.DumpTx(text);
        link.DumpRx(text);
        Check(text.size() < 3 * kFrameBufferSize);
        break;
      }
    }
  }
  return 0;
}
