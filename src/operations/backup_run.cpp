// The backup and the comparison from the window: the file choice and its checks on the
// user-interface thread, the reading on a worker under the progress box, the final box after
// the join. The worker talks to the box only through the worker context; the progress calls of
// RunDiscBackup and RunDiscCompare come on the worker, after each chunk or transfer.
#include "operations/backup_run.h"

#include <fstream>
#include <sstream>

#include "device/inquiry_view.h"
#include "operations/backup_run_texts.h"
#include "operations/disc_compare.h"
#include "operations/image_write_progress.h"
#include "operations/image_write_texts.h"
#include "operations/write_target.h"
#include "toolkit/format.h"
#include "toolkit/sjis.h"
#include "toolkit/worker.h"

namespace orv {

namespace {

// The final boxes name this many ranges of each kind, then how many more there are.
constexpr size_t kRangesNamed = 5;
constexpr int kBoxWidth = 400;

uint32_t Show(Ui& ui, std::string text, uint32_t style, std::string note = {}, const char* caption = kAppTitle,
              QuestionId question = QuestionId::kNone) {
  MessageBoxSpec box;
  box.text = std::move(text);
  box.caption = caption;
  box.style = style;
  box.note = std::move(note);
  box.width = kBoxWidth;
  box.question = question;
  return ui.ShowBox(box);
}

BackupRunResult Refuse(Ui& ui, const char* text, const char* note = "") {
  Show(ui, text, kBoxOk | kBoxIconError, note, kErrorCaption);
  return {};
}

// Appends the first ranges of `runs` to `text`; the ranges left unnamed are added to `unnamed`.
void AppendRanges(std::string& text, const std::vector<SectorRun>& runs, size_t& unnamed) {
  for (size_t i = 0; i < runs.size() && i < kRangesNamed; ++i) text += Format(kRangeLine, runs[i].first, runs[i].count);
  if (runs.size() > kRangesNamed) unnamed += runs.size() - kRangesNamed;
}

std::string MoreNote(size_t unnamed) {
  return unnamed == 0 ? std::string() : Format(kRangesMoreNote, static_cast<uint32_t>(unnamed));
}

std::string JoinNotes(const std::string& a, const std::string& b) {
  return a.empty() ? b : b.empty() ? a : a + "\r\n" + b;
}

// Reading only, shared with whoever else holds the drive; the capacity read again now that the
// drive is open (the disc may have changed since the scan).
bool OpenForReading(Ui& ui, DriveList& drives, DriveRecord& record) {
  DeviceHandle& device = drives.Device();
  if (device.IsOpen()) device.Close();
  if (device.Open(record.path.c_str(), kOpenRead | kOpenShareRead | kOpenShareWrite) != 0) {
    Refuse(ui, kDriveCannotOpen);
    return false;
  }
  if (drives.Refresh(record) != 0 || record.BlockLength() == 0 || record.BlockCount() == 0) {
    device.Close();
    Refuse(ui, kDriveNotReady);
    return false;
  }
  return true;
}

// The status line: the rate and the remaining time count only the sectors of this run, so a
// resumed backup does not show the sectors read before as read in no time.
class ReadStatus {
 public:
  ReadStatus(MonotonicClock& clock, uint32_t sectorSize) : clock_(clock), sectorSize_(sectorSize) {
    startMs_ = clock_.NowMs();
    estimate_.Start(startMs_);
  }
  std::string Line(uint64_t done, uint64_t total, uint64_t doneBefore) {
    const uint64_t now = clock_.NowMs();
    const uint64_t thisRun = done - std::min(done, doneBefore);
    estimate_.Update(thisRun, total - std::min(total, doneBefore), now);
    const uint64_t ms = now - startMs_;
    const uint64_t tenthsMBs = ms == 0 ? 0 : thisRun * sectorSize_ * 1000 / ms / 100000;
    return Format(kReadStatus, done, total, PercentDone(done, total), tenthsMBs / 10, tenthsMBs % 10,
                  estimate_.RemainingText());
  }
  uint64_t ElapsedSeconds() { return (clock_.NowMs() - startMs_) / 1000; }

