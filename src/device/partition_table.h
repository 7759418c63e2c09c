// The PC partition table of a medium: the master boot record, then the chain of extended boot
// records. The reader works in the drive's own block length (512 or 2048 bytes); only the first
// 512 bytes of a table block count.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace orv {

class DeviceHandle;
struct DriveRecord;

// One used table slot, or the free space after the last partition.
struct PartitionEntry {
  // The slot as stored: boot indicator, start CHS (bytes 1-3), type (4), end CHS (5-7),
  // relative start (8-11, little-endian), sector count (12-15, little-endian).
  std::array<uint8_t, 16> raw{};
  // 0-3 for master boot record slots; 4, 5, ... for the data partitions of the extended boot
  // records in chain order; 0 for the links inside the chain; -1 for the free space.
  int32_t number = 0;
  // 0 for everything but extended slots; for those the count of extended slots met so far:
  // 1 for the master boot record's own, 2 and more for the links of the chain.
  int32_t depth = 0;
  uint64_t tableBlock = 0;   // LBA of the block holding this slot
  uint64_t start = 0;        // absolute start LBA: table block + relative start
  uint64_t sectorCount = 0;
  // Data slots only: the partition's first block as read from the medium.
  std::vector<uint8_t> firstBlock;

  uint8_t Type() const { return raw[4]; }
  bool Bootable() const { return raw[0] != 0; }
};

using PartitionList = std::vector<PartitionEntry>;

// Reads `block.size()` bytes (one block) at `lba`; returns the bytes moved, or -1.
using BlockReader = std::function<int(uint64_t lba, std::span<uint8_t> block)>;

// Types 05h and 0Fh are followed as extended partitions (85h is named, not followed).
constexpr bool IsExtendedPartitionType(uint8_t type) { return type == 0x05 || type == 0x0F; }

// The English name of a partition type byte; "" for the unnamed ones.
const char* PartitionTypeName(uint8_t type);

// Walks the table of a medium of `blockCount` blocks of `blockLength` bytes through `read` and
// fills `list` (cleared first). Returns the number of entries, or -1 on any failure: a short
// read, no 55h AAh signature or a volume boot sector in block 0, two extended slots in one
// table, an outermost extended partition of size 0, a chain that comes back to a table block it
// has already read, a block count of 0 or a block length below 512. After a failure `list` may
// hold the entries read before it.
int ReadPartitionTable(const BlockReader& read, uint64_t blockCount, uint32_t blockLength,
                       PartitionList& list);

// The same from the record's drive: closes the device, opens the record's path shared, reads
// with READ(10) at the record's address, and closes the device again.
int ReadPartitions(DeviceHandle& device, const DriveRecord& record, PartitionList& list);

}  // namespace orv
