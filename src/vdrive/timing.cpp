#include "vdrive/timing.h"

#include <algorithm>
#include <cmath>

namespace orv {

double TransferRateMBps(const TimingModel& model, uint64_t mediumBlocks, double lba) {
  if (model.spin != TimingModel::Spin::kConstantAngular || model.radiusRatio <= 1 || mediumBlocks == 0)
    return model.transferMBps;
  const double fraction = std::clamp(lba / double(mediumBlocks), 0.0, 1.0);
  const double inner = 1 / (model.radiusRatio * model.radiusRatio);  // (inner radius / outer radius)^2
  return model.transferMBps * std::sqrt(inner + (1 - inner) * fraction);
}

double CommandDelayMs(const TimingModel& model, uint64_t mediumBlocks, uint32_t blockLength, HeadPosition& head,
                      bool addressed, uint64_t lba, uint32_t blocks) {
  double ms = model.commandOverheadMs;
  if (!addressed) return ms;
  const uint64_t distance = lba > head.lba ? lba - head.lba : head.lba - lba;
  if (distance != 0) {
    const double fraction = double(distance) / double(mediumBlocks == 0 ? 1 : mediumBlocks);
    ms += model.trackToTrackSeekMs +
          (model.fullStrokeSeekMs - model.trackToTrackSeekMs) * std::sqrt(fraction > 1 ? 1 : fraction);
    if (model.rotationsPerMinute > 0) ms += 0.5 * 60000.0 / model.rotationsPerMinute;
  }
  // 10^6 bytes per second is 1000 bytes per millisecond.
  const double rate = TransferRateMBps(model, mediumBlocks, double(lba) + blocks / 2.0);
  if (rate > 0) ms += double(blocks) * blockLength / (rate * 1000.0);
  head.lba = lba + blocks;
  return ms;
}

int64_t DelayMicroseconds(double ms) { return ms > 0 ? static_cast<int64_t>(ms * 1000.0) : 0; }

}  // namespace orv
