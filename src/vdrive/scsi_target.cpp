#include "vdrive/scsi_target.h"

#include <algorithm>
#include <cstring>

namespace orv {

void CommandContext::Fail(SenseCode code) {
  outcome.status = kScsiStatusCheckCondition;
  outcome.sense = MakeFixedSense(code);
  outcome.senseLength = kFixedSenseLength;
}

uint32_t CommandContext::SendData(std::span<const uint8_t> answer, uint32_t allocationLength) {
  uint32_t n = static_cast<uint32_t>(std::min<size_t>(answer.size(), allocationLength));
  n = std::min(n, bufferLength);
  if (direction != DataDirection::kIn || buffer == nullptr) n = 0;
  if (n != 0) std::memcpy(buffer, answer.data(), n);
  outcome.transferred = n;
  return n;
}

}  // namespace orv
