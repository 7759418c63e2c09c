// The dialog box as a user meets it: which buttons a style shows, what pressing them returns,
// where the box appears, and what happens to its owner.
#include <gtest/gtest.h>

#include "gui_driver.h"
#include "toolkit/win32/dlgbox.h"
#include "toolkit/win32/wide.h"

namespace orv {
namespace {

using test::Children;
using test::PressButton;
using test::WaitForWindow;
using test::WindowText;
using test::WithDriver;

struct ButtonCase {
  const char* name;
  uint32_t style;
  std::vector<int> ids;             // the buttons shown, in order
  std::vector<const char*> labels;  // their labels
  int press;                        // the button the user presses
};

class DlgBoxButtons : public testing::TestWithParam<ButtonCase> {};

TEST_P(DlgBoxButtons, StyleShowsItsButtonsAndReturnsThePressedId) {
  const ButtonCase& c = GetParam();
  std::vector<int> ids;
  std::vector<std::wstring> labels;
  DlgBox box;
  const uint32_t result = WithDriver(
      [&](DWORD ui) {
        HWND h = WaitForWindow(ui, L"dlgbox");
        ASSERT_NE(h, nullptr);
        for (HWND b : Children(h, L"mokit_nbtn")) {
          ids.push_back(GetDlgCtrlID(b));
          labels.push_back(WindowText(b));
        }
        PressButton(h, c.press);
      },
      [&] { return box.RunModal(nullptr, "テスト", "確認", c.style); });
  EXPECT_EQ(result, static_cast<uint32_t>(c.press));
  EXPECT_EQ(ids, c.ids);
  ASSERT_EQ(labels.size(), c.labels.size());
  for (size_t i = 0; i < labels.size(); ++i) EXPECT_EQ(labels[i], Widen(c.labels[i])) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Styles, DlgBoxButtons,
    testing::Values(ButtonCase{"QuestionYes", 0x24, {6, 7}, {" はい ", "いいえ"}, 6},
                    ButtonCase{"QuestionNo", 0x24, {6, 7}, {" はい ", "いいえ"}, 7},
                    ButtonCase{"ErrorOk", 0x10, {1}, {"  OK  "}, 1},
                    ButtonCase{"YesNoCancel", 0x33, {6, 7, 2}, {" はい ", "いいえ", "キャンセル"}, 2}),
    [](const testing::TestParamInfo<ButtonCase>& info) { return std::string(info.param.name); });

TEST(DlgBox, IconFollowsTheStyleUnlessOneIsSet) {
  struct {
    uint32_t style;
    int systemIcon;  // 0: none
  } cases[] = {{0x10, 32513}, {0x24, 32514}, {0x30, 32515}, {0x00, 0}, {0x40, 0}};
  for (const auto& c : cases) {
    DlgBox box;
    box.style = c.style;
    HICON expected = c.systemIcon ? LoadIconW(nullptr, MAKEINTRESOURCEW(c.systemIcon)) : nullptr;
    EXPECT_EQ(box.ShownIcon(), expected) << std::hex << c.style;
  }
  DlgBox custom;
  custom.style = 0x10;
  custom.icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32516));
  EXPECT_EQ(custom.ShownIcon(), custom.icon);
}