 private:
  MonotonicClock& clock_;
  uint32_t sectorSize_;
  uint64_t startMs_ = 0;
  RemainingTimeEstimate estimate_;
};

// Runs `work` on a worker under the progress box of `format`; false when the box could not open.
bool RunUnderProgress(Ui& ui, const char* format, const DriveRecord& record,
                      const std::function<void(WorkerContext&)>& work) {
  const ProgressBoxSpec box{Format(format, IdentificationText(record)), kAppTitle, "キャンセル", true, kBoxWidth};
  return RunWorkerWithProgress(ui, box, [&](WorkerContext& context) {
           context.SetRange(100);
           work(context);
         }) == 0;
}

// What the chosen backup file is: new (0), an interrupted backup the user wants resumed (1), or
// refused or declined (-1, the box shown).
int CheckBackupFile(Ui& ui, const std::filesystem::path& path, BackupRunResult& result) {
  std::error_code ec;
  const std::filesystem::path mapPath = BackupMapPath(path);
  if (std::filesystem::exists(mapPath, ec)) {
    std::ifstream in(mapPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    BackupMap map;
    std::string why;
    if (BackupMap::Parse(text.str(), map, why) == 0 && map.complete) {
      result = Refuse(ui, kBackupAlreadyComplete, kBackupRefusedNote);
      return -1;
    }
    // A map that cannot be read is offered too: the resume then says why it cannot go on.
    if (Show(ui, kBackupResumeQuestion, kBoxYesNo | kBoxIconQuestion, kBackupResumeNote) != kIdYes) {
      result.code = 0;
      result.end = BackupRunEnd::kDeclined;
      return -1;
    }
    return 1;
  }
  // The save dialog has asked whether to replace it, but the file may be anything, even the very
  // disc image a virtual drive reads: it is never written over.
  if (std::filesystem::exists(path, ec)) {
    result = Refuse(ui, kBackupFileExists, kBackupRefusedNote);
    return -1;
  }
  return 0;
}

void BackupFinalBox(Ui& ui, const BackupResult& backup, const std::filesystem::path& path, uint64_t seconds) {
  std::error_code ec;
  const std::string resumable = std::filesystem::exists(BackupMapPath(path), ec) ? kBackupResumableNote : "";
  size_t unnamed = 0;
  std::string text;
  if (backup.end == BackupEnd::kFailed || backup.end == BackupEnd::kRefused) {
    // A refusal changed nothing, so there is nothing to resume.
    Show(ui, Format(kBackupFailed, backup.failure), kBoxOk | kBoxIconError,
         backup.end == BackupEnd::kFailed ? resumable : "");
    return;
  }
  if (backup.end == BackupEnd::kInterrupted) {
    text = Format(kBackupStopped, backup.goodSectors, backup.badSectors, backup.notTried);
    Show(ui, text, kBoxOk | kBoxIconWarning, resumable);
    return;
  }
  if (backup.badSectors == 0) {
    Show(ui, Format(kBackupCompleted, backup.goodSectors, ElapsedText(seconds)), kBoxOk, kBackupDoneNote);
    return;
  }
  text = Format(kBackupCompletedWithBad, backup.goodSectors, backup.badSectors);
  AppendRanges(text, backup.badRuns, unnamed);
  Show(ui, text, kBoxOk | kBoxIconWarning, JoinNotes(MoreNote(unnamed), kBackupBadNote));
}

uint64_t SectorsOf(const std::vector<SectorRun>& runs) {
  uint64_t sectors = 0;
  for (const SectorRun& r : runs) sectors += r.count;
  return sectors;
}

}  // namespace

BackupRunResult RunBackupWindow(Ui& ui, DriveList& drives, const DriveRecord& chosen, const BackupRunOptions& options) {
  BackupRunResult result;
  FileChoiceSpec choice{kBackupChoiceTitle, "ovi", {{kBackupFilterImages, "*.ovi"}, {kFilterAll, "*.*"}}};
  std::filesystem::path path;
  if (ui.ChooseSaveFile(choice, path) != 0 || path.empty()) {
    result.code = 0;
    result.end = BackupRunEnd::kDeclined;
    return result;
  }
  const int kind = CheckBackupFile(ui, path, result);
  if (kind < 0) return result;
  DriveRecord record = chosen;
  if (!OpenForReading(ui, drives, record)) return result;

  BackupOptions backupOptions;
  backupOptions.resume = kind == 1;
  backupOptions.threads = options.threads;
  backupOptions.transferBytes = options.transferBytes;
  ReadStatus status(options.clock ? *options.clock : SteadyClock(), record.BlockLength());
  BackupResult backup;
  const bool ran = RunUnderProgress(ui, kBackupProgressFormat, record, [&](WorkerContext& context) {
    backup = RunDiscBackup(drives.Device(), record.Address(), record.BlockLength(), record.BlockCount(), path,
                           backupOptions, [&](const BackupProgress& p) {
                             context.SetStatus(status.Line(p.sectorsDone, p.sectorsTotal, p.sectorsAtStart));
                             context.SetPosition(PercentDone(p.sectorsDone, p.sectorsTotal));
                             return !context.StopRequested();
                           });
  });
  drives.Device().Close();
  if (!ran) return result;
  BackupFinalBox(ui, backup, path, status.ElapsedSeconds());
  result.good = backup.goodSectors;
  result.bad = backup.badSectors;
  result.end = backup.end == BackupEnd::kCompleted     ? BackupRunEnd::kCompleted
               : backup.end == BackupEnd::kInterrupted ? BackupRunEnd::kInterrupted
                                                       : BackupRunEnd::kFailed;
  result.code = result.end == BackupRunEnd::kCompleted && result.bad == 0 ? 0 : -1;
  return result;
}

BackupRunResult RunCompareWindow(Ui& ui, DriveList& drives, const DriveRecord& chosen, const BackupRunOptions& options) {
  BackupRunResult result;
  FileChoiceSpec choice{kCompareChoiceTitle, "ovi", {{kCompareFilterImages, "*.ovi;*.img;*.iso"}, {kFilterAll, "*.*"}}};
  std::filesystem::path path;
  if (ui.ChooseOpenFile(choice, path) != 0 || path.empty()) {
    result.code = 0;
    result.end = BackupRunEnd::kDeclined;
    return result;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return Refuse(ui, kFileCannotOpen);
  DriveRecord record = chosen;
  if (!OpenForReading(ui, drives, record)) return result;

  ReadStatus status(options.clock ? *options.clock : SteadyClock(), record.BlockLength());
  CompareResult compare;
  bool stopped = false;
  const bool ran = RunUnderProgress(ui, kCompareProgressFormat, record, [&](WorkerContext& context) {
    compare = RunDiscCompare(drives.Device(), record.Address(), record.BlockLength(), record.BlockCount(), path,
                             options.transferBytes, [&](uint64_t done, uint64_t total) {
                               context.SetStatus(status.Line(done, total, 0));
                               context.SetPosition(PercentDone(done, total));
                               stopped = context.StopRequested();
                               return !stopped;
                             });
  });
  drives.Device().Close();
  if (!ran) return result;
  if (!compare.ran) {
    result.end = stopped ? BackupRunEnd::kInterrupted : BackupRunEnd::kFailed;
    Show(ui, stopped ? std::string(kInterruptedText) : Format(kCompareFailed, compare.failure), kBoxOk | kBoxIconError);
    return result;
  }
  result.end = BackupRunEnd::kCompleted;
  result.good = compare.sectorsCompared;
  result.bad = SectorsOf(compare.differing) + SectorsOf(compare.unreadable);
  if (compare.Equal()) {
    result.code = 0;
    Show(ui, Format(kCompareEqual, compare.sectorsCompared), kBoxOk);
    return result;
  }
  std::string text = Format(kCompareDifferent, compare.sectorsCompared);
  size_t unnamed = 0;
  if (!compare.differing.empty()) {
    text += Format(kCompareDifferingHead, SectorsOf(compare.differing), static_cast<uint32_t>(compare.differing.size()));
    AppendRanges(text, compare.differing, unnamed);
  }
  if (!compare.unreadable.empty()) {
    text += Format(kCompareUnreadableHead, SectorsOf(compare.unreadable),
                   static_cast<uint32_t>(compare.unreadable.size()));
    AppendRanges(text, compare.unreadable, unnamed);
  }
  Show(ui, text, kBoxOk | kBoxIconWarning, MoreNote(unnamed));
  return result;
}

}  // namespace orv
