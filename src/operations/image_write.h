// The "イメージ書込" command: an image file onto the disc of the chosen drive. An ".ovi"
// container is written block by block, each block at the sector its header records (an erase
// backup goes back exactly where it came from); any other file is a raw image written from
// sector 0 on. Everything is checked before the confirmation, and nothing is written unless the
// user answered Yes; the transfer runs on a worker thread under a progress box with a cancel
// button, through the Ui seam, so the window, the console and the tests run the same code.
#pragma once

#include <cstdint>
#include <filesystem>

#include "device/drive_list.h"
#include "operations/monotonic_clock.h"
#include "toolkit/ui.h"

namespace orv {

// The most one WRITE(10) moves, rounded down to whole sectors (one sector when a sector is
// larger).
inline constexpr uint32_t kImageWriteTransferBytes = 65536;

struct ImageWriteOptions {
  // Read every written sector back and compare it with the image.
  bool verify = false;
  // Elapsed time and rates; null: SteadyClock().
  MonotonicClock* clock = nullptr;
  uint32_t transferBytes = kImageWriteTransferBytes;
  // Least interval between two updates of the progress line, in milliseconds.
  uint32_t progressPeriodMs = 250;
};

enum class ImageWriteEnd {
  kRefused,      // a check failed or the drive could not be opened; nothing written
  kDeclined,     // the confirmation was not answered Yes; nothing written
  kCompleted,    // every sector of the image written (and read back equal, with verify)
  kFailed,       // the write started and did not complete as it should: a failed transfer, a
                 // bad block, a read-back that differs
  kInterrupted,  // the user closed the progress box while sectors were still to be written
};

struct ImageWriteResult {
  int code = -1;  // 0 completed or declined, -1 otherwise
  ImageWriteEnd end = ImageWriteEnd::kRefused;
  uint64_t sectorsToWrite = 0;
  uint64_t sectorsWritten = 0;
};

// Runs the whole command and leaves the drive list's device closed.
ImageWriteResult RunImageWrite(Ui& ui, DriveList& drives, const DriveRecord& record, const std::filesystem::path& path,
                               const ImageWriteOptions& options = {});

// The command as the main window calls it: 0 on success or when the user declined, -1 otherwise.
inline int ImageWrite(Ui& ui, DriveList& drives, const DriveRecord& record, const std::filesystem::path& path) {
  return RunImageWrite(ui, drives, record, path).code;
}

}  // namespace orv
