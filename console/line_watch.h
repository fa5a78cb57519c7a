#pragma once

#include <cstdint>
#include <string>

#include "link/serial_port.h"

// What the console remembers about its line between ticks: how long the port has been closed,
// whether it closed because the device went away, and which reason 提示信息 last showed.
struct LineWatch {
  int32_t ticksClosed = 0;     // ticks since the port was last found closed or last tried
  bool lost = false;           // closed because its device went away, not yet back
  bool noticePending = false;  // the loss waits to be shown until its failure is handled
  LineError shown;             // the reason last put into 提示信息; fault None when none is
};

// The text 提示信息 shows for a line that could not be opened (the port and the device that
// COMn stood for, then why), or for a line that was lost.
std::string LineErrorText(const std::string& port, const LineError& error);
// "串口已重新打开" and the device opened again, as the port named it.
std::string LineBackText(const std::string& port, const std::string& device);
