#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/frame_codec.h"
#include "tools/meter-sim/ascii_line.h"
#include "tools/meter-sim/meter_bus.h"

namespace {

constexpr CivilTime kMorning{2026, 3, 5, 9, 30, 0};
constexpr uint64_t kMs = 1'000'000;

// A line that knows the whole character format the console sends, and applies the UART's rule.
struct FakeConsole : ConsoleLine {
  SentFormat Sending() const override { return sent; }
  void Set(uint32_t baud, uint8_t parity = 0, uint8_t dataBits = 8, uint8_t stopBits = 2) {
    sent.format = CharacterFormat{baud, parity, dataBits, stopBits};
    sent.characterKnown = true;
  }
  SentFormat sent;
};

LineSettings Meter(uint8_t address, uint32_t baud, uint8_t protocol = 0, uint8_t parity = 0,
                   uint8_t dataBits = 8) {
  LineSettings line;
  line.address = address;
  line.baudRate = baud;
  line.protocol = protocol;
  line.parity = parity;
  line.dataBits = dataBits;
  return line;
}

std::vector<uint8_t> Closed(std::vector<uint8_t> frame) {
  frame.resize(frame.size() + 2);
  CloseFrame(frame.data(), static_cast<uint16_t>(frame.size()));
  return frame;
}

// Reads the meter's address register (0x0300).
std::vector<uint8_t> ReadAddress(uint8_t address) {
  return Closed({address, 0x03, 0x03, 0x00, 0x00, 0x01});
}

class MeterBusTest : public ::testing::Test {
 protected:
  void Start(const std::vector<LineSettings>& lines, bool garble = false) {
    MeterBus::Options options;
    options.seed = 3;
    options.garbleWrongSpeed = garble;
    bus = std::make_unique<MeterBus>(lines, kMorning, options, faults, console, nullptr);
  }
  // Sends the request at the console's settings now and collects what the line carries back in
  // the next second, on the fake clock.
  std::vector<uint8_t> Exchange(const std::vector<uint8_t>& request) {
    bus->Receive(request.data(), request.size(), now);
    std::vector<uint8_t> back;
    for (const uint64_t end = now + 1000 * kMs; now < end; now += kMs) {
      bus->HandleFrames(now);
      const std::vector<uint8_t> due = bus->TakeDue(now);
      back.insert(back.end(), due.begin(), due.end());
    }
    return back;
  }

