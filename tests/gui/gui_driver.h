// Drives real windows as a user would: finds them by class on the user-interface thread, presses
// their buttons with mouse messages. The test's user-interface code runs on its own thread, the
// driver's steps on a helper thread.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "screenshot.h"

namespace orv::test {

// The visible windows of a class.
struct ClassQuery {
  const wchar_t* className;
  std::vector<HWND> found;
  static BOOL CALLBACK Collect(HWND h, LPARAM p) {
    auto* q = reinterpret_cast<ClassQuery*>(p);
    wchar_t name[64] = {};
    GetClassNameW(h, name, 64);
    if (lstrcmpiW(name, q->className) == 0 && IsWindowVisible(h)) q->found.push_back(h);
    return TRUE;
  }
};

inline void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Thirty seconds: the first file dialog of a 32-bit Wine under an emulated processor took five.
inline bool WaitFor(const std::function<bool()>& condition, int milliseconds = 30000) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
  while (GetTickCount64() < end) {
    if (condition()) return true;
    Sleep(20);
  }
  return condition();
}

// A visible top-level window of the class on the thread, not in `known`, that `accept` takes.
inline HWND WaitForWindow(DWORD thread, const wchar_t* className, const std::vector<HWND>& known = {},
                          int ms = 30000, const std::function<bool(HWND)>& accept = {}) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        ClassQuery query{className, {}};
        EnumThreadWindows(thread, ClassQuery::Collect, reinterpret_cast<LPARAM>(&query));
        for (HWND h : query.found)
          if (std::find(known.begin(), known.end(), h) == known.end() && (!accept || accept(h)))
            return (found = h) != nullptr;
        return false;
      },
      ms);
  return found;
}

// A dialog box: with `progress` only the one holding a progress bar, without it only one without.
inline HWND WaitForBox(DWORD thread, bool progress, const std::vector<HWND>& known = {}, int ms = 30000) {
  return WaitForWindow(thread, L"dlgbox", known, ms, [&](HWND h) {
    return (FindWindowExW(h, nullptr, L"msctls_progress32", nullptr) != nullptr) == progress;
  });
}

// A click in the middle of a control (or at x, y): press and release, as the mouse sends them.
inline void Click(HWND control, int x = -1, int y = -1, WPARAM keys = 0) {
  RECT r;
  GetClientRect(control, &r);
  if (x < 0) x = r.right / 2;
  if (y < 0) y = r.bottom / 2;
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(x, y));
  PostMessageW(control, WM_LBUTTONUP, keys, MAKELPARAM(x, y));
}

// A click on a row of a grid list (with `keys` held), then its handling.
template <class List>
void ClickRow(List& list, int row, WPARAM keys = 0) {
  Click(list.hwnd(), 40, (list.RowRect(row).top + list.RowRect(row).bottom) / 2, keys);
  Pump();
}

inline bool PressButton(HWND box, int id) {
  HWND button = GetDlgItem(box, id);
  if (button) Click(button);
  return button != nullptr;
}

inline std::wstring WindowText(HWND h) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(h, text.data(), static_cast<int>(text.size()))));
  return text;
}

// The clipboard's text in `format` (CF_TEXT: char, CF_UNICODETEXT: wchar_t).
template <class Char = char>
std::basic_string<Char> ClipboardText(UINT format = CF_TEXT) {
  std::basic_string<Char> text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE h = GetClipboardData(format)) {
    text = static_cast<const Char*>(GlobalLock(h));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return text;
}

inline void ClearClipboard() {
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  CloseClipboard();
}

inline BOOL CALLBACK CloseVisible(HWND h, LPARAM) {
  if (IsWindowVisible(h)) {
    PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
    PostMessageW(h, WM_CLOSE, 0, 0);
  }
  return TRUE;
}

// Runs `steps` on a helper thread (given the user-interface thread's id) while this thread runs
// `ui`; returns what `ui` returned. When a step failed, the helper closes the thread's windows
// until `ui` returns, so a modal loop nobody answers fails the test instead of hanging it.
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

// A picture of `box` over its owner, once it has painted.
inline void Snap(const char* name, HWND owner, HWND box) {
  Sleep(300);
  SaveScreenshot(ScreenshotFolder() / name, AroundWindows(owner, box));
}

// A file dialog: `file` typed into its name field, then OK; a picture of it first when
// `screenshot` names one.
inline bool ChooseInFileDialog(DWORD thread, const std::filesystem::path& file, std::wstring& title,
                               const char* screenshot = nullptr) {
  HWND dialog = WaitForWindow(thread, L"#32770");
  if (!dialog) return false;
  title = WindowText(dialog);
  if (screenshot) Snap(screenshot, dialog, nullptr);
  // edt1 in the old style's dialog, cmb13 in the other's; the controls come after the window.
  HWND name = nullptr;
  WaitFor([&] { return (name = GetDlgItem(dialog, 0x480)) || (name = GetDlgItem(dialog, 0x47C)); });
  if (!name) return false;
  // The dialog refuses '/' (the build directory is a POSIX path under Wine): the full path it is.
  wchar_t full[MAX_PATH];
  const DWORD length = GetFullPathNameW(file.wstring().c_str(), MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return false;
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(full));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  return WaitFor([&] { return !IsWindow(dialog); });
}

}  // namespace orv::test
