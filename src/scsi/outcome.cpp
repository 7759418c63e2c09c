#include "scsi/outcome.h"

#include "scsi/sense.h"
#include "scsi/status.h"

namespace orv {

ScsiOutcome ClassifyOutcome(bool delivered, uint8_t status, std::span<const uint8_t> sense) {
  if (!delivered) return ScsiOutcome::kTransportError;
  if (status == kScsiStatusGood) return ScsiOutcome::kGood;
  // BUSY, RESERVATION CONFLICT and the rest carry no sense worth reading.
  if (status != kScsiStatusCheckCondition) return ScsiOutcome::kOtherFailure;
  if (sense.size() <= kSenseAscqAt || sense[kSenseAdditionalLengthAt] < kFixedSenseAdditionalLength)
    return ScsiOutcome::kOtherFailure;
  const uint8_t asc = sense[kSenseAscAt];
  for (const uint8_t reissue : kReissueAscs)
    if (asc == reissue) return ScsiOutcome::kUnitAttention;
  switch (sense[kSenseKeyAt] & 0x0F) {
    case kSenseNotReady:
      return asc == kSenseMediumNotPresent.asc ? ScsiOutcome::kNoMedium : ScsiOutcome::kNotReady;
    case kSenseMediumError:
      return ScsiOutcome::kMediumError;
    case kSenseIllegalRequest:
      return ScsiOutcome::kIllegalRequest;
    default:
      return ScsiOutcome::kOtherFailure;
  }
}

}  // namespace orv
