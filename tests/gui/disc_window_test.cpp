// The disc commands of the main window on a file-backed virtual DVD-RAM: "消去" and its backup
// written back by "イメージ書込"; from the ファイル(&F) menu the backup and comparison of a disc
// with a bad range, and its surface scan. Pictures of every box go to build/win64/screenshots/.
#include <gtest/gtest.h>

#include <atomic>

#include "app/app_shell.h"
#include "app/main_window.h"
#include "app/surface_window.h"
#include "device/drive_list.h"
#include "device/ports/virtual_port.h"
#include "gui_driver.h"
#include "operations/disc_backup.h"
#include "operations/image_write_rig.h"
#include "operations/surface_map.h"

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::PressButton;
using test::Snap;
using test::WaitFor;
using test::WaitForBox;
using test::WindowText;

constexpr uint32_t kSector = 2048;

// The number after `label` in the status line ("読込不可 8、" gives 8), or -1.
long long CountAfter(const std::wstring& text, const wchar_t* label) {
  size_t at = text.find(std::wstring(label) + L" ");
  if (at == std::wstring::npos) return -1;
  long long n = 0;
  for (at += wcslen(label) + 1; at < text.size() && (iswdigit(text[at]) || text[at] == L','); ++at)
    if (text[at] != L',') n = n * 10 + (text[at] - L'0');
  return n;
}

// The backup or the comparison: `file` chosen, the progress box watched `watchMs`, the final box closed.
void RunWithProgress(MainWindow& window, int command, const fs::path& file, const std::string& name, int watchMs,
                     std::wstring& dialogTitle) {
  test::WithDriver(
      [&](DWORD ui) {
        ASSERT_TRUE(test::ChooseInFileDialog(ui, file, dialogTitle));
        HWND progress = WaitForBox(ui, true);
        ASSERT_NE(progress, nullptr);
        Sleep(static_cast<DWORD>(watchMs));
        test::Snap((name + "-progress.bmp").c_str(), window.hwnd(), progress);
        HWND final = WaitForBox(ui, false, {}, 60000);
        ASSERT_NE(final, nullptr);
        EXPECT_EQ(WindowText(final), L"Orvane - DVD-RAM Utility");
        test::Snap((name + "-final.bmp").c_str(), window.hwnd(), final);
        test::PressButton(final, kIdOk);
      },
      [&] { return SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(command, 0), 0); });
}

class DiscWindowTest : public testing::Test {
 protected:
  void Start(uint64_t sectors, const std::string& faults = "") {
    dir_ = test::ScratchDir(testing::UnitTest::GetInstance()->current_test_info()->name());
    disc_ = dir_ / "disc.map";  // so that a picture disc.svg would put its map on the disc's image
    test::WriteFileBytes(disc_, test::PatternedDisc(sectors, kSector, 2));
    app_ = std::make_unique<OrvaneApp>();
    app_->virtualDrives = "E=dvdram:" + disc_.string() + faults;
    ASSERT_EQ(app_->Initialise(GetModuleHandleW(nullptr)), 0);
    window_ = app_->mainWindow.get();
    test::Pump();
    if (faults.empty()) ChooseDrive();
  }
  void ChooseDrive() {
    test::ClickRow(window_->list(), 0);
    ASSERT_EQ(window_->list().selectedRow(), 0);
  }
  // The timing model on: the transfers take as long as on a real drive.
  void Timed() { dynamic_cast<VirtualPort&>(app_->driveList->Device().Port()).Drive('E')->SetTimingEnabled(true); }
  void TearDown() override {
    if (window_ && window_->hwnd()) window_->Destroy();
    test::Pump();
    app_.reset();
    std::error_code ignored;  // the program holds its disc file open until it ends
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
  }
  // Presses the button and runs its command on this thread until `steps` have answered its boxes.
  void Press(int button, const std::function<void(DWORD)>& steps) {
    std::atomic<bool> done{false};
    test::WithDriver(
        [&](DWORD ui) {
          steps(ui);
          done = true;
          PostThreadMessageW(ui, WM_NULL, 0, 0);
        },
        [&] {
          test::Click(window_->button(button).hwnd());
          MSG msg;
          while (!done && GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
          }
          return 0;
        });
  }
  // The surface window opened from the menu, once its status line counts good sectors; `steps`
  // go on from there with it and its status line.
  void Scan(const std::function<void(DWORD, HWND, HWND)>& steps) {
    test::WithDriver(
        [&](DWORD ui) {
          HWND scan = test::WaitForWindow(ui, kSurfaceClass);
          ASSERT_NE(scan, nullptr);
          HWND line = GetDlgItem(scan, kIdSurfaceStatus);
          ASSERT_TRUE(WaitFor([&] { return CountAfter(WindowText(line), L"良好") > 0; }));
          steps(ui, scan, line);
        },
        [&] { return SendMessageW(window_->hwnd(), WM_COMMAND, MAKEWPARAM(kCmdSurfaceScan, 0), 0); });
  }

