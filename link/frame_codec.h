#pragma once

#include <cstdint>
#include <string>

// Modbus frame rules shared by every request and reply: the table-driven CRC-16 of RTU frames, the
// characters and LRC of ASCII frames, and the text in which frames are written into the
// operator's frame logs.

// Protocol modes held by the link.
constexpr int32_t kProtocolRtu = 0;
constexpr int32_t kProtocolAscii = 1;

// The function codes the console sends and the meter answers.
constexpr uint8_t kFnReadCoils = 1;
constexpr uint8_t kFnReadInputs = 2;
constexpr uint8_t kFnReadHolding = 3;
constexpr uint8_t kFnReadInput = 4;
constexpr uint8_t kFnWriteCoil = 5;
constexpr uint8_t kFnWriteRegister = 6;
constexpr uint8_t kFnReadEvent = 8;
constexpr uint8_t kFnClearEvents = 9;
constexpr uint8_t kFnWriteMultiple = 16;

// The slave addresses a request may name: 0 is the broadcast every device on the bus obeys and
// none answers, and 248 to 255 are reserved.
constexpr int32_t kFirstSlaveAddress = 1;
constexpr int32_t kLastSlaveAddress = 247;

// The longest reply the receiver assembles (5 + a byte count of 255) and the buffer size.
constexpr int kMaxReplyLen = 260;
constexpr int kFrameBufferSize = 2048;

// CRC-16/MODBUS as the table-driven routine computes it: the high byte of the result is the CRC
// byte sent first, the low byte the one sent second. Zero bytes give 0xFFFF.
uint16_t Crc16(const uint8_t* data, uint16_t length);

// Stores the CRC of bytes 0..n-3 at offsets n-2 (sent first) and n-1. n must be at least 2.
void CloseFrame(uint8_t* frame, uint16_t n);

// Received CRC minus computed CRC for a complete frame of n >= 2 bytes: 0 means a good frame.
int32_t CheckFrame(const uint8_t* frame, uint16_t n);

// Appends n bytes as "%02X " each, the form of the frame logs.
void AppendHex(std::string& text, const uint8_t* data, int n);

// Modbus ASCII carries the bytes of an RTU frame without its CRC: ':', each byte as two upper-case
// hexadecimal characters, the LRC of the bytes as two more, then CR LF.

// The longest ASCII frame a line carries, ':' and CR LF included.
constexpr int kMaxAsciiFrameLen = 513;

// Characters of the ASCII frame that carries n bytes.
constexpr int AsciiFrameLength(int n) { return 1 + 2 * n + 2 + 2; }

// The two's complement of the 8-bit sum of the bytes.
uint8_t Lrc(const uint8_t* data, uint16_t length);

// Writes the ASCII frame of n bytes, AsciiFrameLength(n) characters, to out; returns its length.
uint16_t EncodeAscii(const uint8_t* data, uint16_t n, uint8_t* out);

// Appends the ASCII frame of n bytes from ':' to its LRC (no CR LF): the form of the frame logs in
// that mode.
void AppendAscii(std::string& text, const uint8_t* data, int n);

// What a frame that cannot be read at all is reported with, in place of a check difference: an
// ASCII frame with a character that is not hexadecimal, an odd number of digits, no CR before its
// LF or no room for an address and a function; or one whose length is not its function's. It lies
// outside every CRC or LRC difference.
constexpr int32_t kUnreadableFrame = 0x10000;

// Reads the ASCII frame in text[0..length), ':' to LF, into its bytes without the LRC (at most
// (length - 5) / 2 of them, written to out; their count to n). Lower-case digits are read as
// upper-case ones. Returns 0 for a good frame, the received minus the computed LRC (-255 to 255,
// never 0) when the LRC is wrong, and kUnreadableFrame when the characters are no frame.
int32_t DecodeAscii(const uint8_t* text, int length, uint8_t* out, uint16_t& n);
