// The image write from the chosen file to the last box: the checks, the confirmation, the worker
// that moves the pieces, the progress update on the user-interface thread, the close request,
// and the final box.
//
// Two locks guard what the two threads share. The state lock holds the error flag and text,
// the user's cancel and the worker's end; the progress lock holds the sector counts and the
// estimate. Where both are held the state lock is taken first. Neither is ever held while the
// progress box is called: a box may wait for the user-interface thread, which may itself be
// waiting for the state lock in the close request.
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "device/inquiry_view.h"
#include "device/scsi_commands.h"
#include "image/image_file.h"
#include "operations/disc_compare.h"
#include "operations/drive_failure_text.h"
#include "operations/image_write_pieces.h"
#include "operations/image_write.h"
#include "operations/image_write_plan.h"
#include "operations/image_write_progress.h"
#include "operations/image_write_texts.h"
#include "operations/write_target.h"
#include "toolkit/format.h"
#include "toolkit/sjis.h"
#include "toolkit/worker.h"

namespace orv {

namespace {

// The final box names at most this many bad blocks, then how many more there are.
constexpr size_t kBadBlocksNamed = 10;

std::string PathText(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return Utf8ToSjis(std::string(utf8.begin(), utf8.end()));
}

std::string BadBlocksText(const std::vector<BadBlock>& bad) {
  std::string text = kBadBlocksHead;
  for (size_t i = 0; i < bad.size() && i < kBadBlocksNamed; ++i) {
    text += Format(kBadBlockLine, bad[i].firstSector, bad[i].sectors);
  }
  if (bad.size() > kBadBlocksNamed) text += Format(kBadBlocksMore, static_cast<uint32_t>(bad.size() - kBadBlocksNamed));
  return text;
}

class ImageWriteJob {
 public:
  ImageWriteJob(Ui& ui, DriveList& drives, const DriveRecord& record, const std::filesystem::path& path,
                const ImageWriteOptions& options)
      : ui_(ui), drives_(drives), device_(drives.Device()), record_(record), path_(path), options_(options),
        clock_(options.clock ? *options.clock : SteadyClock()) {}

  ~ImageWriteJob() {
    if (image_) image_->CloseReader();
    if (device_.IsOpen()) device_.Close();
  }

  ImageWriteResult Run() {
    ImageWriteResult result;
    if (Prepare() != 0) return result;
    result.sectorsToWrite = toWrite_;
    if (!Confirm()) {
      result.code = 0;
      result.end = ImageWriteEnd::kDeclined;
      return result;
    }
    startMs_ = endMs_ = clock_.NowMs();
    estimate_.Start(startMs_);
    const ProgressBoxSpec box{kWritingMessage, kAppTitle, "キャンセル", true, 400};
    const int ran = RunWorkerWithProgress(
        ui_, box, [this](WorkerContext& context) { Work(context); }, [this] { OnCloseRequest(); },
        WorkerTick{options_.progressPeriodMs, [this](WorkerContext& context) { ProgressUpdate(context); }});
    if (image_) image_->CloseReader();
    if (ran != 0) return result;  // the box could not be opened: nothing was written
    result.sectorsWritten = written_;
    result.end = FinalBox();
    result.code = result.end == ImageWriteEnd::kCompleted ? 0 : -1;
    return result;
  }

 private:
  // ---- Before the confirmation ----

  int Refuse(const std::string& text) {
    MessageBoxSpec box;
    box.text = text;
    box.caption = kErrorCaption;
    box.style = kBoxOk | kBoxIconError;
    ui_.ShowBox(box);
    return -1;
  }

  int Prepare() {
    std::string message;
    if (ReadImagePlan(path_, plan_, message) != 0) return Refuse(message);
    if (OpenWriteTarget(ui_, device_, record_) != 0) return -1;
    drives_.Refresh(record_);
    unit_ = record_.Address();
    sectorSize_ = record_.BlockLength();
    const uint64_t diskSectors = record_.BlockCount();
    if (diskSectors * sectorSize_ == 0) return Refuse(kTargetNotReady);
    if (CheckPlanAgainstDisc(plan_, sectorSize_, diskSectors, toWrite_, message) != 0) return Refuse(message);
    const uint32_t transfer = options_.transferBytes / sectorSize_ * sectorSize_;
    transfer_ = transfer != 0 ? transfer : sectorSize_;
    try {
      buffer_ = std::make_unique<PageBuffer>(transfer_);
      if (options_.verify) readBack_ = std::make_unique<PageBuffer>(transfer_);
      if (plan_.container) image_ = std::make_unique<ImageFile>();
    } catch (const std::bad_alloc&) {
      return -1;
    }
    if (image_ && image_->OpenForRead(path_) != 0) return Refuse(kImageCannotOpen);
    return 0;
  }

