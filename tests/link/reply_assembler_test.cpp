#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "fakes/fake_line.h"
#include "link/modbus_link.h"
#include "recording_target.h"
#include "reference_crc.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Chars(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::string HexOf(const Bytes& bytes) {
  std::string text;
  AppendHex(text, bytes.data(), static_cast<int>(bytes.size()));
  return text;
}

class ReplyAssembler : public ::testing::Test {
 protected:
  void SetUp() override {
    wire = AttachFakeLine(link);
    link.SetDefaults();
    link.m_protocol = 0;
    link.m_notifyWnd = &target;
    link.Open();
  }

  void Ticks(int n) {
    for (int k = 0; k < n; ++k) link.PumpReceive();
  }

  // A request of the catalogue with this function code.
  void Request(uint8_t function) {
    const uint16_t clock[4] = {};
    switch (function) {
      case 1:
        link.ReadCoils(0, 8);
        break;
      case 2:
        link.ReadInputs(0, 8);
        break;
      case 5:
        link.WriteCoil(3, 1);
        break;
      case 6:
        link.WriteRegister(1, 3);
        break;
      case 8:
        link.ReadEvent(0);
        break;
      case 9:
        link.ClearEvents();
        break;
      case 16:
        link.WriteClock(clock);
        break;
      default:
        link.ReadHolding(0, 1);
        break;
    }
  }

  ModbusLink link;
  RecordingTarget target;
  std::shared_ptr<FakeWire> wire;
};

// Each reply class, fed whole but for its last byte after the request it answers, waits; the
// last byte completes it.
TEST_F(ReplyAssembler, CompletesEachReplyClassAtItsPredictedLength) {
  Bytes data24(24, 0x5A);
  Bytes event{0x01, 0x08, 24};
  event.insert(event.end(), data24.begin(), data24.end());
  const std::vector<Bytes> replies = {
      WithCrc({0x01, 0x01, 0x01, 0x05}),
      WithCrc({0x01, 0x02, 0x01, 0x0A}),
      WithCrc({0x01, 0x03, 0x02, 0x00, 0x01}),  // 7 bytes: 5 + byte count 2
      WithCrc(event),
      WithCrc({0x01, 0x05, 0x00, 0x03, 0xFF, 0x00}),
      WithCrc({0x01, 0x06, 0x00, 0x01, 0x00, 0x03}),
      WithCrc({0x01, 0x09, 0x00, 0x00, 0x00, 0x00}),
      WithCrc({0x01, 0x10, 0x00, 0x82, 0x00, 0x04}),
  };
  for (const Bytes& reply : replies) {
    SCOPED_TRACE(::testing::PrintToString(reply));
    target.posted.clear();
    Request(reply[1]);
    wire->Feed(Bytes(reply.begin(), reply.end() - 1));
    Ticks(1);
    EXPECT_TRUE(target.posted.empty());
    EXPECT_EQ(link.m_rxPos, static_cast<int32_t>(reply.size()) - 1);
    wire->Feed({reply.back()});
    Ticks(1);
    EXPECT_EQ(target.posted, std::vector<Posted>{Done(0, 0)});
    EXPECT_EQ(Bytes(link.m_rxBuf, link.m_rxBuf + reply.size()), reply);
    EXPECT_EQ(link.m_rxPos, 0);
    EXPECT_EQ(link.m_ticks, 0);
  }
}

TEST_F(ReplyAssembler, ReportsABadCrcAsReceivedMinusComputed) {
  struct Case {
    Bytes reply;
    int32_t wParam;
  };
  const Case cases[] = {
      {{0x01, 0x06, 0x00, 0x01, 0x00, 0x03, 0x98, 0x0C}, 1},  // good CRC: 98 0B
      {{0x01, 0x06, 0x00, 0x01, 0x00, 0x03, 0x00, 0x00}, -0x980B},
      {{0x01, 0x03, 0x02, 0x00, 0x01, 0x79, 0x85}, 1},  // good CRC: 79 84
  };
  for (const Case& c : cases) {
    target.posted.clear();
    Request(c.reply[1]);
    wire->Feed(c.reply);
    Ticks(1);
    EXPECT_EQ(target.posted, std::vector<Posted>{Done(c.wParam, 0)});
  }
  Bytes altered = WithCrc({0x01, 0x03, 0x02, 0x00, 0x01});
  altered[4] ^= 0x40;
  target.posted.clear();
  link.ReadHolding(0, 1);
  wire->Feed(altered);
  Ticks(1);
  ASSERT_EQ(target.posted.size(), 1u);
  EXPECT_NE(target.posted[0].wParam, 0);
  EXPECT_EQ(target.posted[0].lParam, 0);
}

