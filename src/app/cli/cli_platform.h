// What the console front end says differently per operating system.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

// True when an open failed because the user lacks the right to open the device.
bool IsAccessDenied(uint32_t systemError);
// The hint shown after such a failure.
const char* AccessDeniedHint();

}  // namespace orv
