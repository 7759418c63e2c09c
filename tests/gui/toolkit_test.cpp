// The Windows toolkit under Wine: the dialog box (the buttons a style shows, what pressing them
// returns, its owner), the grid list as its owner hears it, the clipboard, the progress button, the file choice.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui_driver.h"
#include "toolkit/win32/clipboard.h"
#include "toolkit/win32/dlgbox.h"
#include "toolkit/win32/file_dialog.h"
#include "toolkit/win32/grid_list.h"
#include "toolkit/win32/theme.h"
#include "toolkit/win32/wide.h"
#include "toolkit/win32/win_ui.h"

namespace orv {
namespace {

using test::PressButton;
using test::Pump;
using test::WaitForWindow;
using test::WindowText;
using test::WithDriver;

// Escape answers Cancel, never the default Yes.
TEST(DlgBox, StyleShowsItsButtonsAndReturnsThePressedId) {
  constexpr int kEscape = 0;
  struct {
    const char* name;
    uint32_t style;
    const char* slotZeroLabel;  // nullptr: the default
    std::vector<int> ids;
    std::vector<std::wstring> labels;
    int systemIcon, press;  // the icon's id (0: none); the button pressed, or kEscape
    uint32_t want;
  } cases[] = {
      {"question yes", 0x24, nullptr, {6, 7}, {L" はい ", L"いいえ"}, 32514, 6, 6},
      {"question escape", 0x24, nullptr, {6, 7}, {L" はい ", L"いいえ"}, 32514, kEscape, kIdCancel},
      {"error ok", 0x10, nullptr, {1}, {L"  OK  "}, 32513, 1, 1},
      {"yes no cancel", 0x33, nullptr, {6, 7, 2}, {L" はい ", L"いいえ", L"キャンセル"}, 32515, 2, 2},
      {"custom slot 0", 0x00, "キャンセル", {1}, {L"キャンセル"}, 0, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> ids;
    std::vector<std::wstring> labels;
    DlgBox box;
    if (c.slotZeroLabel) box.labels[0] = c.slotZeroLabel;
    const uint32_t result = WithDriver(
        [&](DWORD ui) {
          HWND h = WaitForWindow(ui, L"dlgbox");
          ASSERT_NE(h, nullptr);
          for (HWND b = nullptr; (b = FindWindowExW(h, b, L"mokit_nbtn", nullptr)) != nullptr;) {
            ids.push_back(GetDlgCtrlID(b));
            labels.push_back(WindowText(b));
          }
          if (c.press == kEscape) PostMessageW(GetDlgItem(h, 6), WM_KEYDOWN, VK_ESCAPE, 1);
          else PressButton(h, c.press);
        },
        [&] { return box.RunModal(nullptr, "テスト", "確認", c.style); });
    EXPECT_EQ(result, c.want);
    EXPECT_EQ(ids, c.ids);
    EXPECT_EQ(labels, c.labels);
    EXPECT_EQ(box.ShownIcon(), c.systemIcon ? LoadIconW(nullptr, MAKEINTRESOURCEW(c.systemIcon)) : nullptr);
  }
  DlgBox custom;  // an icon of its own is shown instead of the style's
  custom.style = 0x10;
  custom.icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32516));
  EXPECT_EQ(custom.ShownIcon(), custom.icon);
}

TEST(DlgBox, QuitEndsTheBoxAndStillReachesTheApplicationLoop) {
  DlgBox box;
  const uint32_t result = WithDriver(
      [&](DWORD ui) {
        ASSERT_NE(WaitForWindow(ui, L"dlgbox"), nullptr);
        PostThreadMessageW(ui, WM_QUIT, 3, 0);
      },
      [&] { return box.RunModal(nullptr, "終了しますか？", "確認", 0x24); });
  EXPECT_EQ(result, kIdClosed);
  EXPECT_EQ(box.hwnd(), nullptr);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
}

// The owner disabled while the box is up, then as it was before; the box inside the work area
// where the owner reaches outside it.
TEST(DlgBox, OpensOverItsOwnerAndGivesItBackAsItWas) {
  RECT work, r;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  for (const bool enabledBefore : {true, false}) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, work.left - 500,
                                 work.bottom - 50, 600, 400, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    EnableWindow(owner, enabledBefore);
    DlgBox box;
    ASSERT_EQ(box.OpenModeless(owner, "配置", "テスト", 0), 0);
    EXPECT_FALSE(IsWindowEnabled(owner)) << enabledBefore;
    GetWindowRect(box.hwnd(), &r);
    EXPECT_TRUE(r.left >= work.left && r.bottom <= work.bottom) << r.left << "," << r.bottom;
    box.CloseModeless();
    EXPECT_EQ(IsWindowEnabled(owner) != FALSE, enabledBefore);
    DestroyWindow(owner);
  }
}

