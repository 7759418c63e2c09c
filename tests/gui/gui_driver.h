// Drives real windows the way a user would: finds a window by class on the user-interface
// thread and presses its buttons with mouse messages. A test runs the user-interface code on
// its own thread and the driver's steps on a helper thread.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "screenshot.h"

namespace orv::test {

struct ClassQuery {
  const wchar_t* className;
  bool visibleOnly;
  std::vector<HWND> found;
};

inline BOOL CALLBACK CollectByClass(HWND h, LPARAM p) {
  auto* q = reinterpret_cast<ClassQuery*>(p);
  wchar_t name[64] = {};
  GetClassNameW(h, name, 64);
  if (lstrcmpiW(name, q->className) == 0 && (!q->visibleOnly || IsWindowVisible(h))) q->found.push_back(h);
  return TRUE;
}

// Dispatches what waits in the calling thread's queue.
inline void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Polls until the condition holds or thirty seconds have passed. A window that opens at once
// on a PC can take seconds elsewhere: the first file dialog of a 32-bit Wine under an emulated
// processor took about five. The limit only matters when the condition never holds.
inline bool WaitFor(const std::function<bool()>& condition, int milliseconds = 30000) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
  while (GetTickCount64() < end) {
    if (condition()) return true;
    Sleep(20);
  }
  return condition();
}

// Waits for a visible top-level window of the class on the thread, other than those in `known`.
inline HWND WaitForWindow(DWORD thread, const wchar_t* className, const std::vector<HWND>& known = {}) {
  HWND found = nullptr;
  WaitFor([&] {
    ClassQuery query{className, true, {}};
    EnumThreadWindows(thread, CollectByClass, reinterpret_cast<LPARAM>(&query));
    for (HWND h : query.found)
      if (std::find(known.begin(), known.end(), h) == known.end()) return (found = h) != nullptr;
    return false;
  });
  return found;
}

// A click in the middle of a control: press and release, as the mouse sends them.
inline void Click(HWND control, int x = -1, int y = -1) {
  RECT r;
  GetClientRect(control, &r);
  if (x < 0) x = r.right / 2;
  if (y < 0) y = r.bottom / 2;
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

inline bool PressButton(HWND box, int id) {
  HWND button = GetDlgItem(box, id);
  if (!button) return false;
  Click(button);
  return true;
}

inline std::wstring WindowText(HWND h) {
  wchar_t text[1024] = {};
  GetWindowTextW(h, text, 1024);
  return text;
}

// Child windows of a class, in order.
inline std::vector<HWND> Children(HWND parent, const wchar_t* className) {
  ClassQuery query{className, false, {}};
  EnumChildWindows(parent, CollectByClass, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

inline BOOL CALLBACK CloseVisible(HWND h, LPARAM) {
  if (IsWindowVisible(h)) {
    PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
    PostMessageW(h, WM_CLOSE, 0, 0);
  }
  return TRUE;
}

// Runs `steps` on a helper thread while the calling (user-interface) thread runs `ui`; returns
// what `ui` returned. The helper gets the user-interface thread's id. Steps that fail (a window
// that never appeared, so nobody presses its button) would leave `ui` waiting in a modal loop
// for ever: the helper then closes the thread's windows until `ui` returns, and the test fails
// instead of hanging.
template <class Ui>
auto WithDriver(std::function<void(DWORD uiThread)> steps, Ui ui) {
  const DWORD uiThread = GetCurrentThreadId();
  std::atomic<bool> uiReturned{false};
  std::thread driver([&] {
    steps(uiThread);
    if (!::testing::Test::HasFailure()) return;
    while (!uiReturned.load()) {
      EnumThreadWindows(uiThread, CloseVisible, 0);
      Sleep(100);
    }
  });
  auto result = ui();
  uiReturned = true;
  driver.join();
  return result;
}

// A visible dialog box of the thread that is not in `known`; with `progress`, only one that holds
// a progress bar (the progress box), without it only one that does not.
inline HWND WaitForBox(DWORD thread, bool progress, const std::vector<HWND>& known = {}, int ms = 30000) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        ClassQuery query{L"dlgbox", true, {}};
        EnumThreadWindows(thread, CollectByClass, reinterpret_cast<LPARAM>(&query));
        for (HWND h : query.found) {
          if (std::find(known.begin(), known.end(), h) != known.end()) continue;
          if (Children(h, L"msctls_progress32").empty() == progress) continue;
          found = h;
          return true;
        }
        return false;
      },
      ms);
  return found;
}

// A file dialog: the path typed into its file name field, then OK; a picture of it first when
// `screenshot` names one.
inline bool ChooseInFileDialog(DWORD thread, const std::filesystem::path& file, std::wstring& title,
                               const char* screenshot = nullptr) {
  HWND dialog = WaitForWindow(thread, L"#32770");
  if (!dialog) return false;
  title = WindowText(dialog);
  Sleep(300);  // painted
  if (screenshot) SaveScreenshotAround(ScreenshotFolder() / screenshot, dialog);
  // edt1 in the dialog of the old style, cmb13 (a combo box with an edit field) in the other.
  HWND name = GetDlgItem(dialog, 0x480);
  if (!name) name = GetDlgItem(dialog, 0x47C);
  if (!name) return false;
  // The dialog refuses '/' in a file name: the build directory is a POSIX path under Wine, so the
  // name is typed as the system's full path (drive letter and backslashes), as a user would.
  wchar_t full[MAX_PATH];
  const DWORD length = GetFullPathNameW(file.wstring().c_str(), MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return false;
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(full));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  return WaitFor([&] { return !IsWindow(dialog); });
}

}  // namespace orv::test
