// The dialog box: the buttons a style shows, what pressing them returns, where the box appears,
// what happens to its owner.
#include <gtest/gtest.h>

#include "gui_driver.h"
#include "toolkit/win32/dlgbox.h"
#include "toolkit/win32/theme.h"
#include "toolkit/win32/wide.h"

namespace orv {
namespace {

using test::Children;
using test::PressButton;
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
    int systemIcon;  // 0: none
    int press;       // the button pressed, or kEscape
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
          for (HWND b : Children(h, L"mokit_nbtn")) {
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

TEST(DlgBox, HelpButtonShowsHelpAndKeepsTheBoxOpen) {
  DlgBox box;
  box.helpText = "ヘルプの本文";
  bool stillOpenAfterHelp = false;
  std::wstring helpMessageBox;
  const uint32_t result = WithDriver(
      [&](DWORD ui) {
        HWND h = WaitForWindow(ui, L"dlgbox");
        HWND help = GetDlgItem(h, 9);
        ASSERT_NE(help, nullptr);
        EXPECT_EQ(WindowText(help), L"ヘルプ");
        PressButton(h, 9);
        HWND helpBox = WaitForWindow(ui, L"dlgbox", {h});
        ASSERT_NE(helpBox, nullptr);
        helpMessageBox = WindowText(helpBox);
        PressButton(helpBox, 1);
        test::WaitFor([&] { return !IsWindow(helpBox); });
        stillOpenAfterHelp = IsWindow(h) && IsWindowVisible(h);
        PressButton(h, 1);
      },
      [&] { return box.RunModal(nullptr, "本文", "ヘルプ付き", 0); });
  EXPECT_TRUE(stillOpenAfterHelp);
  EXPECT_EQ(helpMessageBox, L"ヘルプ");
  EXPECT_EQ(result, 1u);
}

TEST(DlgBox, EnterInTheInputFieldReturnsOneWithTheText) {
  DlgBox box;
  box.inputField = true;
  box.style = 0x03;  // Yes, No, Cancel: Enter still answers 1
  const uint32_t result = WithDriver(
      [&](DWORD ui) {
        HWND h = WaitForWindow(ui, L"dlgbox");
        HWND edit = GetDlgItem(h, DlgBox::kIdInput);
        ASSERT_NE(edit, nullptr);
        test::WaitFor([&] {
          GUITHREADINFO info{sizeof info, 0, {}, {}, {}, {}, {}, {}, {}};
          return GetGUIThreadInfo(ui, &info) && info.hwndFocus == edit;
        });
        for (wchar_t c : std::wstring(L"E:")) PostMessageW(edit, WM_CHAR, c, 1);
        PostMessageW(edit, WM_CHAR, 13, 1);
      },
      [&] { return box.RunModal(nullptr, "ドライブ", "入力", 0x03); });
  EXPECT_EQ(result, 1u);
  EXPECT_EQ(box.InputText(), "E:");
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

HWND MakeOwner(int x, int y, int w, int h) {
  return CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, w, h, nullptr, nullptr,
                         nullptr, nullptr);
}

// Centred over the owner, pushed back inside the work area where the owner reaches outside it;
// the owner disabled while the box is up, then as it was before.
TEST(DlgBox, OpensCentredOverItsOwnerAndGivesItBackAsItWas) {
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const struct {
    POINT at;
    bool enabledBefore;
  } owners[] = {{{(work.left + work.right) / 2 - 300, (work.top + work.bottom) / 2 - 200}, true},
                {{work.left - 500, work.top + 100}, false},
                {{work.right - 100, work.bottom - 50}, true}};
  for (const auto& [at, enabledBefore] : owners) {
    SCOPED_TRACE(at.x);
    HWND owner = MakeOwner(at.x, at.y, 600, 400);
    ASSERT_NE(owner, nullptr);
    EnableWindow(owner, enabledBefore);
    RECT o, r;
    GetWindowRect(owner, &o);
    DlgBox box;
    ASSERT_EQ(box.OpenModeless(owner, "配置", "テスト", 0), 0);
    EXPECT_FALSE(IsWindowEnabled(owner));
    GetWindowRect(box.hwnd(), &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    EXPECT_EQ(r.left, std::clamp<int>((o.left + o.right - w) / 2, work.left, work.right - w));
    EXPECT_EQ(r.top, std::clamp<int>((o.top + o.bottom - h) / 2, work.top, work.bottom - h));
    box.CloseModeless();
    EXPECT_EQ(IsWindowEnabled(owner) != FALSE, enabledBefore);
    EXPECT_EQ(box.hwnd(), nullptr);
    DestroyWindow(owner);
  }
}

// Measured at its widest line instead of its width, a box would cut off the lines it wraps into.
TEST(DlgBox, FixedWidthBoxHoldsEveryWrappedLine) {
  std::string message = "ORVANE  VIRTUAL DVD-RAM  1.01\r\n\r\nfile:";
  for (int i = 0; i < 12; ++i) message += " word" + std::to_string(i);
  message += "\r\n\r\nlast line";
  for (const int width : {400, 300}) {
    DlgBox box;
    box.width = width;
    ASSERT_EQ(box.OpenModeless(nullptr, message, "test", kBoxYesNo | kBoxIconQuestion), 0);
    const RECT shown = box.MessageRect();
    HDC dc = GetDC(box.hwnd());
    HGDIOBJ old = SelectObject(dc, theme::UiFont());
    const std::wstring text = Widen(message);
    RECT needed{0, 0, shown.right - shown.left, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
    SelectObject(dc, old);
    ReleaseDC(box.hwnd(), dc);
    EXPECT_GE(shown.bottom - shown.top, needed.bottom - needed.top) << width;
    RECT window;
    GetWindowRect(box.hwnd(), &window);
    EXPECT_EQ(window.right - window.left, width);
    box.CloseModeless();
  }
}

TEST(DlgBox, StatusTextFromAWorkerKeepsTheOldTextForNull) {
  DlgBox box;
  box.progressBar = true;
  ASSERT_EQ(box.OpenModeless(nullptr, "デバイスを検索しています。", "Scan Device...", 0), 0);
  ASSERT_NE(box.progressBarWindow(), nullptr);
  std::thread worker([&] {
    box.SetStatusText("Scan E: drive", true);
    box.SetStatusText(nullptr, true);
  });
  worker.join();
  EXPECT_EQ(box.StatusText(), "Scan E: drive");
  box.CloseModeless();
}

}  // namespace
}  // namespace orv
