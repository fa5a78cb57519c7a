#pragma once

#include <sys/types.h>
#include <termios.h>

#include <string>
#include <vector>

// The console's end of the simulator's terminal opened raw at a speed, as a master opens its
// port (the meters hear only requests sent at their own speed); -1 when it cannot be opened.
int OpenAsMaster(const std::string& device, speed_t speed = B9600);
// Sets the speed the master sends at from now on; false when the terminal refuses it.
bool SetMasterSpeed(int fd, speed_t speed);

// The simulator program as a child process with its own temporary XDG_CONFIG_HOME.
class SimProcess {
 public:
  SimProcess();
  ~SimProcess();  // stops the child and removes the temporary folder
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // Starts the simulator (again after Stop, in the same folder) and waits (bounded) for it to
  // print its link. False when it ended before that; Wait() then gives its exit status.
  bool Start(const std::vector<std::string>& args = {});
  // Sends the signal and returns the exit status (-1 when killed or not ended in time).
  int Stop(int signal);
  // Waits (bounded) for the child to end by itself and returns its exit status.
  int Wait();

  // Takes in whatever the child has written so far, without waiting. A child started with
  // --verbose logs every frame on stderr, which goes to the same pipe: drain it now and then.
  void Drain();
  // The requests the meter received, in hex as its --verbose log gives them, oldest first.
  std::vector<std::string> ReceivedFrames();

  std::string LinkPath(int port = 1) const;
  const std::string& ConfigHome() const { return m_home; }
  const std::string& DevicePath() const { return m_device; }
  const std::string& Output() const { return m_output; }

 private:
  bool ReadUntil(const std::string& marker);

  std::string m_home;
  std::string m_device;
  std::string m_output;
  pid_t m_pid = -1;
  int m_stdout = -1;
};
