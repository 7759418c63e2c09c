// What the two sector passes of the erase (reading the backup, writing the zeros) share: the
// message pump and the status line before each sector, and the reason a failed sector transfer
// is given in the failure text.
#pragma once

#include <cstdint>
#include <string>

#include "device/device_handle.h"
#include "toolkit/ui.h"

namespace orv {

// The progress of the whole erase over all its sectors, shown in the progress box (which may be
// null: then only the messages are pumped).
class ErasePass {
 public:
  // `totalSteps`: every sector of every pass the erase will run. `stopRequested` (may be null)
  // is set by the progress box's close request (Ctrl-C on the console).
  ErasePass(Ui& ui, ProgressSink* sink, uint64_t totalSteps, const bool* stopRequested = nullptr);

  // Before sector `done` + 1 of `count` in the pass `label`: handles the window messages that
  // wait, so that the windows stay painted while the drive works, and shows "label n/m". False
  // when the user asked to stop and `canStop`: the erase stops only while the disc is still as
  // it was, before its first zero; from then on it runs to the end or to the first failure,
  // whatever the pump delivers (a quit is left for the program's own loop).
  bool BeforeSector(const char* label, uint64_t done, uint64_t count, bool canStop = true);
  // A line of the status without a sector count ("確認"); false as BeforeSector.
  bool Show(const char* label);
  // True once a stop was honoured.
  bool Stopped() const { return stopped_; }

 private:
  Ui& ui_;
  ProgressSink* sink_;
  uint64_t total_;
  uint64_t steps_ = 0;
  const bool* stopRequested_;
  bool stopped_ = false;
};

// Why a READ(10) or WRITE(10) of `wanted` bytes moved only `moved` (-1: failed): the system's
// own text when the pass-through call itself failed (the device vanished, the handle broke),
// otherwise what the drive answered. A drive's refusal leaves no system error behind, and the
// one the handle still holds belongs to an earlier call (the refused exclusive open, say), so it
// would name the wrong cause.
std::string TransferFailureReason(const DeviceHandle& device, int moved, uint32_t wanted);

}  // namespace orv
