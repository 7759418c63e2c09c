// A read-speed curve: the transfer rates measured at places along a disc, as the surface scan
// and the benchmark's curve take them and the pictures draw them.
#pragma once

#include <algorithm>
#include <cstdint>

namespace orv {

// The single speed of a medium, bytes per second: what "1x" means for its drives.
inline constexpr uint64_t kDvdSingleSpeed = 1385000;
inline constexpr uint64_t kCdSingleSpeed = 153600;
inline constexpr uint64_t kBdSingleSpeed = 4495500;

// The single speed of the medium of MMC profile `profile` (GET CONFIGURATION's current profile):
// CD, DVD and BD profiles have one; 0 for any other profile, and for 0 (no profile known).
inline uint64_t SingleSpeedOfProfile(uint16_t profile) {
  if (profile >= 0x08 && profile <= 0x0A) return kCdSingleSpeed;   // CD-ROM, CD-R, CD-RW
  if (profile >= 0x10 && profile <= 0x2B) return kDvdSingleSpeed;  // DVD-ROM ... DVD+R DL, DVD-RAM
  if (profile >= 0x40 && profile <= 0x43) return kBdSingleSpeed;   // BD-ROM, BD-R, BD-RE
  return 0;
}

// The rates of the transfers read in sectors [first, first + count); both 0 when none read.
struct SpeedPoint {
  uint64_t first = 0;
  uint64_t count = 0;
  uint64_t minBytesPerSecond = 0;
  uint64_t maxBytesPerSecond = 0;
  bool operator==(const SpeedPoint&) const = default;

  void Add(uint64_t bytesPerSecond) {
    minBytesPerSecond = minBytesPerSecond == 0 ? bytesPerSecond : std::min(minBytesPerSecond, bytesPerSecond);
    maxBytesPerSecond = std::max(maxBytesPerSecond, bytesPerSecond);
  }
};

// The medium's rate for `bytes` read in `us` microseconds, of which `overheadUs` are what any
// command costs the drive (the time of a command moving no data): a drive moves the data at
// the medium's rate, and the command around it is no part of that rate.
inline uint64_t MediumRate(uint64_t bytes, int64_t us, int64_t overheadUs) {
  const int64_t moving = us - std::min(overheadUs, us / 2);  // never more than half the time taken
  return moving > 0 ? bytes * 1000000 / static_cast<uint64_t>(moving) : 0;
}

}  // namespace orv