  bool Confirm() {
    MessageBoxSpec box;
    box.text = Format(kConfirmQuestion, IdentificationText(record_), PathText(path_));
    box.caption = kConfirmCaption;
    box.style = kBoxYesNo | kBoxIconQuestion;
    box.note = kConfirmNote;
    if (plan_.containerByContent) box.note += std::string("\r\n") + kConfirmContainerNote;
    box.width = 400;
    box.question = QuestionId::kImageWriteConfirm;
    return ui_.ShowBox(box) == kIdYes;
  }

  // ---- The worker ----

  void Work(WorkerContext& context) {
    bool started = false;
    {
      std::lock_guard state(stateLock_);
      if (!error_) {
        std::lock_guard progress(progressLock_);
        active_ = true;
        started = true;
      }
    }
    if (started) context.SetRange(100);

    std::unique_ptr<PieceSource> pieces = Pieces(image_.get());
    const bool written = RunPass(context, *pieces, false);
    if (plan_.container) {
      std::lock_guard state(stateLock_);
      bad_ = static_cast<ContainerPieces&>(*pieces).BadBlocks();
    }
    if (written && options_.verify) {
      {
        std::lock_guard progress(progressLock_);
        verifying_ = true;
        done_ = 0;
        estimate_.Start(clock_.NowMs());
      }
      std::unique_ptr<ImageFile> again;
      if (plan_.container) {
        again = std::make_unique<ImageFile>();
        if (again->OpenForRead(path_) != 0) {
          Fail(kImageCannotOpen);
          again.reset();
        }
      }
      if (!plan_.container || again) {
        std::unique_ptr<PieceSource> check = Pieces(again.get());
        RunPass(context, *check, true);
      }
      if (again) again->CloseReader();
    }
    endMs_ = clock_.NowMs();

    bool complete = false;
    {
      std::lock_guard state(stateLock_);
      finished_ = true;
      if (!error_) {
        std::lock_guard progress(progressLock_);
        active_ = false;
        complete = true;
      }
    }
    if (complete) context.SetPosition(100);
  }

  std::unique_ptr<PieceSource> Pieces(ImageFile* image) {
    if (!plan_.container) return std::make_unique<RawPieces>(plan_, sectorSize_, transfer_);
    return std::make_unique<ContainerPieces>(*image, plan_.blocks, sectorSize_, transfer_);
  }

  // One walk over the pieces: written, or read back and compared. True when it reached the end.
  bool RunPass(WorkerContext& context, PieceSource& pieces, bool verifying) {
    for (;;) {
      ImagePiece piece;
      std::string failure;
      const int next = pieces.Next(buffer_->data(), piece, failure);
      if (next == 0) return true;
      if (next < 0) return Fail(failure);
      // Asked only while something is left to write: a cancel that comes after the last
      // transfer stops nothing.
      if (Stopping(context)) return false;
      const uint32_t bytes = piece.sectors * sectorSize_;
      if (verifying) {
        if (!Compare(piece)) return false;
      } else if (Write10(device_, unit_, piece.lba, piece.sectors, bytes, buffer_->data()) !=
                 static_cast<int>(bytes)) {
        return Fail(Format(kDataWriteFailed, DriveFailureText(device_)));
      }
      std::lock_guard progress(progressLock_);
      done_ += piece.sectors;
      if (!verifying) written_ = done_;
    }
  }

  bool Compare(const ImagePiece& piece) {
    std::vector<SectorRun> differing;
    if (ReadAndCompare(device_, unit_, piece.lba, piece.sectors, sectorSize_, buffer_->data(), readBack_->data(),
                       differing) != 0) {
      return Fail(Format(kVerifyReadFailed, DriveFailureText(device_)));
    }
    return differing.empty() || Fail(Format(kVerifyMismatch, differing.front().first));
  }

