#pragma once

#include <cstdint>
#include <string>

// Modbus RTU frame rules shared by every request and reply: the table-driven CRC-16 and the
// hex text in which frames are written into the operator's frame logs.

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
