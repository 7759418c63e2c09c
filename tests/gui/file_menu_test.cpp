// The main window's ファイル(&F) menu on a file-backed DVD-RAM with a bad and a slow range and its
// timing model on: "ディスクのバックアップ..." to its end, "ディスクの比較..." of the disc with it,
// "ディスク検査..." finished and saved, then cancelled. Pictures in build/win64/screenshots/.
#include <gtest/gtest.h>

#include "app/app_shell.h"
#include "app/main_window.h"
#include "app/surface_window.h"
#include "device/ports/virtual_port.h"
#include "gui_driver.h"
#include "operations/disc_backup.h"
#include "operations/image_write_rig.h"
#include "operations/surface_map.h"

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::WaitFor;
using test::WaitForBox;
using test::WindowText;

// The number after `label` in the status line ("読込不可 8、" gives 8), or -1.
long long CountAfter(const std::wstring& text, const wchar_t* label) {
  size_t at = text.find(std::wstring(label) + L" ");
  if (at == std::wstring::npos) return -1;
  long long n = 0;
  for (at += wcslen(label) + 1; at < text.size() && (iswdigit(text[at]) || text[at] == L','); ++at)
    if (text[at] != L',') n = n * 10 + (text[at] - L'0');
  return n;
}

// The backup or the comparison: `file` chosen in its dialog, its progress box watched for
// `watchMs`, its final box closed; a picture of each box.
void RunWithProgress(MainWindow& window, int command, const fs::path& file, const std::string& name, int watchMs,
                     std::wstring& dialogTitle) {
  test::WithDriver(
      [&](DWORD ui) {
        ASSERT_TRUE(test::ChooseInFileDialog(ui, file, dialogTitle));
        HWND progress = WaitForBox(ui, true);
        ASSERT_NE(progress, nullptr);
        Sleep(static_cast<DWORD>(watchMs));
        test::Snap((name + "-progress.png").c_str(), window.hwnd(), progress);
        HWND final = WaitForBox(ui, false, {}, 60000);
        ASSERT_NE(final, nullptr);
        EXPECT_EQ(WindowText(final), L"Orvane - DVD-RAM Utility");
        test::Snap((name + "-final.png").c_str(), window.hwnd(), final);
        test::PressButton(final, kIdOk);
      },
      [&] { return SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(command, 0), 0); });
}