  // The user's cancel (or a quit, or the box gone) ends the walk before the next transfer; the
  // one in flight has completed.
  bool Stopping(WorkerContext& context) {
    std::lock_guard state(stateLock_);
    if (error_) return true;
    if (!cancelRequested_ && !context.StopRequested()) return false;
    error_ = true;
    errorText_.clear();
    interrupted_ = true;
    return true;
  }

  bool Fail(std::string text) {
    std::lock_guard state(stateLock_);
    if (!error_) {
      error_ = true;
      errorText_ = std::move(text);
    }
    return false;
  }

  // ---- The user-interface thread while the worker runs ----

  void ProgressUpdate(WorkerContext& context) {
    {
      std::lock_guard state(stateLock_);
      if (error_ || cancelRequested_) return;
    }
    std::string line;
    uint32_t percent = 0;
    {
      std::lock_guard progress(progressLock_);
      if (!active_) return;
      if (!estimate_.Update(done_, toWrite_, clock_.NowMs())) return;
      line = ProgressLine(verifying_, done_, toWrite_, estimate_.RemainingText());
      percent = std::min<uint32_t>(PercentDone(done_, toWrite_), 100);
    }
    context.SetStatus(line);
    context.SetPosition(percent);
  }

  void OnCloseRequest() {
    std::lock_guard state(stateLock_);
    if (!finished_) cancelRequested_ = true;
  }

  // ---- After the worker ----

  ImageWriteEnd FinalBox() {
    MessageBoxSpec box;
    box.caption = kAppTitle;
    box.note = kFinalNote;
    ImageWriteEnd end = ImageWriteEnd::kCompleted;
    {
      std::lock_guard state(stateLock_);
      if (error_) {
        box.text = errorText_.empty() ? std::string(kInterrupted) : errorText_;
        end = interrupted_ ? ImageWriteEnd::kInterrupted : ImageWriteEnd::kFailed;
      }
      if (!bad_.empty()) {
        box.text += (box.text.empty() ? "" : "\r\n\r\n") + BadBlocksText(bad_);
        if (end == ImageWriteEnd::kCompleted) end = ImageWriteEnd::kFailed;
      }
    }
    if (end == ImageWriteEnd::kCompleted) {
      box.text = Format(kWriteCompleted, ElapsedText((endMs_ - startMs_) / 1000));
      box.style = kBoxOk;
    } else {
      box.style = kBoxOk | kBoxIconError;
    }
    ui_.ShowBox(box);
    return end;
  }

  Ui& ui_;
  DriveList& drives_;
  DeviceHandle& device_;
  DriveRecord record_;  // the chosen record, its capacity read again once the drive is open
  std::filesystem::path path_;
  ImageWriteOptions options_;
  MonotonicClock& clock_;

  ImagePlan plan_;
  std::unique_ptr<ImageFile> image_;  // container
  UnitAddress unit_;
  uint32_t sectorSize_ = 0;
  uint32_t transfer_ = 0;
  std::unique_ptr<PageBuffer> buffer_;
  std::unique_ptr<PageBuffer> readBack_;
  uint64_t startMs_ = 0;
  uint64_t endMs_ = 0;  // written by the worker, read after the join

  std::mutex stateLock_;
  bool error_ = false;
  std::string errorText_;  // empty with the error flag: interrupted
  bool cancelRequested_ = false;
  bool interrupted_ = false;
  bool finished_ = false;
  std::vector<BadBlock> bad_;

  std::mutex progressLock_;
  bool active_ = false;
  bool verifying_ = false;
  uint64_t toWrite_ = 0;
  uint64_t done_ = 0;
  uint64_t written_ = 0;
  RemainingTimeEstimate estimate_;
};

}  // namespace

ImageWriteResult RunImageWrite(Ui& ui, DriveList& drives, const DriveRecord& record, const std::filesystem::path& path,
                               const ImageWriteOptions& options) {
  ImageWriteJob job(ui, drives, record, path, options);
  return job.Run();
}

}  // namespace orv
