// The pictures of a disc's state, as SVG documents: the surface map (a grid of cells, each a
// range of sectors coloured by how it read, with a legend of the counts) beside the read-speed
// curve, or the curve alone. Both carry the drive's identification and the date.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/read_speed.h"

namespace orv {

// How a range of sectors read, from the best to the worst; a cell shows its worst sector.
enum class SurfaceClass : uint8_t { kNotRead, kGood, kSlow, kRecovered, kBad };

struct SurfaceClassRun {
  uint64_t first = 0;
  uint64_t count = 0;
  SurfaceClass kind = SurfaceClass::kNotRead;
};

struct DiscPicture {
  std::string drive;  // the drive's identification
  std::string date;   // when it was measured, as shown
  uint32_t sectorSize = 0;
  uint64_t sectorCount = 0;
  std::vector<SurfaceClassRun> runs;  // the whole disc, in order (the surface map only)
  std::vector<SpeedPoint> curve;
  // Bytes per second of the medium's single speed (kDvdSingleSpeed...), 0 when it has none: the
  // curve's right-hand scale.
  uint64_t singleSpeed = 0;
};

// The single speed of the medium in a drive of SCSI peripheral type `deviceType`: the one of its
// current profile, and for a CD/DVD drive that names none, a guess from its `blockCount` blocks
// (a disc bigger than any CD, over 80 minutes of 2048-byte sectors, is a DVD); a disk has none.
uint64_t SingleSpeedOf(uint8_t deviceType, uint16_t currentProfile, uint64_t blockCount);

// The grid and the legend of `picture.runs`, with the curve beside them.
std::string SurfaceSvg(const DiscPicture& picture);
// The curve alone.
std::string SpeedCurveSvg(const DiscPicture& picture);

}  // namespace orv
