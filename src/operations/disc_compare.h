// The comparison of a disc with an image: the sectors an .ovi's blocks name, or a raw image's
// sectors from sector 0 (its last sector filled up with zeros, as the image write leaves it),
// read from the disc and compared sector by sector. Every differing run is named, not only the
// first; sectors the drive cannot read (a medium error) are named apart.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "device/device_handle.h"
#include "device/unit_address.h"
#include "operations/backup_map.h"

namespace orv {

struct CompareResult {
  bool ran = false;           // false: `failure` says why the comparison could not be made
  std::string failure;
  uint64_t sectorsCompared = 0;
  std::vector<SectorRun> differing;   // first and count
  std::vector<SectorRun> unreadable;  // first and count
  bool Equal() const { return ran && differing.empty() && unreadable.empty(); }
};

// Reads `sectors` sectors from `lba` into `scratch` (room for all of them) and compares each with
// its sector of `expected`: 0 when the read moved every byte, the sectors that differ appended to
// `differing` (a run that goes on from its last run extends it); -1 when the read failed (the
// device's outcome says why). The one comparison of the disc compare and the image write's
// read-back.
int ReadAndCompare(DeviceHandle& device, UnitAddress unit, uint64_t lba, uint32_t sectors, uint32_t sectorSize,
                   const uint8_t* expected, uint8_t* scratch, std::vector<SectorRun>& differing);

// `progress` gets the sectors compared and the total; returning false stops (the result then did
// not run to the end: ran is false).
CompareResult RunDiscCompare(DeviceHandle& device, UnitAddress unit, uint32_t sectorSize, uint64_t sectorCount,
                             const std::filesystem::path& image, uint32_t transferBytes,
                             const std::function<bool(uint64_t, uint64_t)>& progress);

}  // namespace orv
