// An independent Modbus ASCII master (pymodbus, in a Python child process) reads and writes the
// simulator started in ASCII: its characters and LRCs are checked by code we did not write.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "peers/python_peer.h"
#include "sim/sim_process.h"

namespace {

using Tokens = std::vector<std::string>;

// The peer's lines by their first word, each with the words after it.
std::map<std::string, Tokens> Lines(const std::string& output) {
  std::map<std::string, Tokens> lines;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string name;
    words >> name;
    Tokens& tokens = lines[name];
    for (std::string word; words >> word;) tokens.push_back(word);
  }
  return lines;
}

TEST(PymodbusAsciiMaster, ReadsAndWritesTheSimulatedMeterStartedInAscii) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--protocol", "ascii", "--seed", "3"})) << sim.Output();
  PythonPeer peer;
  ASSERT_TRUE(peer.Start("ascii_master.py", {sim.DevicePath()})) << peer.Output();
  ASSERT_EQ(peer.Wait(60000), 0) << peer.Output();

  std::map<std::string, Tokens> lines = Lines(peer.Output());
  const Tokens& parameters = lines["parameters"];
  ASSERT_EQ(parameters.size(), 44u) << peer.Output();
  EXPECT_EQ(parameters[0], "1");    // slave address
  EXPECT_EQ(parameters[2], "1");    // 通讯规约: Modbus ASCII
  EXPECT_EQ(parameters[7], "100");  // PT
  const Tokens& realtime = lines["realtime"];
  ASSERT_EQ(realtime.size(), 69u) << peer.Output();
  EXPECT_NEAR(std::stoi(realtime[0]) * 0.1, 230, 5);  // Uan
  EXPECT_EQ(lines["write_register"], (Tokens{"854", "7"}));
  EXPECT_EQ(lines["readback"], Tokens{"7"});
  EXPECT_EQ(lines["write_coil"], (Tokens{"1", "1"}));
  EXPECT_EQ(lines["coils"], (Tokens{"0", "1", "0", "0", "0", "0", "0", "0"}));
  EXPECT_EQ(lines["missing"], (Tokens{"exception", "2"}));
}

}  // namespace
