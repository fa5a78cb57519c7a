#pragma once

#include <cstdint>

// What became of received bytes. The screen shows only the answers and the failures; a record of
// the traffic also needs what was skipped or dropped on the way.
enum class RxVerdict : uint8_t {
  Answer,         // the reply to the request outstanding
  Exception,      // the meter refused the request outstanding (an exception reply)
  BadCheck,       // a frame placed as the answer whose CRC or LRC did not hold: a failure
  Unreadable,     // a frame with a good LRC that holds no frame of its function: a failure
  Stray,          // bytes that start no frame, skipped while a request was outstanding
  OtherSlave,     // a whole frame from another slave, skipped
  OtherFunction,  // a whole frame from the slave addressed with another function, skipped
  NotTheAnswer,   // a whole frame from that slave with that function but not the length asked
                  // for (a late reply to an earlier request), skipped
  Idle,           // bytes, or a frame, that came while nothing was outstanding: dropped
  TimedOut,       // the time ran out; the bytes are those received of the answer so far
  LineLost,       // the device went away; the bytes are those held when it did (maybe none)
};

// One piece of the received stream with its verdict. The bytes are as they came on the line:
// RTU bytes, or the characters of an ASCII frame. For BadCheck, the check received and the one
// computed (CRC as the frame carries it, low byte first on the wire; LRC in its low byte).
struct RxPiece {
  const uint8_t* bytes = nullptr;
  uint16_t length = 0;
  RxVerdict verdict = RxVerdict::Stray;
  uint16_t received = 0;
  uint16_t computed = 0;
};

// Who learns of every frame the link wrote and every piece it received, in the order they
// happened, on the link's own thread. Called from inside the link: an observer must not call back
// into it, and must not block (it hands what it keeps to a thread of its own).
class LinkObserver {
 public:
  // A request as it went on the line: RTU bytes with their CRC, or the ASCII characters from ':'
  // to LF.
  virtual void FrameWritten(const uint8_t* bytes, uint16_t length) = 0;
  virtual void Received(const RxPiece& piece) = 0;

 protected:
  ~LinkObserver() = default;
};
