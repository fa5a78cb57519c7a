#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "link/frame_codec.h"
#include "tools/meter-sim/ascii_line.h"
#include "tools/meter-sim/meter_bus.h"

namespace {

constexpr uint64_t kMs = 1'000'000;

// "8N2", "7E1", ...: data bits, parity, stop bits.
CharacterFormat Format(const char* text, uint32_t baud = 9600) {
  const uint8_t parity = text[1] == 'N' ? 0 : text[1] == 'O' ? 1 : 2;
  return {baud, parity, static_cast<uint8_t>(text[0] - '0'), static_cast<uint8_t>(text[2] - '0')};
}

LineSettings Meter(uint8_t address, uint32_t baud, uint8_t protocol, const char* format = "8N2") {
  const CharacterFormat f = Format(format);
  return {protocol, address, baud, f.parity, f.dataBits, f.stopBits};
}

std::vector<uint8_t> Closed(std::vector<uint8_t> frame) {
  frame.resize(frame.size() + 2);
  CloseFrame(frame.data(), static_cast<uint16_t>(frame.size()));
  return frame;
}
// Reads the meter's address register (0x0300), and the reply: that address.
std::vector<uint8_t> ReadAddress(uint8_t a) { return Closed({a, 0x03, 0x03, 0x00, 0x00, 0x01}); }
std::vector<uint8_t> AddressReply(uint8_t a) { return Closed({a, 0x03, 0x02, 0x00, a}); }

// Bit by bit: 7 data bits read as 8 take the first stop bit as the eighth; an even sender's parity
// bit read as the stop bit breaks the characters whose parity bit is 0.
TEST(UartRule, AReceiverInAnotherFormatSamplesTheCharactersAsItsOwn) {
  const std::vector<uint8_t> sent = {0x3A, 0x30, 0x31};  // ":01"
  HeardBytes heard = ReceiveCharacters(sent.data(), 3, Format("7N2"), Format("8N1"));
  EXPECT_EQ(heard.bytes, (std::vector<uint8_t>{0xBA, 0xB0, 0xB1}));
  EXPECT_EQ(heard.broken, (std::vector<uint8_t>{0, 0, 0}));
  heard = ReceiveCharacters(sent.data(), 3, Format("7E1"), Format("7N1"));
  EXPECT_EQ(heard.bytes, sent);
  EXPECT_EQ(heard.broken, (std::vector<uint8_t>{1, 1, 0}));  // 0x31's parity bit is 1
}

// The console's end of a fake line that knows the whole character format, so the UART's rule
// applies; the bus runs on a fake clock.
class MeterBusTest : public ::testing::Test, public ConsoleLine {
 protected:
  SentFormat Sending() const override { return {console, true}; }
  void Start(const std::vector<LineSettings>& lines, bool garble = false) {
    bus = std::make_unique<MeterBus>(lines, CivilTime{2026, 3, 5, 9, 30, 0},
                                     MeterBus::Options{3, garble}, faults, *this, nullptr);
  }
  // Sends the request and collects what the line carries back within a second.
  std::vector<uint8_t> Exchange(const std::vector<uint8_t>& request, bool ascii = false) {
    const std::vector<uint8_t> bytes = ascii ? AsciiFromRtu(request) : request;
    bus->Receive(bytes.data(), bytes.size(), now);
    std::vector<uint8_t> back;
    for (const uint64_t end = now + 1000 * kMs; now < end; now += kMs) {
      bus->HandleFrames(now);
      const std::vector<uint8_t> due = bus->TakeDue(now);
      back.insert(back.end(), due.begin(), due.end());
    }
    return back;
  }

