// The adapter inquiry answer comes from a port driver: any bytes, any offsets. The parser must
// stay inside them and every unit's data must be a copy of bytes that were there.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "device/adapter_inquiry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto parsed = orv::ParseAdapterInquiry(std::span<const uint8_t>(data, size));
  if (size == 0) {
    if (parsed != nullptr) std::abort();
    return 0;
  }
  if (parsed == nullptr) std::abort();
  size_t total = 0;
  for (const orv::ScsiBus& bus : parsed->buses) {
    for (const orv::ScsiUnit& unit : bus.units) total += unit.InquiryLength();
    // A unit record is at least 12 bytes of the answer.
    if (bus.units.size() > size / 12) std::abort();
  }
  (void)total;
  return 0;
}
