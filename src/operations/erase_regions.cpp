#include "operations/erase_regions.h"

namespace orv {

uint32_t SectorsPerRegion(uint32_t sectorSize) {
  if (sectorSize == 0) return 0;
  return static_cast<uint32_t>((uint64_t{kEraseBytes} + sectorSize - 1) / sectorSize);
}

std::vector<EraseRegion> EraseRegionsOf(uint64_t sectorCount, uint32_t sectorSize) {
  const uint64_t perRegion = SectorsPerRegion(sectorSize);
  std::vector<EraseRegion> regions;
  if (sectorCount == 0 || perRegion == 0) return regions;
  const uint64_t head = sectorCount < perRegion ? sectorCount : perRegion;
  regions.push_back({0, static_cast<uint32_t>(head)});
  if (head == sectorCount) return regions;
  const uint64_t rest = sectorCount - perRegion;
  if (rest >= perRegion)
    regions.push_back({rest, static_cast<uint32_t>(perRegion)});
  else
    regions.push_back({perRegion, static_cast<uint32_t>(rest)});
  return regions;
}

uint64_t SectorsOf(const std::vector<EraseRegion>& regions) {
  uint64_t sectors = 0;
  for (const EraseRegion& region : regions) sectors += region.sectorCount;
  return sectors;
}

}  // namespace orv
