// "消去" and "イメージ書込" from the main window's buttons on a file-backed virtual DVD-RAM: the
// erase's backup written back restores the disc byte for byte; a long write cancelled part way
// stops between transfers. Pictures of every box go to build/win64/screenshots/.
#include <gtest/gtest.h>

#include <atomic>

#include "app/app_shell.h"
#include "app/main_window.h"
#include "device/drive_list.h"
#include "device/ports/virtual_port.h"
#include "gui_driver.h"
#include "operations/image_write_rig.h"

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

class DiscWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::ScratchDir(testing::UnitTest::GetInstance()->current_test_info()->name());
    disc_ = dir_ / "disc.img";
  }
  void Start(uint64_t sectors) {
    test::WriteFileBytes(disc_, test::PatternedDisc(sectors, kSector, 2));
    app_ = std::make_unique<OrvaneApp>();
    app_->virtualDrives = "E=dvdram:" + disc_.string();
    ASSERT_EQ(app_->Initialise(GetModuleHandleW(nullptr)), 0);
    window_ = app_->mainWindow.get();
    test::Pump();
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
    fs::remove_all(dir_, ignored);
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
  // What the image write of `image` showed: Yes to its confirmation; with `cancelAfterMs`, its
  // progress box's button pressed after that long.
  struct Seen {
    std::wstring dialogTitle, confirmCaption, progressButton = L"キャンセル", finalCaption;
  };
  Seen WriteImage(const fs::path& image, int cancelAfterMs = 0) {
    Seen seen;
    HWND owner = window_->hwnd();
    Press(2, [&](DWORD ui) {
      ASSERT_TRUE(test::ChooseInFileDialog(ui, image, seen.dialogTitle,
                                           cancelAfterMs ? nullptr : "image-write-open-dialog.png"));
      HWND confirm = WaitForBox(ui, false);
      ASSERT_NE(confirm, nullptr);
      seen.confirmCaption = WindowText(confirm);
      if (!cancelAfterMs) Snap("image-write-confirm.png", owner, confirm);
      PressButton(confirm, kIdYes);
      WaitFor([&] { return !IsWindow(confirm); });
      // A short write's progress box may come and go within a few hundred milliseconds.
      HWND progress = WaitForBox(ui, true, {}, cancelAfterMs ? 30000 : 3000);
      if (cancelAfterMs) {
        ASSERT_NE(progress, nullptr);
        Sleep(static_cast<DWORD>(cancelAfterMs));
        Snap("image-write-progress.png", owner, progress);
        PressButton(progress, kIdOk);
        WaitFor([&] { return !IsWindow(progress); });
      } else if (progress) {
        seen.progressButton = WindowText(GetDlgItem(progress, kIdOk));
      }
      HWND final = WaitForBox(ui, false);
      ASSERT_NE(final, nullptr);
      seen.finalCaption = WindowText(final);
      Snap(cancelAfterMs ? "image-write-interrupted.png" : "image-write-completed.png", owner, final);
      PressButton(final, kIdOk);
      WaitFor([&] { return !IsWindow(final); });
    });
    return seen;
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
  ASSERT_TRUE(IsWindowEnabled(window_->button(3).hwnd()));
  Press(3, [&](DWORD ui) {
    HWND save = WaitForBox(ui, false);
    ASSERT_NE(save, nullptr);
    saveCaption = WindowText(save);
    ownerDisabled = !IsWindowEnabled(owner);
    Snap("erase-save-question.png", owner, save);
    PressButton(save, kIdYes);
    ASSERT_TRUE(test::ChooseInFileDialog(ui, backup, saveTitle));
    HWND confirm = WaitForBox(ui, false, {save});
    ASSERT_NE(confirm, nullptr);
    ownerDisabled = ownerDisabled && !IsWindowEnabled(owner);
    Snap("erase-confirmation.png", owner, confirm);
    PressButton(confirm, kIdYes);
    HWND final = WaitForBox(ui, false, {save, confirm});
    ASSERT_NE(final, nullptr);
    Snap("erase-final-box.png", owner, final);
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

  Timed();
  const Seen seen = WriteImage(backup);
  EXPECT_EQ(seen.dialogTitle, L"イメージファイルの指定");
  EXPECT_EQ(seen.confirmCaption, L"確認");
  EXPECT_EQ(seen.progressButton, L"キャンセル");
  EXPECT_EQ(seen.finalCaption, L"Orvane - DVD-RAM Utility");
  EXPECT_TRUE(test::ReadFileBytes(disc_) == before);
  EXPECT_TRUE(IsWindowEnabled(owner));
  // From now on the dialog opens where the system last left off.
  EXPECT_EQ(app_->imageOpenDialog.initialDirectory, "");
}

// 48 MiB at the drive's 6.9 MB/s: past 5 s the progress box shows the remaining time; its
// button stops the write between transfers of 32 sectors.
TEST_F(DiscWindowTest, LongWriteCancelledPartWay) {
  constexpr uint64_t kSectors = 24576;
  Start(kSectors);
  Timed();
  const Bytes image = test::PatternedDisc(kSectors, kSector, 3);
  test::WriteFileBytes(dir_ / "large.img", image);
  EXPECT_EQ(WriteImage(dir_ / "large.img", 6500).finalCaption, L"Orvane - DVD-RAM Utility");
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
