// The disc erase from the main window's button, driven as a user drives it, on a virtual drive
// whose disc is a raw image file: Yes to saving, a path typed into the save dialog, Yes to the
// confirmation, OK to the final box. Afterwards the backup decodes to the sectors the disc had
// and those sectors are zero. Screenshots of the three boxes go to the build's screenshots folder.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/app_shell.h"
#include "app/main_window.h"
#include "device/drive_list.h"
#include "gui_driver.h"
#include "image/image_check.h"
#include "image/image_file.h"
#include "image/image_test_support.h"
#include "operations/erase_regions.h"
#include "screenshot.h"
#include "toolkit/win32/wide.h"

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::Click;
using test::PressButton;
using test::Pump;
using test::WaitForWindow;
using test::WindowText;
using test::WithDriver;

constexpr uint64_t kSectors = 300;
constexpr uint32_t kSectorSize = 2048;
// The save dialog's file name field (edt1 of the system's dialog template).
constexpr int kFileNameField = 0x480;
// The same field in the dialog's newer template, an editable combo box (cmb13).
constexpr int kFileNameCombo = 0x47C;

// The blocks of the backup, decoded; empty unless the whole file checks out.
std::vector<std::vector<uint8_t>> Decoded(const fs::path& path, std::vector<BlockHeader>& headers) {
  ImageCheck check;
  if (CheckImage(path, CheckDepth::kData, check) != 0 || !check.Good()) return {};
  std::vector<std::vector<uint8_t>> blocks;
  ImageFile image;
  if (image.OpenForRead(path) != 0) return {};
  while (const BlockHeader* header = image.NextBlock()) {
    headers.push_back(*header);
    std::vector<uint8_t> data(65536), all;
    int64_t n;
    while ((n = image.ReadBlockData(data.size(), data.data())) > 0) all.insert(all.end(), data.begin(), data.begin() + n);
    image.EndReadBlock();
    blocks.push_back(std::move(all));
  }
  image.CloseReader();
  return blocks;
}

// What the user meets on the way: the question's caption, the save dialog's title, and whether
// the main window stayed disabled while each box was up.
struct EraseBoxes {
  std::wstring saveCaption, dialogTitle;
  bool ownerDisabled = true;
};

// Yes to saving, `backup` typed into the save dialog, Yes to the confirmation, OK to the final box.
void AnswerEraseBoxes(DWORD ui, HWND owner, const fs::path& backup, EraseBoxes& seen) {
  HWND save = WaitForWindow(ui, L"dlgbox");
  ASSERT_NE(save, nullptr);
  seen.saveCaption = WindowText(save);
  seen.ownerDisabled = seen.ownerDisabled && !IsWindowEnabled(owner);
  Sleep(300);
  test::SaveScreenshot(test::ScreenshotFolder() / "erase-save-question.png", test::AroundWindows(owner, save));
  PressButton(save, kIdYes);

  HWND dialog = WaitForWindow(ui, L"#32770");
  ASSERT_NE(dialog, nullptr);
  seen.dialogTitle = WindowText(dialog);
  // The dialog window exists before its controls do: wait for the name field.
  HWND field = nullptr;
  test::WaitFor([&] {
    field = GetDlgItem(dialog, kFileNameField);
    if (field == nullptr) field = GetDlgItem(dialog, kFileNameCombo);
    return field != nullptr;
  });
  ASSERT_NE(field, nullptr);
  ASSERT_TRUE(SetWindowTextW(field, fs::absolute(backup).c_str()));
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);

  HWND confirm = WaitForWindow(ui, L"dlgbox", {save});
  ASSERT_NE(confirm, nullptr);
  seen.ownerDisabled = seen.ownerDisabled && !IsWindowEnabled(owner);
  Sleep(300);
  test::SaveScreenshot(test::ScreenshotFolder() / "erase-confirmation.png", test::AroundWindows(owner, confirm));
  PressButton(confirm, kIdYes);

  // The progress box (it has the bar) comes and goes; then the final box.
  HWND final = nullptr;
  test::WaitFor(
      [&] {
        test::ClassQuery query{L"dlgbox", true, {}};
        EnumThreadWindows(ui, test::CollectByClass, reinterpret_cast<LPARAM>(&query));
        for (HWND h : query.found)
          if (h != save && h != confirm && test::Children(h, L"msctls_progress32").empty()) final = h;
        return final != nullptr;
      },
      30000);
  ASSERT_NE(final, nullptr);
  Sleep(300);
  test::SaveScreenshot(test::ScreenshotFolder() / "erase-final-box.png", test::AroundWindows(owner, final));
  PressButton(final, kIdOk);
}

