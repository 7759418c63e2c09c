// "ディスク検査..." from the main window's ファイル(&F) menu on a file-backed DVD-RAM with a bad
// and a slow range and its timing model on: the window under way and finished (pictures in
// build/win64/screenshots/), its counts against the map it saves, and the picture saved beside.
#include <gtest/gtest.h>

#include "app/app_shell.h"
#include "app/main_window.h"
#include "app/surface_window.h"
#include "device/ports/virtual_port.h"
#include "gui_driver.h"
#include "operations/image_write_rig.h"
#include "operations/surface_map.h"

namespace orv {
namespace {

namespace fs = std::filesystem;
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

TEST(SurfaceWindow, ScansTheDiscLiveAndSavesItsPictureAndMap) {
  const fs::path dir = test::ScratchDir("gui-surface"), disc = dir / "disc.map";  // what a picture disc.svg would put its map on
  const fs::path svg = test::ScreenshotFolder() / "surface.svg", map = test::ScreenshotFolder() / "surface.map";
  fs::remove(map);
  fs::remove(svg);  // the dialog would ask whether to replace it
  test::WriteFileBytes(disc, test::PatternedDisc(12288, 2048, 3));  // 24 MiB: a few seconds to read
  OrvaneApp app;
  app.virtualDrives = "E=dvdram:" + disc.string() + ":bad=100+8:slow=2000+64+300";
  ASSERT_EQ(app.Initialise(GetModuleHandleW(nullptr)), 0);
  MainWindow& window = *app.mainWindow;
  dynamic_cast<VirtualPort&>(app.driveList->Device().Port()).Drive('E')->SetTimingEnabled(true);
  test::Pump();
  // After the backup items, above "終了", greyed until a drive is chosen.
  HMENU file = window.menu().PopupMenu(0);
  EXPECT_EQ(GetMenuItemID(file, 2), static_cast<UINT>(kCmdSurfaceScan));
  EXPECT_EQ(GetMenuItemID(file, 3), static_cast<UINT>(kCmdExit));
  EXPECT_TRUE(GetMenuState(file, kCmdSurfaceScan, MF_BYCOMMAND) & MF_GRAYED);
  const RECT row = window.list().RowRect(0);
  test::Click(window.list().hwnd(), 40, (row.top + row.bottom) / 2);
  test::Pump();
  EXPECT_FALSE(GetMenuState(file, kCmdSurfaceScan, MF_BYCOMMAND) & MF_GRAYED);

  std::wstring status, saveTitle;
  test::WithDriver(
      [&](DWORD ui) {
        HWND scan = test::WaitForWindow(ui, kSurfaceClass);
        ASSERT_NE(scan, nullptr);
        HWND line = GetDlgItem(scan, kIdSurfaceStatus);
        ASSERT_TRUE(test::WaitFor([&] { return CountAfter(WindowText(line), L"良好") > 0; }));
        EXPECT_NE(WindowText(line).find(L"検査中"), std::wstring::npos) << WindowText(line);
        Sleep(300);
        test::SaveScreenshotAround(test::ScreenshotFolder() / "surface-progress.png", scan);
        ASSERT_TRUE(test::WaitFor([&] { return WindowText(line).find(L"終了しました") != std::wstring::npos; }, 60000));
        Sleep(300);
        test::SaveScreenshotAround(test::ScreenshotFolder() / "surface-final.png", scan);
        test::PressButton(scan, kIdSurfaceSave);
        ASSERT_TRUE(test::ChooseInFileDialog(ui, dir / "disc.svg", saveTitle));
        HWND refusal = test::WaitForBox(ui, false);
        ASSERT_NE(refusal, nullptr);
        Sleep(300);
        test::SaveScreenshotAround(test::ScreenshotFolder() / "surface-refused.png", refusal);
        test::PressButton(refusal, kIdOk);
        ASSERT_TRUE(test::WaitFor([&] { return !IsWindow(refusal); }));
        test::PressButton(scan, kIdSurfaceSave);
        ASSERT_TRUE(test::ChooseInFileDialog(ui, svg, saveTitle));
        ASSERT_TRUE(test::WaitFor([&] { return WindowText(line).find(L"保存しました") != std::wstring::npos; }));
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
  EXPECT_TRUE(test::ReadFileBytes(disc) == test::PatternedDisc(12288, 2048, 3));

  // キャンセル part way: the window says so and keeps what was read; the close box ends it.
  test::WithDriver(
      [&](DWORD ui) {
        HWND scan = test::WaitForWindow(ui, kSurfaceClass);
        ASSERT_NE(scan, nullptr);
        HWND line = GetDlgItem(scan, kIdSurfaceStatus);
        ASSERT_TRUE(test::WaitFor([&] { return CountAfter(WindowText(line), L"良好") > 0; }));
        test::PressButton(scan, kIdSurfaceStop);
        ASSERT_TRUE(test::WaitFor([&] { return WindowText(line).find(L"中止しました") != std::wstring::npos; }));
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
