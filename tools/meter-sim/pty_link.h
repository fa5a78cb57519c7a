#pragma once

#include <cstdint>
#include <string>

// The link through which the console finds COMn: $XDG_CONFIG_HOME/quorvel/ports/COMn, or
// ~/.config/quorvel/ports/COMn.
std::string PortLinkPath(uint32_t port);

// The meter's end of a pseudo-terminal and the COMn link to the console's end.
class PtyLink {
 public:
  PtyLink() = default;
  ~PtyLink();
  PtyLink(const PtyLink&) = delete;
  PtyLink& operator=(const PtyLink&) = delete;

  // Creates the pseudo-terminal in raw mode. False with the reason in error.
  bool Open(std::string& error);
  // Links COMn to the console's end. An existing link to a device that exists is left alone
  // (false); a dangling one, left by a simulator that was killed, is replaced.
  bool PlaceLink(uint32_t port, std::string& error);
  // Removes the link if it still points at our device.
  void RemoveLink();

  int MasterFd() const { return m_master; }
  // Readable when a process closes the console's end (see ReleaseAfterClose).
  int WatchFd() const { return m_watch; }
  void ReleaseAfterClose();
  const std::string& DevicePath() const { return m_device; }
  const std::string& LinkPath() const { return m_link; }

 private:
  int m_master = -1;
  int m_slave = -1;  // held open so the meter's end sees no hang-up while the console is away
  int m_watch = -1;
  std::string m_device;
  std::string m_link;
};
