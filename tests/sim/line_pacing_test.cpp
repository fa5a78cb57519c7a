#include <gtest/gtest.h>

#include <string>

#include "link/frame_codec.h"
#include "tools/meter-sim/ascii_line.h"
#include "tools/meter-sim/line_pacing.h"
#include "tools/meter-sim/meter_model.h"

namespace {

TEST(LineSettings, ACharacterIsStartDataParityAndStopBits) {
  const struct {
    uint32_t baud;
    uint8_t parity, dataBits, stopBits;
    uint32_t bits;
    uint64_t ns;
  } cases[] = {{9600, 0, 8, 2, 11, 1145833},
               {9600, 2, 8, 1, 11, 1145833},
               {19200, 1, 8, 2, 12, 625000},
               {300, 0, 7, 1, 9, 30000000},
               {1200, 0, 8, 1, 10, 8333333}};
  for (const auto& c : cases) {
    LineSettings line;
    line.baudRate = c.baud;
    line.parity = c.parity;
    line.dataBits = c.dataBits;
    line.stopBits = c.stopBits;
    EXPECT_EQ(line.BitsPerCharacter(), c.bits);
    EXPECT_EQ(line.CharacterTimeNs(), c.ns);
  }
}

TEST(FrameSilence, IsThreeAndAHalfCharactersButNeverBelowTheFloor) {
  EXPECT_EQ(FrameSilenceNs(1145833), kMinFrameSilenceNs);
  EXPECT_EQ(FrameSilenceNs(36666666), 128333331u);  // 300 baud, 11 bits
}

TEST(PacedOutput, HandsOverEachByteOneCharacterTimeAfterThePrevious) {
  PacedOutput out;
  const uint64_t ch = 1000;
  out.Queue({1, 2, 3}, 10000, ch);
  EXPECT_EQ(out.NextDueNs(), 11000u);
  EXPECT_TRUE(out.TakeDue(10999).empty());
  EXPECT_EQ(out.TakeDue(12000), (std::vector<uint8_t>{1, 2}));
  // A second reply waits for the line to be free of the first.
  out.Queue({4}, 11500, ch);
  EXPECT_EQ(out.TakeDue(13000), (std::vector<uint8_t>{3}));
  EXPECT_EQ(out.NextDueNs(), 14000u);
  EXPECT_EQ(out.TakeDue(20000), (std::vector<uint8_t>{4}));
  EXPECT_TRUE(out.Idle());
  // A reply after a quiet spell starts at its own time.
  out.Queue({5}, 50000, ch);
  EXPECT_EQ(out.NextDueNs(), 51000u);
}

class RequestFramerTest : public ::testing::Test {
 protected:
  void Feed(std::vector<uint8_t> bytes, uint64_t at) {
    framer.Feed(bytes.data(), bytes.size(), at);
  }
  bool Take(uint64_t at) { return framer.Take(at, kSilence, frame); }
  static constexpr uint64_t kSilence = 20;
  RequestFramer framer;
  std::vector<uint8_t> frame;
};

TEST_F(RequestFramerTest, CompletesAFrameSplitAcrossReads) {
  Feed({1, 3, 0, 0}, 0);
  EXPECT_FALSE(Take(5));
  Feed({0, 1, 0x84, 0x0A}, 6);
  ASSERT_TRUE(Take(6));
  EXPECT_EQ(frame.size(), 8u);
  EXPECT_FALSE(Take(100));
}

TEST_F(RequestFramerTest, SeparatesFramesThatArriveTogether) {
  Feed({1, 3, 0, 0, 0, 1, 0x84, 0x0A, 1, 16, 0, 0x82, 0, 4, 8, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9}, 0);
  ASSERT_TRUE(Take(0));
  EXPECT_EQ(frame.size(), 8u);
  ASSERT_TRUE(Take(0));
  EXPECT_EQ(frame.size(), 17u);
  EXPECT_EQ(frame[1], 16);
}

TEST_F(RequestFramerTest, DropsAFrameLeftIncompleteBySilence) {
  Feed({1, 3, 0}, 0);
  EXPECT_EQ(framer.DeadlineNs(kSilence), 20u);
  EXPECT_FALSE(Take(19));
  EXPECT_FALSE(Take(20));
  EXPECT_EQ(framer.DroppedBytes(), 3u);
  EXPECT_EQ(framer.DeadlineNs(kSilence), 0u);
  Feed({1, 3, 0, 0, 0, 1, 0x84, 0x0A}, 30);
  ASSERT_TRUE(Take(30));
  EXPECT_EQ(frame[0], 1);
}

TEST_F(RequestFramerTest, EndsAFrameOfUnknownLengthAtTheSilence) {
  Feed({1, 7, 0x41, 0xE2}, 0);
  EXPECT_FALSE(Take(10));
  ASSERT_TRUE(Take(25));
  EXPECT_EQ(frame.size(), 4u);
}

TEST_F(RequestFramerTest, ThrowsAwayAStreamLongerThanAnyRequest) {
  Feed(std::vector<uint8_t>(kMaxRequestBytes + 1, 0x07), 0);
  EXPECT_FALSE(Take(100));
  EXPECT_EQ(framer.DroppedBytes(), kMaxRequestBytes + 1);
}

std::vector<uint8_t> Chars(const std::string& text) { return {text.begin(), text.end()}; }

// In ASCII a request is the characters from ':' to LF, whatever the reads cut them into; what
// comes before a ':' is dropped and a ':' starts the frame again. No silence ends a frame.
TEST_F(RequestFramerTest, InAsciiTakesTheCharactersFromColonToLineFeed) {
  framer.SetProtocol(1);
  Feed(Chars("xx\r\n:0103"), 0);
  EXPECT_FALSE(Take(1000));
  EXPECT_EQ(framer.DeadlineNs(kSilence), 0u);
  Feed(Chars("00:010300000001FB\r"), 2000);
  EXPECT_FALSE(Take(3000));
  Feed(Chars("\n:01"), 4000);
  ASSERT_TRUE(Take(4000));
  EXPECT_EQ(frame, Chars(":010300000001FB\r\n"));
  EXPECT_FALSE(Take(5000));
  EXPECT_EQ(framer.DroppedBytes(), 4u + 7u);  // "xx\r\n" and ":010300"
  framer.SetProtocol(0);                      // the partial ":01" is no start of an RTU frame
  EXPECT_EQ(framer.DroppedBytes(), 4u + 7u + 3u);
}

// The slave reads RTU frames: an ASCII request reaches it as one, and its reply leaves as
// characters; a reply whose CRC the faults broke leaves with its LRC broken.
TEST(AsciiLine, RequestsAndRepliesCrossBetweenTheTwoForms) {
  const std::vector<uint8_t> request = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
  EXPECT_EQ(RtuFromAscii(Chars(":010300000001FB\r\n")), request);
  EXPECT_EQ(RtuFromAscii(Chars(":010300000001fb\r\n")), request);
  EXPECT_TRUE(RtuFromAscii(Chars(":010300000001FA\r\n")).empty());
  EXPECT_TRUE(RtuFromAscii(Chars(":01030000000XFB\r\n")).empty());

  std::vector<uint8_t> reply = {0x01, 0x06, 0x03, 0x02, 0x00, 0x05, 0, 0};
  CloseFrame(reply.data(), 8);
  EXPECT_EQ(AsciiFromRtu(reply), Chars(":010603020005EF\r\n"));
  reply[6] ^= 0xFF;
  reply[7] ^= 0xFF;
  EXPECT_EQ(AsciiFromRtu(reply), Chars(":01060302000510\r\n"));
}

}  // namespace
