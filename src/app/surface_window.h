// The surface scan window (class "orvsurface"): the scan of the chosen drive's disc runs on a
// worker while the window draws the grid of cells by class, the legend with the sectors of each,
// and the read-speed curve, as the scan goes. キャンセル stops the scan (the map keeps what was
// read), 保存... writes the picture as SVG and the map beside it. Modal to its owner; closing it
// stops the scan. It sits with the main window, not in the operations: it is a front end of the
// portable scan, as the console's `surface` command is.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "app/surface_view.h"
#include "device/drive_list.h"
#include "operations/monotonic_clock.h"
#include "operations/surface_scan.h"
#include "toolkit/win32/push_button.h"
#include "toolkit/win32/window.h"

namespace orv {

inline constexpr wchar_t kSurfaceClass[] = L"orvsurface";
inline constexpr char kSurfaceMenuLabel[] = "ディスク検査...";
inline constexpr int kIdSurfaceStatus = 100;
inline constexpr int kIdSurfaceSave = 101;
inline constexpr int kIdSurfaceStop = 102;
inline constexpr int kIdSurfaceClose = 103;

class SurfaceWindow : public Window {
 public:
  // `clock` times the transfers; null: SteadyClock().
  SurfaceWindow(DriveList& drives, const DriveRecord& record, MonotonicClock* clock = nullptr);
  ~SurfaceWindow() override;

  // Opens the drive (reading only, shared), scans it under the window and returns once the
  // window is closed and the scan has stopped. 0, or -1 when the drive could not be opened or
  // the window made (a box said why).
  int Run(HWND owner);

 protected:
  const MessageTable& Messages() const override { return ClassMessages(); }
  static const MessageTable& ClassMessages();

 private:
  LRESULT OnCreate(UINT, WPARAM, LPARAM);
  LRESULT OnPaint(UINT, WPARAM, LPARAM);
  LRESULT OnCommand(UINT, WPARAM, LPARAM);
  LRESULT OnClose(UINT, WPARAM, LPARAM);
  LRESULT OnProgress(UINT, WPARAM, LPARAM);
  void Draw(HDC dc);
  void ShowState();
  void Save();
  void StopWorker();

  DriveList& drives_;
  DriveRecord record_;
  MonotonicClock* clock_;
  HFONT font_ = nullptr;
  Window status_;
  PushButton save_, stop_, close_;
  HWND owner_ = nullptr;
  bool ownerWasEnabled_ = false;

  // Written by the worker under `mutex_`, taken over by the window thread on each progress
  // message: the worker never touches a window.
  std::mutex mutex_;
  SurfaceScan posted_;
  bool postedEnd_ = false;
  std::atomic<bool> stopAsked_{false};
  std::thread worker_;

  SurfaceScan shown_;  // the window thread's copy
  bool ended_ = false;
  uint64_t singleSpeed_ = 0;
  std::string savedNote_;
};

}  // namespace orv
