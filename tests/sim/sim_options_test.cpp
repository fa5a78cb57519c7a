#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/meter-sim/sim_options.h"

namespace {

bool Parse(std::vector<const char*> args, SimOptions& options, std::string& error) {
  args.insert(args.begin(), "quorvel-sim");
  return ParseOptions(static_cast<int>(args.size()), args.data(), options, error);
}

std::string Describe(const LineSettings& line) {
  static const char* const kParity[3] = {"none", "odd", "even"};
  return std::to_string(line.address) + (line.protocol == 1 ? " ascii " : " rtu ") +
         std::to_string(line.baudRate) + " " + kParity[line.parity] + " " +
         std::to_string(line.dataBits) + " " + std::to_string(line.stopBits);
}

TEST(SimOptions, DefaultsToCom1AddressOneAndNoFaults) {
  SimOptions o;
  std::string error;
  ASSERT_TRUE(Parse({}, o, error));
  EXPECT_EQ(o.port, 1u);
  ASSERT_EQ(o.meters.size(), 1u);
  EXPECT_EQ(Describe(o.meters[0]), "1 rtu 9600 none 8 2");
  EXPECT_FALSE(o.garbleWrongSpeed);
  EXPECT_FALSE(o.verbose);
  EXPECT_FALSE(o.seedGiven);
  EXPECT_FALSE(o.faults.drop.Active() || o.faults.corruptCrc.Active() || o.faults.delay.Active() ||
               o.faults.noise.Active() || o.faults.wrongCount.Active());
}

TEST(SimOptions, ReadsEveryOptionInBothSpellings) {
  SimOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--port", "COM3", "--address=7", "--protocol", "ascii", "--baud=4800",
                     "--parity", "EVEN", "--data-bits", "7", "--stop-bits=1", "--seed", "99", "-v"},
                    o, error))
      << error;
  EXPECT_EQ(o.port, 3u);
  ASSERT_EQ(o.meters.size(), 1u);
  EXPECT_EQ(Describe(o.meters[0]), "7 ascii 4800 even 7 1");
  ASSERT_TRUE(Parse({"--drop", "0.1", "--corrupt-crc=@4", "--delay", "@2,@5:800", "--noise", "once",
                     "--wrong-count", "0.5", "--garble-wrong-speed", "--ignore-writes", "0x0312"},
                    o, error))
      << error;
  EXPECT_EQ(o.ignoreWrites, 0x0312);
  EXPECT_TRUE(o.garbleWrongSpeed);
  EXPECT_EQ(o.seed, 99u);
  EXPECT_TRUE(o.seedGiven);
  EXPECT_TRUE(o.verbose);
  EXPECT_DOUBLE_EQ(o.faults.drop.rate, 0.1);
  EXPECT_EQ(o.faults.corruptCrc.replies, std::vector<uint64_t>{4});
  EXPECT_EQ(o.faults.delay.replies, (std::vector<uint64_t>{2, 5}));
  EXPECT_EQ(o.faults.delayMs, 800u);
  EXPECT_EQ(o.faults.noise.replies, std::vector<uint64_t>{1});
  EXPECT_DOUBLE_EQ(o.faults.wrongCount.rate, 0.5);
}

TEST(SimOptions, PortNamesMayBeGivenInAnyCaseOrAsANumber) {
  for (const char* name : {"com2", "COM2", "2"}) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--port", name}, o, error)) << name;
    EXPECT_EQ(o.port, 2u);
  }
}

// Each meter's line: one value stands for every meter, a list gives one per address in the order
// of --address, whichever option comes first.
TEST(SimOptions, GivesEachMeterOfTheBusItsOwnLine) {
  const struct {
    std::vector<const char*> args;
    std::vector<std::string> meters;
  } cases[] = {
      {{"--address", "5,17,200"},
       {"5 rtu 9600 none 8 2", "17 rtu 9600 none 8 2", "200 rtu 9600 none 8 2"}},
      {{"--address", "5,200", "--baud", "19200,4800", "--parity", "even,none", "--protocol",
        "rtu,ascii"},
       {"5 rtu 19200 even 8 2", "200 ascii 4800 none 8 2"}},
      {{"--baud", "300,1200", "--data-bits", "7", "--stop-bits", "1,2", "--address", "9,3"},
       {"9 rtu 300 none 7 1", "3 rtu 1200 none 7 2"}},
  };
  for (const auto& c : cases) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(Parse(c.args, o, error)) << error;
    std::vector<std::string> meters;
    for (const LineSettings& line : o.meters) meters.push_back(Describe(line));
    EXPECT_EQ(meters, c.meters) << c.args[1];
  }
}

// A refused list says why, naming the option, the value and what it takes.
TEST(SimOptions, RefusesBadListsWithTheReason) {
  const struct {
    std::vector<const char*> args;
    const char* reason;
  } cases[] = {
      {{"--address", "5,17", "--baud", "9600,4800,2400"},
       "--baud has 3 values for 2 meters (give one for all, or one for each --address)"},
      {{"--address", "5,5"}, "--address 5 twice"},
      {{"--address", "5,,7"}, "bad value for --address: (empty) (1..247)"},
      {{"--address", "5,17", "--baud", "9600,9601"},
       "bad value for --baud: 9601 (300, 600, 1200, 2400, 4800, 9600 or 19200)"},
      {{"--parity", "mark"}, "bad value for --parity: mark (none, odd or even)"},
  };
  for (const auto& c : cases) {
    SimOptions o;
    std::string error;
    EXPECT_FALSE(Parse(c.args, o, error)) << c.reason;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
}

TEST(SimOptions, RefusesUnknownOptionsAndBadOrMissingValues) {
  const std::vector<std::vector<const char*>> bad = {
      {"--bogus"},          {"--port"},           {"--port", "COM0"},       {"--port", "LPT1"},
      {"--address", "0"},   {"--address", "248"}, {"--seed", "-1"},         {"--drop", "2"},
      {"--delay", "0.1:"},  {"--delay", "0.1:x"}, {"--noise", "sometimes"}, {"stray"},
      {"--protocol", "tcp"}, {"--ignore-writes", "CT"}, {"--ignore-writes", "0x10000"}};
  for (const auto& args : bad) {
    SimOptions o;
    std::string error;
    EXPECT_FALSE(Parse(args, o, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(SimOptions, HelpNamesEveryOption) {
  SimOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--help"}, o, error));
  EXPECT_TRUE(o.help);
  for (const char* name :
       {"--port", "--by-id", "--address", "--protocol", "--baud", "--parity", "--data-bits",
        "--stop-bits", "--garble-wrong-speed", "--seed", "--verbose", "--drop", "--corrupt-crc",
        "--delay", "--noise", "--wrong-count", "--ignore-writes"}) {
    EXPECT_NE(HelpText().find(name), std::string::npos) << name;
  }
}

}  // namespace
