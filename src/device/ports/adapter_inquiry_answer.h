// The adapter inquiry data a port driver answers (SCSI_ADAPTER_BUS_INFO), built from the units
// it should list: what a virtual drive's face carries to look like a drive letter with several
// buses and units behind it.
#pragma once

#include <cstdint>
#include <vector>

#include "device/adapter_inquiry.h"

namespace orv {

// Bus entries from offset 4 (unit count, initiator bus id, 2 padding, first record offset),
// then each bus's records in chain order, each on a 4-byte boundary: path id, target id, LUN,
// claimed, data length (u32), next record offset (u32, 0 = last), inquiry data. At most 255
// buses (the count is one byte); a bus without units has first record offset 0.
std::vector<uint8_t> EncodeAdapterInquiry(const AdapterInquiry& inquiry);

}  // namespace orv
