#pragma once

// A Python peer script (tests/peers/*.py) run by the system's /usr/bin/python3 as a child
// process, its output and errors collected through one pipe. Every wait is bounded; the child is
// killed when the test is done with it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

class PythonPeer {
 public:
  static constexpr const char* kPython = "/usr/bin/python3";

  PythonPeer() = default;
  ~PythonPeer() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0) ::close(m_out);
  }
  PythonPeer(const PythonPeer&) = delete;
  PythonPeer& operator=(const PythonPeer&) = delete;

  // Runs the script of tests/peers with its arguments. False, with the reason in Output(), when
  // the interpreter is not there.
  bool Start(const std::string& script, const std::vector<std::string>& args) {
    if (::access(kPython, X_OK) != 0) {
      m_output = std::string(kPython) +
                 " is missing: the peer needs python3, python3-pymodbus and "
                 "python3-serial-asyncio (scripts/install_deps.sh installs them)";
      return false;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    const std::string path = std::string(QUORVEL_PEERS_DIR) + "/" + script;
    m_pid = ::fork();
    if (m_pid == 0) {
      ::dup2(fds[1], STDOUT_FILENO);
      ::dup2(fds[1], STDERR_FILENO);
      std::vector<char*> argv = {const_cast<char*>(kPython), const_cast<char*>(path.c_str())};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(kPython, argv.data());
      ::_exit(127);
    }
    ::close(fds[1]);
    m_out = fds[0];
    return m_pid > 0;
  }

  // Collects output until a whole line holds the marker; false when the child ended or the wait
  // passed before that.
  bool WaitFor(const std::string& marker, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
      const size_t at = m_output.find(marker);
      if (at != std::string::npos && m_output.find('\n', at) != std::string::npos) return true;
      if (!ReadSome(end)) return false;
    }
  }

  // Waits for the child to end by itself and returns its exit status; -1 when it was killed or
  // outlived the wait (it is killed then).
  int Wait(int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (ReadSome(end)) {
    }
    const bool ended = m_eof;
    if (!ended) ::kill(m_pid, SIGKILL);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  const std::string& Output() const { return m_output; }

 private:
  // Reads what the child wrote; false once its output has ended or the time is up.
  bool ReadSome(std::chrono::steady_clock::time_point end) {
    if (m_out < 0 || m_eof) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd fd{m_out, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[4096];
    const ssize_t n = ::read(m_out, buffer, sizeof buffer);
    if (n <= 0) {
      m_eof = true;
      return false;
    }
    m_output.append(buffer, static_cast<size_t>(n));
    return true;
  }

  pid_t m_pid = -1;
  int m_out = -1;
  bool m_eof = false;
  std::string m_output;
};