TEST_F(ReplyAssembler, TimesOutOnTheFiftiethTickWithTheBytesSoFar) {
  link.ReadHolding(0, 1);
  Ticks(49);
  EXPECT_TRUE(target.posted.empty());
  EXPECT_EQ(link.m_ticks, 50);
  Ticks(1);
  EXPECT_EQ(target.posted, std::vector<Posted>{Done(0, 1)});
  EXPECT_EQ(link.m_ticks, 0);
  Ticks(100);
  EXPECT_EQ(target.posted.size(), 1u);
}

// The time-out allows the request and its longest reply on the wire, plus a second, and never
// less than the timer's 50 ticks: a 69-register reply alone takes 2.8 s at 600 baud.
TEST_F(ReplyAssembler, TheTimeOutGrowsWithTheWireTimeAtLowSpeeds) {
  struct Case {
    uint32_t baud;
    uint8_t parity;
    int32_t ticks;  // for a read of 69 registers, 8 + 143 characters
  };
  const Case cases[] = {
      {9600, 0, 50},  // 173 ms on the wire: the 50 ticks stand
      {1200, 0, 50},  // 1.38 s + 1 s
      {600, 0, 76},   // 2.77 s + 1 s = 3.77 s
      {600, 2, 81},   // a parity bit: 12 bits a character
      {300, 0, 131},  // 5.54 s + 1 s
  };
  for (const Case& c : cases) {
    link.m_baudRate = c.baud;
    link.m_parity = c.parity;
    target.posted.clear();
    link.ReadHolding(0, 69);
    EXPECT_EQ(link.m_replyTicks, c.ticks) << c.baud;
    Ticks(c.ticks - 1);
    EXPECT_TRUE(target.posted.empty()) << c.baud;
    Ticks(1);
    EXPECT_EQ(target.posted, std::vector<Posted>{Done(0, 1)}) << c.baud;
  }
}

// Before a request goes out, bytes waiting on the line and a partial frame are dropped: they
// can only belong to something earlier.
TEST_F(ReplyAssembler, ARequestStartsOnACleanLine) {
  link.ReadHolding(0, 1);
  wire->Feed({0x01, 0x03});  // the start of a reply that will not be finished in time
  Ticks(1);
  wire->Feed(WithCrc({0x01, 0x03, 0x02, 0x00, 0x07}));  // a late whole reply, still waiting
  link.ReadHolding(0, 1);
  EXPECT_TRUE(wire->incoming.empty());
  EXPECT_EQ(link.m_rxPos, 0);
  EXPECT_EQ(link.m_replacedCount, 1u);
  const Bytes answer = WithCrc({0x01, 0x03, 0x02, 0x00, 0x09});
  wire->Feed(answer);
  Ticks(1);
  EXPECT_EQ(target.posted, std::vector<Posted>{Done(0, 0)});
  EXPECT_EQ(Bytes(link.m_rxBuf, link.m_rxBuf + answer.size()), answer);
}

// Only the slave addressed answers, with the function asked for or its exception form: other
// whole frames are skipped and the real answer after them is taken in the same tick.
TEST_F(ReplyAssembler, SkipsFramesThatAnswerSomethingElseAndTakesTheAnswer) {
  const Bytes answer = WithCrc({0x01, 0x03, 0x02, 0x00, 0x09});
  const std::vector<Bytes> strangers = {
      WithCrc({0x07, 0x03, 0x02, 0x00, 0x01}),        // another slave
      WithCrc({0x01, 0x06, 0x00, 0x01, 0x00, 0x03}),  // another function
      WithCrc({0x01, 0x61, 0x01, 0x00}),              // a function the console never asks for
      WithCrc({0x01, 0x86, 0x02}),                    // another function's exception
      WithCrc({0x02, 0x83, 0x02}),                    // another slave's exception
  };
  for (const Bytes& stranger : strangers) {
    SCOPED_TRACE(::testing::PrintToString(stranger));
    target.posted.clear();
    const uint32_t discarded = link.m_discardedFrames;
    link.ReadHolding(0, 1);
    wire->Feed(stranger);
    wire->Feed(answer);
    Ticks(1);
    EXPECT_EQ(target.posted, std::vector<Posted>{Done(0, 0)});
    EXPECT_EQ(Bytes(link.m_rxBuf, link.m_rxBuf + answer.size()), answer);
    EXPECT_EQ(link.m_discardedFrames, discarded + 1);
  }
}

