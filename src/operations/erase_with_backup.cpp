#include "operations/erase_with_backup.h"

#include <algorithm>
#include <ctime>
#include <memory>
#include <new>

#include "device/inquiry_view.h"
#include "device/scsi_commands.h"
#include "operations/erase_regions.h"
#include "operations/erase_texts.h"
#include "operations/write_target.h"
#include "toolkit/format.h"

namespace orv {

namespace {

MessageBoxSpec Box(std::string text, std::string caption, uint32_t style, std::string note = {}, int width = 0,
                   QuestionId question = QuestionId::kNone) {
  MessageBoxSpec box;
  box.text = std::move(text);
  box.caption = std::move(caption);
  box.style = style;
  box.note = std::move(note);
  box.width = width;
  box.question = question;
  return box;
}

const char* BackupPathFaultText(BackupPathFault fault) {
  switch (fault) {
    case BackupPathFault::kDisc: return kEraseBackupIsDisc;
    case BackupPathFault::kDevice: return kEraseBackupIsDevice;
    case BackupPathFault::kFolder: return kEraseBackupIsFolder;
    default: return kEraseBackupNotAFile;
  }
}

// The command's state from the first question to the clean-up. The drive is closed whenever the
// object goes, on every way out.
class EraseCommand {
 public:
  EraseCommand(Ui& ui, DriveList& drives, DriveRecord& record, const EraseOptions& options)
      : ui_(ui), drives_(drives), device_(drives.Device()), record_(record), options_(options) {}
  ~EraseCommand() {
    if (device_.IsOpen()) device_.Close();
  }

  int Run(EraseReport& report);

 private:
  int End(EraseReport& report, EraseEnd end, int result) {
    report.end = end;
    return result;
  }
  // Steps 1-2: whether a backup is wanted, and where. False when the command ends here.
  bool AskForBackup(EraseReport& report, int& result);
  // Step 3: false, after its box, when the backup path cannot take the backup.
  bool BackupPathUsable();
  // Steps 7-8 from the open progress box on.
  EraseEnd RunPasses(ProgressBox& progress, std::vector<uint8_t>& sector, EraseReport& report);