// Measured at its widest line instead of its width, a box would cut off the lines it wraps into.
TEST(DlgBox, FixedWidthBoxHoldsEveryWrappedLine) {
  std::string message = "ORVANE  VIRTUAL DVD-RAM  1.01\r\n\r\nfile:";
  for (int i = 0; i < 12; ++i) message += " word" + std::to_string(i);
  message += "\r\n\r\nlast line";
  DlgBox box;
  box.width = 300;
  ASSERT_EQ(box.OpenModeless(nullptr, message, "test", kBoxYesNo | kBoxIconQuestion), 0);
  const RECT shown = box.MessageRect();
  HDC dc = GetDC(box.hwnd());
  HGDIOBJ old = SelectObject(dc, theme::UiFont());
  const std::wstring text = Widen(message);
  RECT needed{0, 0, shown.right - shown.left, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  SelectObject(dc, old);
  ReleaseDC(box.hwnd(), dc);
  EXPECT_GE(shown.bottom - shown.top, needed.bottom - needed.top);
  RECT window;
  GetWindowRect(box.hwnd(), &window);
  EXPECT_EQ(window.right - window.left, 300);
  box.CloseModeless();
}

// What the list's owner heard through WM_COMMAND, as (row, code).
std::vector<std::pair<int, int>> heard;

LRESULT CALLBACK RecordingOwner(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_COMMAND && lp) heard.emplace_back(LOWORD(wp), HIWORD(wp));
  return DefWindowProcW(h, m, wp, lp);
}

class GridListTest : public testing::Test {
 protected:
  void SetUp() override {
    owner = CreateWindowExW(0, L"STATIC", L"recorder", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 500, 300, nullptr,
                            nullptr, nullptr, nullptr);
    SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingOwner));
    ASSERT_EQ(list.Create(owner, 103, 0, 0, 480, 200, 0x11, nullptr), 0);
    list.Show(SW_SHOW);
    for (int c = 0; c < 3; ++c) list.SetColumnWidth(c, 100);
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) list.SetCellText(r, c, "cell");
    heard.clear();
  }
  void TearDown() override {
    list.Destroy();
    DestroyWindow(owner);
  }
  HWND owner = nullptr;
  GridList list;
};

TEST_F(GridListTest, ClicksSendSelectionChangesAndTheClick) {
  struct Step {
    const char* what;
    int row;  // 3: below the last row
    WPARAM keys;
    std::vector<std::pair<int, int>> expected;
  } steps[] = {
      {"first choice", 1, 0, {{1, 6}, {1, 3}}},
      {"same row again", 1, 0, {{1, 3}}},
      {"another row", 2, 0, {{1, 5}, {2, 6}, {2, 3}}},
      {"empty area removes the choice", 3, 0, {{2, 5}}},
      {"choice again", 0, 0, {{0, 6}, {0, 3}}},
      {"ctrl on the chosen row removes it", 0, MK_CONTROL, {{0, 5}}},
  };
  for (const Step& s : steps) {
    heard.clear();
    test::ClickRow(list, s.row, s.keys);
    EXPECT_EQ(heard, s.expected) << s.what;
  }
  EXPECT_EQ(list.selectedRow(), -1);
}

