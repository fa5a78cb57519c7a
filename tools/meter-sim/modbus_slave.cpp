#include "tools/meter-sim/modbus_slave.h"

#include "link/frame_codec.h"
#include "tools/meter-sim/meter_model.h"

namespace {

constexpr uint16_t kMaxReadRegisters = 125;
constexpr uint16_t kMaxWriteRegisters = 123;
constexpr uint16_t kCoilOn = 0xFF00;
constexpr uint16_t kCoilOff = 0x0000;

uint16_t Word(const uint8_t* at) { return static_cast<uint16_t>(at[0] << 8 | at[1]); }

void PutWord(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value & 0xFF));
}

uint8_t ExceptionFor(Refusal refusal) {
  return refusal == Refusal::kIllegalValue ? kIllegalDataValue : kIllegalDataAddress;
}

}  // namespace

int RequestLength(const uint8_t* bytes, size_t count) {
  if (count < 2) return 0;
  switch (bytes[1]) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 8:
    case 9:
      return 8;
    case 15:
    case 16:
      return count < 7 ? 0 : 9 + bytes[6];
    default:
      return -1;
  }
}

bool ModbusSlave::ForThisMeter(const uint8_t* frame, size_t length) const {
  return length >= 4 && length <= 256 && CheckFrame(frame, static_cast<uint16_t>(length)) == 0 &&
         frame[0] != 0 && frame[0] == m_meter.Line().address;
}

std::vector<uint8_t> ModbusSlave::Answer(const uint8_t* frame, size_t length) {
  if (!ForThisMeter(frame, length)) return {};
  m_address = frame[0];
  switch (frame[1]) {
    case kFnReadCoils:
    case kFnReadInputs:
      return ReadBits(frame, length);
    case kFnReadHolding:
      return ReadRegisters(frame, length);
    case kFnWriteCoil:
      return WriteCoil(frame, length);
    case kFnWriteRegister:
      return WriteRegister(frame, length);
    case kFnReadEvent:
      return ReadEvent(frame, length);
    case kFnClearEvents:
      return ClearEvents(frame, length);
    case kFnWriteMultiple:
      return WriteRegisters(frame, length);
    default:
      return Exception(frame[1], kIllegalFunction);
  }
}

std::vector<uint8_t> ModbusSlave::ReadBits(const uint8_t* frame, size_t length) {
  const uint8_t function = frame[1];
  if (length != 8) return Exception(function, kIllegalDataValue);
  const uint16_t start = Word(frame + 2);
  const uint16_t count = Word(frame + 4);
  if (count == 0 || count > 2000) return Exception(function, kIllegalDataValue);
  if (start + count > kReadableBits) return Exception(function, kIllegalDataAddress);
  std::vector<uint8_t> reply = {m_address, function, static_cast<uint8_t>((count + 7) / 8)};
  for (uint16_t n = 0; n < count; ++n) {
    const int bit = start + n;
    const bool on = function == 1 ? m_meter.Coil(bit) : m_meter.Input(bit);
    if (n % 8 == 0) reply.push_back(0);
    if (on) reply.back() = static_cast<uint8_t>(reply.back() | 1u << (n % 8));
  }
  return Closed(std::move(reply));
}

std::vector<uint8_t> ModbusSlave::ReadRegisters(const uint8_t* frame, size_t length) {
  if (length != 8) return Exception(3, kIllegalDataValue);
  const uint16_t start = Word(frame + 2);
  const uint16_t count = Word(frame + 4);
  if (count == 0 || count > kMaxReadRegisters) return Exception(3, kIllegalDataValue);
  std::vector<uint8_t> reply = {m_address, 3, static_cast<uint8_t>(2 * count)};
  for (uint16_t n = 0; n < count; ++n) {
    uint16_t value = 0;
    // Every register of the request must exist: a request that runs over a gap between blocks
    // or past the end of the map is refused as a whole.
    const uint32_t address = start + 2u * n;
    if (address > 0xFFFF || !m_meter.ReadRegister(static_cast<uint16_t>(address), value)) {
      return Exception(3, kIllegalDataAddress);
    }
    PutWord(reply, value);
  }
  return Closed(std::move(reply));
}

std::vector<uint8_t> ModbusSlave::WriteCoil(const uint8_t* frame, size_t length) {
  if (length != 8) return Exception(5, kIllegalDataValue);
  const uint16_t coil = Word(frame + 2);
  const uint16_t state = Word(frame + 4);
  if (state != kCoilOn && state != kCoilOff) return Exception(5, kIllegalDataValue);
  const Refusal refusal = m_meter.SetCoil(coil, state == kCoilOn);
  if (refusal != Refusal::kNone) return Exception(5, ExceptionFor(refusal));
  return Closed(std::vector<uint8_t>(frame, frame + 6));
}

std::vector<uint8_t> ModbusSlave::WriteRegister(const uint8_t* frame, size_t length) {
  if (length != 8) return Exception(6, kIllegalDataValue);
  const uint16_t value = Word(frame + 4);
  const Refusal refusal = m_meter.WriteRegisters(Word(frame + 2), &value, 1);
  if (refusal != Refusal::kNone) return Exception(6, ExceptionFor(refusal));
  return Closed(std::vector<uint8_t>(frame, frame + 6));
}

std::vector<uint8_t> ModbusSlave::ReadEvent(const uint8_t* frame, size_t length) {
  if (length != 8) return Exception(8, kIllegalDataValue);
  // Where the published diagnostics request has its sub-function this meter wants 00 00.
  if (Word(frame + 2) != 0) return Exception(8, kIllegalFunction);
  const uint16_t place = Word(frame + 4);
  if (place >= kEventPlaces) return Exception(8, kIllegalDataAddress);
  const EventRecord record = m_meter.Events().At(place);
  std::vector<uint8_t> reply = {m_address, 8, kEventRecordSize};
  reply.insert(reply.end(), record.begin(), record.end());
  return Closed(std::move(reply));
}

std::vector<uint8_t> ModbusSlave::ClearEvents(const uint8_t* frame, size_t length) {
  if (length != 8) return Exception(9, kIllegalDataValue);
  m_meter.ClearEvents();
  return Closed({m_address, 9, 0, 0, 0, 0});
}

std::vector<uint8_t> ModbusSlave::WriteRegisters(const uint8_t* frame, size_t length) {
  if (length < 9) return Exception(16, kIllegalDataValue);
  const uint16_t start = Word(frame + 2);
  const uint16_t count = Word(frame + 4);
  const uint8_t bytes = frame[6];
  if (count == 0 || count > kMaxWriteRegisters || bytes != 2 * count || length != 9u + bytes) {
    return Exception(16, kIllegalDataValue);
  }
  std::vector<uint16_t> values(count);
  for (uint16_t n = 0; n < count; ++n) values[n] = Word(frame + 7 + 2 * n);
  const Refusal refusal = m_meter.WriteRegisters(start, values.data(), count);
  if (refusal != Refusal::kNone) return Exception(16, ExceptionFor(refusal));
  return Closed(std::vector<uint8_t>(frame, frame + 6));
}

std::vector<uint8_t> ModbusSlave::Exception(uint8_t function, uint8_t code) const {
  return Closed({m_address, static_cast<uint8_t>(function | 0x80), code});
}

std::vector<uint8_t> ModbusSlave::Closed(std::vector<uint8_t> reply) const {
  reply.resize(reply.size() + 2);
  CloseFrame(reply.data(), static_cast<uint16_t>(reply.size()));
  return reply;
}
