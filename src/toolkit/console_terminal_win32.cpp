#include "toolkit/console_terminal.h"

#include <io.h>
#include <windows.h>

namespace orv {

bool IsTerminal(std::FILE* stream) { return stream && _isatty(_fileno(stream)) != 0; }

// The program writes UTF-8; a console shows it correctly only with the UTF-8 output code page,
// whatever the system's own code page is. Redirected output is bytes and needs nothing.
void PrepareConsoleOutput() { SetConsoleOutputCP(CP_UTF8); }

}  // namespace orv