  Ui& ui_;
  DriveList& drives_;
  DeviceHandle& device_;
  DriveRecord& record_;
  const EraseOptions& options_;
  bool backupWanted_ = false;
  std::filesystem::path backupPath_;
  bool stopRequested_ = false;  // set by the progress box's close request
};

bool EraseCommand::AskForBackup(EraseReport& report, int& result) {
  const uint32_t answer = ui_.ShowBox(
      Box(kEraseSaveQuestion, kAppTitle, kBoxYesNoCancel, kEraseSaveNote, 0, QuestionId::kSaveBeforeErase));
  if (answer != kIdYes && answer != kIdNo) {
    result = End(report, EraseEnd::kCancelled, 0);
    return false;
  }
  backupWanted_ = answer == kIdYes;
  if (!backupWanted_) return true;
  const LocalTime now = options_.clock ? options_.clock() : CurrentLocalTime();
  std::filesystem::path proposed = EraseBackupName(now);
  if (!options_.backupFolder.empty()) proposed = options_.backupFolder / proposed;
  // An empty path chosen is no backup at all, and erasing without the backup the user asked for
  // would destroy what they meant to keep: it counts as a cancelled choice.
  if (ui_.ChooseSaveFile(EraseBackupChoice(), proposed) != 0 || proposed.empty()) {
    result = End(report, EraseEnd::kSaveCancelled, -1);
    return false;
  }
  backupPath_ = proposed;
  return true;
}

bool EraseCommand::BackupPathUsable() {
  const std::filesystem::path discFile = device_.Port().BackingFile(record_.path.c_str());
  const BackupPathFault fault = CheckBackupPath(backupPath_, discFile);
  if (fault == BackupPathFault::kNone) return true;
  std::string drive = record_.name.empty() ? record_.path : record_.name;
  if (!discFile.empty()) drive += " (" + PathText(discFile) + ")";
  ui_.ShowBox(Box(Format(kEraseBackupRefusedFormat, BackupPathFaultText(fault), PathText(backupPath_).c_str(),
                         drive.c_str()),
                  kErrorCaption, kBoxOk | kBoxIconError, kEraseBackupRefusedNote));
  return false;
}

EraseEnd EraseCommand::RunPasses(ProgressBox& progress, std::vector<uint8_t>& sector, EraseReport& report) {
  const uint64_t sectors = SectorsOf(EraseRegionsOf(record_.BlockCount(), record_.BlockLength()));
  ErasePass pass(ui_, &progress, backupWanted_ ? 2 * sectors : sectors, &stopRequested_);
  if (backupWanted_) {
    if (SaveEraseBackup(device_, record_, backupPath_, pass, report.failure, options_.beforeReadBack) != 0)
      return pass.Stopped() ? EraseEnd::kInterrupted : EraseEnd::kBackupFailed;
    report.backup = backupPath_;
  }
  if (ZeroEraseRegions(device_, record_, sector, pass, report.failure, report.zeroed) == 0) return EraseEnd::kErased;
  return pass.Stopped() ? EraseEnd::kInterrupted : EraseEnd::kZeroFailed;
}

int EraseCommand::Run(EraseReport& report) {
  int result = 0;
  if (!AskForBackup(report, result)) return result;
  if (backupWanted_ && !BackupPathUsable()) return End(report, EraseEnd::kBackupRefused, -1);

  bool writeProtected = false;
  if (OpenWriteTarget(ui_, device_, record_, &writeProtected) != 0)
    return End(report, writeProtected ? EraseEnd::kWriteProtected : EraseEnd::kNotOpened, -1);
  drives_.Refresh(record_);
  const uint32_t sectorSize = record_.BlockLength();
  if (sectorSize == 0 || record_.BlockCount() == 0) {
    ui_.ShowBox(Box(kEraseNotReady, kErrorCaption, kBoxOk | kBoxIconError));
    return End(report, EraseEnd::kNotReady, -1);
  }
  std::vector<uint8_t> sector;
  try {
    sector.resize(sectorSize);
  } catch (const std::bad_alloc&) {
    return End(report, EraseEnd::kNoMemory, -1);
  }

  const std::string identification = IdentificationText(record_);
  if (ui_.ShowBox(Box(Format(kEraseConfirmFormat, identification.c_str()), kAppTitle, kBoxYesNo, {}, kEraseBoxWidth,
                      QuestionId::kEraseConfirm)) != kIdYes)
    return End(report, EraseEnd::kDeclined, 0);

  ProgressBoxSpec progressSpec;
  progressSpec.message = Format(kEraseProgressFormat, identification.c_str());
  progressSpec.caption = kAppTitle;
  progressSpec.progressBar = true;
  // No cancel button; closing the box (Ctrl-C on the console) stops the erase only before its
  // first zero, and only hides the box after that.
  std::unique_ptr<ProgressBox> progress = ui_.OpenProgress(progressSpec, [this] { stopRequested_ = true; });
  if (!progress) return End(report, EraseEnd::kNoProgressBox, -1);
  const EraseEnd end = RunPasses(*progress, sector, report);
  progress->Close();

  if (end == EraseEnd::kErased) {
    ui_.ShowBox(Box(kEraseCompleted, kAppTitle, kBoxOk, kEraseDoneNote, kEraseBoxWidth));
    return End(report, end, 0);
  }
  // The note to eject the disc belongs to a disc that was written.
  ui_.ShowBox(Box(end == EraseEnd::kInterrupted ? std::string(kEraseInterrupted) : report.failure, kAppTitle,
                  kBoxOk | kBoxIconError, report.zeroed > 0 ? kEraseDoneNote : "", kEraseBoxWidth));
  return End(report, end, -1);
}

}  // namespace

LocalTime CurrentLocalTime() {
  const std::time_t now = std::time(nullptr);
  // The erase runs on the user-interface thread alone: localtime's shared result is safe here.
  const std::tm* local = std::localtime(&now);
  if (local == nullptr) return {};
  return {static_cast<unsigned>(local->tm_year + 1900), static_cast<unsigned>(local->tm_mon + 1),
          static_cast<unsigned>(local->tm_mday),        static_cast<unsigned>(local->tm_hour),
          static_cast<unsigned>(local->tm_min),         static_cast<unsigned>(local->tm_sec)};
}

std::string EraseBackupName(const LocalTime& time) {
  return Format(kEraseBackupNameFormat, time.year, time.month, time.day, time.hour, time.minute, time.second,
                kEraseBackupExtension);
}

FileChoiceSpec EraseBackupChoice() {
  FileChoiceSpec choice;
  choice.title = kEraseBackupTitle;
  choice.defaultExtension = std::string(kEraseBackupExtension + 1);  // without the dot
  choice.filters = {{kEraseBackupFilterImages, std::string("*") + kEraseBackupExtension},
                    {kEraseBackupFilterAll, "*.*"}};
  return choice;
}

int ZeroEraseRegions(DeviceHandle& device, const DriveRecord& record, std::vector<uint8_t>& sector, ErasePass& pass,
                     std::string& failure, uint64_t& zeroed) {
  const uint32_t sectorSize = record.BlockLength();
  if (sector.size() < sectorSize) sector.resize(sectorSize);
  std::fill(sector.begin(), sector.end(), uint8_t{0});
  const std::vector<EraseRegion> regions = EraseRegionsOf(record.BlockCount(), sectorSize);
  const uint64_t total = SectorsOf(regions);
  zeroed = 0;
  for (const EraseRegion& region : regions) {
    for (uint32_t i = 0; i < region.sectorCount; ++i) {
      if (!pass.BeforeSector(kEraseStatusZero, zeroed, total, zeroed == 0)) {
        failure = kEraseInterrupted;
        return -1;
      }
      const int moved = Write10(device, record.Address(), region.firstSector + i, 1, sectorSize, sector.data());
      if (moved != static_cast<int>(sectorSize)) {
        failure = Format(kEraseWriteFailed, TransferFailureReason(device, moved, sectorSize).c_str());
        return -1;
      }
      ++zeroed;
    }
  }
  return 0;
}

int EraseWithBackup(Ui& ui, DriveList& drives, DriveRecord& record, const EraseOptions& options,
                    EraseReport* report) {
  EraseReport local;
  EraseReport& out = report ? *report : local;
  out = EraseReport{};
  EraseCommand command(ui, drives, record, options);
  return command.Run(out);
}

}  // namespace orv
