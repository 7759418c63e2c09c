// The disc erase: zeroes the first and the last 128 KiB of the disc in a drive, after offering
// to save exactly those sectors into an ".ovi" backup that the image write puts back.
//
// The steps, each ending the command when it does not go on:
//   1. "save the contents first?" (Yes / No / Cancel: Cancel ends it, nothing done);
//   2. Yes: the save choice, proposing orv-unformat-YYYY-MMDD-hhmmss.ovi (cancelled or an empty
//      path: nothing done);
//   3. a backup path that is the disc's own file, a device, a folder or no plain file refused;
//   4. the drive opened exclusively, shared only when the user agrees, and a write-protected
//      medium refused (OpenWriteTarget);
//   5. its capacity read again (0 sectors or 0 bytes a sector: "not ready");
//   6. the confirmation with the drive's identification;
//   7. the progress box; the backup (when wanted), complete and verified on the disk before
//      anything is written; then the zeros, one WRITE(10) per sector. Closing the box (Ctrl-C
//      on the console) stops the erase until the first zero goes out, never after;
//   8. the final box: completed, or the failure text (with the note to eject the disc only
//      when a sector was zeroed).
// The drive is closed on every way out. A backup exists afterwards only when it was completed;
// it is kept when a zero write then fails, since the disc is then partly erased.
//
// Everything goes through the Ui seam and the drive's handle: the Windows program, the console
// and the tests run this same code.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "device/drive_list.h"
#include "operations/erase_backup.h"
#include "operations/erase_pass.h"
#include "toolkit/ui.h"

namespace orv {

// A moment of the local calendar, as the backup's name shows it.
struct LocalTime {
  unsigned year = 0;    // 2004
  unsigned month = 0;   // 1-12
  unsigned day = 0;     // 1-31
  unsigned hour = 0;
  unsigned minute = 0;
  unsigned second = 0;
};

// The local time now (the calendar clock: the name only shows it, nothing is timed with it).
LocalTime CurrentLocalTime();
// "orv-unformat-2004-0114-220018.ovi" for 2004-01-14 22:00:18.
std::string EraseBackupName(const LocalTime& time);
// The save choice of the backup: title "消去情報の保存", extension ovi, the .ovi and "all"
// filters.
FileChoiceSpec EraseBackupChoice();

struct EraseOptions {
  // The folder the proposed backup name lies in (the Windows program's own folder); empty: the
  // name alone, which the Ui places where it starts (the console's current folder).
  std::filesystem::path backupFolder;
  // The source of the local time for the proposed name; null: CurrentLocalTime.
  std::function<LocalTime()> clock;
  // Tests: runs between writing the backup and reading it back.
  BeforeReadBack beforeReadBack;
};

// How the command ended.
enum class EraseEnd {
  kErased,         // 0: every sector of both regions is zero (and the backup, if wanted, is complete)
  kCancelled,      // 0: the save question was not answered Yes or No
  kDeclined,       // 0: the confirmation was not answered Yes
  kSaveCancelled,  // -1: the save choice was cancelled or gave an empty path
  kBackupRefused,  // -1: the backup path is the disc's own file, a device, a folder...; nothing opened
  kNotOpened,      // -1: shared mode refused, or the shared open failed too
  kWriteProtected, // -1: the drive reports its medium write-protected
  kNotReady,       // -1: no capacity
  kNoMemory,       // -1: the sector buffer could not be had
  kNoProgressBox,  // -1
  kBackupFailed,   // -1: the disc was only read; no backup file was left
  kInterrupted,    // -1: stopped before the first zero; a backup, if one was committed, is kept
  kZeroFailed,     // -1: a zero write failed after `zeroed` sectors; the backup, if wanted, is complete
};

struct EraseReport {
  EraseEnd end = EraseEnd::kCancelled;
  std::filesystem::path backup;  // the complete backup, when one was made
  std::string failure;           // the failure text the final box showed
  uint64_t zeroed = 0;           // sectors written with zeros (0: the disc is as it was)
};

// Runs the command on `record` of `drives` (whose one device it uses). 0 when the erase completed
// or the user answered Cancel to the save question or No to the confirmation; -1 otherwise.
// `report`, when given, says which.
int EraseWithBackup(Ui& ui, DriveList& drives, DriveRecord& record, const EraseOptions& options = {},
                    EraseReport* report = nullptr);

// Fills `sector` (one sector of `record`'s block length) with zeros and writes it over the
// erase regions of `record`, one sector per WRITE(10), in ascending order, through the open
// `device`. 0, or -1 at the first sector not written whole, with `failure` filled (the sectors
// before it are zero), or when the pass stopped before the first sector. `zeroed` counts the
// sectors written.
int ZeroEraseRegions(DeviceHandle& device, const DriveRecord& record, std::vector<uint8_t>& sector, ErasePass& pass,
                     std::string& failure, uint64_t& zeroed);

}  // namespace orv
