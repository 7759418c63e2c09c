#include "operations/image_write_plan.h"

#include <algorithm>

#include "image/image_check.h"
#include "operations/disc_backup.h"
#include "operations/image_write_texts.h"
#include "toolkit/format.h"

namespace orv {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int Refuse(std::string& message, const char* text) {
  message = text;
  return -1;
}

}  // namespace

bool IsContainerPath(const std::filesystem::path& path) {
  const std::u8string name = path.filename().u8string();
  if (name.size() < 4) return false;
  static constexpr char kExtension[] = ".ovi";
  for (size_t i = 0; i < 4; ++i) {
    if (LowerAscii(static_cast<char>(name[name.size() - 4 + i])) != kExtension[i]) return false;
  }
  return true;
}

namespace {

// True when the raw file starts with the container's magic; the file is left at its start.
bool StartsWithBlockMagic(BinaryFile& file, uint64_t size) {
  if (size < kBlockMagic.size()) return false;
  char magic[kBlockMagic.size()];
  const bool read = file.Read(magic, sizeof magic) == static_cast<int64_t>(sizeof magic);
  file.Seek(0, BinaryFile::kBegin);
  return read && std::equal(kBlockMagic.begin(), kBlockMagic.end(), magic);
}

// The first two blocks, by file order, that share a sector; false when none do.
bool FindOverlap(const std::vector<PlannedBlock>& blocks, size_t& first, size_t& second) {
  std::vector<size_t> order(blocks.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return blocks[a].header.firstSector < blocks[b].header.firstSector; });
  // Sorted by first sector, a block overlaps some earlier one exactly when it starts before the
  // furthest end seen so far. Empty blocks hold no sector.
  uint64_t end = 0;
  size_t reaching = 0;
  for (size_t i : order) {
    const PlannedBlock& b = blocks[i];
    if (b.sectors == 0) continue;
    if (b.header.firstSector < end) {
      first = std::min(reaching, i);
      second = std::max(reaching, i);
      return true;
    }
    end = b.header.firstSector + b.sectors;  // placed: no overflow
    reaching = i;
  }
  return false;
}

}  // namespace

int ReadImagePlan(const std::filesystem::path& path, ImagePlan& plan, std::string& message) {
  plan.path = path;
  plan.container = IsContainerPath(path);
  if (!plan.container) {
    if (plan.raw.Open(path, BinaryFile::Mode::kRead) != 0) return Refuse(message, kFileCannotOpen);
    const int64_t size = plan.raw.Seek(0, BinaryFile::kEnd);
    if (size < 0) return Refuse(message, kFileSizeUnknown);
    if (plan.raw.Seek(0, BinaryFile::kBegin) != 0) return Refuse(message, kFileSizeUnknown);
    plan.imageBytes = static_cast<uint64_t>(size);
    if (StartsWithBlockMagic(plan.raw, plan.imageBytes)) {
      plan.raw.Close();
      plan.container = plan.containerByContent = true;
    } else if (plan.imageBytes == 0) {
      return Refuse(message, kImageEmpty);
    } else {
      return 0;
    }
  }

  ImageCheck check;
  if (CheckImage(path, CheckDepth::kHeaders, check) != 0 || !check.Good() || check.blocks.empty()) {
    Refuse(message, plan.containerByContent ? kContainerByContentDamaged : kImageInfoFailed);
    if (!check.walk.Complete() && IsUnfinishedBackup(path)) message += std::string("\r\n\r\n") + kUnfinishedBackupNote;
    return -1;
  }
  plan.imageBytes = check.imageBytes;
  for (const BlockCheck& b : check.blocks) plan.blocks.push_back({b.block.header, b.placement.sectors});
  if (plan.imageBytes == 0) return Refuse(message, kImageEmpty);
  size_t first = 0, second = 0;
  if (FindOverlap(plan.blocks, first, second)) {
    const PlannedBlock& a = plan.blocks[first];
    const PlannedBlock& b = plan.blocks[second];
    message = Format(kBlocksOverlap, static_cast<uint32_t>(first + 1), a.header.firstSector, a.sectors,
                     static_cast<uint32_t>(second + 1), b.header.firstSector, b.sectors);
    return -1;
  }
  return 0;
}

int CheckPlanAgainstDisc(const ImagePlan& plan, uint32_t sectorSize, uint64_t diskSectors, uint64_t& sectorsToWrite,
                         std::string& message) {
  if (!plan.container) {
    sectorsToWrite = plan.imageBytes / sectorSize + (plan.imageBytes % sectorSize != 0 ? 1 : 0);
    return diskSectors * sectorSize < plan.imageBytes ? Refuse(message, kTargetTooSmall) : 0;
  }

  for (const PlannedBlock& b : plan.blocks) {
    if (b.header.sectorSize != sectorSize) {
      message = Format(kSectorSizeMismatch, b.header.sectorSize, sectorSize);
      return -1;
    }
  }
  // Each block's own sectors: the count the loop writes, and where they end. The blocks share no
  // sector, so when each lies inside the disc they fit together.
  sectorsToWrite = 0;
  for (const PlannedBlock& b : plan.blocks) {
    if (b.sectors > diskSectors || b.header.firstSector > diskSectors - b.sectors) {
      return Refuse(message, kTargetTooSmall);
    }
    sectorsToWrite += b.sectors;
  }
  return 0;
}

}  // namespace orv
