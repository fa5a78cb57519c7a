// The serial port on Windows: a COM port opened for overlapped I/O and never waited on.
#include "link/serial_port_win32.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr DWORD kQueueBytes = 2048;  // driver queue size asked for each way
constexpr DWORD kReadChunk = 512;    // most bytes one read takes from the driver's queue
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;  // 15

// What an open's error code means for the operator. Windows answers ERROR_ACCESS_DENIED for a
// port another program holds: there is no group to join, the port is busy.
LineFault FaultOf(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
      return LineFault::Missing;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      return LineFault::Busy;
    default:
      return LineFault::Other;
  }
}

// Errors with which a read or write says the device has gone (a USB adapter pulled out) or no
// longer takes requests on this handle (not ready): either way only a new open can help.
bool IsGone(DWORD code) {
  return code == ERROR_DEVICE_REMOVED || code == ERROR_DEVICE_NOT_CONNECTED ||
         code == ERROR_BAD_COMMAND || code == ERROR_GEN_FAILURE || code == ERROR_DEV_NOT_EXIST ||
         code == ERROR_NOT_READY;
}

std::string ErrorText(DWORD code) {
  char text[32];
  std::snprintf(text, sizeof(text), "Win32 error %lu", static_cast<unsigned long>(code));
  return text;
}

// Clears the status words of an overlapped record before it is handed to a new request.
void Reset(OVERLAPPED& overlap, HANDLE event) {
  overlap = OVERLAPPED{};
  overlap.hEvent = event;
}

// One write handed to the driver. The driver reads the bytes and updates the record until the
// write completes, so both stay here, untouched, until then.
struct WriteRequest {
  OVERLAPPED overlap{};
  HANDLE event = nullptr;
  std::vector<uint8_t> bytes;
  bool inFlight = false;
};

// Overlapped COM port. Received bytes are read into a member so that a read the driver leaves
// pending completes into live memory; they are handed out once the read has completed. Every write
// gets a record of its own and a copy of its bytes, since the previous write may still be going
// out when the next frame is issued; the driver sends them in the order they were started.
class Win32Line : public SerialLine {
 public:
  Win32Line() { m_readEvent = ::CreateEventA(nullptr, FALSE, FALSE, nullptr); }

  ~Win32Line() override {
    Close();
    for (const auto& write : m_writes) {
      if (write->event != nullptr) ::CloseHandle(write->event);
    }
    if (m_readEvent != nullptr) ::CloseHandle(m_readEvent);
  }

  bool Open(const SerialPort& settings) override {
    m_device = settings.m_openPath;
    m_error = {LineFault::None, 0, m_device, ""};
    m_handle = ::CreateFileA(m_device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE) {
      const DWORD code = ::GetLastError();
      m_error = {FaultOf(code), static_cast<int32_t>(code), m_device, ErrorText(code)};
      return false;
    }
    // A device that keeps no communications state is not a serial line.
    DCB probe{};
    probe.DCBlength = sizeof(probe);
    if (::GetCommState(m_handle, &probe) == FALSE) {
      const DWORD code = ::GetLastError();
      ::CloseHandle(m_handle);
      m_handle = INVALID_HANDLE_VALUE;
      m_error = {LineFault::NotSerial, static_cast<int32_t>(code), m_device, ErrorText(code)};
      return false;
    }
    ::SetCommMask(m_handle, 0);
    ::SetupComm(m_handle, kQueueBytes, kQueueBytes);
    ::PurgeComm(m_handle, kPurgeAll);
    m_timeouts = COMMTIMEOUTS{};
    ::SetCommTimeouts(m_handle, &m_timeouts);
    Configure(settings);
    return true;
  }

  // The driver's record is read back only for what the console keeps of it (see SetLineDcb).
  void Configure(const SerialPort& settings) override {
    if (m_handle == INVALID_HANDLE_VALUE) return;
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    ::GetCommState(m_handle, &dcb);
    SetLineDcb(dcb, settings);
    ::SetCommState(m_handle, &dcb);
  }

