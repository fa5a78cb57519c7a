#include "link/serial_port.h"

SerialPort::SerialPort() : m_line(MakePlatformLine()) {}

SerialPort::~SerialPort() { Close(); }

void SerialPort::Open() {
  if (m_isOpen) return;
  m_isOpen = m_line->Open(*this) ? 1 : 0;
}

void SerialPort::Configure() {
  if (m_isOpen) m_line->Configure(*this);
}

void SerialPort::Close() {
  if (!m_isOpen) return;
  m_line->Close();
  m_isOpen = 0;
}

bool SerialPort::BytesWaiting() { return m_isOpen && m_line->BytesWaiting(); }

uint8_t SerialPort::ReadByte() { return m_isOpen ? m_line->ReadByte() : 0; }

int32_t SerialPort::Write(const uint8_t* buffer, uint16_t length) {
  return m_isOpen ? m_line->Write(buffer, length) : 0;
}

void SerialPort::DiscardInput() {
  if (m_isOpen) m_line->DiscardInput();
}

void SerialPort::SetLine(std::unique_ptr<SerialLine> line) {
  Close();
  m_line = std::move(line);
}
