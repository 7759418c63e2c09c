// The main window over virtual drives: rows clicked, buttons pressed, the close box answered.
#include <gtest/gtest.h>

#include <array>

#include "app/app_shell.h"
#include "app/drive_summary.h"
#include "app/main_window.h"
#include "device/drive_list.h"
#include "gui_driver.h"
#include "toolkit/win32/dlgbox.h"
#include "toolkit/win32/wide.h"

namespace orv {
namespace {

using test::Click;
using test::Pump;
using test::PressButton;
using test::WaitForWindow;
using test::WindowText;
using test::WithDriver;

constexpr char kDrives[] = "E=dvdram,F=dvdrom,G=hdd,H=nodisc";

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    app = std::make_unique<OrvaneApp>();
    app->virtualDrives = kDrives;
    ASSERT_EQ(app->Initialise(GetModuleHandleW(nullptr)), 0);
    window = app->mainWindow.get();
    Pump();
  }
  void TearDown() override {
    if (window && window->hwnd()) window->Destroy();
    Pump();
    app.reset();
  }
  GridList& list() { return window->list(); }
  void ClickRow(int row) { test::ClickRow(list(), row); }
  std::array<bool, 5> Enabled() {
    std::array<bool, 5> on{};
    for (int i = 0; i < 5; ++i) on[static_cast<size_t>(i)] = window->button(i).IsEnabled() == 1;
    return on;
  }

  std::unique_ptr<OrvaneApp> app;
  MainWindow* window = nullptr;
};

TEST_F(MainWindowTest, StartUpListsEveryVirtualDriveWithItsCells) {
  const std::array<const char*, 5> expected[] = {
      {"E:", "ORVANE   VIRTUAL DVD-RAM  1.01", "CD/DVD-ROM Drive", "RMB", "   4.7G"},
      {"F:", "ORVANE   VIRTUAL DVD-ROM  1.01", "CD/DVD-ROM Drive", "RMB", "   8.5G"},
      {"G:", "ORVANE   VIRTUAL DISK     1.01", "Direct access device", "FIX", "   8.5G"},
      {"H:", "ORVANE   VIRTUAL DVD-RAM  1.01", "CD/DVD-ROM Drive", "RMB", ""},
  };
  ASSERT_EQ(list().RowCount(), 4);
  for (int row = 0; row < 4; ++row) {
    for (int c = 0; c < 5; ++c) {
      EXPECT_EQ(list().CellText(row, c), expected[row][static_cast<size_t>(c)]) << row << "," << c;
      EXPECT_EQ(list().CellAttributeB(row, c), c == 0 ? 0x01u : 0x41u) << row << "," << c;
    }
  }
  const int unit = list().ColumnWidth(0) / 7;
  EXPECT_GT(unit, 0);
  const int chars[5] = {7, 31, 23, 4, 8};
  for (int c = 0; c < 5; ++c) EXPECT_EQ(list().ColumnWidth(c), chars[c] * unit) << c;
  // Nothing chosen after the scan: only the drive search can be pressed.
  EXPECT_EQ(list().selectedRow(), -1);
  EXPECT_EQ(Enabled(), (std::array<bool, 5>{true, false, false, false, false}));
  EXPECT_TRUE(IsWindowEnabled(window->hwnd()));
}

TEST_F(MainWindowTest, ChoosingARowShowsItsSummaryAndTheCommandsItAllows) {
  struct {
    int row;
    std::array<bool, 5> enabled;
  } cases[] = {
      {0, {true, true, true, true, true}},     // removable with a disc: everything
      {2, {true, true, false, false, true}},   // fixed disk: information and benchmark
      {3, {true, true, false, false, false}},  // no disc: information only
  };
  for (const auto& c : cases) {
    ClickRow(c.row);
    EXPECT_EQ(list().selectedRow(), c.row);
    EXPECT_EQ(Enabled(), c.enabled) << "row " << c.row;
    const DriveRecord& record = app->driveList->Records()[static_cast<size_t>(c.row)];
    EXPECT_EQ(window->pane().Text(), DriveSummary(app->driveList->Device(), record)) << "row " << c.row;
  }
  // The pane shows the text as the user reads it, Japanese included.
  ClickRow(0);
  const std::wstring shown = WindowText(window->pane().hwnd());
  EXPECT_EQ(shown.substr(0, shown.find(L"\r\n")), L"E: ORVANE   VIRTUAL DVD-RAM  1.01");
  EXPECT_NE(shown.find(L"容量 2,295,104×2,048 = 4,700,372,992バイト (   4.7G)"), std::wstring::npos) << Narrow(shown);
}

TEST_F(MainWindowTest, RemovingTheChoiceDisablesTheDriveCommandsAndKeepsThePane) {
  ClickRow(0);
  const std::string summary = window->pane().Text();
  ASSERT_FALSE(summary.empty());
  const RECT below = list().RowRect(list().RowCount());
  Click(list().hwnd(), 40, below.top + 4);
  Pump();
  EXPECT_EQ(list().selectedRow(), -1);
  EXPECT_EQ(Enabled(), (std::array<bool, 5>{true, false, false, false, false}));
  EXPECT_EQ(window->pane().Text(), summary);
  // A drive command without a choice does nothing.
  SendMessageW(window->hwnd(), WM_COMMAND, MAKEWPARAM(kCmdDriveInfo, 1), 0);
  EXPECT_EQ(window->ChosenRecord(), nullptr);
}

