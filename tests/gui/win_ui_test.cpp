// The Windows Ui as operations use it: a box with its note line, a progress window whose
// button stops the worker, and the file choice.
#include <gtest/gtest.h>

#include <atomic>

#include "gui_driver.h"
#include "toolkit/win32/dlgbox.h"
#include "toolkit/win32/file_dialog.h"
#include "toolkit/win32/win_ui.h"
#include "toolkit/worker.h"

namespace orv {
namespace {

using test::PressButton;
using test::WaitForWindow;
using test::WithDriver;

TEST(WinUi, ShowBoxReturnsThePressedButton) {
  WinUi ui;
  MessageBoxSpec request;
  request.text = "ディスクを消去しますか？";
  request.caption = "ディスク消去";
  request.style = kBoxYesNo | kBoxIconWarning;
  request.note = "※ 元に戻せません。";
  std::wstring caption;
  const uint32_t result = WithDriver(
      [&](DWORD thread) {
        HWND box = WaitForWindow(thread, L"dlgbox");
        ASSERT_NE(box, nullptr);
        caption = test::WindowText(box);
        PressButton(box, kIdNo);
      },
      [&] { return ui.ShowBox(request); });
  EXPECT_EQ(result, kIdNo);
  EXPECT_EQ(caption, L"ディスク消去");
}

TEST(WinUi, ProgressButtonStopsTheWorkerAndTellsTheOperation) {
  WinUi ui;
  ProgressBoxSpec request;
  request.message = "デバイスを検索しています。";
  request.caption = "Scan Device...";
  request.buttonLabel = "キャンセル";
  request.progressBar = true;
  request.width = 400;
  std::atomic<int> steps{0};
  bool closeRequested = false;
  std::wstring label;
  int boxWidth = 0;
  const int rc = WithDriver(
      [&](DWORD thread) {
        HWND box = WaitForWindow(thread, L"dlgbox");
        ASSERT_NE(box, nullptr);
        RECT r;
        GetWindowRect(box, &r);
        boxWidth = r.right - r.left;
        label = test::WindowText(GetDlgItem(box, kIdOk));
        test::WaitFor([&] { return steps.load() > 3; });
        PressButton(box, kIdOk);
      },
      [&] {
        return RunWorkerWithProgress(
            ui, request,
            [&](WorkerContext& context) {
              context.SetRange(26);
              // Works until stopped, reporting as the scan does; bounded so a broken stop
              // fails the test instead of hanging it.
              for (int i = 0; i < 3000 && !context.StopRequested(); ++i) {
                context.SetStatus("Scan E: drive");
                context.SetPosition(static_cast<uint32_t>(i % 26));
                ++steps;
                Sleep(5);
              }
            },
            [&] { closeRequested = true; });
      });
  EXPECT_EQ(rc, 0);
  EXPECT_TRUE(closeRequested);
  EXPECT_LT(steps.load(), 3000) << "the worker was not stopped";
  EXPECT_EQ(label, L"キャンセル");
  EXPECT_EQ(boxWidth, 400);
}

// The system's file dialog: a cancel leaves the proposed path, OK gives back the full path.
TEST(WinUi, FileChoiceCancelledOrChosen) {
  WinUi ui;
  FileChoiceSpec choice{"イメージファイルの指定", "ovi", {{"イメージファイル(*.ovi)", "*.ovi"}, {"すべて", "*.*"}}};
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::filesystem::path proposed = std::filesystem::path(temp) / L"消去前.ovi";
  for (const bool cancel : {true, false}) {
    std::filesystem::path path = cancel ? std::filesystem::path(L"backup.ovi") : proposed;
    std::wstring title;
    const int rc = WithDriver(
        [&](DWORD thread) {
          HWND dialog = WaitForWindow(thread, L"#32770");
          ASSERT_NE(dialog, nullptr);
          title = test::WindowText(dialog);
          PostMessageW(dialog, WM_COMMAND, cancel ? IDCANCEL : IDOK, 0);
        },
        [&] { return ui.ChooseSaveFile(choice, path); });
    EXPECT_EQ(title, L"イメージファイルの指定");
    if (cancel) {
      EXPECT_EQ(rc, -1);
      EXPECT_EQ(path, std::filesystem::path(L"backup.ovi"));
    } else {
      EXPECT_EQ(rc, 0);
      EXPECT_EQ(std::filesystem::weakly_canonical(path), std::filesystem::weakly_canonical(proposed));
    }
  }
}

}  // namespace
}  // namespace orv
