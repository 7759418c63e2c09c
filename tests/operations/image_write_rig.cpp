#include "image_write_rig.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "image/image_file.h"
#include "scsi/opcodes.h"
#include "toolkit/endian.h"

namespace orv::test {

Bytes SectorPattern(uint64_t lba, uint32_t sectorSize, uint32_t seed) {
  Bytes sector(sectorSize);
  // Runs of repeated bytes with an LBA-dependent step: compressible, as disc sectors are.
  for (uint32_t i = 0; i < sectorSize; ++i) sector[i] = static_cast<uint8_t>(lba * 131 + seed * 7 + i / 16 * 3);
  for (uint32_t b = 0; b < 8 && b < sectorSize; ++b) sector[b] = static_cast<uint8_t>(lba >> (8 * b));
  return sector;
}

Bytes PatternedDisc(uint64_t sectors, uint32_t sectorSize, uint32_t seed) {
  Bytes disc;
  for (uint64_t lba = 0; lba < sectors; ++lba) {
    const Bytes sector = SectorPattern(lba, sectorSize, seed);
    disc.insert(disc.end(), sector.begin(), sector.end());
  }
  return disc;
}

Bytes ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::filesystem::path ScratchDir(const std::string& name) {
  const char* binary = std::getenv("ORVANE_BINARY_DIR");
  const std::filesystem::path dir = std::filesystem::path(binary ? binary : std::filesystem::temp_directory_path()) /
                                    "scratch" / "operations" / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

void WriteBackup(const std::filesystem::path& path, const Bytes& disc, uint32_t sectorSize,
                 const std::vector<SectorRun>& runs) {
  ImageFile image;
  ASSERT_EQ(image.CreateImage(path), 0);
  for (const SectorRun& run : runs) {
    BlockHeader* header = image.BeginBlock(1);
    ASSERT_NE(header, nullptr);
    header->sectorSize = sectorSize;
    header->firstSector = run.first;
    header->sectorCount = run.count;
    for (uint64_t lba = run.first; lba < run.first + run.count; ++lba) {
      ASSERT_LE((lba + 1) * sectorSize, disc.size());
      ASSERT_EQ(image.WriteBlockData(sectorSize, disc.data() + lba * sectorSize), static_cast<int64_t>(sectorSize));
    }
    ASSERT_EQ(image.EndBlock(), 0);
  }
  ASSERT_EQ(image.CloseWriter(), 0);
}

WriteWatch::WriteWatch(std::shared_ptr<VirtualDrive> drive, OnWrite onWrite)
    : drive_(std::move(drive)), onWrite_(std::move(onWrite)) {
  drive_->SetAnswerHook([this](VirtualDrive& d, CommandContext& command) {
    if (command.Opcode() != scsi_op::kWrite10) return false;
    writes_.push_back({GetBe32(&command.cdb[2]), GetBe16(&command.cdb[7])});
    if (onWrite_) onWrite_(static_cast<int>(writes_.size()), d, command);
    return false;
  });
}

WriteWatch::~WriteWatch() { drive_->SetAnswerHook(nullptr); }

}  // namespace orv::test
