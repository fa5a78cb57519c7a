#include "tools/meter-sim/meter_bus.h"

#include <algorithm>
#include <string>

#include "link/frame_codec.h"
#include "tools/meter-sim/ascii_line.h"

namespace {

uint64_t Earliest(uint64_t a, uint64_t b) {
  if (a == 0) return b;
  if (b == 0) return a;
  return std::min(a, b);
}

CharacterFormat FormatOf(const LineSettings& line) {
  return CharacterFormat{line.baudRate, line.parity, line.dataBits, line.stopBits};
}

uint64_t SilenceNs(const BusMeter& meter) {
  return FrameSilenceNs(meter.model.Line().CharacterTimeNs());
}

}  // namespace

MeterBus::MeterBus(const std::vector<LineSettings>& lines, const CivilTime& start,
                   const Options& options, FaultInjector& faults, const ConsoleLine& console,
                   FILE* log)
    : m_options(options), m_faults(faults), m_console(console), m_log(log), m_rng(options.seed) {
  for (size_t k = 0; k < lines.size(); ++k) {
    // Meter 0 keeps the seed itself, so a single meter runs as it always has for that seed.
    m_meters.push_back(std::make_unique<BusMeter>(options.seed + static_cast<uint32_t>(k), start,
                                                  lines[k], static_cast<uint32_t>(k + 1)));
    m_meters.back()->framer.SetProtocol(lines[k].protocol);
  }
}

void MeterBus::Advance(uint64_t elapsedMs) {
  for (auto& meter : m_meters) meter->model.Advance(elapsedMs);
}

void MeterBus::Receive(const uint8_t* bytes, size_t count, uint64_t nowNs) {
  if (count == 0) return;
  const SentFormat sent = m_console.Sending();
  bool anyHeard = false;
  for (auto& meter : m_meters) {
    const LineSettings line = meter->model.Line();
    const HeardBytes heard = Hear(bytes, count, sent, FormatOf(line));
    if (heard.wrongSpeed) {
      if (m_log != nullptr) {
        const std::string note =
            " " + std::to_string(count) + " bytes sent at " + std::to_string(sent.format.baudRate) +
            " baud: not heard (the meter's line is at " + std::to_string(line.baudRate) + ")";
        LogFrame(line.address, nowNs, "--", {}, note.c_str());
      }
      continue;
    }
    anyHeard = true;
    meter->framer.Feed(heard.bytes.data(), heard.bytes.size(), nowNs, heard.broken.data());
  }
  if (!anyHeard && m_options.garbleWrongSpeed) {
    // Noise follows the end of the request; more of it moves the noise on.
    m_noiseAtNs = nowNs + kMinFrameSilenceNs + kTurnaroundNs;
    LineSettings console;
    console.baudRate = sent.format.baudRate != 0 ? sent.format.baudRate : 9600;
    console.parity = 0;
    console.dataBits = 8;
    console.stopBits = sent.format.stopBits;
    m_noiseCharacterNs = console.CharacterTimeNs();
  }
}

void MeterBus::HandleFrames(uint64_t nowNs) {
  std::vector<uint8_t> request;
  for (auto& meter : m_meters) {
    // A request may change the meter's framing: the next one is read in the new one.
    while (true) {
      meter->framer.SetProtocol(meter->model.Line().protocol);
      if (!meter->framer.Take(nowNs, SilenceNs(*meter), request)) break;
      Answer(*meter, request, nowNs);
    }
  }
  if (m_noiseAtNs != 0 && nowNs >= m_noiseAtNs) SendNoise(nowNs);
}

void MeterBus::SendNoise(uint64_t nowNs) {
  m_noiseAtNs = 0;
  if (!m_output.Idle()) return;  // the line already carries something
  const int n = std::uniform_int_distribution<int>(1, 3)(m_rng);
  std::vector<uint8_t> noise;
  for (int k = 0; k < n; ++k) {
    noise.push_back(static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 255)(m_rng)));
  }
  LogFrame(0, nowNs, "tx", noise, " (noise: no meter listens at the console's speed)");
  m_output.Queue(noise, nowNs, m_noiseCharacterNs);
}

