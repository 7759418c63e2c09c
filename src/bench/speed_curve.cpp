#include "bench/speed_curve.h"

#include <algorithm>
#include <vector>

#include "device/scsi_commands.h"

namespace orv {

namespace {

// Commands timed to learn what a command costs without moving data; the least of them, as a
// stall of the machine only ever makes one longer.
constexpr int kOverheadProbes = 8;

}  // namespace

SpeedCurve MeasureSpeedCurve(DeviceHandle& device, UnitAddress unit, uint32_t blockLength, uint64_t blockCount,
                             BenchClock& clock, uint32_t points,
                             const std::function<bool(uint32_t done, uint32_t total)>& progress) {
  SpeedCurve curve;
  if (blockLength == 0 || blockCount == 0 || points == 0) {
    curve.failure = "the disc has no readable capacity";
    return curve;
  }
  const uint32_t transfer = static_cast<uint32_t>(
      std::clamp<uint64_t>(kCurveTransferBytes / blockLength, 1, std::min<uint64_t>(blockCount, 0xFFFF)));
  const uint32_t reads = static_cast<uint32_t>(std::clamp<uint64_t>(blockCount / transfer, 1, kCurveReadsPerPoint));
  const uint64_t span = uint64_t{transfer} * reads;
  const auto total = static_cast<uint32_t>(std::clamp<uint64_t>(blockCount / span, 1, points));
  std::vector<uint8_t> buffer(size_t{transfer} * blockLength);

  int64_t overheadUs = -1;
  for (int i = 0; i < kOverheadProbes; ++i) {
    const int64_t start = clock.NowMicroseconds();
    if (TestUnitReady(device, unit) != 0) continue;
    const int64_t us = clock.NowMicroseconds() - start;
    overheadUs = overheadUs < 0 ? us : std::min(overheadUs, us);
  }
  overheadUs = std::max<int64_t>(overheadUs, 0);

  for (uint32_t i = 0; i < total; ++i) {
    if (!progress(i, total)) return curve;
    SpeedPoint point{total == 1 ? 0 : i * (blockCount - span) / (total - 1), span, 0, 0};
    // The head brought there untimed, so the timed reads carry no seek: the sector before is
    // read, or at the start a SEEK(10), whose refusal is harmless.
    if (point.first == 0)
      Seek10(device, unit, 0);
    else
      Read10(device, unit, point.first - 1, 1, blockLength, buffer.data());
    for (uint32_t k = 0; k < reads; ++k) {
      const uint32_t bytes = transfer * blockLength;
      const int64_t start = clock.NowMicroseconds();
      const int read = Read10(device, unit, point.first + uint64_t{k} * transfer, transfer, bytes, buffer.data());
      const int64_t us = clock.NowMicroseconds() - start;
      if (read == static_cast<int>(bytes)) {
        point.Add(MediumRate(bytes, us, overheadUs));
      } else if (device.LastOutcome() != ScsiOutcome::kMediumError) {
        curve.failure = "the drive answered READ(10) at sector " + std::to_string(point.first) +
                        " with a failure other than a medium error";
        return curve;
      }
    }
    curve.points.push_back(point);
  }
  curve.complete = true;
  return curve;
}

}  // namespace orv