TEST_F(GridListTest, DoubleClickAndKeysChooseRowsButSetSelectionSendsNothing) {
  const RECT r = list.RowRect(2);
  SendMessageW(list.hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(250, (r.top + r.bottom) / 2));
  EXPECT_EQ(heard, (std::vector<std::pair<int, int>>{{2, 6}, {2, 4}}));
  EXPECT_EQ(list.selectedColumn(), 2);
  heard.clear();
  SendMessageW(list.hwnd(), WM_KEYDOWN, VK_UP, 0);
  SendMessageW(list.hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(heard, (std::vector<std::pair<int, int>>{{2, 5}, {1, 6}, {1, 5}}));
  heard.clear();
  list.SetSelection(1, 0);
  list.SetSelection(-1, -1);
  Pump();
  EXPECT_TRUE(heard.empty());
}

// Refused without an owner window; with one, the same text in both formats, and a shorter text
// replaces all of the earlier one.
TEST(Clipboard, PutTextGivesTheSameTextInBothFormats) {
  EXPECT_EQ(Clipboard().PutText(2, "ab"), -1);
  HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  Clipboard clipboard(owner);
  const std::string rows = "ベンチマーク\tE:\r\nシーク時間  12.3ms\r\n";
  ASSERT_EQ(clipboard.PutText(rows.size(), rows.c_str()), 0);
  EXPECT_EQ(test::ClipboardText<wchar_t>(CF_UNICODETEXT), L"ベンチマーク\tE:\r\nシーク時間  12.3ms\r\n");
  EXPECT_EQ(test::ClipboardText(), rows);
  ASSERT_EQ(clipboard.PutText(3, "abcdef"), 0);
  EXPECT_EQ(test::ClipboardText<wchar_t>(CF_UNICODETEXT), L"abc");
  EXPECT_EQ(test::ClipboardText(), "abc");
  EXPECT_EQ(GetOpenClipboardWindow(), nullptr);
  DestroyWindow(owner);
}

// The progress box's button tells the operation (the erase stops before its next zero on it).
TEST(WinUi, ProgressButtonTellsTheOperation) {
  WinUi ui;
  bool told = false;
  const std::unique_ptr<ProgressBox> box = ui.OpenProgress({"消去しています。", "消去", "キャンセル", true, 400},
                                                           [&] { told = true; });
  ASSERT_NE(box, nullptr);
  HWND h = WaitForWindow(GetCurrentThreadId(), L"dlgbox");
  EXPECT_EQ(WindowText(GetDlgItem(h, kIdOk)), L"キャンセル");
  PressButton(h, kIdOk);
  EXPECT_TRUE(test::WaitFor([&] {
    Pump();
    return told;
  }));
}

// A cancelled file dialog leaves the proposed path (OK: the erase walk of test_gui_disc).
TEST(WinUi, FileChoiceCancelledKeepsTheProposedPath) {
  WinUi ui;
  FileChoiceSpec choice{"イメージファイルの指定", "ovi", {{"イメージファイル(*.ovi)", "*.ovi"}, {"すべて", "*.*"}}};
  std::filesystem::path path = L"backup.ovi";
  std::wstring title;
  const int rc = WithDriver(
      [&](DWORD thread) {
        HWND dialog = WaitForWindow(thread, L"#32770");
        ASSERT_NE(dialog, nullptr);
        title = WindowText(dialog);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      },
      [&] { return ui.ChooseSaveFile(choice, path); });
  EXPECT_EQ(title, L"イメージファイルの指定");
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(path, std::filesystem::path(L"backup.ovi"));
}

}  // namespace
}  // namespace orv