uint64_t MeterBus::NextWakeNs() const {
  uint64_t wake = Earliest(m_output.NextDueNs(), m_noiseAtNs);
  for (const auto& meter : m_meters) {
    wake = Earliest(wake, meter->framer.DeadlineNs(SilenceNs(*meter)));
  }
  return wake;
}

void MeterBus::Answer(BusMeter& meter, const std::vector<uint8_t>& request, uint64_t nowNs) {
  // The reply goes out in the framing and at the line settings the meter had when the request
  // came; settings written by this request take effect after it.
  const LineSettings line = meter.model.Line();
  const bool ascii = line.protocol == kProtocolAscii;
  const bool broken = meter.framer.TakenBroken();
  LogFrame(line.address, nowNs, "rx", request, "", ascii);
  ++meter.received;
  if (broken) {
    LogFrame(line.address, nowNs, "--", {}, " no reply (a character came with an error)");
    return;
  }
  const std::vector<uint8_t> frame = ascii ? RtuFromAscii(request) : request;
  if (!meter.slave.ForThisMeter(frame.data(), frame.size())) {
    LogFrame(line.address, nowNs, "--", {},
             ascii ? " no reply (bad LRC, not hexadecimal, other address or broadcast)"
                   : " no reply (bad CRC, other address or broadcast)");
    return;
  }
  // One request at a time on the line: while a reply waits (delayed) or goes out, a meter does
  // not take in another request, so the output never holds more than one reply.
  if (!m_output.Idle()) {
    ++meter.droppedBusy;
    LogFrame(line.address, nowNs, "--", {},
             " busy: request dropped (a reply is still pending or going out)");
    return;
  }
  FaultedReply out = m_faults.Apply(meter.slave.Answer(frame.data(), frame.size()));
  if (ascii) out.bytes = AsciiFromRtu(out.bytes);
  const uint64_t characterNs = line.CharacterTimeNs();
  const uint64_t startNs = nowNs + kTurnaroundNs + uint64_t{out.extraDelayMs} * 1'000'000u;
  if (!out.noise.empty()) {
    LogFrame(line.address, nowNs, "tx", out.noise, " (noise)");
    m_output.Queue(out.noise, startNs, characterNs);
  }
  if (out.dropped) {
    LogFrame(line.address, nowNs, "--", {}, " reply dropped");
    return;
  }
  LogFrame(line.address, nowNs, "tx", out.bytes, out.notes.c_str(), ascii);
  m_output.Queue(out.bytes, startNs, characterNs);
}

void MeterBus::LogFrame(uint8_t address, uint64_t nowNs, const char* direction,
                        const std::vector<uint8_t>& frame, const char* notes, bool ascii) {
  if (m_log == nullptr) return;
  std::string text;
  if (ascii) {
    // The characters as they went, without CR LF; one that does not print as <hex>.
    size_t end = frame.size();
    while (end > 0 && (frame[end - 1] == '\r' || frame[end - 1] == '\n')) --end;
    for (size_t k = 0; k < end; ++k) {
      if (frame[k] >= 0x20 && frame[k] < 0x7F) {
        text.push_back(static_cast<char>(frame[k]));
      } else {
        char hex[5];
        std::snprintf(hex, sizeof hex, "<%02X>", frame[k]);
        text += hex;
      }
    }
  } else {
    AppendHex(text, frame.data(), static_cast<int>(frame.size()));
  }
  std::string who;
  if (address != 0 && m_meters.size() > 1) {
    who = "meter " + std::to_string(address) + ": ";
  }
  const double seconds = static_cast<double>(nowNs - m_originNs) / 1e9;
  std::fprintf(m_log, "[%10.3f] %s%s %s%s\n", seconds, who.c_str(), direction, text.c_str(), notes);
  std::fflush(m_log);
}
