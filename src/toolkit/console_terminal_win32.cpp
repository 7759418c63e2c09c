#include "toolkit/console_terminal.h"

#include <io.h>
#include <windows.h>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace orv {

bool IsTerminal(std::FILE* stream) { return stream && _isatty(_fileno(stream)) != 0; }

// The program writes UTF-8; a console shows it correctly only with the UTF-8 output code page,
// whatever the system's own code page is. The progress line is redrawn with terminal escape
// sequences, which a console obeys only when asked to. Redirected output is bytes and needs
// neither.
void PrepareConsoleOutput() {
  SetConsoleOutputCP(CP_UTF8);
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (err != INVALID_HANDLE_VALUE && GetConsoleMode(err, &mode)) {
    SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  }
}

}  // namespace orv
