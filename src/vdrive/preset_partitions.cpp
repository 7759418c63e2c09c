#include "vdrive/preset_partitions.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "toolkit/endian.h"

namespace orv {

namespace {

// Table slots hold the CHS address of the usual translated geometry (255 heads, 63 sectors);
// beyond cylinder 1023 they hold the 1023/254/63 every tool writes.
void PutChs(uint8_t* out, uint64_t lba) {
  uint64_t cylinder = lba / (255 * 63);
  uint32_t head = static_cast<uint32_t>(lba / 63 % 255);
  uint32_t sector = static_cast<uint32_t>(lba % 63 + 1);
  if (cylinder > 1023) {
    cylinder = 1023;
    head = 254;
    sector = 63;
  }
  out[0] = static_cast<uint8_t>(head);
  out[1] = static_cast<uint8_t>(sector | ((cylinder >> 2) & 0xC0));
  out[2] = static_cast<uint8_t>(cylinder);
}

struct SlotSpec {
  uint8_t type;
  uint32_t relativeStart;  // from the table block (links: from the extended partition)
  uint32_t count;
  bool active = false;
};

// One table block: the slots at 1BEh and the 55h AAh signature; `tableBlock` and `base` give
// the absolute addresses of the CHS fields.
std::vector<uint8_t> TableBlock(uint32_t blockLength, uint64_t tableBlock, uint64_t linkBase,
                                std::initializer_list<SlotSpec> slots) {
  std::vector<uint8_t> block(blockLength, 0);
  size_t index = 0;
  for (const SlotSpec& slot : slots) {
    uint8_t* raw = block.data() + 0x1BE + 16 * index++;
    const bool link = (slot.type == 0x05 || slot.type == 0x0F) && linkBase != 0;
    const uint64_t start = (link ? linkBase : tableBlock) + slot.relativeStart;
    raw[0] = slot.active ? 0x80 : 0x00;
    PutChs(raw + 1, start);
    raw[4] = slot.type;
    PutChs(raw + 5, start + slot.count - 1);
    PutLe32(raw + 8, slot.relativeStart);
    PutLe32(raw + 12, slot.count);
  }
  block[510] = 0x55;
  block[511] = 0xAA;
  return block;
}

// A volume boot sector: a jump, a name, the bytes per sector, the file system name and the
// signature; enough for a tool that looks at it to see a formatted volume.
std::vector<uint8_t> BootSector(uint32_t blockLength, std::string_view fileSystem) {
  std::vector<uint8_t> block(blockLength, 0);
  block[0] = 0xEB;
  block[1] = 0x58;
  block[2] = 0x90;
  std::memcpy(block.data() + 3, "ORVANE  ", 8);
  PutLe16(block.data() + 11, static_cast<uint16_t>(blockLength));
  std::memcpy(block.data() + 0x52, fileSystem.data(), std::min<size_t>(fileSystem.size(), 8));
  block[510] = 0x55;
  block[511] = 0xAA;
  return block;
}

int Put(Medium& medium, uint64_t lba, const std::vector<uint8_t>& block) {
  if (lba >= medium.BlockCount()) return -1;
  return medium.Write(lba, 1, block.data());
}

// 8 GiB disk: FAT32 (active) 2 GiB and Linux 2 GiB, then an extended partition of 3 GiB with
// NTFS 1 GiB and Linux swap 1 GiB; the last 1 GiB is free. Everything on 1 MiB boundaries.
int WriteHardDisk(Medium& medium) {
  const uint32_t length = medium.BlockLength();
  constexpr uint32_t kMiB = 2048;  // blocks of 512 bytes
  constexpr uint32_t kGiB = 1024 * kMiB;
  if (medium.BlockCount() < 8ull * kGiB || length != 512) return -1;
  constexpr uint64_t kExtended = kMiB + 4 * kGiB;       // 8,390,656
  constexpr uint32_t kLogical = kGiB;
  constexpr uint32_t kSecondLink = kMiB + kLogical;      // from the extended partition's start
  int rc = 0;
  rc |= Put(medium, 0,
            TableBlock(length, 0, 0,
                       {{0x0C, kMiB, 2 * kGiB, true},
                        {0x83, kMiB + 2 * kGiB, 2 * kGiB},
                        {0x0F, static_cast<uint32_t>(kExtended), 3 * kGiB}}));
  rc |= Put(medium, kExtended,
            TableBlock(length, kExtended, kExtended, {{0x07, kMiB, kLogical}, {0x05, kSecondLink, kSecondLink}}));
  rc |= Put(medium, kExtended + kSecondLink,
            TableBlock(length, kExtended + kSecondLink, kExtended, {{0x82, kMiB, kLogical}}));
  rc |= Put(medium, kMiB, BootSector(length, "FAT32   "));
  rc |= Put(medium, kExtended + kMiB, BootSector(length, "NTFS    "));
  return rc == 0 ? 0 : -1;
}

// A DVD-RAM disc formatted on a PC: one FAT32 (LBA) partition from block 63 to the end.
int WriteDvdRam(Medium& medium) {
  const uint32_t length = medium.BlockLength();
  const uint64_t count = medium.BlockCount();
  if (count <= 64 || count > 0xFFFFFFFFull) return -1;
  int rc = Put(medium, 0, TableBlock(length, 0, 0, {{0x0C, 63, static_cast<uint32_t>(count - 63)}}));
  rc |= Put(medium, 63, BootSector(length, "FAT32   "));
  return rc == 0 ? 0 : -1;
}

}  // namespace

int WritePresetPartitions(const DrivePreset& preset, Medium& medium) {
  if (medium.ReadOnly()) return 0;
  const std::string_view name = preset.name;
  if (name == "hdd") return WriteHardDisk(medium);
  if (name == "dvdram") return WriteDvdRam(medium);
  return 0;
}

}  // namespace orv
