#include <gtest/gtest.h>

#include <vector>

#include "tools/meter-sim/sim_options.h"

namespace {

bool Parse(std::vector<const char*> args, SimOptions& options, std::string& error) {
  args.insert(args.begin(), "quorvel-sim");
  return ParseOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(SimOptions, DefaultsToCom1AddressOneAndNoFaults) {
  SimOptions o;
  std::string error;
  ASSERT_TRUE(Parse({}, o, error));
  EXPECT_EQ(o.port, 1u);
  EXPECT_EQ(o.address, 1);
  EXPECT_EQ(o.protocol, 0);
  EXPECT_FALSE(o.verbose);
  EXPECT_FALSE(o.seedGiven);
  EXPECT_FALSE(o.faults.drop.Active() || o.faults.corruptCrc.Active() || o.faults.delay.Active() ||
               o.faults.noise.Active() || o.faults.wrongCount.Active());
}

TEST(SimOptions, ReadsEveryOptionInBothSpellings) {
  SimOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--port", "COM3", "--address=7", "--protocol", "ascii", "--seed", "99", "-v",
                     "--drop", "0.1", "--corrupt-crc=@4", "--delay", "@2,@5:800", "--noise", "once",
                     "--wrong-count", "0.5"},
                    o, error))
      << error;
  EXPECT_EQ(o.port, 3u);
  EXPECT_EQ(o.address, 7);
  EXPECT_EQ(o.protocol, 1);
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

TEST(SimOptions, RefusesUnknownOptionsAndBadOrMissingValues) {
  const std::vector<std::vector<const char*>> bad = {
      {"--bogus"},          {"--port"},           {"--port", "COM0"},       {"--port", "LPT1"},
      {"--address", "0"},   {"--address", "248"}, {"--seed", "-1"},         {"--drop", "2"},
      {"--delay", "0.1:"},  {"--delay", "0.1:x"}, {"--noise", "sometimes"}, {"stray"},
      {"--protocol", "tcp"}};
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
  for (const char* name : {"--port", "--address", "--protocol", "--seed", "--verbose", "--drop",
                           "--corrupt-crc", "--delay", "--noise", "--wrong-count"}) {
    EXPECT_NE(HelpText().find(name), std::string::npos) << name;
  }
}

}  // namespace