// Stray bytes before the answer (a transceiver turning around, the tail of a late frame, a late
// whole reply to an earlier read) are skipped: the answer is taken from where it starts, whole
// in m_rxBuf from offset 0. A frame placed as the answer that does not check still fails at once.
TEST_F(ReplyAssembler, FindsTheAnswerBehindStrayBytes) {
  struct Case {
    const char* name;
    Bytes before;
    Bytes reply;
    Posted posted;
    uint32_t skipped;  // whole frames skipped
  };
  const Bytes answer = WithCrc({0x01, 0x03, 0x02, 0x00, 0x09});
  const Bytes lateTail = WithCrc({0x01, 0x03, 0x04, 0x00, 0x07, 0x00, 0x08});
  Bytes damaged = answer;
  damaged.back() ^= 0x01;
  const Case cases[] = {
      {"one byte", {0xFF}, answer, Done(0, 0), 0},
      {"three bytes", {0x00, 0x80, 0xFE}, answer, Done(0, 0), 0},
      {"the slave's address", {0x01}, answer, Done(0, 0), 0},
      {"address and function", {0x01, 0x01, 0x03}, answer, Done(0, 0), 0},
      {"a late frame's tail", Bytes(lateTail.end() - 4, lateTail.end()), answer, Done(0, 0), 0},
      {"a false start of the frame", {0x01, 0x03, 0x02}, answer, Done(0, 0), 0},
      {"a late reply of another length", lateTail, answer, Done(0, 0), 1},  // costs no failure
      {"an exception after noise", {0x5A, 0x01}, WithCrc({0x01, 0x83, 0x02}), Done(2, 2), 0},
      {"a bad CRC after noise", {0xFF, 0x01}, damaged, Done(1, 0), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    target.posted.clear();
    const uint32_t skipped = link.m_discardedFrames;
    link.ReadHolding(0, 1);
    wire->Feed(c.before);
    wire->Feed(c.reply);
    Ticks(1);
    EXPECT_EQ(target.posted, std::vector<Posted>{c.posted});
    EXPECT_EQ(Bytes(link.m_rxBuf, link.m_rxBuf + c.reply.size()), c.reply);
    EXPECT_EQ(link.m_discardedFrames - skipped, c.skipped);
    EXPECT_EQ(link.m_rxPos, 0);
  }
}

// An exception reply is five bytes: it ends its transaction at once with the meter's code and
// leaves the bytes after it alone.
TEST_F(ReplyAssembler, AnExceptionReplyEndsItsTransactionAtOnceWithItsCode) {
  link.ReadHolding(0, 1);
  wire->Feed(WithCrc({0x01, 0x83, 0x02}));
  wire->Feed({0xAA, 0xBB});
  Ticks(1);
  EXPECT_EQ(target.posted, std::vector<Posted>{Done(2, 2)});
  EXPECT_EQ(link.m_ticks, 0);
  EXPECT_EQ(wire->incoming, (std::deque<uint8_t>{0xAA, 0xBB}));
  std::string log;
  link.DumpRx(log);
  EXPECT_EQ(log, HexOf(WithCrc({0x01, 0x83, 0x02})));
}

TEST_F(ReplyAssembler, DropsAFrameOfAnUnknownCodeAfterItsSeventhByte) {
  wire->Feed({0x01, 0x07, 0x10, 0x11, 0x12, 0x13, 0x14});
  Ticks(1);
  EXPECT_EQ(link.m_rxPos, 0);
  wire->Feed({0x42});
  Ticks(1);
  EXPECT_EQ(link.m_rxPos, 1);
  EXPECT_EQ(link.m_rxBuf[0], 0x42);
  EXPECT_TRUE(target.posted.empty());
}

// The answer ends the transaction; a second frame after it answers nothing and counts nowhere.
TEST_F(ReplyAssembler, TakesTheAnswerAndDropsAFrameThatFollowsIt) {
  const Bytes first = WithCrc({0x01, 0x06, 0x00, 0x01, 0x00, 0x03});
  const Bytes second = WithCrc({0x01, 0x06, 0x00, 0x02, 0x00, 0x04});
  link.WriteRegister(1, 3);
  wire->Feed(first);
  wire->Feed(second);
  Ticks(1);
  EXPECT_EQ(target.posted, std::vector<Posted>{Done(0, 0)});
  EXPECT_EQ(wire->incoming.size(), second.size());
  Ticks(1);
  EXPECT_EQ(target.posted, std::vector<Posted>{Done(0, 0)});
  EXPECT_EQ(link.m_discardedFrames, 1u);
}

// A tick reads the bytes waiting before it counts the time-out, in either framing: a reply that
// came during the last tick is taken, and the time-out reports every byte of the answer that came.
// A reply that comes after its time-out answers nothing and is dropped while the line is idle.
TEST_F(ReplyAssembler, AReplyCountsUpToTheTickThatReachesItsTimeOut) {
  struct Case {
    const char* name;
    int32_t protocol;
    int ticks;  // before the bytes come
    Bytes line;
    Posted posted;
  };
  const Bytes answer = WithCrc({0x01, 0x03, 0x02, 0x00, 0x01});
  const Case cases[] = {
      {"an RTU reply in the last tick", kProtocolRtu, 49, answer, Done(0, 0)},
      {"an ASCII reply in the last tick", kProtocolAscii, 49, Chars(":0103020001F9\r\n"),
       Done(0, 0)},
      {"part of a reply in the last tick", kProtocolRtu, 49, {0x01, 0x03, 0x02, 0x00}, Done(4, 1)},
      {"a reply after the time-out", kProtocolRtu, 50, answer, Done(0, 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    link.m_protocol = c.protocol;
    target.posted.clear();
    link.ReadHolding(0, 1);
    Ticks(c.ticks);
    wire->Feed(c.line);
    Ticks(2);
    EXPECT_EQ(target.posted, std::vector<Posted>{c.posted});
    if (c.posted == Done(0, 0)) {
      EXPECT_EQ(Bytes(link.m_rxBuf, link.m_rxBuf + answer.size()), answer);
    }
  }
}

// ASCII mode. The characters of a reply are taken from ':' to LF and handed on as the RTU frame
// the same reply would have been: the bytes, then their CRC.

using namespace std::string_literals;

class AsciiReplyAssembler : public ReplyAssembler {
 protected:
  void SetUp() override {
    ReplyAssembler::SetUp();
    link.m_protocol = kProtocolAscii;
  }
  Bytes Rx(size_t n) const { return Bytes(link.m_rxBuf, link.m_rxBuf + n); }
};

// A reply split over many ticks, one character a tick, completes on its LF; its RTU form, CRC
// included, is what the decoder and the receive log read.
TEST_F(AsciiReplyAssembler, AssemblesAReplyCharacterByCharacterAcrossTicks) {
  const std::string reply = ":0103020001F9\r\n";
  link.ReadHolding(0, 1);
  for (size_t k = 0; k + 1 < reply.size(); ++k) {
    wire->Feed({static_cast<uint8_t>(reply[k])});
    Ticks(1);
    ASSERT_TRUE(target.posted.empty()) << k;
    ASSERT_EQ(link.m_rxPos, static_cast<int32_t>(k + 1));  // characters, not bytes
  }
  wire->Feed({'\n'});
  Ticks(1);
  EXPECT_EQ(target.posted, std::vector<Posted>{Done(0, 0)});
  EXPECT_EQ(Rx(7), WithCrc({0x01, 0x03, 0x02, 0x00, 0x01}));
  EXPECT_EQ(link.m_ticks, 0);
  std::string log;
  link.DumpRx(log);
  EXPECT_EQ(log, ":0103020001F9");
}

TEST_F(AsciiReplyAssembler, TakesOnlyWellFormedAnswersAndFailsUnreadableOnes) {
  struct Case {
    const char* name;
    std::string line;  // what the meter's end sends after the request
    Posted posted;
    Bytes rtu;  // the reply in RTU form when it was taken; empty otherwise
  };
  const Bytes answer = WithCrc({0x01, 0x03, 0x02, 0x00, 0x01});
  const std::string overlong = ":01" + std::string(kMaxAsciiFrameLen, '0') + "\r\n";
  const Case cases[] = {
      {"noise before the colon", "\x00\xFF\r\n01 03 :0103020001F9\r\n"s, Done(0, 0), answer},
      {"a colon restarts the frame", ":0103020001:0103020001F9\r\n", Done(0, 0), answer},
      {"lower-case digits", ":0103020a0be5\r\n", Done(0, 0),
       WithCrc({0x01, 0x03, 0x02, 0x0A, 0x0B})},
      {"bad LRC: received minus computed", ":0103020001F8\r\n", Done(-1, 0), {}},
      {"not hexadecimal", ":0103020G01F9\r\n", Done(kUnreadableFrame, 0), {}},
      {"an odd number of digits", ":0103020001F\r\n", Done(kUnreadableFrame, 0), {}},
      {"LF without CR", ":0103020001F9\n", Done(kUnreadableFrame, 0), {}},
      {"byte count beyond the data", ":0103040001F7\r\n", Done(kUnreadableFrame, 0), {}},
      {"overlong, then the answer", overlong + ":0103020001F9\r\n", Done(0, 0), answer},
      {"another slave, then the answer", ":0703020001F3\r\n:0103020001F9\r\n", Done(0, 0), answer},
      {"another function, then the answer", ":010600010003F5\r\n:0103020001F9\r\n", Done(0, 0),
       answer},
      {"another length, then the answer", ":01030400010002F5\r\n:0103020001F9\r\n", Done(0, 0),
       answer},
      {"the request's exception", ":0183027A\r\n:0103020001F9\r\n", Done(2, 2),
       WithCrc({0x01, 0x83, 0x02})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    target.posted.clear();
    link.ReadHolding(0, 1);
    wire->Feed(Chars(c.line));
    Ticks(1);
    EXPECT_EQ(target.posted, std::vector<Posted>{c.posted});
    EXPECT_EQ(link.m_ticks, 0);
    if (!c.rtu.empty()) {
      EXPECT_EQ(Rx(c.rtu.size()), c.rtu);
    }
    wire->incoming.clear();
  }
}

// With nothing outstanding a whole frame, good or not, answers nothing and counts nowhere.
TEST_F(AsciiReplyAssembler, DropsEveryFrameWhileIdle) {
  wire->Feed(Chars(":0103020001F9\r\n:0103020001F8\r\n:01G3\r\n"));
  Ticks(1);
  EXPECT_TRUE(target.posted.empty());
  EXPECT_EQ(link.m_discardedFrames, 3u);
}

// An ASCII reply is twice as many characters: at 1200 baud, 7 data bits and even parity a read of
// 69 registers (17 + 287 characters) takes 2.53 s on the wire; the time-out reports the
// characters that came.
TEST_F(AsciiReplyAssembler, TheTimeOutAllowsForTheCharactersOnTheWire) {
  struct Case {
    uint32_t baud;
    int32_t ticks;
  };
  link.m_dataBits = 7;
  link.m_parity = 2;
  link.m_stopBits = 1;
  for (const Case c : {Case{9600, 50}, Case{1200, 71}, Case{300, 223}}) {
    link.m_baudRate = c.baud;
    target.posted.clear();
    link.ReadHolding(0, 69);
    EXPECT_EQ(link.m_replyTicks, c.ticks) << c.baud;
    wire->Feed(Chars(":01038A"));
    Ticks(c.ticks - 1);
    EXPECT_TRUE(target.posted.empty()) << c.baud;
    Ticks(1);
    EXPECT_EQ(target.posted, std::vector<Posted>{Done(7, 1)}) << c.baud;
  }
}

// A partial frame read in one framing is dropped when the operator changes the framing: the next
// frame starts clean.
TEST_F(AsciiReplyAssembler, AChangeOfFramingDropsThePartialFrame) {
  link.ReadHolding(0, 1);
  wire->Feed(Chars(":01030200"));
  Ticks(1);
  link.m_protocol = kProtocolRtu;
  wire->Feed(WithCrc({0x01, 0x03, 0x02, 0x00, 0x01}));
  Ticks(1);
  EXPECT_EQ(target.posted, std::vector<Posted>{Done(0, 0)});
  target.posted.clear();
  link.ReadHolding(0, 1);
  wire->Feed({0x01, 0x03, 0x02});
  Ticks(1);
  link.m_protocol = kProtocolAscii;
  wire->Feed(Chars("01F9\r\n:0103020001F9\r\n"));
  Ticks(1);
  EXPECT_EQ(target.posted, std::vector<Posted>{Done(0, 0)});
}

// What the observer learns: each request as it went on the line, and every byte received in one
// piece with its verdict, in order, each byte once.
struct Heard {
  bool written;  // a request written, or else a piece received
  Bytes bytes;
  RxVerdict verdict;
  uint16_t received, computed;
  bool operator==(const Heard&) const = default;
};

class RecordingObserver : public LinkObserver {
 public:
  void FrameWritten(const uint8_t* bytes, uint16_t length) override {
    heard.push_back({true, Bytes(bytes, bytes + length), RxVerdict::Answer, 0, 0});
  }
  void Received(const RxPiece& piece) override {
    heard.push_back({false, Bytes(piece.bytes, piece.bytes + piece.length), piece.verdict,
                     piece.received, piece.computed});
  }
  std::vector<Heard> heard;
};

Heard Piece(const Bytes& bytes, RxVerdict verdict, uint16_t received = 0, uint16_t computed = 0) {
  return {false, bytes, verdict, received, computed};
}

TEST_F(ReplyAssembler, TellsItsObserverWhatBecameOfEveryByte) {
  RecordingObserver observer;
  link.m_observer = &observer;
  Bytes fed;
  auto feed = [&](const Bytes& bytes) {
    wire->Feed(bytes);
    fed.insert(fed.end(), bytes.begin(), bytes.end());
  };
  const Bytes otherFunction = WithCrc({0x01, 0x06, 0x00, 0x01, 0x00, 0x03});
  const Bytes otherSlave = WithCrc({0x07, 0x03, 0x02, 0x00, 0x01});
  const Bytes late = WithCrc({0x01, 0x03, 0x04, 0x00, 0x07, 0x00, 0x08});
  const Bytes answer = WithCrc({0x01, 0x03, 0x02, 0x00, 0x09});
  Bytes damaged = answer;
  damaged[4] ^= 0x10;
  const Bytes redone = WithCrc(Bytes(damaged.begin(), damaged.end() - 2));
  const std::string ascii = ":0103020001F8\r\n";  // its LRC is F9

  feed(otherFunction);  // while idle, and the start of another frame
  feed({0x01, 0x03});
  Ticks(1);
  link.ReadHolding(0, 1);
  feed({0xFF, 0x00});
  feed(otherSlave);
  feed({0x5A});
  feed(otherFunction);
  feed(late);
  feed(answer);
  Ticks(1);
  link.ReadHolding(0, 1);
  feed({0x01});
  feed(damaged);
  Ticks(1);
  link.ReadHolding(0, 1);
  feed({0xEE, 0x01, 0x03});
  Ticks(50);
  link.m_protocol = kProtocolAscii;
  link.ReadHolding(0, 1);
  feed(Chars("\x7F:0103"));
  feed(Chars(ascii));
  Ticks(1);
  link.ReadHolding(0, 1);
  feed(Chars(":0103"));
  Ticks(1);
  EXPECT_EQ(link.AbandonOnLoss(), 5);
  EXPECT_EQ(link.AbandonOnLoss(), -1);  // nothing outstanding, nothing held: the loss alone

  const Heard request = {true, wire->written[0], RxVerdict::Answer, 0, 0};
  const std::vector<Heard> expected = {
      Piece(otherFunction, RxVerdict::Idle),
      Piece({0x01, 0x03}, RxVerdict::Idle),
      request,
      Piece({0xFF, 0x00}, RxVerdict::Stray),
      Piece(otherSlave, RxVerdict::OtherSlave),
      Piece({0x5A}, RxVerdict::Stray),
      Piece(otherFunction, RxVerdict::OtherFunction),
      Piece(late, RxVerdict::NotTheAnswer),
      Piece(answer, RxVerdict::Answer),
      request,
      Piece({0x01}, RxVerdict::Stray),
      Piece(damaged, RxVerdict::BadCheck, static_cast<uint16_t>(damaged[5] | damaged[6] << 8),
            static_cast<uint16_t>(redone[5] | redone[6] << 8)),
      request,
      Piece({0xEE}, RxVerdict::Stray),
      Piece({0x01, 0x03}, RxVerdict::TimedOut),
      {true, Chars(":010300000001FB\r\n"), RxVerdict::Answer, 0, 0},
      Piece(Chars("\x7F:0103"), RxVerdict::Stray),
      Piece(Chars(ascii), RxVerdict::BadCheck, 0xF8, 0xF9),
      {true, Chars(":010300000001FB\r\n"), RxVerdict::Answer, 0, 0},
      Piece(Chars(":0103"), RxVerdict::LineLost),
      Piece({}, RxVerdict::LineLost),
  };
  EXPECT_EQ(observer.heard, expected);
  Bytes covered;
  for (const Heard& h : observer.heard) {
    if (!h.written) covered.insert(covered.end(), h.bytes.begin(), h.bytes.end());
  }
  EXPECT_EQ(covered, fed);
}

// Random traffic: well-formed replies, truncated ones, unknown codes and noise, with requests
// issued at random. The bytes held stay inside the receiver's buffers, and every transaction
// ends within the time-out by a completion or a time-out.
TEST_F(ReplyAssembler, RandomTrafficKeepsAssemblyBoundedAndEndsEveryTransaction) {
  std::mt19937 random(7);
  auto byte = [&] { return static_cast<uint8_t>(random()); };
  const uint8_t codes[] = {1, 2, 3, 3, 3, 3, 4, 8, 97, 105, 112, 5, 6, 9, 16, 7, 0x83, 0, 255};
  int ticksOutstanding = 0;
  for (int round = 0; round < 20000; ++round) {
    const uint32_t action = random() % 40;
    if (action == 0) {
      link.ReadHolding(byte(), random() % 2 == 0 ? byte() : random() % 4);
      ticksOutstanding = 0;
    } else if (action <= 2) {
      // Mostly from the slave asked, often with the byte count asked, so that some frames answer.
      const uint8_t address = random() % 4 != 0 ? 1 : byte();
      const auto count = static_cast<uint8_t>(random() % 2 == 0 ? 2 * link.m_lastCount : byte());
      Bytes body{address, codes[random() % std::size(codes)], count};
      const size_t extra = random() % 2 == 0 ? body[2] : random() % 12;
      for (size_t k = 0; k < extra; ++k) body.push_back(byte());
      Bytes frame = WithCrc(body);
      if (random() % 4 == 0) frame.resize(random() % frame.size());
      wire->Feed(frame);
    } else if (action == 3) {
      wire->Feed({byte()});
    }
    const bool outstanding = link.m_ticks != 0;
    const size_t postedBefore = target.posted.size();
    link.PumpReceive();
    ASSERT_GE(link.m_rxPos, 0);
    ASSERT_LE(link.m_rxPos, kFrameBufferSize);
    for (size_t k = postedBefore; k < target.posted.size(); ++k) {
      ASSERT_TRUE(target.posted[k].lParam >= 0 && target.posted[k].lParam <= 2);
    }
    if (outstanding) {
      ++ticksOutstanding;
      ASSERT_LE(ticksOutstanding, 50);
      if (link.m_ticks == 0) {
        ASSERT_GT(target.posted.size(), postedBefore);
      }
    }
  }
  const auto timeOuts = std::count_if(target.posted.begin(), target.posted.end(),
                                      [](const Posted& p) { return p.lParam == 1; });
  const auto good = std::count(target.posted.begin(), target.posted.end(), Done(0, 0));
  EXPECT_GT(timeOuts, 10);
  EXPECT_GT(good, 10);
}

}  // namespace
