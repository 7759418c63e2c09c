// The Windows implementation of the user-interface seam, on the toolkit's dialog box: boxes and
// progress windows open over the main window and keep it disabled while they are up.
#pragma once

#include <windows.h>

#include "toolkit/ui.h"

namespace orv {

class WinUi : public Ui {
 public:
  explicit WinUi(HWND owner = nullptr) : owner_(owner) {}
  void SetOwner(HWND owner) { owner_ = owner; }
  HWND owner() const { return owner_; }

  uint32_t ShowBox(const MessageBoxSpec& box) override;
  int ChooseOpenFile(const FileChoiceSpec& choice, std::filesystem::path& path) override;
  int ChooseSaveFile(const FileChoiceSpec& choice, std::filesystem::path& path) override;
  std::unique_ptr<ProgressBox> OpenProgress(const ProgressBoxSpec& request,
                                            std::function<void()> onCloseRequest) override;
  bool ProcessMessages(uint32_t idleMs) override;

 private:
  int ChooseFile(bool save, const FileChoiceSpec& choice, std::filesystem::path& path);
  HWND owner_;
};

}  // namespace orv
