// The whole console on the headless window against a meter that answers every request, for a
// long run of accelerated ticks: nothing fails, every count is exact and memory stays flat.
// LeakSanitizer (the asan preset) and valgrind (scripts/soak_valgrind.sh) look for leaks at exit.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "console/console_fixture.h"

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime (its header comes with clang only).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#elif __has_include(<valgrind/memcheck.h>)
#include <valgrind/memcheck.h>
#define QUORVEL_SOAK_VALGRIND 1
#endif

#ifndef QUORVEL_SOAK_TICKS
#define QUORVEL_SOAK_TICKS 1000000
#endif

namespace {

// Bytes a 9600 bit/s line carries in one 50 ms tick at 11 bits a character.
constexpr size_t kBytesPerTick = 43;
// Memory may move by this much between the early sample and the end (allocator noise).
constexpr long kMemorySlackBytes = 512 * 1024;

// The run's length: the build's default, or QUORVEL_SOAK_TICKS from the environment (valgrind
// runs take fewer).
int64_t SoakTicks() {
  const char* text = std::getenv("QUORVEL_SOAK_TICKS");
  if (text != nullptr) {
    const long long ticks = std::atoll(text);
    if (ticks >= 1000) return ticks;
  }
  return QUORVEL_SOAK_TICKS;
}

// Memory the process holds: the live heap under AddressSanitizer and valgrind, whose own
// bookkeeping (quarantine, shadow memory) is resident too; the resident set otherwise.
long MemoryInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return static_cast<long>(__sanitizer_get_current_allocated_bytes());
#else
#if defined(QUORVEL_SOAK_VALGRIND)
  if (RUNNING_ON_VALGRIND) {
    unsigned long leaked = 0, dubious = 0, reachable = 0;
    [[maybe_unused]] unsigned long suppressed = 0;
    VALGRIND_DO_QUICK_LEAK_CHECK;
    VALGRIND_COUNT_LEAKS(leaked, dubious, reachable, suppressed);
    return static_cast<long>(leaked + dubious + reachable);
  }
#endif
  long pages = 0;
  long resident = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return resident * ::sysconf(_SC_PAGESIZE);
#endif
}

// A meter at address 1 on the far end of the scripted line. It answers each function 3 request
// with the registers asked for, values changing from reply to reply, and hands the reply over
// at the line's pace, a tick's worth of bytes after each tick. Frames it has read are removed
// from the wire, so a long run does not pile them up.
class PacedMeter {
 public:
  explicit PacedMeter(FakeWire& wire) : m_wire(wire) {}

  void AfterTick() {
    for (const std::vector<uint8_t>& request : m_wire.written) Answer(request);
    m_wire.written.clear();
    for (size_t k = 0; k < kBytesPerTick && !m_outgoing.empty(); ++k) {
      m_wire.incoming.push_back(m_outgoing.front());
      m_outgoing.pop_front();
      if (--m_replyLeft.front() == 0) {
        m_replyLeft.pop_front();
        ++m_replies;
      }
    }
  }

  bool Idle() const { return m_outgoing.empty(); }
  int64_t Requests() const { return m_requests; }
  int64_t Replies() const { return m_replies; }
  int64_t Unexpected() const { return m_unexpected; }
  // The value the meter gave register k of its last reply to a read starting at start.
  uint16_t LastValue(uint16_t start, uint16_t k) const {
    return Value(m_lastSerial[Slot(start)], k);
  }

 private:
  static uint16_t Value(uint32_t serial, uint16_t k) {
    return static_cast<uint16_t>(serial * 40503u + k * 977u);
  }
  static int Slot(uint16_t start) { return start == 0 ? 0 : start == 138 ? 1 : 2; }

  void Answer(const std::vector<uint8_t>& request) {
    ++m_requests;
    if (request.size() != 8 || request[1] != 0x03 || CheckFrame(request.data(), 8) != 0) {
      ++m_unexpected;
      return;
    }
    const BlockRead block = BlockOf(request);
    const uint32_t serial = ++m_serial;
    m_lastSerial[Slot(block.start)] = serial;
    std::vector<uint8_t> reply = {request[0], 0x03, static_cast<uint8_t>(block.count * 2)};
    for (uint16_t k = 0; k < block.count; ++k) {
      const uint16_t value = Value(serial, k);
      reply.push_back(static_cast<uint8_t>(value >> 8));
      reply.push_back(static_cast<uint8_t>(value & 0xFF));
    }
    reply.resize(reply.size() + 2);
    CloseFrame(reply.data(), static_cast<uint16_t>(reply.size()));
    m_outgoing.insert(m_outgoing.end(), reply.begin(), reply.end());
    m_replyLeft.push_back(reply.size());
  }

  FakeWire& m_wire;
  std::deque<uint8_t> m_outgoing;
  // For each reply still going out, in order: its bytes not yet handed over.
  std::deque<size_t> m_replyLeft;
  int64_t m_requests = 0;
  int64_t m_replies = 0;
  int64_t m_unexpected = 0;
  uint32_t m_serial = 0;
  uint32_t m_lastSerial[3] = {};
};

class SoakTest : public ConsoleTest {};

TEST_F(SoakTest, AMillionTicksOfPollingCountEveryReplyAndKeepMemoryFlat) {
  const int64_t ticks = SoakTicks();
  const int64_t sampleAt = ticks / 10;
  PacedMeter meter(*wire);
  Start();
  meter.AfterTick();

  long early = 0;
  for (int64_t t = 1; t <= ticks; ++t) {
    window.Tick();
    meter.AfterTick();
    if (t == sampleAt) early = MemoryInUse();
  }
  const long late = MemoryInUse();

  // Stop polling and let the last reply come in.
  window.Click(1068);
  for (int k = 0; k < 10 || !meter.Idle(); ++k) {
    window.Tick();
    meter.AfterTick();
  }
  window.Tick();

  EXPECT_EQ(meter.Unexpected(), 0);
  EXPECT_GT(meter.Replies(), ticks / 10);  // a cycle takes well under ten ticks
  EXPECT_EQ(meter.Replies(), meter.Requests());
  EXPECT_EQ(dialog.m_txCount, meter.Requests());
  EXPECT_EQ(dialog.m_rxCount, meter.Replies());
  EXPECT_EQ(dialog.m_link.m_successCount, meter.Replies());
  EXPECT_EQ(dialog.m_link.m_failureCount, 0);
  EXPECT_EQ(dialog.m_link.m_ticks, 0);
  EXPECT_EQ(window.GetText(1069), "S" + std::to_string(meter.Replies()) + "/F0");
  EXPECT_EQ(window.GetText(1072), "通讯成功");
  EXPECT_EQ(window.PendingMessages(), 0u);
  EXPECT_TRUE(window.MessageBoxes().empty());
  for (uint16_t k = 0; k < 44; ++k) {
    ASSERT_EQ(dialog.m_regTable[kParameterFirst + k].value, meter.LastValue(768, k)) << k;
  }

  EXPECT_LE(late - early, kMemorySlackBytes)
      << "memory grew from " << early << " to " << late << " bytes";
  std::printf("soak: %lld ticks, %lld transactions, memory %ld -> %ld bytes\n",
              static_cast<long long>(ticks), static_cast<long long>(meter.Replies()), early, late);
}

}  // namespace
