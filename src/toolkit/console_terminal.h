// The little a console program needs from the operating system, one file per system.
#pragma once

#include <cstdio>

namespace orv {

// True when the stream is an interactive terminal (progress is drawn only there).
bool IsTerminal(std::FILE* stream);
// Prepares the console for UTF-8 output (a Windows console takes its code page from the
// program; a Linux terminal needs nothing).
void PrepareConsoleOutput();

}  // namespace orv
