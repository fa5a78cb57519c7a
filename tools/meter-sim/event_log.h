#pragma once

#include <array>
#include <cstdint>

#include "tools/meter-sim/meter_clock.h"

// Event codes the meter records: the high nibble is the class, the low nibble the channel.
constexpr uint8_t kEventSupplyLost = 0x01;
constexpr uint8_t kEventSupplyBack = 0x02;
constexpr uint8_t kEventInputClosed = 0x10;   // + input 1..6
constexpr uint8_t kEventInputOpened = 0x20;   // + input 1..6
constexpr uint8_t kEventOutputClosed = 0x30;  // + output 1..3
constexpr uint8_t kEventOutputOpened = 0x40;  // + output 1..3

constexpr int kEventRecordSize = 24;
constexpr int kEventPlaces = 64;
// Bytes 22..23 of a held record; an empty place answers with zeros there.
constexpr uint16_t kEventMarker = 0x5AA5;

using EventRecord = std::array<uint8_t, kEventRecordSize>;

// What the meter measured when the event happened.
struct EventSnapshot {
  uint8_t inputs = 0;
  uint8_t outputs = 0;
  uint16_t voltage[3] = {};  // counts of 0.1 V
  uint16_t current[3] = {};  // counts of 0.001 A
};

// The meter's last 64 events in a ring. A read names a place relative to the newest record in
// ring order: place 0 is the newest, place 63 the one before it, and place 1 the oldest of a
// full log. Places that hold no event read as a record of zeros.
class EventLog {
 public:
  void Record(uint8_t code, const CivilTime& when, const EventSnapshot& snapshot);
  EventRecord At(uint16_t place) const;  // place 0..63
  void Clear();
  int Count() const { return m_count; }

 private:
  std::array<EventRecord, kEventPlaces> m_slots{};
  int m_newest = kEventPlaces - 1;  // the slot the next record follows
  int m_count = 0;
  uint8_t m_nextSequence = 1;  // runs 1..255, 0, 1, ...; restarts when the log is cleared
};