  fs::path dir_, disc_;
  std::unique_ptr<OrvaneApp> app_;
  MainWindow* window_ = nullptr;
};

// The erase saves sectors 0-63 and 936-999 of 1000 and zeroes them; its backup goes back whole.
TEST_F(DiscWindowTest, EraseWithBackupThenTheBackupWrittenBack) {
  Start(1000);
  const Bytes before = test::ReadFileBytes(disc_);
  const fs::path backup = dir_ / L"消去前.ovi";
  HWND owner = window_->hwnd();
  std::wstring saveCaption, saveTitle;
  bool ownerDisabled = true;
  Press(3, [&](DWORD ui) {
    HWND save = WaitForBox(ui, false);
    ASSERT_NE(save, nullptr);
    saveCaption = WindowText(save);
    ownerDisabled = !IsWindowEnabled(owner);
    Snap("erase-save-question.bmp", owner, save);
    PressButton(save, kIdYes);
    ASSERT_TRUE(test::ChooseInFileDialog(ui, backup, saveTitle));
    HWND confirm = WaitForBox(ui, false, {save});
    ASSERT_NE(confirm, nullptr);
    ownerDisabled = ownerDisabled && !IsWindowEnabled(owner);
    Snap("erase-confirmation.bmp", owner, confirm);
    PressButton(confirm, kIdYes);
    HWND final = WaitForBox(ui, false, {save, confirm});
    ASSERT_NE(final, nullptr);
    Snap("erase-final-box.bmp", owner, final);
    PressButton(final, kIdOk);
    WaitFor([&] { return !IsWindow(final); });
  });
  EXPECT_EQ(saveCaption, L"Orvane - DVD-RAM Utility");
  EXPECT_EQ(saveTitle, L"消去情報の保存");
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(owner));
  Bytes erased = before;
  std::fill(erased.begin(), erased.begin() + 64 * kSector, 0);
  std::fill(erased.begin() + 936 * kSector, erased.end(), 0);
  ASSERT_TRUE(test::ReadFileBytes(disc_) == erased);

  Timed();  // so that the write's progress box stays up long enough to be read
  std::wstring openTitle, confirmCaption, progressButton = L"キャンセル", finalCaption;
  Press(2, [&](DWORD ui) {
    ASSERT_TRUE(test::ChooseInFileDialog(ui, backup, openTitle, "image-write-open-dialog.bmp"));
    HWND confirm = WaitForBox(ui, false);
    ASSERT_NE(confirm, nullptr);
    confirmCaption = WindowText(confirm);
    Snap("image-write-confirm.bmp", owner, confirm);
    PressButton(confirm, kIdYes);
    // A short write's progress box may come and go within a few hundred milliseconds.
    if (HWND progress = WaitForBox(ui, true, {}, 3000)) progressButton = WindowText(GetDlgItem(progress, kIdOk));
    HWND final = WaitForBox(ui, false, {confirm});
    ASSERT_NE(final, nullptr);
    finalCaption = WindowText(final);
    Snap("image-write-completed.bmp", owner, final);
    PressButton(final, kIdOk);
    WaitFor([&] { return !IsWindow(final); });
  });
  EXPECT_EQ(openTitle, L"イメージファイルの指定");
  EXPECT_EQ(confirmCaption, L"確認");
  EXPECT_EQ(progressButton, L"キャンセル");
  EXPECT_EQ(finalCaption, L"Orvane - DVD-RAM Utility");
  EXPECT_TRUE(test::ReadFileBytes(disc_) == before);
  EXPECT_TRUE(IsWindowEnabled(owner));
  // From now on the dialog opens where the system last left off.
  EXPECT_EQ(app_->imageOpenDialog.initialDirectory, "");
}

