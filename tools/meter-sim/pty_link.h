#pragma once

#include <cstdint>
#include <string>

#include "tools/meter-sim/uart_line.h"

// The link through which the console finds COMn: $XDG_CONFIG_HOME/quorvel/ports/COMn, or
// ~/.config/quorvel/ports/COMn.
std::string PortLinkPath(uint32_t port);
// The link through which the console lists the meter as an adapter: NAME in the folder
// $QUORVEL_SERIAL_BY_ID (tests only: the system's /dev/serial/by-id is never written). Empty, with
// the reason in error, when that is not set or NAME is no plain file name.
std::string ByIdLinkPath(const std::string& name, std::string& error);

// The meter's end of a pseudo-terminal and the COMn link to the console's end.
class PtyLink : public ConsoleLine {
 public:
  PtyLink() = default;
  ~PtyLink() override;
  PtyLink(const PtyLink&) = delete;
  PtyLink& operator=(const PtyLink&) = delete;

  // Creates the pseudo-terminal in raw mode. False with the reason in error.
  bool Open(std::string& error);
  // Links COMn to the console's end. An existing link to a device that exists is left alone
  // (false); a dangling one, left by a simulator that was killed, is replaced.
  bool PlaceLink(const std::string& path, std::string& error);
  // Removes the link if it still points at our device.
  void RemoveLink();

  // The speed and stop bits the console set on its end, read through ours (the two ends share
  // them). A pseudo-terminal keeps no parity and always 8 data bits, so those stay unknown.
  SentFormat Sending() const override;

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
