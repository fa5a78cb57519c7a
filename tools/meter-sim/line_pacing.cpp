#include "tools/meter-sim/line_pacing.h"

#include <algorithm>

#include "tools/meter-sim/modbus_slave.h"

uint64_t FrameSilenceNs(uint64_t characterNs) {
  return std::max(characterNs * 7 / 2, kMinFrameSilenceNs);
}

void RequestFramer::Feed(const uint8_t* data, size_t count, uint64_t nowNs) {
  if (count == 0) return;
  m_lastByteNs = nowNs;
  m_buffer.insert(m_buffer.end(), data, data + count);
  if (m_buffer.size() > kMaxRequestBytes) {
    // No request is this long: the line carries rubbish.
    m_dropped += m_buffer.size();
    m_buffer.clear();
  }
}

bool RequestFramer::Take(uint64_t nowNs, uint64_t silenceNs, std::vector<uint8_t>& frame) {
  if (m_buffer.empty()) return false;
  const int length = RequestLength(m_buffer.data(), m_buffer.size());
  if (length > 0 && m_buffer.size() >= static_cast<size_t>(length)) {
    frame.assign(m_buffer.begin(), m_buffer.begin() + length);
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + length);
    return true;
  }
  if (nowNs - m_lastByteNs < silenceNs) return false;
  if (length < 0) {
    frame.swap(m_buffer);
    m_buffer.clear();
    return true;
  }
  m_dropped += m_buffer.size();
  m_buffer.clear();
  return false;
}

uint64_t RequestFramer::DeadlineNs(uint64_t silenceNs) const {
  return m_buffer.empty() ? 0 : m_lastByteNs + silenceNs;
}

void PacedOutput::Queue(const std::vector<uint8_t>& bytes, uint64_t startNs, uint64_t characterNs) {
  uint64_t at = std::max(startNs, m_freeAtNs);
  for (uint8_t b : bytes) {
    at += characterNs;
    m_queue.push_back({b, at});
  }
  m_freeAtNs = at;
}

std::vector<uint8_t> PacedOutput::TakeDue(uint64_t nowNs) {
  std::vector<uint8_t> due;
  while (!m_queue.empty() && m_queue.front().atNs <= nowNs) {
    due.push_back(m_queue.front().byte);
    m_queue.pop_front();
  }
  return due;
}
