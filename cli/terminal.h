#pragma once

#include <atomic>
#include <cstdio>

// The little the command line needs of its terminal, per platform (terminal_posix.cpp,
// terminal_win32.cpp).

// Whether the stream is a terminal someone watches (a progress line is then drawn on it).
bool IsTerminal(std::FILE* stream);
// Ctrl+C (and a terminal closed) sets `stop` instead of ending the program at once, so that the
// port is closed and what was found is printed.
void StopOnInterrupt(std::atomic<bool>& stop);
