#include "device/ports/adapter_inquiry_answer.h"

#include <algorithm>

#include "toolkit/endian.h"

namespace orv {

std::vector<uint8_t> EncodeAdapterInquiry(const AdapterInquiry& inquiry) {
  const size_t busCount = std::min<size_t>(inquiry.buses.size(), 255);
  std::vector<uint8_t> answer(4 + 8 * busCount, 0);
  answer[0] = static_cast<uint8_t>(busCount);
  for (size_t b = 0; b < busCount; ++b) {
    const ScsiBus& bus = inquiry.buses[b];
    uint8_t* entry = answer.data() + 4 + 8 * b;
    entry[0] = static_cast<uint8_t>(std::min<size_t>(bus.units.size(), 255));
    entry[1] = static_cast<uint8_t>(bus.initiatorBusId);
    size_t previous = 0;  // offset of the last record written for this bus
    for (const ScsiUnit& unit : bus.units) {
      answer.resize((answer.size() + 3) & ~size_t{3}, 0);
      const size_t offset = answer.size();
      if (previous == 0) {
        PutLe32(answer.data() + 4 + 8 * b + 4, static_cast<uint32_t>(offset));
      } else {
        PutLe32(answer.data() + previous + 8, static_cast<uint32_t>(offset));
      }
      answer.resize(offset + 12, 0);
      answer[offset] = static_cast<uint8_t>(unit.pathId);
      answer[offset + 1] = static_cast<uint8_t>(unit.targetId);
      answer[offset + 2] = static_cast<uint8_t>(unit.lun);
      answer[offset + 3] = static_cast<uint8_t>(unit.claimed);
      PutLe32(answer.data() + offset + 4, unit.InquiryLength());
      answer.insert(answer.end(), unit.inquiryData.begin(), unit.inquiryData.end());
      previous = offset;
    }
  }
  return answer;
}

}  // namespace orv
