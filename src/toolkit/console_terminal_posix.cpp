#include "toolkit/console_terminal.h"

#include <unistd.h>

namespace orv {

bool IsTerminal(std::FILE* stream) { return stream && isatty(fileno(stream)) == 1; }

void PrepareConsoleOutput() {}

}  // namespace orv
