// The sectors an erase destroys: the first and the last 128 KiB of the disc. A disc's file
// system keeps its anchors there (the volume descriptors and partition map at the start, the
// backup anchor at the end of a UDF disc; a partition table and boot sector at the start of a
// PC disk), so zeroing these two runs makes the disc read as blank while every other sector
// keeps its bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace orv {

// Bytes destroyed at each end of the disc.
inline constexpr uint32_t kEraseBytes = 0x20000;

// One run of sectors: `sectorCount` sectors from `firstSector` on.
struct EraseRegion {
  uint64_t firstSector = 0;
  uint32_t sectorCount = 0;

  friend bool operator==(const EraseRegion&, const EraseRegion&) = default;
};

// Sectors in one region: 131072 bytes rounded up to whole sectors (64 of 2048 bytes, 56 of
// 2352). 0 for a sector size of 0.
uint32_t SectorsPerRegion(uint32_t sectorSize);

// The regions of a disc of `sectorCount` sectors (T) of `sectorSize` bytes, with N sectors per
// region: the head (sector 0, min(N, T) sectors), then, only when the head ends before T, the
// tail: the last N sectors when T - N >= N, otherwise the T - N sectors right after the head, so
// the two never overlap. Together they cover min(T, 2N) sectors in ascending order. Empty when T
// or the sector size is 0.
std::vector<EraseRegion> EraseRegionsOf(uint64_t sectorCount, uint32_t sectorSize);

// The sectors of all regions together.
uint64_t SectorsOf(const std::vector<EraseRegion>& regions);

}  // namespace orv