TEST(FileMenu, BackupCompareAndSurfaceScanOfADiscWithABadRange) {
  // Named so that a picture disc.svg would put its map on the disc's own image.
  const fs::path dir = test::ScratchDir("gui-file-menu"), disc = dir / "disc.map", backup = dir / "backup.ovi";
  const fs::path svg = test::ScreenshotFolder() / "surface.svg", map = test::ScreenshotFolder() / "surface.map";
  fs::remove(map);
  fs::remove(svg);  // the dialog would ask whether to replace it
  const test::Bytes content = test::PatternedDisc(24576, 2048, 5);  // 48 MiB: about 7 s to read
  test::WriteFileBytes(disc, content);
  OrvaneApp app;
  app.virtualDrives = "E=dvdram:" + disc.string() + ":bad=100+8:slow=2000+64+300";
  ASSERT_EQ(app.Initialise(GetModuleHandleW(nullptr)), 0);
  MainWindow& window = *app.mainWindow;
  dynamic_cast<VirtualPort&>(app.driveList->Device().Port()).Drive('E')->SetTimingEnabled(true);
  test::Pump();
  // Above "終了", greyed until a drive is chosen.
  HMENU file = window.menu().PopupMenu(0);
  EXPECT_EQ(GetMenuItemID(file, 0), static_cast<UINT>(kCmdDiscBackup));
  EXPECT_EQ(GetMenuItemID(file, 2), static_cast<UINT>(kCmdSurfaceScan));
  EXPECT_EQ(GetMenuItemID(file, 3), static_cast<UINT>(kCmdExit));
  const int commands[] = {kCmdDiscBackup, kCmdDiscCompare, kCmdSurfaceScan};
  for (int id : commands) EXPECT_TRUE(GetMenuState(file, id, MF_BYCOMMAND) & MF_GRAYED) << id;
  test::ClickRow(window.list(), 0);
  for (int id : commands) EXPECT_FALSE(GetMenuState(file, id, MF_BYCOMMAND) & MF_GRAYED) << id;

  std::wstring saveTitle, openTitle;
  RunWithProgress(window, kCmdDiscBackup, backup, "backup", 5800, saveTitle);  // past 5 s: the time left shows
  EXPECT_EQ(saveTitle, L"バックアップの保存先");
  const test::Bytes mapBytes = test::ReadFileBytes(BackupMapPath(backup));
  const std::string mapText(mapBytes.begin(), mapBytes.end());
  EXPECT_NE(mapText.find("\n100 8 bad\n"), std::string::npos) << mapText;
  EXPECT_NE(mapText.find("complete"), std::string::npos) << mapText;
  RunWithProgress(window, kCmdDiscCompare, backup, "compare", 1000, openTitle);
  EXPECT_EQ(openTitle, L"比較するイメージファイルの指定");
  EXPECT_TRUE(IsWindowEnabled(window.hwnd()));

  std::wstring status;
  test::WithDriver(
      [&](DWORD ui) {
        HWND scan = test::WaitForWindow(ui, kSurfaceClass);
        ASSERT_NE(scan, nullptr);
        HWND line = GetDlgItem(scan, kIdSurfaceStatus);
        ASSERT_TRUE(WaitFor([&] { return CountAfter(WindowText(line), L"良好") > 0; }));
        EXPECT_NE(WindowText(line).find(L"検査中"), std::wstring::npos) << WindowText(line);
        test::Snap("surface-progress.png", scan, nullptr);
        ASSERT_TRUE(WaitFor([&] { return WindowText(line).find(L"終了しました") != std::wstring::npos; }, 60000));
        test::Snap("surface-final.png", scan, nullptr);
        test::PressButton(scan, kIdSurfaceSave);
        ASSERT_TRUE(test::ChooseInFileDialog(ui, dir / "disc.svg", saveTitle));
        HWND refusal = WaitForBox(ui, false);
        ASSERT_NE(refusal, nullptr);
        test::Snap("surface-refused.png", refusal, nullptr);
        test::PressButton(refusal, kIdOk);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(refusal); }));
        test::PressButton(scan, kIdSurfaceSave);
        ASSERT_TRUE(test::ChooseInFileDialog(ui, svg, saveTitle));
        ASSERT_TRUE(WaitFor([&] { return WindowText(line).find(L"保存しました") != std::wstring::npos; }));
        status = WindowText(line);
        test::PressButton(scan, kIdSurfaceClose);
      },
      [&] { return SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(kCmdSurfaceScan, 0), 0); });
  EXPECT_EQ(saveTitle, L"検査結果の保存先");
  EXPECT_TRUE(IsWindowEnabled(window.hwnd()));
  // The window's counts are the saved map's; the bad range is exactly the injected one.
  const test::Bytes bytes = test::ReadFileBytes(map);
  BackupMap saved;
  std::vector<SpeedPoint> curve;
  std::string why;
  ASSERT_EQ(ParseSurfaceMap(std::string(bytes.begin(), bytes.end()), saved, curve, why), 0) << why;
  EXPECT_EQ(saved.RunsWithin(0, saved.SectorCount(), SectorState::kBad), (std::vector<SectorRun>{{100, 8, SectorState::kBad}}));
  EXPECT_GT(saved.Count(SectorState::kSlow), 0u);
  const std::pair<const wchar_t*, SectorState> labels[] = {
      {L"良好", SectorState::kDone}, {L"低速", SectorState::kSlow}, {L"再試行で読込", SectorState::kRecovered},
      {L"読込不可", SectorState::kBad}, {L"未検査", SectorState::kNotTried}};
  for (const auto& [label, state] : labels)
    EXPECT_EQ(CountAfter(status, label), static_cast<long long>(saved.Count(state))) << static_cast<int>(state);
  EXPECT_GT(fs::file_size(svg), 0u);
  EXPECT_FALSE(fs::exists(dir / "disc.svg"));
  EXPECT_TRUE(test::ReadFileBytes(disc) == content);

  // キャンセル part way: the window says so and keeps what was read; the close box ends it.
  test::WithDriver(
      [&](DWORD ui) {
        HWND scan = test::WaitForWindow(ui, kSurfaceClass);
        ASSERT_NE(scan, nullptr);
        HWND line = GetDlgItem(scan, kIdSurfaceStatus);
        ASSERT_TRUE(WaitFor([&] { return CountAfter(WindowText(line), L"良好") > 0; }));
        test::PressButton(scan, kIdSurfaceStop);
        ASSERT_TRUE(WaitFor([&] { return WindowText(line).find(L"中止しました") != std::wstring::npos; }));
        status = WindowText(line);
        PostMessageW(scan, WM_CLOSE, 0, 0);
      },
      [&] { return SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(kCmdSurfaceScan, 0), 0); });
  EXPECT_GT(CountAfter(status, L"良好"), 0) << status.size();
  EXPECT_GT(CountAfter(status, L"未検査"), 0) << status.size();
  EXPECT_TRUE(IsWindowEnabled(window.hwnd()));
  window.Destroy();
  test::Pump();
}

}  // namespace
}  // namespace orv
