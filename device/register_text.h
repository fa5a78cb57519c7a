#pragma once

#include <cstdint>
#include <string>

// The value of a register (by its index in the register table) as the window shows it: a code by
// its name (wiring, protocol, baud rate, parity, data bits, stop bits, an output's enable), a
// tariff period as a time of day ("8:00"), a protection setpoint, delay or hold time with the
// decimals of its field, any other register scaled as the register browser shows it. A code the
// names do not cover is shown as its number.
std::string RegisterValueText(int index, uint16_t raw);
