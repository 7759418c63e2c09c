#include "device/adapter_inquiry.h"

#include <algorithm>
#include <new>

#include "toolkit/endian.h"

namespace orv {

namespace {

constexpr size_t kBusTableOffset = 4;
constexpr size_t kBusEntrySize = 8;
constexpr size_t kRecordHeaderSize = 12;  // path, target, LUN, claimed, data length, next offset

// The units of one bus, following the chain of next-record offsets from `first`.
std::vector<ScsiUnit> ParseBusUnits(std::span<const uint8_t> answer, uint32_t first) {
  std::vector<ScsiUnit> units;
  // A chain that loops (or lies) cannot hold more records than the answer has room for.
  const size_t maxRecords = answer.size() / kRecordHeaderSize;
  uint32_t offset = first;
  while (offset != 0 && units.size() < maxRecords) {
    if (offset > answer.size() || answer.size() - offset < kRecordHeaderSize) break;
    const uint8_t* record = answer.data() + offset;
    ScsiUnit unit;
    unit.pathId = record[0];
    unit.targetId = record[1];
    unit.lun = record[2];
    unit.claimed = record[3];
    const uint32_t dataLength = GetLe32(record + 4);
    const size_t available = answer.size() - offset - kRecordHeaderSize;
    const size_t copied = dataLength < available ? dataLength : available;
    unit.inquiryData.assign(record + kRecordHeaderSize, record + kRecordHeaderSize + copied);
    unit.inquiryCut = copied < dataLength;
    units.push_back(std::move(unit));
    offset = GetLe32(record + 8);
  }
  return units;
}

}  // namespace

std::unique_ptr<AdapterInquiry> ParseAdapterInquiry(std::span<const uint8_t> answer) {
  if (answer.empty()) return nullptr;
  try {
    auto inquiry = std::make_unique<AdapterInquiry>();
    const size_t busCount = answer[0];
    for (size_t i = 0; i < busCount; ++i) {
      const size_t entry = kBusTableOffset + i * kBusEntrySize;
      if (entry + kBusEntrySize > answer.size()) break;
      ScsiBus bus;
      bus.initiatorBusId = answer[entry + 1];
      bus.units = ParseBusUnits(answer, GetLe32(answer.data() + entry + 4));
      inquiry->buses.push_back(std::move(bus));
    }
    return inquiry;
  } catch (const std::bad_alloc&) {
    // Whatever was built is released by the destructors; the caller sees "no data".
    return nullptr;
  }
}

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
