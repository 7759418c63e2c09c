// The adapter inquiry data: which SCSI units sit behind a port, with their standard INQUIRY
// data, as the port driver reports them (SCSI_ADAPTER_BUS_INFO), read and written.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "device/unit_address.h"

namespace orv {

// The address of one SCSI unit and its standard inquiry data. Copies carry their own copy of
// the data.
struct ScsiUnit {
  uint32_t pathId = 0;
  uint32_t targetId = 0;
  uint32_t lun = 0;
  uint32_t claimed = 0;  // non-zero when a class driver has claimed the unit
  std::vector<uint8_t> inquiryData;
  // The adapter's record claimed more inquiry data than its answer held (a driver that counts
  // only part of the answer as returned): `inquiryData` is what was there.
  bool inquiryCut = false;

  uint32_t InquiryLength() const { return static_cast<uint32_t>(inquiryData.size()); }
  // The address its commands go to: each field is one byte on the wire.
  UnitAddress Address() const {
    return {static_cast<uint8_t>(pathId), static_cast<uint8_t>(targetId), static_cast<uint8_t>(lun)};
  }
};

struct ScsiBus {
  uint32_t initiatorBusId = 0;
  std::vector<ScsiUnit> units;  // in the driver's chain order

  uint32_t UnitCount() const { return static_cast<uint32_t>(units.size()); }
};

struct AdapterInquiry {
  std::vector<ScsiBus> buses;

  uint32_t BusCount() const { return static_cast<uint32_t>(buses.size()); }
};

// Parses the driver's answer: byte 0 the bus count; 8-byte bus entries from offset 4 (unit
// count, initiator bus id, 2 padding, offset of the first record); records of path id, target
// id, LUN, claimed (u8 each), data length (u32), offset of the next record (u32, 0 = last),
// then the data. Offsets are from the start of `answer`. Units are counted by following the
// chain, never from the unit count byte; nothing outside `answer` is read: a bus entry or a
// record that does not fit ends that list, a data length running past the end is cut to what
// is there (the unit is marked `inquiryCut`), and a chain that loops ends after as many records as the answer could hold.
// Null when `answer` is empty or allocation fails.
std::unique_ptr<AdapterInquiry> ParseAdapterInquiry(std::span<const uint8_t> answer);

// The answer a port driver gives for `inquiry`, what a virtual drive's face carries to look
// like a drive letter with several buses and units behind it: bus entries from offset 4, then
// each bus's records in chain order, each on a 4-byte boundary. At most 255 buses (the count
// is one byte); a bus without units has first record offset 0.
std::vector<uint8_t> EncodeAdapterInquiry(const AdapterInquiry& inquiry);

}  // namespace orv
