#pragma once

#include <cstdint>
#include <memory>

// The simulated meter at the master side of a pseudo-terminal, in simulated time: it takes whole
// requests and hands each reply to the line once the request and the reply would have crossed
// the wire at 9600 bit/s 8N2 (plus its 5 ms turnaround). Its own headers stay in far_end.cpp:
// the meter's register constants share names with the console's.
class FarEnd {
 public:
  explicit FarEnd(int masterFd);
  ~FarEnd();
  FarEnd(const FarEnd&) = delete;
  FarEnd& operator=(const FarEnd&) = delete;

  // One tick of tickMs ending at nowMs: the meter's clock moves on, requests are read, replies
  // whose time has come are written.
  void Serve(uint64_t nowMs, uint64_t tickMs);

 private:
  struct State;
  std::unique_ptr<State> m_state;
};
