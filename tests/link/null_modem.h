#pragma once

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <thread>

// Copies bytes between two pty masters, so that a program on one slave talks to a program on the
// other as over a null-modem cable.
class NullModem {
 public:
  NullModem(int a, int b) : m_stop(::eventfd(0, EFD_CLOEXEC)), m_thread([=, this] { Run(a, b); }) {}
  ~NullModem() {
    const uint64_t one = 1;
    (void)!::write(m_stop, &one, sizeof(one));
    m_thread.join();
    ::close(m_stop);
  }

 private:
  void Run(int a, int b) {
    for (;;) {
      pollfd fds[3] = {{a, POLLIN, 0}, {b, POLLIN, 0}, {m_stop, POLLIN, 0}};
      if (::poll(fds, 3, -1) < 0) continue;
      if (fds[2].revents != 0) return;
      if ((fds[0].revents & POLLIN) != 0) Copy(a, b);
      if ((fds[1].revents & POLLIN) != 0) Copy(b, a);
    }
  }
  static void Copy(int from, int to) {
    uint8_t chunk[512];
    const ssize_t n = ::read(from, chunk, sizeof(chunk));
    for (ssize_t done = 0; n > 0 && done < n;) {
      const ssize_t put = ::write(to, chunk + done, static_cast<size_t>(n - done));
      if (put > 0)
        done += put;
      else
        ::poll(nullptr, 0, 1);
    }
  }

  int m_stop;
  std::thread m_thread;
};