  CharacterFormat console = Format("8N2");
  FaultPlan plan;
  FaultInjector faults{plan, 1};
  std::unique_ptr<MeterBus> bus;
  uint64_t now = 1000 * kMs;
};

// Each meter answers its own address only, at its own speed and in its own framing.
TEST_F(MeterBusTest, EachMeterAnswersOnlyItsAddressAtItsSpeedInItsFraming) {
  Start({Meter(5, 9600, 0), Meter(17, 19200, 1)});
  const struct {
    uint32_t baud;
    uint8_t address;
    bool ascii, answered;
  } cases[] = {{9600, 5, false, true},  {9600, 5, true, false},    {9600, 17, true, false},
               {19200, 17, true, true}, {19200, 17, false, false}, {19200, 5, false, false},
               {4800, 5, false, false}};
  for (const auto& c : cases) {
    console.baudRate = c.baud;
    const std::vector<uint8_t> reply = AddressReply(c.address);
    EXPECT_EQ(Exchange(ReadAddress(c.address), c.ascii),
              c.answered ? (c.ascii ? AsciiFromRtu(reply) : reply) : std::vector<uint8_t>{})
        << c.baud << " " << int{c.address} << (c.ascii ? " ascii" : " rtu");
  }
  EXPECT_EQ(bus->Meter(0).received, 3u);  // the frames sent at 9600: its own framing or not
  // Its 15 characters at 19200 baud, 11 bits each: the last 5 ms + 15 x 0.573 ms after the request.
  console.baudRate = 19200;
  const std::vector<uint8_t> request = AsciiFromRtu(ReadAddress(17));
  bus->Receive(request.data(), request.size(), now);
  bus->HandleFrames(now);
  EXPECT_EQ(bus->TakeDue(now + 5 * kMs + 15 * 572916 - 1).size(), 14u);
  EXPECT_EQ(bus->TakeDue(now + 5 * kMs + 15 * 572916).size(), 1u);
}

// The UART's rule through the whole meter: it answers a console sending in its own parity and
// data bits only; the stop bits never matter.
TEST_F(MeterBusTest, AMeterAnswersOnlyTheParityAndDataBitsItIsSetTo) {
  const struct {
    const char *console, *meter;
    uint8_t protocol;
    bool answered;
  } cases[] = {{"8N2", "8N2", 0, true},  {"8N1", "8N2", 0, true},  {"8N2", "8N1", 0, true},
               {"8E1", "8E2", 0, true},  {"8E2", "8E1", 0, true},  {"8O1", "8O1", 0, true},
               {"7E1", "7E1", 1, true},  {"7N2", "7N1", 1, true},  {"8N2", "8E1", 0, false},
               {"8O1", "8E1", 0, false}, {"8E1", "8N2", 0, false}, {"8E1", "8O1", 0, false},
               {"7N2", "8N2", 0, false}, {"8N2", "7N2", 0, false}, {"7E1", "8E1", 1, false},
               {"8E1", "7E1", 1, false}, {"8N2", "7E1", 1, false}, {"7O1", "7E1", 1, false}};
  for (const auto& c : cases) {
    Start({Meter(1, 9600, c.protocol, c.meter)});
    console = Format(c.console);
    EXPECT_EQ(!Exchange(ReadAddress(1), c.protocol == 1).empty(), c.answered)
        << c.console << " to " << c.meter;
  }
}

// Writing a meter's serial settings changes that meter only, after its reply.
TEST_F(MeterBusTest, ANewSpeedChangesOnlyTheMeterWrittenAfterItsReply) {
  Start({Meter(5, 9600, 0), Meter(17, 9600, 0)});
  const std::vector<uint8_t> write = Closed({5, 0x06, 0x03, 0x08, 0x00, 0x06});  // baud: 19200
  EXPECT_EQ(Exchange(write), write);
  EXPECT_TRUE(Exchange(ReadAddress(5)).empty());
  EXPECT_EQ(Exchange(ReadAddress(17)), AddressReply(17));
  console.baudRate = 19200;
  EXPECT_EQ(Exchange(ReadAddress(5)), AddressReply(5));
}

// One request at a time on the line: one for a meter while another's reply goes out is dropped
// and counted by the meter it was for; faults strike the line's replies counted together.
TEST_F(MeterBusTest, OneRequestAtATimeAndFaultsCountTheLinesReplies) {
  plan.drop.replies = {2};
  faults = FaultInjector(plan, 1);
  Start({Meter(5, 9600, 0), Meter(17, 9600, 0)});
  const std::vector<uint8_t> first = ReadAddress(5), second = ReadAddress(17);
  bus->Receive(first.data(), first.size(), now);
  bus->HandleFrames(now);
  bus->Receive(second.data(), second.size(), now + 6 * kMs);  // while the reply goes out
  bus->HandleFrames(now + 6 * kMs);
  EXPECT_EQ(bus->TakeDue(now + 100 * kMs), AddressReply(5));
  EXPECT_EQ(bus->Meter(1).droppedBusy, 1u);
  now += 200 * kMs;
  EXPECT_TRUE(Exchange(ReadAddress(17)).empty());  // the line's second reply
  EXPECT_EQ(Exchange(ReadAddress(17)), AddressReply(17));
}

// With garbling asked for, a request no meter hears at its speed gets 1 to 3 random bytes; one a
// meter hears gets none, even when no meter answers it.
TEST_F(MeterBusTest, NoiseAnswersOnlyARequestNoMeterHears) {
  Start({Meter(5, 9600, 0), Meter(17, 4800, 0)}, true);
  console.baudRate = 19200;
  const size_t noise = Exchange(ReadAddress(5)).size();
  EXPECT_TRUE(noise >= 1 && noise <= 3) << noise;
  console.baudRate = 9600;
  EXPECT_TRUE(Exchange(ReadAddress(17)).empty());
}

}  // namespace
