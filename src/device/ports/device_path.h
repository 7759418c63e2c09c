// What a device path names. DeviceHandle classifies every path it opens; the Linux and virtual
// ports find their drive-letter paths ("\\.\E:") the same way.
#pragma once

#include <cstdint>

namespace orv {

// Found by prefix, case ignored (CP932-aware).
enum DevicePathKind : uint32_t {
  kPathOther = 0,
  kPathPhysicalDrive = 1,  // "\\.\PhysicalDrive0"
  kPathDriveLetter = 2,    // exactly "\\.\E:"
  kPathScsiPort = 3,       // "\\.\Scsi1:"
};

DevicePathKind ClassifyDevicePath(const char* path);

}  // namespace orv
