#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// When a fault strikes a reply: on a share of all replies (rate 0..1), or on the replies named
// by number (counting from 1). A rule with neither never strikes.
struct FaultRule {
  double rate = 0;
  std::vector<uint64_t> replies;

  bool Strikes(uint64_t reply, std::mt19937& rng) const;
  bool Active() const { return rate > 0 || !replies.empty(); }
};

// Reads "0.1" (a rate), "once" (the first reply), "@N" (the Nth reply) or a comma-separated list
// of "@N". False for anything else.
bool ParseFaultRule(const std::string& text, FaultRule& rule);

constexpr uint32_t kDefaultFaultDelayMs = 3000;  // past the console's 2.5 s reply time-out

struct FaultPlan {
  FaultRule drop;        // no reply at all
  FaultRule corruptCrc;  // the CRC bytes inverted
  FaultRule delay;       // the reply goes out delayMs later
  FaultRule noise;       // a burst of 1 to 3 random bytes on the line just before the reply
  FaultRule wrongCount;  // byte-counted replies: a byte count two bytes off, data and CRC to match
  uint32_t delayMs = kDefaultFaultDelayMs;
};

// One reply after the faults of its number have struck.
struct FaultedReply {
  bool dropped = false;
  std::vector<uint8_t> noise;  // sent before the reply
  std::vector<uint8_t> bytes;
  uint32_t extraDelayMs = 0;
  std::string notes;  // the faults applied, for the request log
};

class FaultInjector {
 public:
  FaultInjector(const FaultPlan& plan, uint32_t seed) : m_plan(plan), m_rng(seed) {}

  // Counts the reply and applies the faults that strike it.
  FaultedReply Apply(std::vector<uint8_t> reply);

 private:
  FaultPlan m_plan;
  std::mt19937 m_rng;
  uint64_t m_replies = 0;
};