TEST(DlgBox, CustomSlotZeroLabelKeepsIdOne) {
  DlgBox box;
  box.labels[0] = "キャンセル";
  std::vector<HWND> buttons;
  std::wstring label;
  const uint32_t result = WithDriver(
      [&](DWORD ui) {
        HWND h = WaitForWindow(ui, L"dlgbox");
        buttons = Children(h, L"mokit_nbtn");
        if (HWND b = GetDlgItem(h, 1)) label = WindowText(b);
        PressButton(h, 1);
      },
      [&] { return box.RunModal(nullptr, "デバイスを検索しています。", "Scan Device...", 0); });
  EXPECT_EQ(result, 1u);
  EXPECT_EQ(buttons.size(), 1u);
  EXPECT_EQ(label, L"キャンセル");
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

TEST(DlgBox, EscapeClosesWithCancelNotYes) {
  DlgBox box;
  const uint32_t result = WithDriver(
      [&](DWORD ui) {
        HWND h = WaitForWindow(ui, L"dlgbox");
        PostMessageW(GetDlgItem(h, 6), WM_KEYDOWN, VK_ESCAPE, 1);
      },
      [&] { return box.RunModal(nullptr, "消去しますか？", "確認", 0x24); });
  EXPECT_EQ(result, static_cast<uint32_t>(DlgBox::kIdCancel));
}

TEST(DlgBox, QuitEndsTheBoxAndStillReachesTheApplicationLoop) {
  DlgBox box;
  const uint32_t result = WithDriver(
      [&](DWORD ui) {
        ASSERT_NE(WaitForWindow(ui, L"dlgbox"), nullptr);
        PostThreadMessageW(ui, WM_QUIT, 3, 0);
      },
      [&] { return box.RunModal(nullptr, "終了しますか？", "確認", 0x24); });
  EXPECT_EQ(result, static_cast<uint32_t>(DlgBox::kClosedWithoutButton));
  EXPECT_EQ(box.hwnd(), nullptr);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
}

// An owner window of a plain class for the placement and owner tests.
HWND MakeOwner(int x, int y, int w, int h) {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"orvtestowner";
    return RegisterClassW(&wc) != 0;
  }();
  EXPECT_TRUE(registered);
  HWND owner = CreateWindowExW(0, L"orvtestowner", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y,
                               w, h, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  EXPECT_NE(owner, nullptr);
  return owner;
}

TEST(DlgBox, OpensCentredOverItsOwnerAndKeepsInsideTheWorkArea) {
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  struct {
    const char* name;
    int x, y;
  } cases[] = {{"middle", (work.left + work.right) / 2 - 300, (work.top + work.bottom) / 2 - 200},
               {"left edge", work.left - 500, work.top + 100},
               {"bottom right", work.right - 100, work.bottom - 50}};
  for (const auto& c : cases) {
    HWND owner = MakeOwner(c.x, c.y, 600, 400);
    RECT ownerRect;
    GetWindowRect(owner, &ownerRect);
    DlgBox box;
    ASSERT_EQ(box.OpenModeless(owner, "配置", "テスト", 0), 0) << c.name;
    RECT r;
    GetWindowRect(box.hwnd(), &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    int x = (ownerRect.left + ownerRect.right - w) / 2, y = (ownerRect.top + ownerRect.bottom - h) / 2;
    x = std::min<int>(std::max<int>(x, work.left), work.right - w);
    y = std::min<int>(std::max<int>(y, work.top), work.bottom - h);
    EXPECT_EQ(r.left, x) << c.name;
    EXPECT_EQ(r.top, y) << c.name;
    box.CloseModeless();
    DestroyWindow(owner);
  }
}

TEST(DlgBox, DisablesItsOwnerAndRestoresItsEarlierState) {
  for (const bool enabledBefore : {true, false}) {
    HWND owner = MakeOwner(100, 100, 400, 300);
    EnableWindow(owner, enabledBefore);
    DlgBox box;
    ASSERT_EQ(box.OpenModeless(owner, "処理中", "テスト", 0), 0);
    EXPECT_FALSE(IsWindowEnabled(owner));
    box.CloseModeless();
    EXPECT_EQ(IsWindowEnabled(owner) != FALSE, enabledBefore);
    EXPECT_EQ(box.hwnd(), nullptr);
    DestroyWindow(owner);
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

// A derived box replaces the WM_CLOSE entry of the base table: its close asks first.
class GuardedBox : public DlgBox {
 public:
  int closeRequests = 0;

 protected:
  const MessageTable& Messages() const override {
    static const MessageTable table = [] {
      MessageTable t(DlgBox::ClassMessages());
      t.Add(WM_CLOSE, Thunk<GuardedBox, &GuardedBox::OnGuardedClose>);
      return t;
    }();
    return table;
  }

 private:
  LRESULT OnGuardedClose(UINT m, WPARAM w, LPARAM l) {
    if (++closeRequests < 2) return 0;  // the first request is refused
    return DlgBox::OnClose(m, w, l);
  }
};

TEST(DlgBox, DerivedTableReplacesAHandler) {
  GuardedBox box;
  const uint32_t result = WithDriver(
      [&](DWORD ui) {
        HWND h = WaitForWindow(ui, L"dlgbox");
        PressButton(h, 1);
        test::WaitFor([&] { return box.closeRequests == 1; });
        EXPECT_TRUE(IsWindow(h));
        PressButton(h, 1);
      },
      [&] { return box.RunModal(nullptr, "停止しますか？", "確認", 0); });
  EXPECT_EQ(box.closeRequests, 2);
  EXPECT_EQ(result, 1u);
}

}  // namespace
}  // namespace orv
