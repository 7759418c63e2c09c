// The whole-disc backup: every sector of the disc (or of the runs asked for) read with READ(10)
// into an .ovi image whose blocks, in sector order, cover every sector that could be read, with
// the map (backup_map.h) beside it at IMAGE + ".map". The image and the map are forced to the
// disk after every chunk of blocks, the map after the image, so that a run killed at any point
// goes on (resume) to the very bytes an uninterrupted run writes: the image is cut back to the
// last chunk the map counts as done, and chunks are coded the same way every time.
//
// A transfer that fails with a medium error is read again sector by sector, each sector tried
// 1 + retries times; sectors that never read are marked bad in the map and no block covers them,
// so that writing the image back leaves them as they are. Any other failure (no medium, a lost
// drive) ends the run, resumable. Sectors named `later` (the slow and bad places a surface scan
// found) are read in a second pass, after every other sector: a failing disc gives up what still
// reads before the drive spends its retries where it may not recover, and their blocks follow in
// the image. Chunks are coded on worker threads while the next ones are
// read; they are written in order on the calling thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "device/device_handle.h"
#include "device/unit_address.h"
#include "operations/backup_map.h"

namespace orv {

inline constexpr uint32_t kBackupTransferBytes = 65536;
// Bytes of one chunk: blocks never cross a multiple of this many bytes of the disc, so that a
// resumed run cuts its chunks where the first run did.
inline constexpr uint32_t kBackupChunkBytes = 4u << 20;

struct BackupOptions {
  bool resume = false;
  int retries = 2;
  std::vector<SectorRun> runs;  // first and count of each; empty: the whole disc
  std::vector<SectorRun> later;  // first and count of each: read after all other sectors
  uint32_t transferBytes = kBackupTransferBytes;
  unsigned threads = 0;  // coding threads; 0: one per core
};

struct BackupProgress {
  uint64_t sectorsDone = 0;   // sectors tried so far, of the runs asked for, this run and before
  uint64_t sectorsTotal = 0;  // sectors of the runs asked for
  uint64_t badSectors = 0;
  uint64_t sectorsAtStart = 0;  // of sectorsDone, those a run before this one tried
};

enum class BackupEnd {
  kCompleted,    // every sector asked for was tried; the image has its closing byte
  kInterrupted,  // the progress call asked to stop; resumable
  kFailed,       // `failure` says why; resumable when the map was written
  kRefused,      // `failure` says why; nothing was written or changed (no file of the disc's own,
                 // an existing file without --resume, a file that is not the backup of its map)
};

struct BackupResult {
  BackupEnd end = BackupEnd::kFailed;
  uint64_t goodSectors = 0;  // of the runs asked for
  uint64_t badSectors = 0;
  uint64_t notTried = 0;
  std::vector<SectorRun> badRuns;
  std::string failure;
};

inline std::filesystem::path BackupMapPath(const std::filesystem::path& image) {
  return std::filesystem::path(image) += ".map";
}

// True when IMAGE.map is a backup map that does not say "complete": the image is a backup that
// stopped and can be resumed, which the image tools and the image write name as such instead of
// leaving the user with a damaged file.
bool IsUnfinishedBackup(const std::filesystem::path& image);

// Backs up the disc of `sectorCount` sectors of `sectorSize` bytes behind the open `device`.
// Without resume the image and its map must not exist yet. `progress` is called after every
// chunk written; returning false stops the run after the chunks already read.
BackupResult RunDiscBackup(DeviceHandle& device, UnitAddress unit, uint32_t sectorSize, uint64_t sectorCount,
                           const std::filesystem::path& image, const BackupOptions& options,
                           const std::function<bool(const BackupProgress&)>& progress);

}  // namespace orv
