// The application object of the Windows program and its start-up: the single-instance rule,
// the initialisation order and the fatal error box.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "toolkit/win32/application.h"
#include "toolkit/win32/file_dialog.h"
#include "toolkit/win32/win_ui.h"

namespace orv {

class DriveList;
class MainWindow;

class OrvaneApp : public Application {
 public:
  // What is built before the entry point runs: the main window object, the chunk sizes and the
  // two file dialogs' filter lists.
  OrvaneApp();
  ~OrvaneApp() override;

  // Initialises in order (instance, program path, start time, window class, main window, show,
  // drive search). 0, or a negative code after the fatal error box (or, for a malformed
  // virtual drive list, an error box naming the fault).
  int Initialise(HINSTANCE instance);

  HINSTANCE instance = nullptr;
  std::unique_ptr<MainWindow> mainWindow;
  int64_t startTime = 0;  // seconds since 1970
  std::filesystem::path programPath;
  std::filesystem::path programDirectory;
  uint32_t imageWriteChunk = 0x10000;  // bytes per image write transfer, rounded to blocks
  uint32_t eraseChunk = 0x20000;       // bytes per erase transfer
  std::unique_ptr<DriveList> driveList;
  FileDialog imageOpenDialog;
  FileDialog backupSaveDialog;
  WinUi ui;
  HICON icon32 = nullptr;  // icon resource 101, loaded once
  HICON icon16 = nullptr;

  // The virtual drives to use instead of the environment's ORVANE_VIRTUAL_DRIVES (tests).
  std::optional<std::string> virtualDrives;

  static constexpr int kIconResource = 101;

 private:
  int MakeDriveList();
};

// The fatal error box of start-up: "致命的なエラーが発生しました。" with the program's path in
// the caption.
void ShowFatalError(const std::filesystem::path& programPath);

// The entry point's body: the single-instance check on `runningCopies` (a counter shared by all
// copies of the program, -1 when none runs), initialisation and the message loop. Returns the
// process exit code.
int RunProgram(OrvaneApp& app, HINSTANCE instance, volatile LONG* runningCopies);

}  // namespace orv
