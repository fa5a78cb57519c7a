#include "tools/meter-sim/event_log.h"

namespace {

void PutLittle(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value & 0xFF);
  at[1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace

void EventLog::Record(uint8_t code, const CivilTime& when, const EventSnapshot& snapshot) {
  m_newest = (m_newest + 1) % kEventPlaces;
  if (m_count < kEventPlaces) ++m_count;
  EventRecord& r = m_slots[m_newest];
  r[0] = m_nextSequence++;
  r[1] = code;
  r[2] = static_cast<uint8_t>(when.year % 100);
  r[3] = static_cast<uint8_t>(when.month);
  r[4] = static_cast<uint8_t>(when.day);
  r[5] = static_cast<uint8_t>(when.hour);
  r[6] = static_cast<uint8_t>(when.minute);
  r[7] = static_cast<uint8_t>(when.second);
  r[8] = snapshot.inputs;
  r[9] = snapshot.outputs;
  for (int p = 0; p < 3; ++p) {
    PutLittle(&r[10 + 2 * p], snapshot.voltage[p]);
    PutLittle(&r[16 + 2 * p], snapshot.current[p]);
  }
  PutLittle(&r[22], kEventMarker);
}

EventRecord EventLog::At(uint16_t place) const {
  return m_slots[(m_newest + place % kEventPlaces) % kEventPlaces];
}

void EventLog::Clear() {
  m_slots = {};
  m_count = 0;
  m_nextSequence = 1;
}
