#include "device/partition_table.h"

#include <algorithm>
#include <set>

#include "toolkit/endian.h"
#include "toolkit/name_table.h"

namespace orv {

namespace {

// The names the summary shows, exactly as users of older tools know them.
constexpr CodeName<uint8_t> kPartitionTypeNames[] = {
    {0x00, "Empty"},
    {0x01, "FAT12"},
    {0x02, "XENIX root"},
    {0x03, "XENIX user"},
    {0x04, "FAT16 (<32M)"},
    {0x05, "Extended"},
    {0x06, "FAT16 (>=32M)"},
    {0x07, "NTFS"},
    {0x08, "OS/2"},
    {0x09, "AIX data"},
    {0x0A, "OS/2 Boot Manager"},
    {0x0B, "FAT32"},
    {0x0C, "FAT32 LBA"},
    {0x0E, "FAT16 LBA"},
    {0x0F, "Extended LBA"},
    {0x11, "Hidden FAT12"},
    {0x14, "Hidden FAT16 (<32M)"},
    {0x16, "Hidden FAT16 (>=32M)"},
    {0x17, "Hidden HPFS"},
    {0x1B, "Hidden FAT32 Hidden"},
    {0x1C, "Hidden FAT32 LBA"},
    {0x1E, "Hidden FAT16 LBA"},
    {0x24, "NEC DOS 3.x"},
    {0x39, "Paln9"},
    {0x3C, "PartitionMagic"},
    {0x3D, "Hidden NetWare"},
    {0x40, "Venix 80286"},
    {0x41, "Linux/MINIX"},
    {0x42, "Linux swap"},
    {0x43, "Linux native"},
    {0x44, "GoBack"},
    {0x52, "CP/M"},
    {0x55, "EZ-Drive"},
    {0x64, "Novell NetWare 286"},
    {0x65, "Novell NetWare 386"},
    {0x66, "Novell NetWare SMS"},
    {0x67, "Novell"},
    {0x68, "Novell"},
    {0x69, "Novell"},
    {0x75, "IBM PC/IX"},
    {0x80, "MINIX"},
    {0x81, "MINUX"},
    {0x82, "Linux swap/Solaris86"},
    {0x83, "Linix native"},
    {0x84, "Hidden partition"},
    {0x85, "Linux extended"},
    {0x86, "NTFS volume set"},
    {0x9F, "BSD/OS"},
    {0xA5, "BSD/386"},
    {0xA6, "OpenBSD"},
    {0xA7, "NEXTSTEP"},
    {0xA8, "Mac OS-X"},
    {0xA9, "NetBSD"},
    {0xAB, "Mac OS-X boot"},
    {0xB6, "NT mirror FAT16"},
    {0xB7, "NT mirror NTFS"},
    {0xC2, "Hidden Linux"},
    {0xC3, "Hidden Linux swap"},
    {0xC6, "NT FAT vol/stripe"},
    {0xC7, "NT NTFS vol/stripe"},
    {0xED, "BeOS"},
    {0xFB, "VMware File System"},
    {0xFC, "VMware Swap"},
    {0xFE, "NT Disk Admin hidden"},
};

constexpr size_t kTableOffset = 0x1BE;  // four 16-byte slots
constexpr size_t kSlotLength = 16;
constexpr size_t kTableBlockBytes = 512;  // what counts of a table block, whatever its length
// No drive has blocks larger than this; a READ CAPACITY answer that says so is garbage, and
// believing it would mean a buffer of up to 4 GiB.
constexpr uint32_t kMaxBlockLength = 65536;

}  // namespace

const char* PartitionTypeName(uint8_t type) { return LookUpName(kPartitionTypeNames, type); }

int ReadPartitionTable(const BlockReader& read, uint64_t blockCount, uint32_t blockLength,
                       PartitionList& list) {
  list.clear();
  if (blockCount == 0 || blockLength < kTableBlockBytes || blockLength > kMaxBlockLength) return -1;

  std::vector<uint8_t> block(blockLength);
  std::vector<uint8_t> firstBlock(blockLength);
  auto readBlock = [&](uint64_t lba, std::vector<uint8_t>& into) {
    return read(lba, std::span<uint8_t>(into)) == static_cast<int>(blockLength);
  };

  uint64_t tableBlock = 0;
  bool firstTable = true;
  uint64_t extendedBase = 0;
  uint64_t extendedEnd = 0;
  uint64_t highestEnd = 0;
  int32_t linkCount = 0;
  int32_t logicalNumber = 0;
  // Every table block read so far: a chain that comes back to one of them would loop forever.
  std::set<uint64_t> tablesRead;

  for (;;) {
    if (!tablesRead.insert(tableBlock).second) return -1;
    if (!readBlock(tableBlock, block)) return -1;
    if (tableBlock == 0) {
      // A block 0 that starts with a jump instruction is a volume boot sector (a medium
      // formatted as one volume), not a partition table, even with the signature.
      if (block[510] != 0x55 || block[511] != 0xAA) return -1;
      if (block[0] == 0xE9 || block[0] == 0xEB) return -1;
    }

    bool haveLink = false;
    uint32_t linkRelativeStart = 0;
    uint64_t linkSectorCount = 0;
    for (size_t slot = 0; slot < 4; ++slot) {
      const uint8_t* raw = block.data() + kTableOffset + slot * kSlotLength;
      const uint32_t relativeStart = GetLe32(raw + 8);
      if (relativeStart == 0) continue;  // unused slot

      PartitionEntry entry;
      std::copy(raw, raw + kSlotLength, entry.raw.begin());
      const bool extended = IsExtendedPartitionType(entry.Type());
      if (extended && haveLink) return -1;  // two links in one table
      entry.tableBlock = tableBlock;
      entry.start = tableBlock + relativeStart;
      entry.sectorCount = GetLe32(raw + 12);
      if (firstTable) {
        entry.number = static_cast<int32_t>(slot);
      } else {
        entry.number = extended ? 0 : logicalNumber++;
      }
      entry.depth = extended ? ++linkCount : 0;
      highestEnd = std::max(highestEnd, entry.start + entry.sectorCount);
      if (entry.depth == 0 && !readBlock(entry.start, firstBlock)) return -1;
      if (extended) {
        haveLink = true;
        linkRelativeStart = relativeStart;
        linkSectorCount = entry.sectorCount;
      }
      list.push_back(std::move(entry));
    }

    if (firstTable) {
      firstTable = false;
      logicalNumber = 4;
    }
    if (!haveLink) break;

    // Links of the chain are relative to the start of the outermost extended partition.
    tableBlock = extendedBase + linkRelativeStart;
    if (extendedBase == 0) {
      extendedBase = tableBlock;
      extendedEnd = tableBlock + linkSectorCount;
    }
    if (extendedBase >= extendedEnd) return -1;
  }

  if (blockCount > highestEnd) {
    PartitionEntry space;
    space.number = -1;
    space.start = highestEnd;
    space.sectorCount = blockCount - highestEnd;
    list.push_back(std::move(space));
  }
  return static_cast<int>(list.size());
}

}  // namespace orv
