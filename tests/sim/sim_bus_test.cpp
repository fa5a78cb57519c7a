// A bus of two meters on the simulator's pseudo-terminal, asked by a master that sets its speed
// on its end as a console does: each meter answers its own address only, at its own speed.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "link/frame_codec.h"
#include "sim/sim_process.h"

namespace {

std::vector<uint8_t> Closed(std::vector<uint8_t> frame) {
  frame.resize(frame.size() + 2);
  CloseFrame(frame.data(), static_cast<uint16_t>(frame.size()));
  return frame;
}

// Reads the meter's address register (0x0300); the answer is that address.
std::vector<uint8_t> ReadAddress(uint8_t address) {
  return Closed({address, 0x03, 0x03, 0x00, 0x00, 0x01});
}
std::vector<uint8_t> AddressReply(uint8_t address) {
  return Closed({address, 0x03, 0x02, 0x00, address});
}

// Up to n bytes, or what came until the bound.
std::vector<uint8_t> ReadBytes(int fd, size_t n, int boundMs) {
  std::vector<uint8_t> bytes;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
  while (bytes.size() < n) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    pollfd waiting{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&waiting, 1, static_cast<int>(left.count())) != 1) break;
    uint8_t chunk[64];
    const ssize_t got = ::read(fd, chunk, std::min(sizeof chunk, n - bytes.size()));
    if (got <= 0) break;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  return bytes;
}

void Send(int fd, const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  std::vector<uint8_t> both = a;
  both.insert(both.end(), b.begin(), b.end());
  ASSERT_EQ(::write(fd, both.data(), both.size()), static_cast<ssize_t>(both.size()));
}

// Each pair of requests asks first the meter that must stay silent at this speed, then the one
// that must answer: a reply from the first would come before the second's.
TEST(SimulatedBus, EachMeterAnswersItsAddressAtItsOwnSpeedOnly) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--address", "5,17", "--baud", "9600,19200", "--verbose"}))
      << sim.Output();
  const int master = OpenAsMaster(sim.DevicePath(), B9600);
  ASSERT_GE(master, 0);
  Send(master, ReadAddress(17), ReadAddress(5));
  EXPECT_EQ(ReadBytes(master, 7, 5000), AddressReply(5));
  ASSERT_TRUE(SetMasterSpeed(master, B19200));
  Send(master, ReadAddress(5), ReadAddress(17));
  EXPECT_EQ(ReadBytes(master, 7, 5000), AddressReply(17));
  EXPECT_TRUE(ReadBytes(master, 1, 300).empty());  // nothing more comes
  ::close(master);

  ASSERT_EQ(sim.Stop(SIGTERM), 0);
  const std::string& out = sim.Output();
  EXPECT_NE(out.find("meter 5: tx 05 03 02 00 05"), std::string::npos) << out;
  EXPECT_NE(out.find("meter 17: tx 11 03 02 00 11"), std::string::npos) << out;
  EXPECT_NE(out.find("meter 5: 2 requests received, 0 of them dropped"), std::string::npos) << out;
  EXPECT_NE(out.find("meter 17: 2 requests received, 0 of them dropped"), std::string::npos) << out;
}

}  // namespace
