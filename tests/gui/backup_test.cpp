// "ディスクのバックアップ..." and "ディスクの比較..." from the main window's ファイル(&F) menu, driven
// as a user drives them, on a file-backed DVD-RAM with a bad range and its timing model on (the
// reading takes as long as on a real drive): the backup to its end, then the comparison of the
// disc with it. Pictures of the boxes go to build/win64/screenshots/.
#include <gtest/gtest.h>

#include "app/app_shell.h"
#include "app/main_window.h"
#include "device/ports/virtual_port.h"
#include "gui_driver.h"
#include "operations/disc_backup.h"
#include "operations/image_write_rig.h"

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::Pump;
using test::WaitForBox;
using test::WindowText;

// Runs the menu command while `steps` answer its dialog, watch its progress box for `watchMs`
// (a picture at the end) and close its final box (a picture first).
void RunFromMenu(MainWindow& window, int command, const fs::path& file, const std::string& name, int watchMs,
                 std::wstring& dialogTitle) {
  test::WithDriver(
      [&](DWORD ui) {
        ASSERT_TRUE(test::ChooseInFileDialog(ui, file, dialogTitle));
        HWND progress = WaitForBox(ui, true);
        ASSERT_NE(progress, nullptr);
        Sleep(static_cast<DWORD>(watchMs));
        test::SaveScreenshot(test::ScreenshotFolder() / (name + "-progress.png"),
                             test::AroundWindows(window.hwnd(), progress));
        HWND final = WaitForBox(ui, false, {}, 60000);
        ASSERT_NE(final, nullptr);
        EXPECT_EQ(WindowText(final), L"Orvane - DVD-RAM Utility");
        Sleep(300);
        test::SaveScreenshot(test::ScreenshotFolder() / (name + "-final.png"), test::AroundWindows(window.hwnd(), final));
        test::PressButton(final, kIdOk);
      },
      [&] {
        SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(command, 0), 0);
        return 0;
      });
}

TEST(BackupWindow, MenuItemsBackUpTheDiscWithItsBadRangeThenCompare) {
  const fs::path dir = test::ScratchDir("gui-backup"), disc = dir / "disc.img", backup = dir / "backup.ovi";
  test::WriteFileBytes(disc, test::PatternedDisc(24576, 2048, 5));  // 48 MiB: about 7 s to read
  OrvaneApp app;
  app.virtualDrives = "E=dvdram:" + disc.string() + ":bad=100+8";
  ASSERT_EQ(app.Initialise(GetModuleHandleW(nullptr)), 0);
  MainWindow& window = *app.mainWindow;
  dynamic_cast<VirtualPort&>(app.driveList->Device().Port()).Drive('E')->SetTimingEnabled(true);
  Pump();
  // Above "終了", greyed until a drive is chosen.
  HMENU file = window.menu().PopupMenu(0);
  EXPECT_EQ(GetMenuItemID(file, 0), static_cast<UINT>(kCmdDiscBackup));
  EXPECT_EQ(GetMenuItemID(file, 3), static_cast<UINT>(kCmdExit));  // after ディスク検査...
  EXPECT_TRUE(GetMenuState(file, kCmdDiscBackup, MF_BYCOMMAND) & MF_GRAYED);
  const RECT row = window.list().RowRect(0);
  test::Click(window.list().hwnd(), 40, (row.top + row.bottom) / 2);
  Pump();
  for (int id : {kCmdDiscBackup, kCmdDiscCompare}) EXPECT_FALSE(GetMenuState(file, id, MF_BYCOMMAND) & MF_GRAYED);

  std::wstring saveTitle, openTitle;
  RunFromMenu(window, kCmdDiscBackup, backup, "backup", 5800, saveTitle);  // past 5 s: the time left shows
  EXPECT_EQ(saveTitle, L"バックアップの保存先");
  const test::Bytes map = test::ReadFileBytes(BackupMapPath(backup));
  const std::string mapText(map.begin(), map.end());
  EXPECT_NE(mapText.find("\n100 8 bad\n"), std::string::npos) << mapText;
  EXPECT_NE(mapText.find("complete"), std::string::npos) << mapText;
  RunFromMenu(window, kCmdDiscCompare, backup, "compare", 1000, openTitle);
  EXPECT_EQ(openTitle, L"比較するイメージファイルの指定");
  EXPECT_TRUE(IsWindowEnabled(window.hwnd()));
  window.Destroy();
  Pump();
}

}  // namespace
}  // namespace orv
