#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class MeterModel;

// Modbus exception codes the meter answers with.
constexpr uint8_t kIllegalFunction = 1;
constexpr uint8_t kIllegalDataAddress = 2;
constexpr uint8_t kIllegalDataValue = 3;

// The length a request frame will have, judged from the bytes received so far: 0 when more
// bytes are needed to tell, -1 for a function whose length the meter cannot predict (that frame
// ends with the silence after it).
int RequestLength(const uint8_t* bytes, size_t count);

// The meter's Modbus RTU slave: takes one request frame and gives the reply frame, or nothing
// when the meter stays silent (bad CRC, another slave's address, a broadcast).
class ModbusSlave {
 public:
  explicit ModbusSlave(MeterModel& meter) : m_meter(meter) {}

  std::vector<uint8_t> Answer(const uint8_t* frame, size_t length);
  // Whether the meter answers this frame: a good CRC and the meter's own address (address 0,
  // a broadcast, gets no answer).
  bool ForThisMeter(const uint8_t* frame, size_t length) const;

 private:
  std::vector<uint8_t> ReadBits(const uint8_t* frame, size_t length);
  std::vector<uint8_t> ReadRegisters(const uint8_t* frame, size_t length);
  std::vector<uint8_t> WriteCoil(const uint8_t* frame, size_t length);
  std::vector<uint8_t> WriteRegister(const uint8_t* frame, size_t length);
  std::vector<uint8_t> ReadEvent(const uint8_t* frame, size_t length);
  std::vector<uint8_t> ClearEvents(const uint8_t* frame, size_t length);
  std::vector<uint8_t> WriteRegisters(const uint8_t* frame, size_t length);
  std::vector<uint8_t> Exception(uint8_t function, uint8_t code) const;
  std::vector<uint8_t> Closed(std::vector<uint8_t> reply) const;

  MeterModel& m_meter;
  uint8_t m_address = 0;  // of the request being answered
};
