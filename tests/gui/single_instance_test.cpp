// Starting the program a second time brings the first copy forward; the second copy leaves
// with 0, and once the first has ended a new start is a first copy again.
#include <gtest/gtest.h>

#include <string>

#include "gui_driver.h"

namespace orv {
namespace {

class Program {
 public:
  Program() {
    SetEnvironmentVariableW(L"ORVANE_VIRTUAL_DRIVES", L"E=dvdram,G=hdd");
    // The build passes the host path, which Wine shows under drive Z:.
    std::wstring command = L"\"Z:";
    for (const char* p = ORVANE_EXE; *p; ++p) command += static_cast<wchar_t>(*p == '/' ? '\\' : *p);
    command += L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &info_);
  }
  ~Program() {
    if (!started_) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  bool started() const { return started_; }
  // The exit code, or STILL_ACTIVE when the program has not ended within the time.
  DWORD WaitExit(DWORD milliseconds) {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(info_.hProcess, milliseconds) == WAIT_OBJECT_0) GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }
  // The main window once its start-up scan is over (the window is enabled again).
  HWND Ready() const {
    HWND found = nullptr;
    test::WaitFor([&] {
      for (HWND h = nullptr; (h = FindWindowExW(nullptr, h, L"orvwnd", nullptr)) != nullptr;) {
        DWORD process = 0;
        GetWindowThreadProcessId(h, &process);
        if (process == info_.dwProcessId && IsWindowVisible(h) && IsWindowEnabled(h)) return (found = h) != nullptr;
      }
      return false;
    });
    return found;
  }

 private:
  PROCESS_INFORMATION info_{};
  BOOL started_ = FALSE;
};

int MainWindowCount() {
  int count = 0;
  for (HWND h = nullptr; (h = FindWindowExW(nullptr, h, L"orvwnd", L"Orvane - DVD-RAM Utility")) != nullptr;) ++count;
  return count;
}

// Yes to the exit question, once it shows its buttons (it has its title before).
bool CloseWithYes(HWND mainWindow) {
  PostMessageW(mainWindow, WM_CLOSE, 0, 0);
  HWND question = nullptr;
  test::WaitFor([&] {
    question = FindWindowW(L"dlgbox", L"確認");
    return question && IsWindowVisible(question) && GetDlgItem(question, 6) != nullptr;
  });
  return question && test::PressButton(question, 6);
}

TEST(SingleInstance, SecondCopyRaisesTheFirstAndExitsWithZero) {
  Program first;
  ASSERT_TRUE(first.started()) << "cannot start " << ORVANE_EXE;
  HWND window = first.Ready();
  ASSERT_NE(window, nullptr);
  ShowWindow(window, SW_HIDE);  // the second copy must show it again
  {
    Program second;
    EXPECT_EQ(second.WaitExit(20000), 0u);
  }
  EXPECT_TRUE(test::WaitFor([&] { return IsWindowVisible(window) != FALSE; }));
  EXPECT_EQ(MainWindowCount(), 1);
  EXPECT_EQ(first.WaitExit(0), static_cast<DWORD>(STILL_ACTIVE));
  ASSERT_TRUE(CloseWithYes(window));
  EXPECT_EQ(first.WaitExit(20000), 0u);

  // The count went back with the first copy: a new start is a first copy with a window.
  Program again;
  HWND againWindow = again.Ready();
  ASSERT_NE(againWindow, nullptr);
  ASSERT_TRUE(CloseWithYes(againWindow));
  EXPECT_EQ(again.WaitExit(20000), 0u);
}

}  // namespace
}  // namespace orv
