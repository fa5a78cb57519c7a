#include "tools/meter-sim/line_pacing.h"

#include <algorithm>
#include <iterator>

#include "link/frame_codec.h"
#include "tools/meter-sim/modbus_slave.h"

uint64_t FrameSilenceNs(uint64_t characterNs) {
  return std::max(characterNs * 7 / 2, kMinFrameSilenceNs);
}

void RequestFramer::SetProtocol(uint8_t protocol) {
  if (protocol == m_protocol) return;
  m_protocol = protocol;
  Drop(m_buffer.size());
}

void RequestFramer::Drop(size_t count) {
  m_dropped += count;
  m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(count));
  m_broken.erase(m_broken.begin(), m_broken.begin() + static_cast<std::ptrdiff_t>(count));
}

void RequestFramer::Cut(size_t count, std::vector<uint8_t>& frame) {
  const auto end = static_cast<std::ptrdiff_t>(count);
  frame.assign(m_buffer.begin(), m_buffer.begin() + end);
  m_takenBroken = std::find(m_broken.begin(), m_broken.begin() + end, 1) != m_broken.begin() + end;
  m_buffer.erase(m_buffer.begin(), m_buffer.begin() + end);
  m_broken.erase(m_broken.begin(), m_broken.begin() + end);
}

void RequestFramer::Feed(const uint8_t* data, size_t count, uint64_t nowNs, const uint8_t* broken) {
  if (count == 0) return;
  m_lastByteNs = nowNs;
  m_buffer.insert(m_buffer.end(), data, data + count);
  if (broken != nullptr) {
    m_broken.insert(m_broken.end(), broken, broken + count);
  } else {
    m_broken.insert(m_broken.end(), count, 0);
  }
  // No request is this long: the line carries rubbish. (An ASCII frame still coming is kept
  // from its ':' on, so this holds at most one.)
  const size_t longest =
      m_protocol == kProtocolAscii ? size_t{2} * kMaxAsciiFrameLen : kMaxRequestBytes;
  if (m_buffer.size() > longest) Drop(m_buffer.size());
}

bool RequestFramer::TakeAscii(std::vector<uint8_t>& frame) {
  while (true) {
    const auto lf = std::find(m_buffer.begin(), m_buffer.end(), '\n');
    // The frame that ends at this LF starts at the last ':' before it.
    const auto colon = std::find(std::make_reverse_iterator(lf), m_buffer.rend(), ':');
    const auto start = colon == m_buffer.rend() ? lf : std::prev(colon.base());
    if (lf == m_buffer.end()) {
      Drop(static_cast<size_t>(start - m_buffer.begin()));  // keep only a frame still coming
      return false;
    }
    if (start == lf) {
      Drop(static_cast<size_t>(lf - m_buffer.begin()) + 1);  // an LF with no frame before it
      continue;
    }
    const auto length = static_cast<size_t>(lf + 1 - start);
    Drop(static_cast<size_t>(start - m_buffer.begin()));
    Cut(length, frame);
    return true;
  }
}

bool RequestFramer::Take(uint64_t nowNs, uint64_t silenceNs, std::vector<uint8_t>& frame) {
  if (m_buffer.empty()) return false;
  if (m_protocol == kProtocolAscii) return TakeAscii(frame);
  const int length = RequestLength(m_buffer.data(), m_buffer.size());
  if (length > 0 && m_buffer.size() >= static_cast<size_t>(length)) {
    Cut(static_cast<size_t>(length), frame);
    return true;
  }
  if (nowNs - m_lastByteNs < silenceNs) return false;
  if (length < 0) {
    Cut(m_buffer.size(), frame);
    return true;
  }
  Drop(m_buffer.size());
  return false;
}

uint64_t RequestFramer::DeadlineNs(uint64_t silenceNs) const {
  // An ASCII frame ends with its LF, never with a silence.
  return m_buffer.empty() || m_protocol == kProtocolAscii ? 0 : m_lastByteNs + silenceNs;
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
