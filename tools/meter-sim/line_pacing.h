#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// The time the meter takes between the end of a request and the start of its reply.
constexpr uint64_t kTurnaroundNs = 5'000'000;
// The shortest silence that ends a frame. On a real line it is 3.5 character times; a
// pseudo-terminal delivers bytes in bursts at the scheduler's whim, so we allow at least this.
constexpr uint64_t kMinFrameSilenceNs = 20'000'000;
constexpr size_t kMaxRequestBytes = 300;

uint64_t FrameSilenceNs(uint64_t characterNs);

// Cuts the byte stream from the console into request frames. In RTU a frame is complete at the
// length its function code predicts; a function of unknown length ends with the silence after
// it; a frame still incomplete when that silence comes is dropped. In ASCII a frame is the
// characters from ':' to LF: what comes before a ':' is no frame, and a ':' starts a frame again.
class RequestFramer {
 public:
  // The framing from now on (0 RTU, 1 ASCII); what was read in the other one is dropped.
  void SetProtocol(uint8_t protocol);
  // broken, when given, holds 1 for each byte whose character the UART took with a parity or
  // framing error.
  void Feed(const uint8_t* data, size_t count, uint64_t nowNs, const uint8_t* broken = nullptr);
  bool Take(uint64_t nowNs, uint64_t silenceNs, std::vector<uint8_t>& frame);
  // Whether the frame Take gave last holds a character taken with an error.
  bool TakenBroken() const { return m_takenBroken; }
  // When Take has something to decide even without new bytes; 0 when nothing waits.
  uint64_t DeadlineNs(uint64_t silenceNs) const;
  uint64_t DroppedBytes() const { return m_dropped; }

 private:
  bool TakeAscii(std::vector<uint8_t>& frame);
  void Drop(size_t count);
  // Moves the first count bytes of the buffer into frame.
  void Cut(size_t count, std::vector<uint8_t>& frame);

  uint8_t m_protocol = 0;
  std::vector<uint8_t> m_buffer;
  std::vector<uint8_t> m_broken;  // beside m_buffer, byte for byte
  bool m_takenBroken = false;
  uint64_t m_lastByteNs = 0;
  uint64_t m_dropped = 0;
};

// Bytes on their way out at the line's speed: each byte is handed over when the receiver would
// have it, one character time after the previous one, and a reply starts only when the line is
// free of the one before.
class PacedOutput {
 public:
  void Queue(const std::vector<uint8_t>& bytes, uint64_t startNs, uint64_t characterNs);
  std::vector<uint8_t> TakeDue(uint64_t nowNs);
  uint64_t NextDueNs() const { return m_queue.empty() ? 0 : m_queue.front().atNs; }
  bool Idle() const { return m_queue.empty(); }

 private:
  struct TimedByte {
    uint8_t byte;
    uint64_t atNs;
  };
  std::deque<TimedByte> m_queue;
  uint64_t m_freeAtNs = 0;
};
