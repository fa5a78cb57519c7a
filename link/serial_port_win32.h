#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "link/serial_port.h"

// The Windows backend's line settings: turns the driver's record of a port, as the last program
// left it, into the raw line the link needs, with the speed, data bits, parity and stop bits of
// the port. Every field that can change what goes on the wire or what is taken off it is set.
void SetLineDcb(DCB& dcb, const SerialPort& settings);