// The disc: the regions zero, every other sector as it was. The backup: one block per region,
// decoding to the sectors the disc had.
void ExpectErasedWithBackup(const fs::path& disc, const fs::path& backup, const std::vector<uint8_t>& before) {
  const std::vector<uint8_t> after = test::ReadWholeFile(disc);
  std::vector<uint8_t> expected = before;
  const std::vector<EraseRegion> regions = EraseRegionsOf(kSectors, kSectorSize);
  for (const EraseRegion& r : regions)
    std::fill_n(expected.begin() + static_cast<ptrdiff_t>(r.firstSector * kSectorSize), r.sectorCount * kSectorSize,
                uint8_t{0});
  EXPECT_TRUE(after == expected);
  std::vector<BlockHeader> headers;
  const auto blocks = Decoded(backup, headers);
  ASSERT_EQ(blocks.size(), regions.size());
  for (size_t i = 0; i < regions.size(); ++i) {
    EXPECT_EQ(headers[i].firstSector, regions[i].firstSector);
    const auto first = before.begin() + static_cast<ptrdiff_t>(regions[i].firstSector * kSectorSize);
    EXPECT_TRUE(blocks[i] == std::vector<uint8_t>(first, first + regions[i].sectorCount * kSectorSize)) << i;
  }
}

TEST(EraseWindow, YesAPathAndYesEraseTheDiscWithAVerifiedBackup) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const fs::path dir = fs::path(temp) / L"orvane-gui-erase";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path disc = dir / L"disc.img";
  const fs::path backup = dir / L"消去前.ovi";
  std::vector<uint8_t> before(kSectors * kSectorSize);
  uint32_t x = 12345;
  for (uint8_t& b : before) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 16);
  test::WriteWholeFile(disc, before);

  OrvaneApp app;
  app.virtualDrives = "E=dvdram:" + Narrow(disc.wstring());
  ASSERT_EQ(app.Initialise(GetModuleHandleW(nullptr)), 0);
  MainWindow* window = app.mainWindow.get();
  Pump();
  ASSERT_EQ(window->list().RowCount(), 1);
  const RECT row = window->list().RowRect(0);
  Click(window->list().hwnd(), 40, (row.top + row.bottom) / 2);
  Pump();
  ASSERT_EQ(window->button(3).IsEnabled(), 1);

  EraseBoxes seen;
  WithDriver([&](DWORD ui) { AnswerEraseBoxes(ui, window->hwnd(), backup, seen); },
             [&] {
               SendMessageW(window->hwnd(), WM_COMMAND, MAKEWPARAM(kCmdDiscErase, 0), 0);
               return 0;
             });
  EXPECT_EQ(seen.saveCaption, L"Orvane - DVD-RAM Utility");
  EXPECT_EQ(seen.dialogTitle, L"消去情報の保存");
  EXPECT_TRUE(seen.ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(window->hwnd()));  // given back after the final box
  ExpectErasedWithBackup(disc, backup, before);

  window->Destroy();
  Pump();
  // The program keeps its virtual drive's disc file open until it ends: what stays is removed
  // by the next run's start.
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}

}  // namespace
}  // namespace orv
