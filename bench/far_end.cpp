#include "bench/far_end.h"

#include <poll.h>
#include <unistd.h>

#include <deque>
#include <vector>

#include "tools/meter-sim/meter_model.h"
#include "tools/meter-sim/modbus_slave.h"

namespace {

constexpr double kCharMs = 11 * 1000.0 / 9600;  // start, 8 data, 2 stop bits at 9600 bit/s
constexpr double kTurnaroundMs = 5;             // as the simulated meter answers

void SendAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else {
      ::poll(nullptr, 0, 1);
    }
  }
}

}  // namespace

struct FarEnd::State {
  struct Due {
    uint64_t atMs;
    std::vector<uint8_t> bytes;
  };
  int fd = -1;
  MeterModel meter{1, CivilTime{2026, 12, 7, 12, 0, 0}};
  ModbusSlave slave{meter};
  std::vector<uint8_t> request;
  std::deque<Due> due;
};

FarEnd::FarEnd(int masterFd) : m_state(std::make_unique<State>()) { m_state->fd = masterFd; }

FarEnd::~FarEnd() = default;

void FarEnd::Serve(uint64_t nowMs, uint64_t tickMs) {
  State& s = *m_state;
  s.meter.Advance(tickMs);
  uint8_t chunk[512];
  ssize_t n = 0;
  while ((n = ::read(s.fd, chunk, sizeof chunk)) > 0)
    s.request.insert(s.request.end(), chunk, chunk + n);
  const int length = RequestLength(s.request.data(), s.request.size());
  if (length > 0 && s.request.size() >= static_cast<size_t>(length)) {
    const std::vector<uint8_t> reply =
        s.slave.Answer(s.request.data(), static_cast<size_t>(length));
    // The request went out during the tick before this one.
    const double wireMs =
        (static_cast<double>(length) + static_cast<double>(reply.size())) * kCharMs;
    s.due.push_back({nowMs - tickMs + static_cast<uint64_t>(wireMs + kTurnaroundMs), reply});
    s.request.clear();
  } else if (length < 0) {
    s.request.clear();
  }
  while (!s.due.empty() && s.due.front().atMs <= nowMs) {
    SendAll(s.fd, s.due.front().bytes);
    s.due.pop_front();
  }
}
