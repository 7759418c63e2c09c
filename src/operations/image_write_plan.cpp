#include "operations/image_write_plan.h"

#include "image/image_check.h"
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

int ReadImagePlan(const std::filesystem::path& path, ImagePlan& plan, std::string& message) {
  plan.path = path;
  plan.container = IsContainerPath(path);
  if (!plan.container) {
    if (plan.raw.Open(path, BinaryFile::Mode::kRead) != 0) return Refuse(message, kFileCannotOpen);
    const int64_t size = plan.raw.Seek(0, BinaryFile::kEnd);
    if (size < 0) return Refuse(message, kFileSizeUnknown);
    if (plan.raw.Seek(0, BinaryFile::kBegin) != 0) return Refuse(message, kFileSizeUnknown);
    plan.imageBytes = static_cast<uint64_t>(size);
    return 0;
  }

  ImageCheck check;
  if (CheckImage(path, CheckDepth::kHeaders, check) != 0 || !check.Good() || check.blocks.empty()) {
    return Refuse(message, kImageInfoFailed);
  }
  plan.imageBytes = check.imageBytes;
  for (const BlockCheck& b : check.blocks) plan.blocks.push_back({b.block.header, b.placement.sectors});
  return 0;
}

int CheckPlanAgainstDisc(const ImagePlan& plan, uint32_t sectorSize, uint64_t diskSectors, uint64_t& sectorsToWrite,
                         std::string& message) {
  const uint64_t capacity = diskSectors * sectorSize;
  sectorsToWrite = plan.imageBytes / sectorSize + (plan.imageBytes % sectorSize != 0 ? 1 : 0);
  if (capacity < plan.imageBytes) return Refuse(message, kTargetTooSmall);
  if (!plan.container) return 0;

  for (const PlannedBlock& b : plan.blocks) {
    if (b.header.sectorSize != sectorSize) {
      message = Format(kSectorSizeMismatch, b.header.sectorSize, sectorSize);
      return -1;
    }
  }
  // Each block's own sectors: the count the loop writes, and where they end.
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
