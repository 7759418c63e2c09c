// The user interface the report's gathering runs under: the program's Windows boxes, except that
// the progress box stays up after its button was pressed.
//
// The gathering cannot be interrupted: the drive commands it has sent run to their end, however
// long a slow or spinning-up drive takes. Pressing "キャンセル" marks the gathering cancelled
// and the box stays open, so the windows behind it keep being drawn while the user waits; the
// box goes once the worker has ended, and the report is then discarded.
#pragma once

#include <windows.h>

#include "toolkit/win32/win_ui.h"

namespace orv {

class GatheringUi : public WinUi {
 public:
  explicit GatheringUi(HWND owner) : WinUi(owner) {}

  // The box's close request (its button, Escape, a close sent from anywhere) calls
  // `onCloseRequest` and leaves the box open; only Close ends it.
  std::unique_ptr<ProgressBox> OpenProgress(const ProgressBoxSpec& request,
                                            std::function<void()> onCloseRequest) override;
};

}  // namespace orv
