// The surface scan: every sector of the disc read in transfers, each timed, and classed as it
// read: good (at once), slow, recovered (only after a retry) or bad (never, after the retries).
// What it finds goes into a map (surface_map.h), so that the same scan run again goes on where
// it stopped and a rescue can tell the good places from the others.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_handle.h"
#include "device/read_speed.h"
#include "device/unit_address.h"
#include "operations/backup_map.h"
#include "operations/surface_map.h"
#include "operations/monotonic_clock.h"

namespace orv {

inline constexpr uint32_t kSurfaceTransferBytes = 65536;
inline constexpr uint32_t kSurfaceSlowMs = 100;
inline constexpr uint32_t kSurfaceSpeedPoints = 400;
// Transfers between two writes of the map: what a killed scan reads again (4 MiB). A stop
// writes it at once.
inline constexpr uint32_t kSurfaceMapEvery = 64;

struct SurfaceOptions {
  // A transfer taking longer than this is slow (see RunSurfaceScan for why a fixed time).
  uint32_t slowMs = kSurfaceSlowMs;
  int retries = 2;
  uint32_t transferBytes = kSurfaceTransferBytes;
};

struct SurfaceCounts {
  uint64_t good = 0, slow = 0, recovered = 0, bad = 0, notTried = 0;  // sectors
};

enum class SurfaceEnd {
  kCompleted,    // every sector was tried
  kInterrupted,  // the progress call asked to stop; the map says where to go on
  kFailed,       // `failure` says why
};

struct SurfaceScan {
  SurfaceEnd end = SurfaceEnd::kFailed;
  BackupMap map;
  std::vector<SpeedPoint> curve;  // the whole disc in kSurfaceSpeedPoints parts (fewer on a small one)
  std::string failure;
  SurfaceCounts Counts() const;
};

// Scans the disc of `sectorCount` sectors of `sectorSize` bytes behind the open `device`. With a
// `mapPath` the map is written there as the scan goes, and a map already there (of this disc) is
// gone on from. `progress` is called after every transfer (with its retries) with the scan so
// far; returning false stops the scan once the map is written.
SurfaceScan RunSurfaceScan(DeviceHandle& device, UnitAddress unit, uint32_t sectorSize, uint64_t sectorCount,
                           const std::filesystem::path& mapPath, const SurfaceOptions& options, MonotonicClock& clock,
                           const std::function<bool(const SurfaceScan&)>& progress);

}  // namespace orv
