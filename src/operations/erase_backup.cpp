#include "operations/erase_backup.h"

#include <cstring>
#include <new>

#include "device/scsi_commands.h"
#include "image/file_replacement.h"
#include "image/file_system.h"
#include "image/image_check.h"
#include "image/image_file.h"
#include "operations/erase_texts.h"
#include "toolkit/format.h"
#include "toolkit/sjis.h"

namespace orv {

namespace {

// Bytes taken from the decoder at a time while the backup is read back.
constexpr uint32_t kReadBackPiece = 0x10000;

// `text` with the system's reason for `error` on a line of its own (none when the failure left
// no system error, as when memory ran out).
std::string WithReason(const char* text, uint32_t error) {
  std::string line = text;
  const std::string reason = error != 0 ? SystemErrorText(error) : std::string();
  if (!reason.empty()) line += Format(kEraseReasonLine, reason.c_str());
  return line;
}

// The sectors of one region, appended to `sectors`; false with `failure` set when a sector
// could not be read or written into the image.
bool CopyRegion(DeviceHandle& device, UnitAddress unit, uint32_t sectorSize, const EraseRegion& region,
                ImageFile& image, std::vector<uint8_t>& sectors, ErasePass& pass, uint64_t& done, uint64_t total,
                std::string& failure) {
  BlockHeader* header = image.BeginBlock(static_cast<int>(BlockMethod::kLh5));
  if (header == nullptr) {
    failure = WithReason(kEraseBlockOpenFailed, image.LastError());
    return false;
  }
  header->sectorSize = sectorSize;
  header->firstSector = region.firstSector;
  header->sectorCount = region.sectorCount;
  header->reserved2 = 0;
  for (uint32_t i = 0; i < region.sectorCount; ++i, ++done) {
    if (!pass.BeforeSector(kEraseStatusBackup, done, total)) {
      failure = kEraseInterrupted;
      return false;
    }
    const size_t at = sectors.size();
    sectors.resize(at + sectorSize);
    uint8_t* sector = sectors.data() + at;
    const int moved = Read10(device, unit, region.firstSector + i, 1, sectorSize, sector);
    if (moved != static_cast<int>(sectorSize)) {
      failure = Format(kEraseReadFailed, TransferFailureReason(device, moved, sectorSize).c_str());
      return false;
    }
    if (image.WriteBlockData(sectorSize, sector) != static_cast<int64_t>(sectorSize)) {
      failure = WithReason(kEraseBackupFailed, image.LastError());
      return false;
    }
  }
  if (image.EndBlock() != 0) {
    failure = WithReason(kEraseBlockCloseFailed, image.LastError());
    return false;
  }
  return true;
}

}  // namespace

BackupPathFault CheckBackupPath(const std::filesystem::path& path, const std::filesystem::path& discFile) {
  FileFacts facts;
  // A path that cannot be examined is left to the backup's creation, which names the reason.
  if (InspectFile(path, facts, nullptr) != 0) return BackupPathFault::kNone;
  switch (facts.kind) {
    case FileKind::kDirectory: return BackupPathFault::kFolder;
    case FileKind::kDevice: return BackupPathFault::kDevice;
    case FileKind::kPipe:
    case FileKind::kOther: return BackupPathFault::kNotAFile;
    case FileKind::kMissing: return BackupPathFault::kNone;
    case FileKind::kRegular: break;
  }
  FileFacts disc;
  if (!discFile.empty() && InspectFile(discFile, disc, nullptr) == 0 && SameFile(facts, disc))
    return BackupPathFault::kDisc;
  return BackupPathFault::kNone;
}

std::string PathText(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return Utf8ToSjis(std::string(utf8.begin(), utf8.end()));
}

int SaveEraseBackup(DeviceHandle& device, const DriveRecord& record, const std::filesystem::path& path,
                    ErasePass& pass, std::string& failure, const BeforeReadBack& beforeReadBack) {
  const uint32_t sectorSize = record.BlockLength();
  const std::vector<EraseRegion> regions = EraseRegionsOf(record.BlockCount(), sectorSize);
  const uint64_t total = SectorsOf(regions);
  // What was read is kept to compare the file with: 2 x 128 KiB, plus at most a sector's
  // rounding per region.
  std::vector<uint8_t> sectors;
  try {
    sectors.reserve(static_cast<size_t>(total * sectorSize));
  } catch (const std::bad_alloc&) {
    failure = kEraseBackupFailed;
    return -1;
  } catch (const std::length_error&) {
    failure = kEraseBackupFailed;
    return -1;
  }

  FileReplacement output;
  ImageFile image;
  if (output.Begin(path) != 0 || image.CreateImage(output.Temporary()) != 0) {
    const uint32_t error = output.LastFault() != FileReplacement::Fault::kNone ? output.LastError() : image.LastError();
    failure = WithReason(Format(kEraseBackupCannotOpen, PathText(path).c_str()).c_str(), error);
    return -1;
  }
  uint64_t done = 0;
  for (const EraseRegion& region : regions) {
    if (!CopyRegion(device, record.Address(), sectorSize, region, image, sectors, pass, done, total, failure)) {
      image.CloseWriter();
      return -1;  // `output` removes the temporary
    }
  }
  // A writer that could not finish the file (the last header, the closing byte, the close
  // itself) leaves a file that is not the backup, whatever was written before.
  if (image.CloseWriter() != 0) {
    failure = WithReason(kEraseBackupFailed, image.LastError());
    return -1;
  }
  if (beforeReadBack) beforeReadBack(output.Temporary());
  if (!pass.Show(kEraseStatusCheck)) {
    failure = kEraseInterrupted;
    return -1;
  }
  // The read-back compares bytes: its failure has no system reason worth showing.
  if (CheckEraseBackup(output.Temporary(), sectorSize, regions, sectors) != 0) {
    failure = kEraseBackupFailed;
    return -1;
  }
  if (output.Commit() != 0) {
    failure = WithReason(kEraseBackupFailed, output.LastError());
    return -1;
  }
  return 0;
}

int CheckEraseBackup(const std::filesystem::path& path, uint32_t sectorSize, const std::vector<EraseRegion>& regions,
                     const std::vector<uint8_t>& sectors) {
  ImageFile image;
  if (image.OpenForRead(path) != 0) return -1;
  // A header that cannot be right is not decoded at all.
  image.SetBlockAdmission(AdmitPlacedBlock);
  std::vector<uint8_t> piece(kReadBackPiece);
  bool good = true;
  size_t index = 0;
  uint64_t base = 0;  // where the current region's bytes start in `sectors`
  while (good) {
    const BlockHeader* header = image.NextBlock();
    if (header == nullptr) break;
    if (index == regions.size()) {
      good = false;  // a block more than the regions
      break;
    }
    const EraseRegion& region = regions[index];
    const uint64_t bytes = uint64_t{region.sectorCount} * sectorSize;
    good = header->sectorSize == sectorSize && header->firstSector == region.firstSector &&
           header->sectorCount == region.sectorCount && header->uncompressedSize == bytes &&
           base + bytes <= sectors.size();
    bool same = good;
    const BlockCheck check =
        ReadCurrentBlock(image, piece.data(), kReadBackPiece, [&](const uint8_t* data, uint64_t count, uint64_t offset) {
          same = same && offset + count <= bytes && std::memcmp(sectors.data() + base + offset, data, count) == 0;
          return same;
        });
    good = same && check.Good();
    base += bytes;
    ++index;
  }
  // The walk is concluded only once NextBlock found no further header.
  good = good && index == regions.size() && base == sectors.size() && image.Walk().Complete();
  image.CloseReader();
  return good ? 0 : -1;
}

}  // namespace orv