TEST_F(MainWindowTest, DriveSearchRescansAndClearsTheChoice) {
  ClickRow(2);
  ASSERT_EQ(list().selectedRow(), 2);
  Click(window->button(0).hwnd());
  Pump();
  EXPECT_EQ(list().RowCount(), 4);
  EXPECT_EQ(list().selectedRow(), -1);
  EXPECT_EQ(list().CellText(2, 0), "G:");
  EXPECT_EQ(Enabled(), (std::array<bool, 5>{true, false, false, false, false}));
  EXPECT_TRUE(IsWindowEnabled(window->hwnd()));  // the scan box gave the window back
}

// Wide enough for 80 pane characters; the list, the pane and the buttons one below the other.
TEST_F(MainWindowTest, LayoutPlacesEveryPartInsideTheMeasuredClientArea) {
  RECT client;
  GetClientRect(window->hwnd(), &client);
  auto at = [&](HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, window->hwnd(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  HDC dc = GetDC(window->hwnd());
  TEXTMETRICW tm{};
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window->pane().hwnd(), WM_GETFONT, 0, 0)));
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(window->hwnd(), dc);
  EXPECT_GE(client.right, 80 * tm.tmAveCharWidth + 32);

  const RECT list = at(window->list().hwnd()), pane = at(window->pane().hwnd());
  EXPECT_EQ(list.bottom - list.top, 220);
  EXPECT_EQ(pane.bottom - pane.top, 140);
  EXPECT_LE(list.bottom, pane.top);
  EXPECT_EQ(list.right, client.right - 2);
  EXPECT_EQ(pane.right, client.right - 2);
  int left = 0;
  for (int i = 0; i < 5; ++i) {
    const RECT b = at(window->button(i).hwnd());
    EXPECT_LT(pane.bottom, b.top) << i;
    EXPECT_LT(left, b.left) << i;  // left to right, apart
    EXPECT_LE(b.right, client.right) << i;
    EXPECT_LE(b.bottom, client.bottom) << i;
    EXPECT_TRUE(IsWindowVisible(window->button(i).hwnd())) << i;
    left = b.right;
  }
}

TEST_F(MainWindowTest, TabLeavesTheListForTheFirstButtonThatCanBePressed) {
  SetFocus(list().hwnd());
  SendMessageW(list().hwnd(), WM_KEYDOWN, VK_TAB, 1);
  EXPECT_EQ(GetFocus(), window->button(0).hwnd());
  ClickRow(2);  // fixed disk: information and benchmark
  SendMessageW(window->button(0).hwnd(), WM_KEYDOWN, VK_TAB, 1);
  EXPECT_EQ(GetFocus(), window->button(1).hwnd());
  SendMessageW(window->button(1).hwnd(), WM_KEYDOWN, VK_TAB, 1);
  EXPECT_EQ(GetFocus(), window->button(4).hwnd());  // the disabled two are passed over
}

// Alt+H, the about box; the close box asks first: No keeps the window, the exit item's Yes ends the loop.
TEST_F(MainWindowTest, AboutBoxThenCloseAsksFirst) {
  std::wstring aboutCaption, caption;
  bool aliveAfterNo = false;
  const int code = WithDriver(
      [&](DWORD ui) {
        // Alt+H as the keyboard sends it to the window with the focus; second item "Orvaneについて..."
        PostMessageW(list().hwnd(), WM_SYSKEYDOWN, 'H', 1 | (1 << 29));
        HWND popup = WaitForWindow(ui, L"#32768");
        ASSERT_NE(popup, nullptr);
        for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) PostMessageW(popup, WM_KEYDOWN, key, 1);
        HWND about = WaitForWindow(ui, L"dlgbox");
        ASSERT_NE(about, nullptr);
        aboutCaption = WindowText(about);
        PressButton(about, kIdOk);
        test::WaitFor([&] { return !IsWindow(about); });
        PostMessageW(window->hwnd(), WM_CLOSE, 0, 0);
        HWND question = WaitForWindow(ui, L"dlgbox");
        ASSERT_NE(question, nullptr);
        caption = WindowText(question);
        PressButton(question, kIdNo);
        test::WaitFor([&] { return !IsWindow(question); });
        test::WaitFor([&] { return IsWindowEnabled(window->hwnd()) != FALSE; });
        aliveAfterNo = IsWindow(window->hwnd()) && IsWindowVisible(window->hwnd());
        PostMessageW(window->hwnd(), WM_COMMAND, MAKEWPARAM(kCmdExit, 0), 0);
        question = WaitForWindow(ui, L"dlgbox");
        ASSERT_NE(question, nullptr);
        PressButton(question, kIdYes);
      },
      [&] { return app->Run(); });
  EXPECT_EQ(aboutCaption, L"Orvane - DVD-RAM Utility について");
  EXPECT_EQ(caption, L"確認");
  EXPECT_TRUE(aliveAfterNo);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(window->hwnd(), nullptr);
  const std::string about = MainWindow::AboutText();
  EXPECT_EQ(about.substr(0, about.find("\r\n")), "Orvane - DVD-RAM Utility  Version 1.01a#03");
  EXPECT_EQ(MainWindow::ExitQuestion(), "　　Orvane - DVD-RAM Utility を終了しますか？　　");
}

}  // namespace
}  // namespace orv
