// A bus of two meters on the simulator's pseudo-terminal, asked by a master that sets its speed
// on its end as a console does: each meter answers its own address only, at its own speed.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

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

// Writes a read of register 0x0300 (the meter's address) for each address, in one go.
void AskAddresses(int fd, uint8_t first, uint8_t second) {
  std::vector<uint8_t> both = Closed({first, 0x03, 0x03, 0x00, 0x00, 0x01});
  const std::vector<uint8_t> next = Closed({second, 0x03, 0x03, 0x00, 0x00, 0x01});
  both.insert(both.end(), next.begin(), next.end());
  ASSERT_EQ(::write(fd, both.data(), both.size()), static_cast<ssize_t>(both.size()));
}

// What comes within the wait, up to n bytes.
std::vector<uint8_t> ReadBytes(int fd, size_t n, int waitMs) {
  std::vector<uint8_t> bytes(n);
  size_t got = 0;
  pollfd waiting{fd, POLLIN, 0};
  while (got < n && ::poll(&waiting, 1, waitMs) == 1) {
    const ssize_t r = ::read(fd, bytes.data() + got, n - got);
    if (r <= 0) break;
    got += static_cast<size_t>(r);
  }
  bytes.resize(got);
  return bytes;
}

// Each pair of requests asks first the meter that must stay silent at this speed, then the one
// that must answer: a reply from the first would come before the second's.
TEST(SimulatedBus, EachMeterAnswersItsAddressAtItsOwnSpeedOnly) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--address", "5,17", "--baud", "9600,19200", "--verbose"}))
      << sim.Output();
  const int master = OpenAsMaster(sim.DevicePath(), B9600);
  ASSERT_GE(master, 0);
  AskAddresses(master, 17, 5);
  EXPECT_EQ(ReadBytes(master, 7, 5000), Closed({5, 0x03, 0x02, 0x00, 5}));
  ASSERT_TRUE(SetMasterSpeed(master, B19200));
  AskAddresses(master, 5, 17);
  EXPECT_EQ(ReadBytes(master, 7, 5000), Closed({17, 0x03, 0x02, 0x00, 17}));
  EXPECT_TRUE(ReadBytes(master, 1, 300).empty());  // nothing more comes
  ::close(master);

  ASSERT_EQ(sim.Stop(SIGTERM), 0);
  EXPECT_NE(sim.Output().find("meter 17: tx 11 03 02 00 11"), std::string::npos) << sim.Output();
  EXPECT_NE(sim.Output().find("meter 5: 2 requests received"), std::string::npos);
  EXPECT_NE(sim.Output().find("meter 17: 2 requests received"), std::string::npos);
}

}  // namespace
