#include "sim/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace {

constexpr int kStartTimeoutMs = 10000;

}  // namespace

bool SetMasterSpeed(int fd, speed_t speed) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  tio.c_cflag |= CSTOPB | CLOCAL | CREAD;
  return ::cfsetospeed(&tio, speed) == 0 && ::cfsetispeed(&tio, speed) == 0 &&
         ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

int OpenAsMaster(const std::string& device, speed_t speed) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
  if (fd >= 0 && !SetMasterSpeed(fd, speed)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

SimProcess::SimProcess() {
  char path[] = "/tmp/quorvel-sim-test-XXXXXX";
  if (::mkdtemp(path) != nullptr) m_home = path;
}

SimProcess::~SimProcess() {
  if (m_pid > 0) Stop(SIGKILL);
  if (!m_home.empty()) std::filesystem::remove_all(m_home);
}

std::string SimProcess::LinkPath(int port) const {
  return m_home + "/quorvel/ports/COM" + std::to_string(port);
}

bool SimProcess::Start(const std::vector<std::string>& args) {
  // A restart reads the new run's output only: the last run's link line is no answer.
  m_output.clear();
  m_device.clear();
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return false;
  m_pid = ::fork();
  if (m_pid == 0) {
    ::setenv("XDG_CONFIG_HOME", m_home.c_str(), 1);
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::dup2(pipeFds[1], STDERR_FILENO);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(QUORVEL_SIM_BINARY));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(QUORVEL_SIM_BINARY, argv.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  m_stdout = pipeFds[0];
  if (m_pid < 0 || !ReadUntil("link: ")) return false;
  const size_t at = m_output.find("device: ");
  if (at == std::string::npos) return false;
  m_device = m_output.substr(at + 8, m_output.find('\n', at) - at - 8);
  return true;
}

// Collects the child's output until the marker's line is complete or the output ends.
bool SimProcess::ReadUntil(const std::string& marker) {
  while (true) {
    const size_t at = marker.empty() ? std::string::npos : m_output.find(marker);
    if (at != std::string::npos && m_output.find('\n', at) != std::string::npos) return true;
    pollfd fd{m_stdout, POLLIN, 0};
    if (::poll(&fd, 1, kStartTimeoutMs) <= 0) return false;
    char buffer[512];
    const ssize_t n = ::read(m_stdout, buffer, sizeof buffer);
    if (n <= 0) return false;  // the child has ended
    m_output.append(buffer, static_cast<size_t>(n));
  }
}

void SimProcess::Drain() {
  char buffer[4096];
  pollfd fd{m_stdout, POLLIN, 0};
  while (m_stdout >= 0 && ::poll(&fd, 1, 0) == 1) {
    const ssize_t n = ::read(m_stdout, buffer, sizeof buffer);
    if (n <= 0) return;
    m_output.append(buffer, static_cast<size_t>(n));
  }
}

std::vector<std::string> SimProcess::ReceivedFrames() {
  Drain();
  std::vector<std::string> frames;
  const std::string marker = "] rx ";
  for (size_t at = m_output.find(marker); at != std::string::npos;
       at = m_output.find(marker, at + 1)) {
    const size_t end = m_output.find('\n', at);
    if (end == std::string::npos) break;  // the line is not complete yet
    frames.push_back(m_output.substr(at + marker.size(), end - at - marker.size()));
  }
  return frames;
}

int SimProcess::Wait() {
  if (m_pid <= 0) return -1;
  // The child's output ends when the child does; one that outlives the bound is killed.
  ReadUntil("");
  pollfd fd{m_stdout, POLLIN, 0};
  char byte;
  const bool ended = ::poll(&fd, 1, 0) == 1 && ::read(m_stdout, &byte, 1) == 0;
  if (!ended) ::kill(m_pid, SIGKILL);
  int status = 0;
  ::waitpid(m_pid, &status, 0);
  m_pid = -1;
  ::close(m_stdout);
  m_stdout = -1;
  return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int SimProcess::Stop(int signal) {
  if (m_pid <= 0) return -1;
  ::kill(m_pid, signal);
  return Wait();
}
