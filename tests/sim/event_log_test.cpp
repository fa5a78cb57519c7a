#include <gtest/gtest.h>

#include "tools/meter-sim/event_log.h"

namespace {

uint16_t Marker(const EventRecord& r) { return static_cast<uint16_t>(r[22] | r[23] << 8); }

void RecordMany(EventLog& log, int count) {
  for (int i = 0; i < count; ++i) {
    log.Record(static_cast<uint8_t>(0x11 + i % 6), CivilTime{2026, 1, 1, 0, 0, i % 60}, {});
  }
}

TEST(EventLog, AnEmptyLogAnswersEveryPlaceWithAZeroMarker) {
  EventLog log;
  for (uint16_t place = 0; place < kEventPlaces; ++place) EXPECT_EQ(Marker(log.At(place)), 0);
}

TEST(EventLog, PlaceZeroIsTheNewestAndSixtyThreeTheOneBeforeIt) {
  EventLog log;
  log.Record(0x01, {}, {});
  log.Record(0x02, {}, {});
  log.Record(0x31, {}, {});
  EXPECT_EQ(log.At(0)[1], 0x31);
  EXPECT_EQ(log.At(63)[1], 0x02);
  EXPECT_EQ(log.At(62)[1], 0x01);
  // The places after the newest that hold nothing yet are empty.
  EXPECT_EQ(Marker(log.At(1)), 0);
  EXPECT_EQ(Marker(log.At(61)), 0);
  EXPECT_NE(Marker(log.At(62)), 0);
}

TEST(EventLog, AFullLogKeepsTheLastSixtyFourWithTheOldestAtPlaceOne) {
  EventLog log;
  RecordMany(log, 300);
  EXPECT_EQ(log.Count(), kEventPlaces);
  // Sequence numbers run 1, 2, ... and wrap at 256: the 300th event has 300 mod 256 = 44.
  EXPECT_EQ(log.At(0)[0], 44);
  EXPECT_EQ(log.At(63)[0], 43);
  EXPECT_EQ(log.At(1)[0], static_cast<uint8_t>(300 - 63));
  for (uint16_t place = 0; place < kEventPlaces; ++place) EXPECT_NE(Marker(log.At(place)), 0);
}

TEST(EventLog, RecordsCarryTimeStatesAndLittleEndianMeasurements) {
  EventLog log;
  EventSnapshot s;
  s.inputs = 0x15;
  s.outputs = 0x02;
  s.voltage[0] = 2301;
  s.voltage[2] = 0x1234;
  s.current[1] = 3200;
  log.Record(0x32, CivilTime{2026, 3, 5, 14, 7, 9}, s);
  const EventRecord r = log.At(0);
  const uint8_t head[] = {1, 0x32, 26, 3, 5, 14, 7, 9, 0x15, 0x02};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(r[i], head[i]) << "byte " << i;
  EXPECT_EQ(r[10], 2301 & 0xFF);
  EXPECT_EQ(r[11], 2301 >> 8);
  EXPECT_EQ(r[14], 0x34);
  EXPECT_EQ(r[15], 0x12);
  EXPECT_EQ(r[18], 3200 & 0xFF);
  EXPECT_EQ(r[19], 3200 >> 8);
  EXPECT_EQ(Marker(r), kEventMarker);
}

TEST(EventLog, ClearingEmptiesEveryPlaceAndRestartsTheSequence) {
  EventLog log;
  RecordMany(log, 70);
  log.Clear();
  for (uint16_t place = 0; place < kEventPlaces; ++place) EXPECT_EQ(Marker(log.At(place)), 0);
  log.Record(0x02, {}, {});
  EXPECT_EQ(log.At(0)[0], 1);
  EXPECT_EQ(Marker(log.At(63)), 0);
}

}  // namespace
