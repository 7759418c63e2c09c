#include "vdrive/scsi_target.h"

#include <algorithm>
#include <cstring>

namespace orv {

SenseData MakeFixedSense(SenseCode code) {
  SenseData s{};
  s[0] = 0x70;  // current error, fixed format
  s[2] = code.key & 0x0F;
  s[7] = kFixedSenseLength - 8;  // additional sense length: 10
  s[12] = code.asc;
  s[13] = code.ascq;
  return s;
}

void CommandContext::Fail(SenseCode code) {
  outcome.status = kStatusCheckCondition;
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
