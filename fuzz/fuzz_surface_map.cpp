// The map files a backup and a surface scan read back: arbitrary text through the surface map's
// reader (which reads the backup's map first). A map that reads must write back to text that
// reads to the same runs and points, and must cover exactly the disc it names.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "operations/surface_map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  orv::BackupMap map;
  std::vector<orv::SpeedPoint> curve;
  std::string error;
  if (orv::ParseSurfaceMap(text, map, curve, error) != 0) return 0;
  uint64_t covered = 0;
  for (const orv::SectorRun& r : map.Runs()) covered += r.count;
  if (covered != map.SectorCount()) std::abort();
  orv::BackupMap again;
  std::vector<orv::SpeedPoint> curveAgain;
  if (orv::ParseSurfaceMap(orv::SurfaceMapText(map, curve), again, curveAgain, error) != 0 ||
      again.Runs() != map.Runs() || curveAgain != curve)
    std::abort();
  return 0;
}
