#include "tools/meter-sim/sim_server.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "link/frame_codec.h"
#include "tools/meter-sim/ascii_line.h"
#include "tools/meter-sim/meter_model.h"
#include "tools/meter-sim/modbus_slave.h"
#include "tools/meter-sim/pty_link.h"

namespace {

// The longest wait without looking at the line; the meter's time moves on at least this often.
constexpr uint64_t kMaxWaitNs = 100'000'000;
// After a hang-up (no process holds the console's end) the line is looked at this often.
constexpr uint64_t kHangUpRetryNs = 50'000'000;

uint64_t NowNs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1'000'000'000u + static_cast<uint64_t>(ts.tv_nsec);
}

uint64_t Earliest(uint64_t a, uint64_t b) {
  if (a == 0) return b;
  if (b == 0) return a;
  return std::min(a, b);
}

}  // namespace

SimServer::SimServer(MeterModel& meter, ModbusSlave& slave, FaultInjector& faults, PtyLink& pty,
                     FILE* log)
    : m_meter(meter), m_slave(slave), m_faults(faults), m_pty(pty), m_log(log) {}

uint64_t SimServer::SilenceNs() const { return FrameSilenceNs(m_meter.Line().CharacterTimeNs()); }

void SimServer::Run(const volatile sig_atomic_t* stop, const sigset_t& waitMask) {
  m_startNs = NowNs();
  while (*stop == 0) {
    const uint64_t now = NowNs();
    AdvanceMeter(now);
    HandleFrames(now);
    WriteDue(now);

    uint64_t wakeAt = Earliest(m_output.NextDueNs(), m_framer.DeadlineNs(SilenceNs()));
    wakeAt = Earliest(wakeAt, now + (m_hungUp ? kHangUpRetryNs : kMaxWaitNs));
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

void SimServer::AdvanceMeter(uint64_t nowNs) {
  const uint64_t elapsedMs = (nowNs - m_startNs - m_advancedNs) / 1'000'000u;
  if (elapsedMs == 0) return;
  m_meter.Advance(elapsedMs);
  m_advancedNs += elapsedMs * 1'000'000u;
}

void SimServer::ReadRequests(uint64_t nowNs) {
  uint8_t buffer[512];
  const ssize_t n = ::read(m_pty.MasterFd(), buffer, sizeof buffer);
  if (n > 0) {
    m_framer.Feed(buffer, static_cast<size_t>(n), nowNs);
  } else if (n < 0 && errno == EIO) {
    m_hungUp = true;
  }
}

void SimServer::HandleFrames(uint64_t nowNs) {
  std::vector<uint8_t> request;
  // A request may change the framing: the next one is read in the new one.
  while (true) {
    m_framer.SetProtocol(m_meter.Line().protocol);
    if (!m_framer.Take(nowNs, SilenceNs(), request)) return;
    Answer(request, nowNs);
  }
}

void SimServer::Answer(const std::vector<uint8_t>& request, uint64_t nowNs) {
  // The reply goes out in the framing and at the line settings the meter had when the request
  // came; settings written by this request take effect after it.
  const LineSettings line = m_meter.Line();
  const bool ascii = line.protocol == kProtocolAscii;
  LogFrame("rx", request, "", ascii);
  ++m_received;
  // A meter answers one request at a time: while its reply waits (delayed) or goes out, it does
  // not take in another one, so its output never holds more than one reply.
  if (!m_output.Idle()) {
    ++m_droppedBusy;
    LogFrame("--", {}, " busy: request dropped (a reply is still pending or going out)");
    return;
  }
  const uint64_t characterNs = line.CharacterTimeNs();
  const std::vector<uint8_t> frame = ascii ? RtuFromAscii(request) : request;
  std::vector<uint8_t> reply = m_slave.Answer(frame.data(), frame.size());
  if (reply.empty()) {
    LogFrame("--", {},
             ascii ? " no reply (bad LRC, not hexadecimal, other address or broadcast)"
                   : " no reply (bad CRC, other address or broadcast)");
    return;
  }
  FaultedReply out = m_faults.Apply(std::move(reply));
  if (ascii) out.bytes = AsciiFromRtu(out.bytes);
  const uint64_t startNs = nowNs + kTurnaroundNs + uint64_t{out.extraDelayMs} * 1'000'000u;
  if (!out.noise.empty()) {
    LogFrame("tx", out.noise, " (noise)");
    m_output.Queue(out.noise, startNs, characterNs);
  }
  if (out.dropped) {
    LogFrame("--", {}, " reply dropped");
    return;
  }
  LogFrame("tx", out.bytes, out.notes.c_str(), ascii);
  m_output.Queue(out.bytes, startNs, characterNs);
}

void SimServer::WriteDue(uint64_t nowNs) {
  const std::vector<uint8_t> due = m_output.TakeDue(nowNs);
  size_t done = 0;
  while (done < due.size()) {
    const ssize_t n = ::write(m_pty.MasterFd(), due.data() + done, due.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // nobody takes the bytes: they are lost as on a real line
    done += static_cast<size_t>(n);
  }
}

void SimServer::LogFrame(const char* direction, const std::vector<uint8_t>& frame,
                         const char* notes, bool ascii) {
  if (m_log == nullptr) return;
  std::string text;
  if (ascii) {
    // The characters as they went, without CR LF; one that does not print as <hex>.
    size_t end = frame.size();
    while (end > 0 && (frame[end - 1] == '\r' || frame[end - 1] == '\n')) --end;
    for (size_t k = 0; k < end; ++k) {
      if (frame[k] >= 0x20 && frame[k] < 0x7F) {
        text.push_back(static_cast<char>(frame[k]));
      } else {
        char hex[5];
        std::snprintf(hex, sizeof hex, "<%02X>", frame[k]);
        text += hex;
      }
    }
  } else {
    AppendHex(text, frame.data(), static_cast<int>(frame.size()));
  }
  const double seconds = static_cast<double>(NowNs() - m_startNs) / 1e9;
  std::fprintf(m_log, "[%10.3f] %s %s%s\n", seconds, direction, text.c_str(), notes);
  std::fflush(m_log);
}
