#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// How a UART frames each character: a start bit, the data bits (least significant first), a
// parity bit when there is parity, and the stop bits.
struct CharacterFormat {
  uint32_t baudRate = 9600;
  uint8_t parity = 0;  // 0 none, 1 odd, 2 even (the meter's parity codes)
  uint8_t dataBits = 8;
  uint8_t stopBits = 2;
};

// What the console's end of the line says about the characters it sends. A pseudo-terminal
// carries the speed and the stop bits, but reports 8 data bits and no parity whatever the
// console set, so there the meter cannot know them: characterKnown is false and a meter at the
// console's speed takes the bytes as they are. A line that knows the whole format (a test's fake
// line) sets it true, and the meter hears what its UART would make of those characters.
struct SentFormat {
  CharacterFormat format;
  bool characterKnown = false;  // parity and data bits are the console's own
};

// The console's end of the line, asked on each read of the bytes it sent.
class ConsoleLine {
 public:
  virtual ~ConsoleLine() = default;
  virtual SentFormat Sending() const = 0;
};

// Characters as a meter's UART takes them. broken[k] is 1 when character k came with a parity
// error or a space where the stop bit belongs; a Modbus slave ignores a frame holding such a
// character. wrongSpeed: the console sends at another speed, and the meter hears no characters.
struct HeardBytes {
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> broken;
  bool wrongSpeed = false;
};

// What a UART set to `receiver` takes from characters sent in `sender`'s format at the same
// speed, bit by bit: the receiver waits for a start bit, samples its data bits, checks the parity
// bit and the first stop bit only (so a receiver set to 2 stop bits also takes 1, and one set to
// 1 takes 2 as idle line), then waits for the next start bit.
HeardBytes ReceiveCharacters(const uint8_t* bytes, size_t count, const CharacterFormat& sender,
                             const CharacterFormat& receiver);

// What a meter whose own line is `meter` hears of the bytes the console sent: nothing when the
// speeds differ, the bytes as they are when the line cannot tell the character format, and
// otherwise what its UART makes of them.
HeardBytes Hear(const uint8_t* bytes, size_t count, const SentFormat& sent,
                const CharacterFormat& meter);
