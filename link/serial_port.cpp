#include "link/serial_port.h"

#include <cstdio>

SerialPort::SerialPort() : m_line(MakePlatformLine()) {}

SerialPort::~SerialPort() { Close(); }

namespace {

// The device the port chosen names now: an adapter is its path; COMn is resolved at every open.
std::string ChosenPath(const SerialPort& port) {
  return port.m_port != 0 ? PortDevicePath(port.m_port) : port.m_portPath;
}

}  // namespace

void SerialPort::Open() {
  if (m_isOpen) return;
  m_boundPath.clear();
  OpenPath(ChosenPath(*this));
}

void SerialPort::Reopen() {
  if (m_isOpen) return;
  OpenPath(m_boundPath.empty() ? ChosenPath(*this) : m_boundPath);
}

std::string SerialPort::PortId() const {
  return m_port != 0 ? "COM" + std::to_string(m_port) : m_portPath;
}

void SerialPort::ChoosePort(const std::string& id) {
  const bool numbered = id.size() == 4 && id.compare(0, 3, "COM") == 0 && id[3] >= '1' && id[3] <= '9';
  m_port = numbered ? static_cast<uint32_t>(id[3] - '0') : 0;
  m_portPath = numbered ? std::string() : id;
}

void SerialPort::OpenPath(const std::string& path) {
  m_openPath = path;
  m_isOpen = m_line->Open(*this) ? 1 : 0;
  if (m_isOpen) {
    m_boundPath = path;
    ++m_openCount;
  }
  if (!m_isOpen) {
    Report(m_line->LastError());
  } else if (m_reported.fault != LineFault::None) {
    std::fprintf(stderr, "quorvel: %s (%s): open again\n", PortId().c_str(),
                 m_line->LastError().device.c_str());
    m_reported = {};
  }
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

bool SerialPort::Write(const uint8_t* buffer, uint16_t length) {
  return m_isOpen && m_line->Write(buffer, length);
}

void SerialPort::DiscardInput() {
  if (m_isOpen) m_line->DiscardInput();
}

bool SerialPort::LineLost() {
  if (!m_isOpen || !m_line->Lost()) return false;
  Close();
  Report(m_line->LastError());
  return true;
}

void SerialPort::SetLine(std::unique_ptr<SerialLine> line) {
  Close();
  m_line = std::move(line);
}

// A retry that fails the same way as the last one says nothing new, so it writes nothing.
void SerialPort::Report(const LineError& error) {
  if (error == m_reported) return;
  m_reported = error;
  const char* what = error.fault == LineFault::Lost ? "line lost" : "cannot open";
  std::fprintf(stderr, "quorvel: %s (%s): %s: %s\n", PortId().c_str(), error.device.c_str(), what,
               error.text.c_str());
}
