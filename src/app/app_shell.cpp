#include "app/app_shell.h"

#include <ctime>
#include <new>

#include "app/main_window.h"
#include "app/program_port.h"
#include "device/drive_list.h"
#include "toolkit/format.h"
#include "toolkit/win32/dlgbox.h"
#include "toolkit/win32/wide.h"
#include "vdrive/drive_config.h"

namespace orv {

OrvaneApp::OrvaneApp() {
  // A window object that cannot be made leaves the pointer null: start-up then shows the fatal
  // error box instead of ending without a word.
  mainWindow.reset(new (std::nothrow) MainWindow(*this));
  imageOpenDialog.filters = {{"イメージファイル(*,ovi;*.img;*.iso)", "*.ovi;*.img;*.iso"},
                             {"すべて", "*.*"}};
  backupSaveDialog.filters = {{"イメージファイル(*.ovi)", "*.ovi"}, {"すべて", "*.*"}};
}

OrvaneApp::~OrvaneApp() {
  // The window goes before the drive list it points into.
  mainWindow.reset();
  if (icon32) DestroyIcon(icon32);
  if (icon16) DestroyIcon(icon16);
}

void ShowFatalError(const std::filesystem::path& programPath) {
  const std::wstring caption = programPath.wstring() + Widen(" エラー");
  MessageBoxW(nullptr, Widen("致命的なエラーが発生しました。").c_str(), caption.c_str(),
              MB_ICONEXCLAMATION | MB_OK);
}

int OrvaneApp::MakeDriveList() {
  // The environment's virtual drives and timing, or the drives a test gives in their place.
  ProgramPortSettings settings;
  std::string error;
  int rc = 0;
  if (virtualDrives) {
    settings.virtualDrives.push_back({kVirtualDrivesVariable, *virtualDrives});
  } else {
    AddEnvironmentDrives(settings);
    rc = ReadEnvironmentTiming(settings, error);
  }
  // ORVANE_TRACE: the command trace a user sends with a bug report; the menus know nothing of it.
  if (rc == 0) rc = ReadEnvironmentTrace(settings, error);
  std::unique_ptr<DevicePort> port;
  if (rc == 0) rc = MakeProgramPort(settings, port, error);
  if (rc != 0 || !port) {
    DlgBox box;
    box.RunModal(nullptr, error, "Orvane", kBoxIconError);
    return -2;
  }
  driveList = std::make_unique<DriveList>(std::move(port));
  return 0;
}

int OrvaneApp::Initialise(HINSTANCE moduleInstance) {
  instance = moduleInstance;
  std::wstring path(1024, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  programPath = path;
  programDirectory = programPath.parent_path();
  imageOpenDialog.initialDirectory = Narrow(programDirectory.wstring());
  backupSaveDialog.initialDirectory = imageOpenDialog.initialDirectory;
  startTime = static_cast<int64_t>(std::time(nullptr));

  if (const int rc = MakeDriveList(); rc != 0) return rc;
  if (!mainWindow) {
    ShowFatalError(programPath);
    return -1;
  }
  icon32 = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
  icon16 = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
  // A failed registration shows as a failed creation below.
  if (mainWindow->CreateMain() != 0) {
    ShowFatalError(programPath);
    return -1;
  }
  ui.SetOwner(mainWindow->hwnd());
  mainWindow->Invalidate(nullptr, true);
  mainWindow->Show(SW_SHOW);
  mainWindow->Update();
  mainWindow->DriveSearch();
  return 0;
}

int RunProgram(OrvaneApp& app, HINSTANCE instance, volatile LONG* runningCopies) {
  if (InterlockedIncrement(runningCopies) != 0) {
    // Another copy runs: bring its window forward and leave quietly.
    if (HWND first = FindWindowW(kMainClass, Widen(kMainTitle).c_str())) {
      ShowWindow(first, SW_SHOW);
      if (IsIconic(first)) ShowWindow(first, SW_RESTORE);
      SetForegroundWindow(first);
    }
    InterlockedDecrement(runningCopies);
    return 0;
  }
  int code = app.Initialise(instance);
  if (code == 0) code = app.Run();
  InterlockedDecrement(runningCopies);
  return code;
}

}  // namespace orv