  // Requests still in progress are cancelled and collected (each ends at once) before the purge
  // and before the handle goes, so none of them outlives its memory; a purge alone does not end a
  // read everywhere (Wine leaves it pending, and the port dead after it).
  void Close() override {
    if (m_handle == INVALID_HANDLE_VALUE) return;
    ::CancelIo(m_handle);
    DWORD count = 0;
    if (m_readPending) ::GetOverlappedResult(m_handle, &m_readOverlap, &count, TRUE);
    for (const auto& write : m_writes) {
      if (write->inFlight) ::GetOverlappedResult(m_handle, &write->overlap, &count, TRUE);
      write->inFlight = false;
    }
    ::PurgeComm(m_handle, kPurgeAll);
    ::CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    m_readPending = false;
    m_readNext = m_readCount = 0;
  }

  // ClearCommError runs whenever the bytes read so far have been handed out: it also clears line
  // errors, which would otherwise stop the driver's transfers. The bytes the driver holds are
  // read in one request, which ends as soon as it is started since they are all there; they
  // count as waiting once it has completed.
  bool BytesWaiting() override {
    if (m_handle == INVALID_HANDLE_VALUE) return false;
    if (m_readNext < m_readCount) return true;
    DWORD errors = 0;
    COMSTAT status{};
    const bool queried = ::ClearCommError(m_handle, &errors, &status) != FALSE;
    if (!queried) MarkLost(::GetLastError());
    if (m_readPending && !CollectRead()) return false;
    if (m_readNext < m_readCount) return true;
    if (!queried || status.cbInQue == 0) return false;
    StartRead(std::min<DWORD>(status.cbInQue, kReadChunk));
    return m_readNext < m_readCount;
  }

  uint8_t ReadByte() override {
    if (m_readNext >= m_readCount && !BytesWaiting()) return 0;
    return m_readBuffer[m_readNext++];
  }

  // A read still in progress is cancelled and collected first, then the driver's input queue is
  // purged, so no byte that came before a request is taken for its answer.
  void DiscardInput() override {
    if (m_handle == INVALID_HANDLE_VALUE) return;
    if (m_readPending) {
      ::CancelIoEx(m_handle, &m_readOverlap);
      DWORD count = 0;
      ::GetOverlappedResult(m_handle, &m_readOverlap, &count, TRUE);
      m_readPending = false;
    }
    ::PurgeComm(m_handle, PURGE_RXABORT | PURGE_RXCLEAR);
    m_readNext = m_readCount = 0;
  }

  // True when the driver took the frame (written, or writing). The bytes are copied into a free
  // request of their own; when the requests still in flight already fill the output queue the
  // frame is not started (the line is stuck).
  bool Write(const uint8_t* buffer, uint16_t length) override {
    if (m_handle == INVALID_HANDLE_VALUE) return false;
    if (CollectWrites() + length > kQueueBytes) return false;
    WriteRequest& write = FreeWrite();
    write.bytes.assign(buffer, buffer + length);
    Reset(write.overlap, write.event);
    const BOOL done = ::WriteFile(m_handle, write.bytes.data(), length, nullptr, &write.overlap);
    const DWORD code = done == FALSE ? ::GetLastError() : ERROR_SUCCESS;
    write.inFlight = code == ERROR_IO_PENDING;
    if (IsGone(code)) MarkLost(code);
    return done != FALSE || write.inFlight;
  }

  // ClearCommError fails once the device has been removed; it does not wait for anything.
  bool Lost() override {
    if (m_handle == INVALID_HANDLE_VALUE) return false;
    if (m_error.fault != LineFault::Lost) {
      DWORD errors = 0;
      COMSTAT status{};
      if (::ClearCommError(m_handle, &errors, &status) == FALSE) MarkLost(::GetLastError());
    }
    return m_error.fault == LineFault::Lost;
  }

 private:
  void MarkLost(DWORD code) {
    if (m_error.fault == LineFault::Lost) return;
    m_error = {LineFault::Lost, static_cast<int32_t>(code), m_device, ErrorText(code)};
  }

  void StartRead(DWORD length) {
    Reset(m_readOverlap, m_readEvent);
    m_readNext = m_readCount = 0;
    DWORD count = 0;
    if (::ReadFile(m_handle, m_readBuffer.data(), length, &count, &m_readOverlap) != FALSE) {
      m_readCount = count;
    } else if (const DWORD code = ::GetLastError(); code == ERROR_IO_PENDING) {
      m_readPending = true;
      CollectRead();
    } else if (IsGone(code)) {
      MarkLost(code);
    }
  }