  FakeConsole console;
  FaultPlan plan;
  FaultInjector faults{plan, 1};
  std::unique_ptr<MeterBus> bus;
  uint64_t now = 1000 * kMs;
};

// Each meter answers its own address only, and only at its own speed; its reply is paced at it.
TEST_F(MeterBusTest, EachMeterAnswersOnlyItsAddressAtItsSpeed) {
  Start({Meter(5, 9600), Meter(17, 19200)});
  const struct {
    uint32_t consoleBaud;
    uint8_t address;
    bool answered;
  } cases[] = {{9600, 5, true},   {9600, 17, false}, {19200, 17, true},
               {19200, 5, false}, {4800, 5, false},  {4800, 17, false}};
  for (const auto& c : cases) {
    console.Set(c.consoleBaud);
    const std::vector<uint8_t> back = Exchange(ReadAddress(c.address));
    if (c.answered) {
      EXPECT_EQ(back, Closed({c.address, 0x03, 0x02, 0x00, c.address}))
          << c.consoleBaud << " " << int{c.address};
    } else {
      EXPECT_TRUE(back.empty()) << c.consoleBaud << " " << int{c.address};
    }
  }
  EXPECT_EQ(bus->Meter(0).received, 2u);  // the two requests sent at 9600
  EXPECT_EQ(bus->Meter(1).received, 2u);

  // Seven bytes at 19200 baud, 11 bits each: the last one 5 ms + 7 x 0.573 ms after the request.
  console.Set(19200);
  const std::vector<uint8_t> request = ReadAddress(17);
  bus->Receive(request.data(), request.size(), now);
  bus->HandleFrames(now);
  EXPECT_EQ(bus->TakeDue(now + 5 * kMs + 7 * 572916 - 1).size(), 6u);
  EXPECT_EQ(bus->TakeDue(now + 5 * kMs + 7 * 572916).size(), 1u);
}

// The UART's rule through the whole meter: it answers only a console that sends in its own
// parity and data bits; stop bits never matter.
TEST_F(MeterBusTest, AMeterAnswersOnlyTheParityAndDataBitsItIsSetTo) {
  const struct {
    uint8_t consoleParity, consoleData, consoleStop;
    uint8_t meterParity, meterData, protocol;
    bool answered;
  } cases[] = {
      {0, 8, 2, 0, 8, 0, true},  {0, 8, 1, 0, 8, 0, true},  {2, 8, 1, 2, 8, 0, true},
      {2, 8, 2, 2, 8, 0, true},  {1, 8, 1, 1, 8, 0, true},  {2, 7, 1, 2, 7, 1, true},
      {0, 8, 2, 2, 8, 0, false}, {1, 8, 1, 2, 8, 0, false}, {2, 8, 1, 0, 8, 0, false},
      {2, 8, 1, 1, 8, 0, false}, {0, 7, 2, 0, 8, 0, false}, {0, 8, 2, 0, 7, 0, false},
      {2, 7, 1, 2, 8, 1, false}, {2, 8, 1, 2, 7, 1, false}, {0, 8, 2, 2, 7, 1, false},
  };
  for (const auto& c : cases) {
    Start({Meter(1, 9600, c.protocol, c.meterParity, c.meterData)});
    console.Set(9600, c.consoleParity, c.consoleData, c.consoleStop);
    const std::vector<uint8_t> rtu = ReadAddress(1);
    const std::vector<uint8_t> back = Exchange(c.protocol == 1 ? AsciiFromRtu(rtu) : rtu);
    EXPECT_EQ(!back.empty(), c.answered)
        << "console " << int{c.consoleData} << "/" << int{c.consoleParity} << "/"
        << int{c.consoleStop} << ", meter " << int{c.meterData} << "/" << int{c.meterParity};
  }
}

// A meter in Modbus ASCII does not answer RTU frames, and one in RTU no ASCII frames.
TEST_F(MeterBusTest, EachMeterTakesRequestsInItsOwnFramingOnly) {
  Start({Meter(5, 9600, 0), Meter(200, 9600, 1)});
  console.Set(9600);
  EXPECT_EQ(Exchange(ReadAddress(5)), Closed({5, 0x03, 0x02, 0x00, 5}));
  EXPECT_TRUE(Exchange(ReadAddress(200)).empty());
  EXPECT_EQ(Exchange(AsciiFromRtu(ReadAddress(200))),
            AsciiFromRtu(Closed({200, 0x03, 0x02, 0x00, 200})));
  EXPECT_TRUE(Exchange(AsciiFromRtu(ReadAddress(5))).empty());
}

// Writing a meter's serial settings changes that meter only, after its reply.
TEST_F(MeterBusTest, ANewLineChangesOnlyTheMeterWrittenAfterItsReply) {
  Start({Meter(5, 9600), Meter(17, 9600)});
  console.Set(9600);
  // Register 0x0308, the baud code: 6 is 19200.
  const std::vector<uint8_t> write = Closed({5, 0x06, 0x03, 0x08, 0x00, 0x06});
  EXPECT_EQ(Exchange(write), write);  // the echo, at the old speed
  EXPECT_TRUE(Exchange(ReadAddress(5)).empty());
  EXPECT_EQ(Exchange(ReadAddress(17)), Closed({17, 0x03, 0x02, 0x00, 17}));
  console.Set(19200);
  EXPECT_EQ(Exchange(ReadAddress(5)), Closed({5, 0x03, 0x02, 0x00, 5}));
  EXPECT_EQ(bus->Meter(1).model.Line().baudRate, 9600u);
}

// One request at a time on the line: a request for one meter while another's reply goes out is
// dropped and counted by the meter it was for; faults strike the line's replies counted together.
TEST_F(MeterBusTest, OneRequestAtATimeAndFaultsCountTheLinesReplies) {
  plan.drop.replies = {2};
  faults = FaultInjector(plan, 1);
  Start({Meter(5, 9600), Meter(17, 9600)});
  console.Set(9600);
  const std::vector<uint8_t> first = ReadAddress(5);
  const std::vector<uint8_t> second = ReadAddress(17);
  bus->Receive(first.data(), first.size(), now);
  bus->HandleFrames(now);
  bus->Receive(second.data(), second.size(), now + 6 * kMs);  // while the reply goes out
  bus->HandleFrames(now + 6 * kMs);
  EXPECT_EQ(bus->TakeDue(now + 100 * kMs), Closed({5, 0x03, 0x02, 0x00, 5}));
  EXPECT_EQ(bus->Meter(1).droppedBusy, 1u);
  EXPECT_EQ(bus->Meter(0).droppedBusy, 0u);
  now += 200 * kMs;
  EXPECT_TRUE(Exchange(ReadAddress(17)).empty());  // the line's second reply: dropped
  EXPECT_EQ(Exchange(ReadAddress(17)), Closed({17, 0x03, 0x02, 0x00, 17}));
}

// With --garble-wrong-speed, a request no meter hears at its speed gets a few random bytes; one
// that some meter hears at its speed gets none, even if no meter answers it.
TEST_F(MeterBusTest, NoiseAnswersARequestNoMeterHearsWhenAsked) {
  Start({Meter(5, 9600), Meter(17, 4800)}, true);
  console.Set(19200);
  const std::vector<uint8_t> noise = Exchange(ReadAddress(5));
  EXPECT_GE(noise.size(), 1u);
  EXPECT_LE(noise.size(), 3u);
  console.Set(9600);
  EXPECT_TRUE(Exchange(ReadAddress(17)).empty());
  Start({Meter(5, 9600)}, false);
  console.Set(19200);
  EXPECT_TRUE(Exchange(ReadAddress(5)).empty());
}

}  // namespace
