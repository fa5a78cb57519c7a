#include "tools/meter-sim/sim_server.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "tools/meter-sim/meter_bus.h"
#include "tools/meter-sim/pty_link.h"

namespace {

// The longest wait without looking at the line; the meters' time moves on at least this often.
constexpr uint64_t kMaxWaitNs = 100'000'000;
// After a hang-up (no process holds the console's end) the line is looked at this often.
constexpr uint64_t kHangUpRetryNs = 50'000'000;

uint64_t NowNs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1'000'000'000u + static_cast<uint64_t>(ts.tv_nsec);
}

}  // namespace

void SimServer::Run(const volatile sig_atomic_t* stop, const sigset_t& waitMask) {
  m_startNs = NowNs();
  m_bus.SetOrigin(m_startNs);
  while (*stop == 0) {
    const uint64_t now = NowNs();
    AdvanceMeters(now);
    m_bus.HandleFrames(now);
    WriteDue(now);

    uint64_t wakeAt = now + (m_hungUp ? kHangUpRetryNs : kMaxWaitNs);
    const uint64_t busWake = m_bus.NextWakeNs();
    if (busWake != 0) wakeAt = std::min(wakeAt, busWake);
    const uint64_t waitNs = wakeAt > now ? wakeAt - now : 0;
    const timespec timeout{static_cast<time_t>(waitNs / 1'000'000'000u),
                           static_cast<long>(waitNs % 1'000'000'000u)};
    pollfd fds[2] = {{m_pty.MasterFd(), static_cast<short>(m_hungUp ? 0 : POLLIN), 0},
                     {m_pty.WatchFd(), POLLIN, 0}};
    const int ready = ::ppoll(fds, m_pty.WatchFd() >= 0 ? 2 : 1, &timeout, &waitMask);
    if (ready < 0) continue;  // a signal: the loop test looks at it
    m_hungUp = false;
    if ((fds[0].revents & POLLIN) != 0) {
      ReadRequests(NowNs());
    } else if ((fds[0].revents & (POLLHUP | POLLERR)) != 0) {
      m_hungUp = true;  // the console's end is closed; keep serving when it comes back
    }
    if ((fds[1].revents & POLLIN) != 0) m_pty.ReleaseAfterClose();
  }
}

void SimServer::AdvanceMeters(uint64_t nowNs) {
  const uint64_t elapsedMs = (nowNs - m_startNs - m_advancedNs) / 1'000'000u;
  if (elapsedMs == 0) return;
  m_bus.Advance(elapsedMs);
  m_advancedNs += elapsedMs * 1'000'000u;
}

void SimServer::ReadRequests(uint64_t nowNs) {
  uint8_t buffer[512];
  const ssize_t n = ::read(m_pty.MasterFd(), buffer, sizeof buffer);
  if (n > 0) {
    // The bus asks the console's end for its speed now, as the bytes were sent at it.
    m_bus.Receive(buffer, static_cast<size_t>(n), nowNs);
  } else if (n < 0 && errno == EIO) {
    m_hungUp = true;
  }
}

void SimServer::WriteDue(uint64_t nowNs) {
  const std::vector<uint8_t> due = m_bus.TakeDue(nowNs);
  size_t done = 0;
  while (done < due.size()) {
    const ssize_t n = ::write(m_pty.MasterFd(), due.data() + done, due.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // nobody takes the bytes: they are lost as on a real line
    done += static_cast<size_t>(n);
  }
}