  // Looks at the pending read without waiting; false while it is still in progress.
  bool CollectRead() {
    DWORD count = 0;
    const BOOL done = ::GetOverlappedResult(m_handle, &m_readOverlap, &count, FALSE);
    if (done == FALSE) {
      const DWORD code = ::GetLastError();
      if (code == ERROR_IO_INCOMPLETE) return false;
      if (IsGone(code)) MarkLost(code);
    }
    m_readPending = false;
    m_readNext = 0;
    m_readCount = done != FALSE ? count : 0;
    return true;
  }

  // Frees every write that has finished; returns the bytes of those still in flight.
  DWORD CollectWrites() {
    DWORD inFlight = 0;
    for (const auto& write : m_writes) {
      if (!write->inFlight) continue;
      DWORD count = 0;
      if (::GetOverlappedResult(m_handle, &write->overlap, &count, FALSE) == FALSE &&
          ::GetLastError() == ERROR_IO_INCOMPLETE) {
        inFlight += static_cast<DWORD>(write->bytes.size());
      } else {
        write->inFlight = false;
      }
    }
    return inFlight;
  }

  WriteRequest& FreeWrite() {
    for (const auto& write : m_writes) {
      if (!write->inFlight) return *write;
    }
    auto write = std::make_unique<WriteRequest>();
    write->event = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    m_writes.push_back(std::move(write));
    return *m_writes.back();
  }

  HANDLE m_handle = INVALID_HANDLE_VALUE;
  OVERLAPPED m_readOverlap{};
  HANDLE m_readEvent = nullptr;
  // Target of the read; its first m_readCount bytes are valid once the read has completed, and
  // are handed out from m_readNext on.
  std::array<uint8_t, kReadChunk> m_readBuffer{};
  DWORD m_readCount = 0;
  DWORD m_readNext = 0;
  bool m_readPending = false;  // a read the driver has not completed yet
  COMMTIMEOUTS m_timeouts{};
  std::string m_device;                                 // the name the last open used
  std::vector<std::unique_ptr<WriteRequest>> m_writes;  // records keep their addresses
};

}  // namespace

// Raw, as on POSIX: every byte value passes unchanged both ways. No XON/XOFF either way (0x11
// and 0x13 are data), no null stripping, no error character, no parity checking of received
// bytes (a damaged byte is taken as it came and fails the frame check), no CTS or DSR output
// handshake and no DSR sensitivity (an adapter that leaves those lines low would stall the
// transmitter or swallow replies), DTR and RTS held on and never used for handshake, and a line
// error does not stop transfers. A parity code other than none, odd or even is none, as on
// POSIX. XonChar and XoffChar keep the usual 0x11 and 0x13, unused: SetCommState refuses a
// record in which they are equal. XonLim and XoffLim stay as the driver has them: they mean
// nothing without flow control, and the driver checks them against its queues.
void SetLineDcb(DCB& dcb, const SerialPort& settings) {
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = settings.m_baudRate;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fTXContinueOnXoff = TRUE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fAbortOnError = FALSE;
  dcb.fDummy2 = 0;
  dcb.wReserved = 0;
  dcb.ByteSize = settings.m_dataBits;
  dcb.Parity = settings.m_parity <= EVENPARITY ? settings.m_parity : NOPARITY;
  dcb.StopBits = (settings.m_stopBits & 1) != 0 ? ONESTOPBIT : TWOSTOPBITS;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  dcb.ErrorChar = 0;
  dcb.EofChar = 0;
  dcb.EvtChar = 0;
}

std::unique_ptr<SerialLine> MakePlatformLine() { return std::make_unique<Win32Line>(); }

// "COM1" to "COM9" open as they are; higher numbers need the device namespace form.
std::string PortDevicePath(uint32_t port) {
  char name[32];
  std::snprintf(name, sizeof(name), port > 9 ? "\\\\.\\COM%u" : "COM%u", port);
  return name;
}
