// The read-speed curve of a whole disc, sampled: at each of N places spread evenly from the first
// sector to the last, a few transfers read one after another and timed, so the curve of a 4.7 GB
// disc takes seconds rather than the minutes a read of every sector takes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "device/device_handle.h"
#include "device/read_speed.h"
#include "device/unit_address.h"

namespace orv {

inline constexpr uint32_t kCurvePoints = 400;
inline constexpr uint32_t kCurveTransferBytes = 65536;
inline constexpr uint32_t kCurveReadsPerPoint = 3;  // their least and greatest rate make the point

struct SpeedCurve {
  std::vector<SpeedPoint> points;  // in disc order; each covers the sectors read there
  bool complete = false;           // every point was measured
  std::string failure;             // why not, "" when stopped by the progress call
};

// `progress` is called before each point with the points done and the total; returning false
// stops the measurement. A medium error leaves its point without a rate; any other failure ends
// the curve.
SpeedCurve MeasureSpeedCurve(DeviceHandle& device, UnitAddress unit, uint32_t blockLength, uint64_t blockCount,
                             BenchClock& clock, uint32_t points,
                             const std::function<bool(uint32_t done, uint32_t total)>& progress);

}  // namespace orv
