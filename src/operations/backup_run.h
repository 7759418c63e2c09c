// The whole-disc backup and the comparison as the window user meets them, through the Ui seam:
// a file choice, the checks, a modeless progress box over a worker thread (its button stops the
// work after the chunk in flight) and a final box with the counts. The drive is only read, and
// opened shared, so another program may keep it open meanwhile.
#pragma once

#include <cstdint>
#include <filesystem>

#include "device/drive_list.h"
#include "operations/disc_backup.h"
#include "operations/monotonic_clock.h"
#include "toolkit/ui.h"

namespace orv {

struct BackupRunOptions {
  // Coding threads and transfer size, as the console's backup takes them; tests make them small.
  unsigned threads = 0;
  uint32_t transferBytes = kBackupTransferBytes;
  // The rate and the remaining time of the status line; null: SteadyClock().
  MonotonicClock* clock = nullptr;
};

enum class BackupRunEnd {
  kDeclined,     // no file chosen, or the resume question not answered Yes: nothing done
  kRefused,      // a check failed before the drive was read (the box said why)
  kCompleted,    // every sector tried; `bad` of them could not be read
  kInterrupted,  // the user stopped it: resumable
  kFailed,       // the run could not go on (the box said why)
};

struct BackupRunResult {
  int code = -1;  // 0 when declined or every sector was read (or equal, for the comparison)
  BackupRunEnd end = BackupRunEnd::kRefused;
  uint64_t good = 0;  // backup: sectors read; comparison: sectors compared
  uint64_t bad = 0;   // backup: sectors not readable; comparison: sectors differing or unreadable
};

// "ディスクのバックアップ...": a save choice for the .ovi; the image and its map beside it are
// then written as the console's backup writes them. A file whose map says the backup stopped
// half way is offered for resuming; a complete backup or any other existing file is refused.
BackupRunResult RunBackupWindow(Ui& ui, DriveList& drives, const DriveRecord& record,
                                const BackupRunOptions& options = {});

// "ディスクの比較...": an open choice for an image (.ovi, or raw from sector 0), then every
// differing range of sectors.
BackupRunResult RunCompareWindow(Ui& ui, DriveList& drives, const DriveRecord& record,
                                 const BackupRunOptions& options = {});

}  // namespace orv
