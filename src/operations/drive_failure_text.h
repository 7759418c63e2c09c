// Why a read or write of sectors failed, as the second line of the failure box.
//
// When the pass-through call itself failed (the device went away, the driver refused the
// request) the system's text for its error says why. When the call went through and the drive
// answered with an error, or moved fewer bytes than asked, the system has nothing to say (its
// last error is whatever an earlier call left, typically "the operation completed
// successfully"), so the text names the drive's answer instead.
#pragma once

#include <string>

#include "device/device_handle.h"

namespace orv {

std::string DriveFailureText(const DeviceHandle& device);

}  // namespace orv
