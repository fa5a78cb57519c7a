#pragma once

#include <termios.h>

#include "link/serial_port.h"

// The POSIX backend's line settings: turns a terminal's settings into the raw line the link
// needs, with the speed, data bits, parity and stop bits of the port. Rates termios has no
// constant for fall back to 9600 bit/s.
void SetLineTermios(termios& tio, const SerialPort& settings);