TEST_F(DiscWindowTest, FileMenuBackupCompareAndSurfaceScanOfADiscWithABadRange) {
  const fs::path svg = test::ScreenshotFolder() / "surface.svg", map = test::ScreenshotFolder() / "surface.map";
  fs::remove(map);
  fs::remove(svg);  // the dialog would ask whether to replace it
  Start(24576, ":bad=100+8:slow=2000+64+300");  // 48 MiB: about 7 s to read
  Timed();
  const fs::path backup = dir_ / "backup.ovi";
  const Bytes content = test::ReadFileBytes(disc_);
  MainWindow& window = *window_;
  // Above "終了", greyed until a drive is chosen.
  HMENU file = window.menu().PopupMenu(0);
  EXPECT_EQ(GetMenuItemID(file, 0), static_cast<UINT>(kCmdDiscBackup));
  EXPECT_EQ(GetMenuItemID(file, 2), static_cast<UINT>(kCmdSurfaceScan));
  EXPECT_EQ(GetMenuItemID(file, 3), static_cast<UINT>(kCmdExit));
  const int commands[] = {kCmdDiscBackup, kCmdDiscCompare, kCmdSurfaceScan};
  for (int id : commands) EXPECT_TRUE(GetMenuState(file, id, MF_BYCOMMAND) & MF_GRAYED) << id;
  ChooseDrive();
  for (int id : commands) EXPECT_FALSE(GetMenuState(file, id, MF_BYCOMMAND) & MF_GRAYED) << id;

  std::wstring saveTitle, openTitle;
  RunWithProgress(window, kCmdDiscBackup, backup, "backup", 5800, saveTitle);  // past 5 s: the time left shows
  EXPECT_EQ(saveTitle, L"バックアップの保存先");
  const Bytes mapBytes = test::ReadFileBytes(BackupMapPath(backup));
  EXPECT_NE(std::string(mapBytes.begin(), mapBytes.end()).find("\n100 8 bad\n"), std::string::npos);
  RunWithProgress(window, kCmdDiscCompare, backup, "compare", 1000, openTitle);
  EXPECT_EQ(openTitle, L"比較するイメージファイルの指定");
  EXPECT_TRUE(IsWindowEnabled(window.hwnd()));

  std::wstring status;
  Scan([&](DWORD ui, HWND scan, HWND line) {
    EXPECT_NE(WindowText(line).find(L"検査中"), std::wstring::npos) << WindowText(line);
    test::Snap("surface-progress.bmp", scan, nullptr);
    ASSERT_TRUE(WaitFor([&] { return WindowText(line).find(L"終了しました") != std::wstring::npos; }, 60000));
    test::Snap("surface-final.bmp", scan, nullptr);
    test::PressButton(scan, kIdSurfaceSave);
    ASSERT_TRUE(test::ChooseInFileDialog(ui, dir_ / "disc.svg", saveTitle));
    HWND refusal = WaitForBox(ui, false);
    ASSERT_NE(refusal, nullptr);
    test::Snap("surface-refused.bmp", refusal, nullptr);
    test::PressButton(refusal, kIdOk);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(refusal); }));
    test::PressButton(scan, kIdSurfaceSave);
    ASSERT_TRUE(test::ChooseInFileDialog(ui, svg, saveTitle));
    ASSERT_TRUE(WaitFor([&] { return WindowText(line).find(L"保存しました") != std::wstring::npos; }));
    status = WindowText(line);
    test::PressButton(scan, kIdSurfaceClose);
  });
  EXPECT_EQ(saveTitle, L"検査結果の保存先");
  EXPECT_TRUE(IsWindowEnabled(window.hwnd()));
  // The window's counts are the saved map's; the bad range is exactly the injected one.
  const Bytes bytes = test::ReadFileBytes(map);
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
  EXPECT_FALSE(fs::exists(dir_ / "disc.svg"));
  EXPECT_TRUE(test::ReadFileBytes(disc_) == content);

  // キャンセル part way: the window says so and keeps what was read; the close box ends it.
  Scan([&](DWORD, HWND scan, HWND line) {
    test::PressButton(scan, kIdSurfaceStop);
    ASSERT_TRUE(WaitFor([&] { return WindowText(line).find(L"中止しました") != std::wstring::npos; }));
    status = WindowText(line);
    PostMessageW(scan, WM_CLOSE, 0, 0);
  });
  EXPECT_GT(CountAfter(status, L"良好"), 0) << status.size();
  EXPECT_GT(CountAfter(status, L"未検査"), 0) << status.size();
  EXPECT_TRUE(IsWindowEnabled(window.hwnd()));
}

}  // namespace
}  // namespace orv
