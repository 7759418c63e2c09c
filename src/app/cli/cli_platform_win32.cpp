#include "app/cli/cli_platform.h"

#include <windows.h>

namespace orv {

bool IsAccessDenied(uint32_t systemError) { return systemError == ERROR_ACCESS_DENIED; }

const char* AccessDeniedHint() { return "reading drives needs administrator rights"; }

}  // namespace orv
