#include "operations/disc_compare.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "device/scsi_commands.h"
#include "image/image_file.h"
#include "operations/disc_backup.h"

namespace orv {

namespace {

void AddSector(std::vector<SectorRun>& runs, uint64_t sector) {
  if (!runs.empty() && runs.back().first + runs.back().count == sector)
    ++runs.back().count;
  else
    runs.push_back({sector, 1, SectorState::kDone});
}

class Comparison {
 public:
  Comparison(DeviceHandle& device, UnitAddress unit, uint32_t sectorSize, uint32_t transferBytes,
             const std::function<bool(uint64_t, uint64_t)>& progress)
      : device_(device), unit_(unit), sectorSize_(sectorSize), progress_(progress) {
    transferSectors_ = std::clamp<uint32_t>(transferBytes / sectorSize, 1, 0xFFFF);
    disc_.resize(uint64_t{transferSectors_} * sectorSize);
  }

  // Compares the sectors from `lba` with `expected` (whole sectors). False to stop.
  bool Piece(uint64_t lba, const uint8_t* expected, uint32_t sectors) {
    if (ReadAndCompare(device_, unit_, lba, sectors, sectorSize_, expected, disc_.data(), result.differing) != 0) {
      // One sector at a time, so that only the sectors that cannot be read are named so.
      for (uint32_t i = 0; i < sectors; ++i) {
        if (ReadAndCompare(device_, unit_, lba + i, 1, sectorSize_, expected + uint64_t{i} * sectorSize_, disc_.data(),
                           result.differing) == 0) {
          continue;
        }
        if (device_.LastOutcome() != ScsiOutcome::kMediumError) {
          result.failure = "the drive failed READ(10) at sector " + std::to_string(lba + i);
          return false;
        }
        AddSector(result.unreadable, lba + i);
      }
    }
    result.sectorsCompared += sectors;
    return progress_(result.sectorsCompared, total);
  }

  uint32_t TransferSectors() const { return transferSectors_; }

  CompareResult result;
  uint64_t total = 0;

 private:
  DeviceHandle& device_;
  UnitAddress unit_;
  uint32_t sectorSize_;
  const std::function<bool(uint64_t, uint64_t)>& progress_;
  uint32_t transferSectors_ = 1;
  std::vector<uint8_t> disc_;
};

bool IsContainer(const std::filesystem::path& image) {
  std::ifstream in(image, std::ios::binary);
  char magic[8] = {};
  in.read(magic, sizeof magic);
  return in && std::equal(std::begin(magic), std::end(magic), kBlockMagic.begin());
}

bool CompareContainer(Comparison& c, uint32_t sectorSize, uint64_t sectorCount, const std::filesystem::path& image) {
  ImageFile walk;
  if (walk.ListBlocks(image) < 0 || !walk.Walk().Complete()) {
    c.result.failure = IsUnfinishedBackup(image) ? "the backup is unfinished (its map says so): resume the backup"
                                                 : "the .ovi file is incomplete or damaged";
    return false;
  }
  for (const ImageBlock& b : walk.Blocks()) {
    if (b.header.sectorSize != sectorSize || b.header.firstSector + b.header.sectorCount > sectorCount ||
        b.header.uncompressedSize != uint64_t{b.header.sectorCount} * sectorSize) {
      c.result.failure = "the block at sector " + std::to_string(b.header.firstSector) + " does not fit the disc";
      return false;
    }
    c.total += b.header.sectorCount;
  }
  ImageFile reader;
  if (reader.OpenForRead(image) != 0) {
    c.result.failure = "cannot open the image";
    return false;
  }
  std::vector<uint8_t> expected(uint64_t{c.TransferSectors()} * sectorSize);
  while (const BlockHeader* header = reader.NextBlock()) {
    const uint64_t first = header->firstSector, count = header->sectorCount;
    for (uint64_t lba = first; lba < first + count;) {
      const auto sectors = static_cast<uint32_t>(std::min<uint64_t>(c.TransferSectors(), first + count - lba));
      const uint64_t bytes = uint64_t{sectors} * sectorSize;
      uint64_t got = 0;
      while (got < bytes) {
        const int64_t n = reader.ReadBlockData(bytes - got, expected.data() + got);
        if (n <= 0) break;
        got += static_cast<uint64_t>(n);
      }
      if (got != bytes) break;  // EndReadBlock names the damage
      if (!c.Piece(lba, expected.data(), sectors)) {
        reader.CloseReader();
        return false;
      }
      lba += sectors;
    }
    if (reader.EndReadBlock() != 0) {
      c.result.failure = "the block at sector " + std::to_string(first) + " of the image is damaged";
      reader.CloseReader();
      return false;
    }
  }
  reader.CloseReader();
  return true;
}

bool CompareRaw(Comparison& c, uint32_t sectorSize, uint64_t sectorCount, const std::filesystem::path& image) {
  std::error_code ec;
  const uint64_t size = std::filesystem::file_size(image, ec);
  std::ifstream in(image, std::ios::binary);
  if (ec || !in) {
    c.result.failure = "cannot open the image";
    return false;
  }
  c.total = (size + sectorSize - 1) / sectorSize;
  if (c.total > sectorCount) {
    c.result.failure = "the image is larger than the disc";
    return false;
  }
  std::vector<uint8_t> expected(uint64_t{c.TransferSectors()} * sectorSize);
  for (uint64_t lba = 0; lba < c.total;) {
    const auto sectors = static_cast<uint32_t>(std::min<uint64_t>(c.TransferSectors(), c.total - lba));
    std::fill(expected.begin(), expected.end(), 0);
    in.read(reinterpret_cast<char*>(expected.data()), static_cast<std::streamsize>(uint64_t{sectors} * sectorSize));
    if (in.bad()) {
      c.result.failure = "cannot read the image";
      return false;
    }
    in.clear();
    if (!c.Piece(lba, expected.data(), sectors)) return false;
    lba += sectors;
  }
  return true;
}

}  // namespace

int ReadAndCompare(DeviceHandle& device, UnitAddress unit, uint64_t lba, uint32_t sectors, uint32_t sectorSize,
                   const uint8_t* expected, uint8_t* scratch, std::vector<SectorRun>& differing) {
  const uint64_t bytes = uint64_t{sectors} * sectorSize;
  if (bytes > 0x7FFFFFFF || Read10(device, unit, lba, sectors, static_cast<uint32_t>(bytes), scratch) !=
                                 static_cast<int>(bytes)) {
    return -1;
  }
  for (uint32_t i = 0; i < sectors; ++i) {
    const uint64_t at = uint64_t{i} * sectorSize;
    if (std::memcmp(scratch + at, expected + at, sectorSize) != 0) AddSector(differing, lba + i);
  }
  return 0;
}

CompareResult RunDiscCompare(DeviceHandle& device, UnitAddress unit, uint32_t sectorSize, uint64_t sectorCount,
                             const std::filesystem::path& image, uint32_t transferBytes,
                             const std::function<bool(uint64_t, uint64_t)>& progress) {
  if (sectorSize == 0) {
    CompareResult result;
    result.failure = "the disc has no readable capacity";
    return result;
  }
  Comparison c(device, unit, sectorSize, transferBytes, progress);
  const bool ran = IsContainer(image) ? CompareContainer(c, sectorSize, sectorCount, image)
                                      : CompareRaw(c, sectorSize, sectorCount, image);
  c.result.ran = ran;
  if (!ran && c.result.failure.empty()) c.result.failure = "stopped";
  return c.result;
}

}  // namespace orv
