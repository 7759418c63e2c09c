// The drives the Linux port offers to a scan: the SCSI block devices of sysfs, disks (sd*)
// first, then optical drives (sr*), lettered from C: in that order as Windows would list them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "device/ports/device_port.h"

namespace orv {

struct LinuxDrive {
  char letter = 0;
  std::string name;  // "sda", "sr0"
  std::string path;  // "/dev/sda"
};

// Reads `sysBlock` (normally /sys/block). Device paths are `devDir`/name.
std::vector<LinuxDrive> ListLinuxDrives(const std::filesystem::path& sysBlock, const std::string& devDir = "/dev");

// GetDriveTypeA's meaning from sysfs: 5 when device/type says CD/DVD (5), 2 when the medium
// is removable, else 3.
uint32_t LinuxDriveType(const std::filesystem::path& sysBlock, const std::string& name);

}  // namespace orv
