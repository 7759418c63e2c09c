#include "device/ports/pass_through_driver.h"

#include <cstring>

namespace orv {

namespace {

// True when [offset, offset + length) lies inside the first `limit` bytes.
bool Inside(uint64_t offset, uint64_t length, uint32_t limit) { return offset <= limit && limit - offset >= length; }

}  // namespace

int CheckPassThrough(uint8_t* system, uint32_t inLength, uint32_t outLength, bool direct, uint32_t alignmentMask,
                     CheckedPassThrough& checked) {
  if (system == nullptr || inLength < kRequestHeaderSize) return -1;
  ScsiPassThroughHeader h;
  std::memcpy(&h, system, sizeof h);
  if (h.length != kRequestHeaderSize || h.cdbLength == 0 || h.cdbLength > sizeof h.cdb) return -1;
  if (h.senseInfoLength != 0 &&
      (h.senseInfoOffset < kRequestHeaderSize || !Inside(h.senseInfoOffset, h.senseInfoLength, outLength)))
    return -1;

  checked = CheckedPassThrough{};
  checked.header = h;
  if (h.senseInfoLength != 0) checked.sense = system + h.senseInfoOffset;
  if (h.dataTransferLength == 0) return 0;
  checked.direction = h.dataIn == kScsiDataOut ? DataDirection::kOut : DataDirection::kIn;
  if (direct) {
    if (h.dataBuffer == 0 || (h.dataBuffer & alignmentMask) != 0) return -1;
    checked.data = reinterpret_cast<uint8_t*>(h.dataBuffer);
  } else {
    const uint32_t limit = checked.direction == DataDirection::kOut ? inLength : outLength;
    if (h.dataBuffer < kRequestHeaderSize || !Inside(h.dataBuffer, h.dataTransferLength, limit)) return -1;
    checked.data = system + h.dataBuffer;
  }
  return 0;
}

uint32_t CompletePassThrough(uint8_t* system, bool direct, uint8_t status, uint32_t moved, uint32_t senseLength) {
  ScsiPassThroughHeader h;
  std::memcpy(&h, system, sizeof h);
  h.scsiStatus = status;
  if (moved < h.dataTransferLength) h.dataTransferLength = moved;
  if (senseLength < h.senseInfoLength) h.senseInfoLength = static_cast<uint8_t>(senseLength);
  std::memcpy(system, &h, sizeof h);
  if (!direct && h.dataIn != kScsiDataOut && h.dataTransferLength != 0)
    return static_cast<uint32_t>(h.dataBuffer) + h.dataTransferLength;
  if (h.senseInfoLength != 0) return h.senseInfoOffset + h.senseInfoLength;
  return kRequestHeaderSize;
}

}  // namespace orv
