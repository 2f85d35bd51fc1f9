#pragma once

#include <cstdio>

// What the command line needs to know of the terminal a stream is on. The
// one place that asks the operating system (POSIX or Windows).

// The stream is a terminal (not a file or a pipe).
bool IsTerminal(std::FILE* stream);
// The columns of the terminal the stream is on, as they are now (a window
// may be resized at any time); 0 when unknown.
int TerminalColumns(std::FILE* stream);
