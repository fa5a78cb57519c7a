#pragma once

#include <cstdint>
#include <memory>
#include <string>

class SerialPort;

// Why a line could not be opened, or why an open line was given up.
enum class LineFault : uint8_t {
  None,
  Missing,       // no such device
  NoPermission,  // the user may not open it
  Busy,          // another program holds it
  NotSerial,     // it is there but is not a serial line
  Lost,          // the device went away while open (hang-up, removed, I/O error)
  Other,         // any other refusal; the code says which
};

// The last error of a line: what went wrong, the platform's code and words for it, and the
// device that COMn stood for at the time.
struct LineError {
  LineFault fault = LineFault::None;
  int32_t code = 0;    // errno on POSIX, GetLastError() on Windows; 0 for a hang-up
  std::string device;  // what COMn named: the link's target, /dev/ttyS<n-1> or "COMn"
  std::string text;    // the platform's words for code
  bool operator==(const LineError&) const = default;
};

// The platform's serial line under a SerialPort: exclusive open of the named port, raw transfer,
// both queues flushed at open and close, and nothing that blocks. One backend per platform
// (serial_port_posix.cpp, serial_port_win32.cpp); tests put a scripted line in its place.
class SerialLine {
 public:
  virtual ~SerialLine() = default;
  // Opens and configures the device at settings.m_openPath; false when it cannot be had.
  virtual bool Open(const SerialPort& settings) = 0;
  virtual void Configure(const SerialPort& settings) = 0;
  virtual void Close() = 0;
  virtual bool BytesWaiting() = 0;
  virtual uint8_t ReadByte() = 0;
  // Hands a frame to the driver; false when the line refused it, so that it never reached the
  // wire.
  virtual bool Write(const uint8_t* buffer, uint16_t length) = 0;
  // Drops every received byte still waiting, so a request starts on a clean line.
  virtual void DiscardInput() {
    while (BytesWaiting()) ReadByte();
  }
  // True once the open line's device has gone away. Never blocks; asked once per tick, also
  // while nothing is being sent.
  virtual bool Lost() { return false; }
  // Why the last open failed or the line was lost; after a good open, fault None and the device
  // opened.
  const LineError& LastError() const { return m_error; }

 protected:
  LineError m_error;
};

// The backend built for this platform.
std::unique_ptr<SerialLine> MakePlatformLine();
// The device that "COM<port>" names on this platform.
std::string PortDevicePath(uint32_t port);

// One COM port and its line settings. None of the operations blocks the caller: a byte is read
// only when the driver already holds one, and a write is started and never waited for.
class SerialPort {
 public:
  SerialPort();
  ~SerialPort();  // closes the port
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens what "COM<m_port>" names now (on POSIX its link when there is one, else the default
  // device), with the line settings; the outcome is in m_isOpen. Does not close a port that is
  // already open: callers close first. The operator's choice: what a later Reopen may open is
  // decided afresh.
  void Open();
  // Opens again what the last good open opened: a port opened through a link only through that
  // link, one opened as a device only as that device, never another device that the name may
  // stand for meanwhile. Before any good open since the operator's choice, as Open.
  void Reopen();
  // Applies speed, data bits, parity and stop bits to a raw line without software flow control
  // (what each backend sets besides: SetLineTermios, SetLineDcb).
  void Configure();
  void Close();         // flushes both queues and closes; nothing when closed
  bool BytesWaiting();  // true when at least one received byte is waiting
  uint8_t ReadByte();   // one byte that BytesWaiting said is there
  bool Write(const uint8_t* buffer, uint16_t length);  // false when closed or refused
  void DiscardInput();  // received bytes still waiting are dropped; nothing when closed

  // Closes the port when its device has gone away and says so; LastError() tells why.
  bool LineLost();
  const LineError& LastError() const { return m_line->LastError(); }
  // What the port chosen is: "COM3", or the adapter's path.
  std::string PortId() const;
  // Chooses the port PortId() names: "COM1" to "COM9" by number (resolved at every open), any
  // other text as an adapter's path. Opens nothing.
  void ChoosePort(const std::string& id);

  // Replaces the platform line (tests); closes the port first.
  void SetLine(std::unique_ptr<SerialLine> line);

  std::unique_ptr<SerialLine> m_line;
  int32_t m_isOpen = 0;
  uint32_t m_port = 0;      // 1 = COM1; 0: the adapter at m_portPath
  std::string m_portPath;   // the adapter's device, when m_port is 0
  uint32_t m_baudRate = 0;  // bit/s
  uint8_t m_parity = 0;     // 0 none, 1 odd, 2 even
  uint8_t m_dataBits = 0;   // data bits per character
  uint8_t m_stopBits = 0;   // odd: one stop bit, even: two
  // The path the last open tried, and the one the last good open opened (empty from the
  // operator's choice until an open succeeds).
  std::string m_openPath;
  std::string m_boundPath;
  // Good opens since start, wrapping: a reply to a request written before the latest open may
  // come from another device.
  uint32_t m_openCount = 0;

 private:
  void OpenPath(const std::string& path);
  // Writes a line error to standard error once, when it differs from the last one written.
  void Report(const LineError& error);
  LineError m_reported;
};
