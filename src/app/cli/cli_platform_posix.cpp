#include "app/cli/cli_platform.h"

#include <cerrno>

namespace orv {

bool IsAccessDenied(uint32_t systemError) { return systemError == EACCES || systemError == EPERM; }

const char* AccessDeniedHint() {
  return "reading drives needs root or membership in the disk/cdrom group";
}

}  // namespace orv
