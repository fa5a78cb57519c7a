#include <gtest/gtest.h>

#include "link/frame_codec.h"
#include "tools/meter-sim/fault_injector.h"

namespace {

std::vector<uint8_t> Frame(std::vector<uint8_t> body) {
  body.resize(body.size() + 2);
  CloseFrame(body.data(), static_cast<uint16_t>(body.size()));
  return body;
}

bool GoodCrc(const std::vector<uint8_t>& f) {
  return CheckFrame(f.data(), static_cast<uint16_t>(f.size())) == 0;
}

TEST(ParseFaultRule, ReadsRatesOnceAndReplyNumbers) {
  const struct {
    const char* text;
    double rate;
    std::vector<uint64_t> replies;
  } good[] = {{"0.1", 0.1, {}}, {"0", 0, {}},   {"1", 1, {}},
              {"once", 0, {1}}, {"@5", 0, {5}}, {"@3,@10,@11", 0, {3, 10, 11}}};
  for (const auto& g : good) {
    FaultRule rule;
    ASSERT_TRUE(ParseFaultRule(g.text, rule)) << g.text;
    EXPECT_DOUBLE_EQ(rule.rate, g.rate) << g.text;
    EXPECT_EQ(rule.replies, g.replies) << g.text;
  }
  for (const char* bad :
       {"", "abc", "1.5", "-0.1", "0.1x", "@0", "@", "@3,", "@x", "@3,4", "nan"}) {
    FaultRule rule;
    rule.rate = 0.5;
    EXPECT_FALSE(ParseFaultRule(bad, rule)) << bad;
    EXPECT_EQ(rule.rate, 0.5) << bad;
  }
}

TEST(FaultInjector, ANumberedFaultStrikesThatReplyOnly) {
  FaultPlan plan;
  ParseFaultRule("@3", plan.drop);
  FaultInjector faults(plan, 1);
  const std::vector<uint8_t> reply = Frame({1, 6, 3, 0, 0, 1});
  for (int n = 1; n <= 6; ++n) {
    const FaultedReply out = faults.Apply(reply);
    EXPECT_EQ(out.dropped, n == 3) << n;
    if (n != 3) {
      EXPECT_EQ(out.bytes, reply);
    }
  }
}

TEST(FaultInjector, ARateStrikesAboutThatShareOfReplies) {
  FaultPlan plan;
  ParseFaultRule("0.25", plan.drop);
  FaultInjector faults(plan, 77);
  int dropped = 0;
  for (int n = 0; n < 4000; ++n) dropped += faults.Apply(Frame({1, 6, 3, 0, 0, 1})).dropped;
  EXPECT_GT(dropped, 850);
  EXPECT_LT(dropped, 1150);
}

TEST(FaultInjector, ACorruptedCrcLeavesTheBodyAlone) {
  FaultPlan plan;
  ParseFaultRule("once", plan.corruptCrc);
  FaultInjector faults(plan, 1);
  const std::vector<uint8_t> reply = Frame({1, 3, 2, 0x12, 0x34});
  const FaultedReply out = faults.Apply(reply);
  ASSERT_EQ(out.bytes.size(), reply.size());
  EXPECT_FALSE(GoodCrc(out.bytes));
  EXPECT_TRUE(std::equal(reply.begin(), reply.end() - 2, out.bytes.begin()));
}

TEST(FaultInjector, AWrongCountMakesAWellFormedReplyOfAnotherLength) {
  const struct {
    std::vector<uint8_t> reply;
    uint8_t count;  // after the fault; 0xFF: the reply is left as it was
  } cases[] = {
      {Frame({1, 3, 4, 0, 1, 0, 2}), 2}, {Frame({1, 3, 2, 0, 1}), 0}, {Frame({1, 1, 1, 0x05}), 3},
      {Frame({1, 6, 3, 0, 0, 1}), 0xFF}, {Frame({1, 0x83, 2}), 0xFF},
  };
  for (const auto& c : cases) {
    FaultPlan plan;
    ParseFaultRule("1", plan.wrongCount);
    FaultInjector faults(plan, 1);
    const FaultedReply out = faults.Apply(c.reply);
    EXPECT_TRUE(GoodCrc(out.bytes));
    if (c.count == 0xFF) {
      EXPECT_EQ(out.bytes, c.reply);
    } else {
      EXPECT_EQ(out.bytes[2], c.count);
      EXPECT_EQ(out.bytes.size(), 5u + c.count);
    }
  }
}

TEST(FaultInjector, DelayAndNoiseComeWithTheReplyUnchanged) {
  FaultPlan plan;
  ParseFaultRule("once", plan.delay);
  ParseFaultRule("once", plan.noise);
  plan.delayMs = 4000;
  FaultInjector faults(plan, 1);
  const std::vector<uint8_t> reply = Frame({1, 9, 0, 0, 0, 0});
  const FaultedReply first = faults.Apply(reply);
  EXPECT_EQ(first.bytes, reply);
  EXPECT_EQ(first.extraDelayMs, 4000u);
  EXPECT_GE(first.noise.size(), 1u);
  EXPECT_LE(first.noise.size(), 3u);
  const FaultedReply second = faults.Apply(reply);
  EXPECT_EQ(second.extraDelayMs, 0u);
  EXPECT_TRUE(second.noise.empty());
}

}  // namespace
