#include "vdrive/timing.h"

#include <cmath>

namespace orv {

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
  if (model.transferMBps > 0) ms += double(blocks) * blockLength / (model.transferMBps * 1000.0);
  head.lba = lba + blocks;
  return ms;
}

int64_t DelayMicroseconds(double ms) { return ms > 0 ? static_cast<int64_t>(ms * 1000.0) : 0; }

}  // namespace orv
