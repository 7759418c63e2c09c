// "イメージ書込" through the main window, driven as a user drives it: the drive chosen in the
// list, the button pressed, a file chosen in the open dialog, the confirmation answered, the
// progress box watched (and once cancelled), the final box closed. The disc is a file-backed
// virtual DVD-RAM with its timing model on, so the transfer takes as long as on a real drive.
// Pictures of every step go to build/win64/screenshots/.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

#include "app/app_shell.h"
#include "app/main_window.h"
#include "device/drive_list.h"
#include "device/ports/virtual_port.h"
#include "gui_driver.h"
#include "operations/image_write_rig.h"
#include "screenshot.h"
#include "toolkit/win32/wide.h"

namespace orv {
namespace {

using test::Bytes;
using test::Click;
using test::PressButton;
using test::Pump;
using test::WaitFor;
using test::WaitForBox;
using test::WindowText;

constexpr uint32_t kSector = 2048;

class ImageWriteWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::ScratchDir(testing::UnitTest::GetInstance()->current_test_info()->name());
    disc_ = dir_ / "disc.img";
  }
  void Start(uint64_t sectors) {
    test::WriteFileBytes(disc_, test::PatternedDisc(sectors, kSector, 2));
    app_ = std::make_unique<OrvaneApp>();
    app_->virtualDrives = "E=" + std::string("dvdram:") + disc_.string();
    ASSERT_EQ(app_->Initialise(GetModuleHandleW(nullptr)), 0);
    window_ = app_->mainWindow.get();
    auto& port = dynamic_cast<VirtualPort&>(app_->driveList->Device().Port());
    port.Drive('E')->SetTimingEnabled(true);
    Pump();
    const RECT row = window_->list().RowRect(0);
    Click(window_->list().hwnd(), 40, (row.top + row.bottom) / 2);
    Pump();
    ASSERT_EQ(window_->list().selectedRow(), 0);
  }
  void TearDown() override {
    if (window_ && window_->hwnd()) window_->Destroy();
    Pump();
    app_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  // Presses "イメージ書込" and runs the command to its end on this thread while `steps` drive it.
  void PressImageWrite(const std::function<void(DWORD)>& steps) {
    test::WithDriver(steps, [&] {
      Click(window_->button(2).hwnd());
      // The command runs inside the click's handling; the loop ends when its last box is gone.
      MSG msg;
      while (!done_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      return 0;
    });
  }

  std::filesystem::path dir_, disc_;
  std::unique_ptr<OrvaneApp> app_;
  MainWindow* window_ = nullptr;
  std::atomic<bool> done_{false};
};

// The erase's backup (head 0-63, tail 936-999) goes back through the window byte for byte.
TEST_F(ImageWriteWindowTest, BackupGoesBackToTheDisc) {
  Start(1000);
  const Bytes before = test::ReadFileBytes(disc_);
  test::WriteBackup(dir_ / "backup.ovi", before, kSector, test::EraseRuns(1000, kSector));
  {
    Bytes erased = before;
    std::fill(erased.begin(), erased.begin() + 64 * kSector, 0);
    std::fill(erased.begin() + 936 * kSector, erased.end(), 0);
    // The drive reads its file through its own handle: write the sectors through the drive.
    auto& port = dynamic_cast<VirtualPort&>(app_->driveList->Device().Port());
    Medium& medium = *port.Drive('E')->GetMedium();
    for (uint64_t lba : {0ull, 936ull}) ASSERT_EQ(medium.Write(lba, 64, erased.data() + lba * kSector), 0);
  }
  ASSERT_FALSE(test::ReadFileBytes(disc_) == before);

  std::wstring dialogTitle, confirmCaption, finalCaption, buttonLabel;
  bool sawProgress = false;
  PressImageWrite([&](DWORD ui) {
    ASSERT_TRUE(test::ChooseInFileDialog(ui, dir_ / "backup.ovi", dialogTitle, "image-write-open-dialog.png"));
    HWND confirm = WaitForBox(ui, false);
    ASSERT_NE(confirm, nullptr);
    confirmCaption = WindowText(confirm);
    Sleep(300);  // painted
    test::SaveScreenshotAround(test::ScreenshotFolder() / "image-write-confirm.png", window_->hwnd());
    PressButton(confirm, kIdYes);
    WaitFor([&] { return !IsWindow(confirm); });
    // The progress box may come and go within a few hundred milliseconds.
    HWND progress = WaitForBox(ui, true, {}, 3000);
    sawProgress = progress != nullptr;
    if (progress) buttonLabel = WindowText(GetDlgItem(progress, kIdOk));
    HWND final = WaitForBox(ui, false);
    ASSERT_NE(final, nullptr);
    finalCaption = WindowText(final);
    Sleep(300);
    test::SaveScreenshotAround(test::ScreenshotFolder() / "image-write-completed.png", window_->hwnd());
    PressButton(final, kIdOk);
    WaitFor([&] { return !IsWindow(final); });
    done_ = true;
    PostThreadMessageW(ui, WM_NULL, 0, 0);
  });
  EXPECT_EQ(dialogTitle, L"イメージファイルの指定");
  EXPECT_EQ(confirmCaption, L"確認");
  EXPECT_EQ(finalCaption, L"Orvane - DVD-RAM Utility");
  if (sawProgress) EXPECT_EQ(buttonLabel, L"キャンセル");
  EXPECT_TRUE(test::ReadFileBytes(disc_) == before);
  EXPECT_TRUE(IsWindowEnabled(window_->hwnd()));
  // The dialog opens where the system last left off from now on.
  EXPECT_EQ(app_->imageOpenDialog.initialDirectory, "");
}

// A long write (48 MiB at the drive's 6.9 MB/s): the progress box shows the sector count and,
// after more than 5 s, the remaining time; its button stops the write before the next transfer.
TEST_F(ImageWriteWindowTest, ProgressBoxShowsTheRemainingTimeAndCancels) {
  constexpr uint64_t kSectors = 24576;
  Start(kSectors);
  const Bytes image = test::PatternedDisc(kSectors, kSector, 3);
  test::WriteFileBytes(dir_ / "large.img", image);
  std::wstring finalCaption;
  PressImageWrite([&](DWORD ui) {
    std::wstring title;
    ASSERT_TRUE(test::ChooseInFileDialog(ui, dir_ / "large.img", title));
    HWND confirm = WaitForBox(ui, false);
    ASSERT_NE(confirm, nullptr);
    PressButton(confirm, kIdYes);
    WaitFor([&] { return !IsWindow(confirm); });
    HWND progress = WaitForBox(ui, true);
    ASSERT_NE(progress, nullptr);
    Sleep(6500);
    test::SaveScreenshotAround(test::ScreenshotFolder() / "image-write-progress.png", window_->hwnd());
    PressButton(progress, kIdOk);
    WaitFor([&] { return !IsWindow(progress); });
    HWND final = WaitForBox(ui, false);
    ASSERT_NE(final, nullptr);
    finalCaption = WindowText(final);
    Sleep(300);
    test::SaveScreenshotAround(test::ScreenshotFolder() / "image-write-interrupted.png", window_->hwnd());
    PressButton(final, kIdOk);
    WaitFor([&] { return !IsWindow(final); });
    done_ = true;
    PostThreadMessageW(ui, WM_NULL, 0, 0);
  });
  EXPECT_EQ(finalCaption, L"Orvane - DVD-RAM Utility");
  // Some whole transfers are on the disc, and not all of them.
  const Bytes disc = test::ReadFileBytes(disc_);
  size_t same = 0;
  while (same < kSectors && std::equal(image.begin() + static_cast<std::ptrdiff_t>(same * kSector),
                                       image.begin() + static_cast<std::ptrdiff_t>((same + 1) * kSector),
                                       disc.begin() + static_cast<std::ptrdiff_t>(same * kSector)))
    ++same;
  EXPECT_GT(same, 0u);
  EXPECT_LT(same, kSectors);
  EXPECT_EQ(same % 32, 0u);
}

}  // namespace
}  // namespace orv
