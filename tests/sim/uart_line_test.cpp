#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/frame_codec.h"
#include "tools/meter-sim/ascii_line.h"
#include "tools/meter-sim/uart_line.h"

namespace {

// "8N2", "7E1", ...: data bits, parity, stop bits, at 9600 baud.
CharacterFormat Format(const char* text) {
  CharacterFormat f;
  f.dataBits = static_cast<uint8_t>(text[0] - '0');
  f.parity = text[1] == 'N' ? 0 : text[1] == 'O' ? 1 : 2;
  f.stopBits = static_cast<uint8_t>(text[2] - '0');
  return f;
}

std::vector<uint8_t> ReadParameters() {
  std::vector<uint8_t> frame = {0x01, 0x03, 0x03, 0x00, 0x00, 0x2C, 0, 0};
  CloseFrame(frame.data(), static_cast<uint16_t>(frame.size()));
  return frame;
}

// What the meter's UART makes of a request: the same characters with no error, or not. The stop
// bits never matter; parity and data bits must match.
TEST(UartRule, AReceiverTakesTheRequestOnlyInItsOwnParityAndDataBits) {
  const std::vector<uint8_t> rtu = ReadParameters();
  const std::vector<uint8_t> ascii = AsciiFromRtu(rtu);
  const struct {
    const char* sender;
    const char* receiver;
    bool asciiRequest;
    bool clear;
  } cases[] = {
      {"8N2", "8N2", false, true},  {"8N1", "8N2", false, true},  {"8N2", "8N1", false, true},
      {"8E1", "8E1", false, true},  {"8E2", "8E1", false, true},  {"8E1", "8E2", false, true},
      {"8O1", "8O2", false, true},  {"7E1", "7E1", true, true},   {"7N2", "7N1", true, true},
      {"8N1", "8E1", false, false}, {"8O1", "8E1", false, false}, {"8N2", "8E1", false, false},
      {"8E1", "8N1", false, false}, {"8E1", "8O1", false, false}, {"8E1", "8N2", false, false},
      {"7E1", "8E1", true, false},  {"7E1", "8N1", true, false},  {"8N2", "7N2", false, false},
      {"7N2", "8N2", true, false},  {"8N1", "7N1", true, false},  {"7O1", "7E1", true, false},
  };
  for (const auto& c : cases) {
    const std::vector<uint8_t>& sent = c.asciiRequest ? ascii : rtu;
    const HeardBytes heard =
        ReceiveCharacters(sent.data(), sent.size(), Format(c.sender), Format(c.receiver));
    const bool clear = heard.bytes == sent && heard.broken == std::vector<uint8_t>(sent.size(), 0);
    EXPECT_EQ(clear, c.clear) << c.sender << " to " << c.receiver;
  }
}

// Bit by bit: 7 data bits read as 8 take the first stop bit as the eighth; the parity bit of an
// even sender read as a stop bit breaks the characters whose parity bit is 0.
TEST(UartRule, GarblesCharactersAsAReceiverInAnotherFormatSamplesThem) {
  const std::vector<uint8_t> sent = {0x3A, 0x30, 0x31};  // ":01"
  HeardBytes heard = ReceiveCharacters(sent.data(), sent.size(), Format("7N2"), Format("8N1"));
  EXPECT_EQ(heard.bytes, (std::vector<uint8_t>{0xBA, 0xB0, 0xB1}));
  EXPECT_EQ(heard.broken, (std::vector<uint8_t>{0, 0, 0}));
  heard = ReceiveCharacters(sent.data(), sent.size(), Format("7E1"), Format("7N1"));
  EXPECT_EQ(heard.bytes, sent);
  EXPECT_EQ(heard.broken, (std::vector<uint8_t>{1, 1, 0}));  // 0x31 has an odd count of ones
}

// On a pseudo-terminal the meter knows only the console's speed: at its own speed it takes the
// bytes as they are, at another it hears nothing.
TEST(UartRule, ALineThatCannotTellTheCharacterFormatPassesTheBytesAtTheMetersSpeed) {
  const std::vector<uint8_t> rtu = ReadParameters();
  SentFormat pty;
  pty.format = Format("8N1");
  pty.format.baudRate = 9600;
  CharacterFormat meter = Format("7E2");
  const HeardBytes heard = Hear(rtu.data(), rtu.size(), pty, meter);
  EXPECT_FALSE(heard.wrongSpeed);
  EXPECT_EQ(heard.bytes, rtu);
  meter.baudRate = 19200;
  const HeardBytes deaf = Hear(rtu.data(), rtu.size(), pty, meter);
  EXPECT_TRUE(deaf.wrongSpeed);
  EXPECT_TRUE(deaf.bytes.empty());
}

}  // namespace
