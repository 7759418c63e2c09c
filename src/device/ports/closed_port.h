// A port that offers no drives and opens nothing, while speaking the error codes of the
// operating system's port. Put behind the virtual port it leaves only the virtual drives: for
// tests, the demo, and a console run that must not touch the computer's own drives.
#pragma once

#include <memory>

#include "device/ports/device_port.h"

namespace orv {

// `os` supplies the error codes (ErrorCode) and nothing else.
std::unique_ptr<DevicePort> MakeClosedPort(std::unique_ptr<DevicePort> os);

}  // namespace orv
