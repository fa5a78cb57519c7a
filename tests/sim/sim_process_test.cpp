#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "sim/sim_process.h"

namespace {

namespace fs = std::filesystem;

std::string LinkTarget(const std::string& path) {
  std::error_code ec;
  return fs::read_symlink(path, ec).string();
}

void PlaceLink(const SimProcess& sim, const std::string& target) {
  fs::create_directories(fs::path(sim.LinkPath()).parent_path());
  fs::create_symlink(target, sim.LinkPath());
}

TEST(SimProcess, LinksComOneToItsDeviceAndRemovesTheLinkWhenStopped) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start()) << sim.Output();
    EXPECT_EQ(sim.DevicePath().rfind("/dev/pts/", 0), 0u) << sim.Output();
    EXPECT_EQ(LinkTarget(sim.LinkPath()), sim.DevicePath());
    EXPECT_EQ(sim.Stop(signal), 0) << signal;
    EXPECT_FALSE(fs::is_symlink(sim.LinkPath())) << signal;
  }
}

TEST(SimProcess, TakesThePortNameFromItsOption) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--port", "COM4"}));
  EXPECT_EQ(LinkTarget(sim.LinkPath(4)), sim.DevicePath());
  EXPECT_FALSE(fs::exists(sim.LinkPath(1)));
}

TEST(SimProcess, NeverReplacesALinkToADeviceThatExists) {
  SimProcess sim;
  PlaceLink(sim, "/dev/null");
  EXPECT_FALSE(sim.Start());
  EXPECT_EQ(sim.Wait(), 1);
  EXPECT_EQ(LinkTarget(sim.LinkPath()), "/dev/null");
}

TEST(SimProcess, ReplacesALinkLeftDanglingByAKilledSimulator) {
  SimProcess sim;
  PlaceLink(sim, "/dev/pts/no-such-terminal");
  ASSERT_TRUE(sim.Start());
  EXPECT_EQ(LinkTarget(sim.LinkPath()), sim.DevicePath());
}

TEST(SimProcess, ExplainsItselfWithHelpAndRefusesBadOptions) {
  SimProcess help;
  EXPECT_FALSE(help.Start({"--help"}));
  EXPECT_EQ(help.Wait(), 0);
  EXPECT_NE(help.Output().find("Usage: quorvel-sim"), std::string::npos);
  SimProcess bad;
  EXPECT_FALSE(bad.Start({"--drop", "often"}));
  EXPECT_EQ(bad.Wait(), 2);
}

// A meter answers one request at a time: requests that come while its reply is still pending
// or going out are dropped (and counted), so its output never holds more than one reply.
TEST(SimProcess, AnswersOneRequestAtATime) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start()) << sim.Output();
  const int console = OpenAsMaster(sim.DevicePath());
  ASSERT_GE(console, 0);
  // Five reads 10 ms apart, while the first reply (143 bytes, about 150 ms at 9600) goes out.
  const uint8_t read69[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x45, 0x84, 0x39};
  for (int k = 0; k < 5; ++k) {
    ASSERT_EQ(::write(console, read69, sizeof read69), 8);
    ::poll(nullptr, 0, 10);
  }
  std::string replies;
  pollfd fd{console, POLLIN, 0};
  while (::poll(&fd, 1, 1000) == 1) {
    char chunk[512];
    const ssize_t n = ::read(console, chunk, sizeof chunk);
    if (n <= 0) break;
    replies.append(chunk, static_cast<size_t>(n));
  }
  ::close(console);
  EXPECT_EQ(replies.size(), 143u);
  ASSERT_EQ(sim.Stop(SIGTERM), 0);
  EXPECT_NE(sim.Output().find("5 requests received, 4 of them dropped"), std::string::npos)
      << sim.Output();
}

// A console killed while it held the port exclusively must not lock the next one out.
TEST(SimProcess, LiftsTheExclusivityAConsoleLeftBehind) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start());
  const int console = ::open(sim.DevicePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(console, 0);
  ASSERT_EQ(::ioctl(console, TIOCEXCL), 0);
  ::close(console);
  bool released = false;
  for (int attempt = 0; attempt < 100 && !released; ++attempt) {
    ::poll(nullptr, 0, 20);
    // Root may open an exclusive terminal; everyone else is refused until it is released.
    const int probe = ::open(sim.DevicePath().c_str(), O_RDWR | O_NOCTTY);
    if (probe < 0) continue;
    int exclusive = 1;
    released = ::ioctl(probe, TIOCGEXCL, &exclusive) == 0 && exclusive == 0;
    ::close(probe);
  }
  EXPECT_TRUE(released);
}

}  // namespace
