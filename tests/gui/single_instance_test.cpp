// Starting the program a second time brings the first copy forward; the second copy leaves
// with 0, and once the first has ended a new start is a first copy again.
#include <gtest/gtest.h>

#include <string>

#include "gui_driver.h"

namespace orv {
namespace {

constexpr wchar_t kTitle[] = L"Orvane - DVD-RAM Utility";

// The build passes the host path, which Wine shows under drive Z:.
std::wstring ProgramPath() {
  std::wstring path;
  for (const char* p = ORVANE_EXE; *p; ++p) path += static_cast<wchar_t>(*p == '/' ? '\\' : *p);
  if (!path.empty() && path[0] == L'\\') path = L"Z:" + path;
  return path;
}

class Program {
 public:
  Program() {
    SetEnvironmentVariableW(L"ORVANE_VIRTUAL_DRIVES", L"E=dvdram,G=hdd");
    std::wstring command = L"\"" + ProgramPath() + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &si, &info_) != FALSE;
  }
  ~Program() {
    if (!started_) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  bool started() const { return started_; }
  HWND Ready() const;
  // The exit code, or STILL_ACTIVE when the program has not ended within the time.
  DWORD WaitExit(DWORD milliseconds) {
    if (WaitForSingleObject(info_.hProcess, milliseconds) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION info_{};
  bool started_ = false;
};

std::vector<HWND> MainWindows() {
  std::vector<HWND> found;
  for (HWND h = nullptr; (h = FindWindowExW(nullptr, h, L"orvwnd", kTitle)) != nullptr;) found.push_back(h);
  return found;
}

// The main window once its start-up scan is over (the window is enabled again).
HWND Program::Ready() const {
  HWND found = nullptr;
  test::WaitFor([&] {
    for (HWND h : MainWindows()) {
      DWORD owner = 0;
      GetWindowThreadProcessId(h, &owner);
      if (owner == info_.dwProcessId && IsWindowVisible(h) && IsWindowEnabled(h)) return (found = h) != nullptr;
    }
    return false;
  });
  return found;
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
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.WaitExit(20000), 0u);
  }
  EXPECT_TRUE(test::WaitFor([&] { return IsWindowVisible(window) != FALSE; }));
  EXPECT_EQ(MainWindows().size(), 1u);
  EXPECT_EQ(first.WaitExit(0), static_cast<DWORD>(STILL_ACTIVE));

  ASSERT_TRUE(CloseWithYes(window));
  EXPECT_EQ(first.WaitExit(20000), 0u);

  // The count went back with the first copy: a new start is a first copy with a window.
  Program again;
  ASSERT_TRUE(again.started());
  HWND again_window = again.Ready();
  ASSERT_NE(again_window, nullptr);
  ASSERT_TRUE(CloseWithYes(again_window));
  EXPECT_EQ(again.WaitExit(20000), 0u);
}

}  // namespace
}  // namespace orv
