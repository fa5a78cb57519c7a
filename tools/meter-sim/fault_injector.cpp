#include "tools/meter-sim/fault_injector.h"

#include <charconv>

#include "link/frame_codec.h"

namespace {

bool ParseCount(const std::string& text, uint64_t& value) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end && value > 0;
}

// Byte-counted replies: functions 1, 2, 3 and 8 (exception replies have bit 7 set).
bool HasByteCount(const std::vector<uint8_t>& reply) {
  if (reply.size() < 5) return false;
  const uint8_t function = reply[1];
  return function == 1 || function == 2 || function == 3 || function == 8;
}

void ChangeByteCount(std::vector<uint8_t>& reply) {
  reply.resize(reply.size() - 2);  // without the CRC
  const uint8_t count = reply[2];
  if (count >= 2) {
    reply.resize(reply.size() - 2);
    reply[2] = static_cast<uint8_t>(count - 2);
  } else {
    reply.insert(reply.end(), {0, 0});
    reply[2] = static_cast<uint8_t>(count + 2);
  }
  reply.resize(reply.size() + 2);
  CloseFrame(reply.data(), static_cast<uint16_t>(reply.size()));
}

}  // namespace

bool FaultRule::Strikes(uint64_t reply, std::mt19937& rng) const {
  for (uint64_t n : replies) {
    if (n == reply) return true;
  }
  return rate > 0 && std::uniform_real_distribution<double>(0.0, 1.0)(rng) < rate;
}

bool ParseFaultRule(const std::string& text, FaultRule& rule) {
  FaultRule parsed;
  if (text == "once") {
    parsed.replies.push_back(1);
  } else if (!text.empty() && text[0] == '@') {
    size_t at = 0;
    while (true) {
      const size_t comma = text.find(',', at);
      const std::string item = text.substr(at, comma == std::string::npos ? comma : comma - at);
      uint64_t n = 0;
      if (item.size() < 2 || item[0] != '@' || !ParseCount(item.substr(1), n)) return false;
      parsed.replies.push_back(n);
      if (comma == std::string::npos) break;
      at = comma + 1;
    }
  } else {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, parsed.rate);
    if (result.ec != std::errc() || result.ptr != end || !(parsed.rate >= 0 && parsed.rate <= 1)) {
      return false;
    }
  }
  rule = parsed;
  return true;
}

FaultedReply FaultInjector::Apply(std::vector<uint8_t> reply) {
  const uint64_t number = ++m_replies;
  FaultedReply out;
  // Every rule is asked every time, so one fault's rate does not shift another's draws.
  const bool drop = m_plan.drop.Strikes(number, m_rng);
  const bool wrongCount = m_plan.wrongCount.Strikes(number, m_rng);
  const bool corrupt = m_plan.corruptCrc.Strikes(number, m_rng);
  const bool noise = m_plan.noise.Strikes(number, m_rng);
  const bool delay = m_plan.delay.Strikes(number, m_rng);
  if (drop) {
    out.dropped = true;
    out.notes = " dropped";
    return out;
  }
  if (wrongCount && HasByteCount(reply)) {
    ChangeByteCount(reply);
    out.notes += " wrong-count";
  }
  if (corrupt) {
    reply[reply.size() - 2] ^= 0xFF;
    reply[reply.size() - 1] ^= 0xFF;
    out.notes += " corrupt-crc";
  }
  if (noise) {
    const int n = std::uniform_int_distribution<int>(1, 3)(m_rng);
    for (int i = 0; i < n; ++i) {
      out.noise.push_back(static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 255)(m_rng)));
    }
    out.notes += " noise";
  }
  if (delay) {
    out.extraDelayMs = m_plan.delayMs;
    out.notes += " delay";
  }
  out.bytes = std::move(reply);
  return out;
}
