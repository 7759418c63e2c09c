// The benchmark's report window on its own and the benchmark run from the main window, with
// pictures of the progress box and the report.
#include <gtest/gtest.h>

#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/app_shell.h"
#include "app/main_window.h"
#include "bench/benchmark_run.h"
#include "bench/benchmark_text.h"
#include "bench/win32/benchmark_report_window.h"
#include "gui_driver.h"
#include "toolkit/win32/theme.h"

namespace orv {
namespace {

using test::ClipboardText;
using test::PressButton;
using test::WaitFor;
using test::WaitForWindow;
using test::WindowText;
using test::WithDriver;

// The copy button, then OK: what the clipboard holds afterwards.
std::string CopyAndClose(HWND report) {
  PressButton(report, kIdBenchCopy);
  WaitFor([&] { return !ClipboardText().empty(); });
  const std::string copied = ClipboardText();
  PressButton(report, kIdBenchOk);
  WaitFor([&] { return !IsWindow(report); });
  return copied;
}

TEST(BenchReportWindow, ShowsTheRowsCopiesTheTableAndGivesTheOwnerBack) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 700, 500, nullptr,
                               nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  const std::vector<BenchmarkResult> rows = {
      {kBenchCommandTime, kTitleTestUnitReady, "", 999, ""},
      {kBenchCommandTime, kTitleNoMotionSeek, "", 512, kReadFallbackNote},
      {kBenchSeekTime, SequentialSeekTitle(63), "", 20500, kReadFallbackNote},
      {kBenchTransferRate, TransferTitle(false, kRegionStart), "2048B", 1000000, ""},
      {kBenchTransferRate, TransferTitle(true, ""), "65536B", 6899999, ""},
  };
  BenchmarkReportWindow report(rows);
  test::ClearClipboard();
  bool ownerDisabled = false;
  std::wstring title, copyLabel, okLabel;
  std::string copied;
  RECT client{};
  const int rc = WithDriver(
      [&](DWORD ui) {
        HWND window = WaitForWindow(ui, kBenchReportClass);
        ASSERT_NE(window, nullptr);
        ownerDisabled = !IsWindowEnabled(owner);
        title = WindowText(window);
        copyLabel = WindowText(GetDlgItem(window, kIdBenchCopy));
        okLabel = WindowText(GetDlgItem(window, kIdBenchOk));
        GetClientRect(window, &client);
        copied = CopyAndClose(window);
      },
      [&] { return report.Run(owner); });
  EXPECT_EQ(rc, 0);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(title, L"Orvane - DVD-RAM Utility");
  EXPECT_EQ(copyLabel, L"結果をクリップボードにコピー");
  EXPECT_EQ(okLabel, L"   OK   ");
  EXPECT_EQ(copied, BenchmarkTableText(rows));

  // Columns as wide as their texts in characters; sizes of transfers and all values right-aligned.
  GridList& list = report.list();
  ASSERT_EQ(list.RowCount(), 5);
  const int cw = theme::FontCharSize(theme::FixedFont()).cx;
  const BenchmarkColumns columns = MeasureBenchmarkColumns(rows);
  EXPECT_EQ(list.ColumnWidth(0), static_cast<int>(columns.title) * cw);
  EXPECT_EQ(list.ColumnWidth(1), static_cast<int>(columns.size) * cw);
  EXPECT_EQ(list.ColumnWidth(2), 21 * cw);
  EXPECT_EQ(list.ColumnWidth(3), static_cast<int>(columns.note) * cw);
  for (int r = 0; r < 5; ++r) {
    const BenchmarkResult& row = rows[static_cast<size_t>(r)];
    EXPECT_EQ(list.CellText(r, 0), row.title) << r;
    EXPECT_EQ(list.CellText(r, 1), row.size) << r;
    EXPECT_EQ(list.CellText(r, 2), BenchmarkValueText(row)) << r;
    EXPECT_EQ(list.CellText(r, 3), row.note) << r;
    EXPECT_EQ(list.CellAttributeB(r, 0), 0x41u) << r;
    EXPECT_EQ(list.CellAttributeB(r, 1), row.kind == kBenchTransferRate ? 0x81u : 0x41u) << r;
    EXPECT_EQ(list.CellAttributeB(r, 2), 0x81u) << r;
    EXPECT_EQ(list.CellAttributeB(r, 3), 0x41u) << r;
  }
  EXPECT_GE(client.right, static_cast<LONG>(cw * columns.Total() + 32));
  EXPECT_GE(client.bottom, 100 + 8 + 24);  // the list at least 100 pixels high
  DestroyWindow(owner);
}

// On the virtual DVD-RAM: Yes, the progress box, Cancel once the seek tests run, the
// interruption box, the report of the rows measured.
TEST(BenchReportWindow, TheMainWindowsBenchmarkButtonRunsItToTheReport) {
  OrvaneApp app;
  app.virtualDrives = "E=dvdram";
  ASSERT_EQ(app.Initialise(GetModuleHandleW(nullptr)), 0);
  MainWindow& window = *app.mainWindow;
  test::Pump();
  test::ClickRow(window.list(), 0);
  ASSERT_TRUE(window.button(4).IsEnabled() == 1);
  test::ClearClipboard();

  std::wstring question, interrupted;
  bool mainDisabled = false;
  std::string copied;
  WithDriver(
      [&](DWORD ui) {
        test::Click(window.button(4).hwnd());
        HWND box = WaitForWindow(ui, L"dlgbox");
        ASSERT_NE(box, nullptr);
        question = WindowText(box);
        PressButton(box, kIdYes);
        HWND progress = WaitForWindow(ui, L"dlgbox", {box});
        ASSERT_NE(progress, nullptr);
        HWND bar = FindWindowExW(progress, nullptr, L"msctls_progress32", nullptr);
        ASSERT_NE(bar, nullptr);
        // The three zero-motion tests are done once the bar passes them.
        ASSERT_TRUE(WaitFor([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) >= 3; }, 20000));
        test::Snap("bench-progress.png", progress, nullptr);
        PressButton(progress, kIdOk);  // its one button, "キャンセル"
        HWND stop = WaitForWindow(ui, L"dlgbox", {box, progress});
        ASSERT_NE(stop, nullptr);
        interrupted = WindowText(stop);
        PressButton(stop, kIdOk);
        HWND report = WaitForWindow(ui, kBenchReportClass);
        ASSERT_NE(report, nullptr);
        mainDisabled = !IsWindowEnabled(window.hwnd());
        ASSERT_NE(GetDlgItem(report, kIdBenchList), nullptr);
        test::Snap("bench-report.png", report, nullptr);
        copied = CopyAndClose(report);
        PostThreadMessageW(ui, WM_QUIT, 0, 0);
      },
      [&] { return app.Run(); });
  EXPECT_EQ(question, L"確認");
  EXPECT_EQ(interrupted, L"Orvane - DVD-RAM Utility");
  EXPECT_TRUE(mainDisabled);
  // The zero-motion tests and the seek that ran when Cancel came, at least.
  size_t lines = 0;
  for (size_t at = 0; (at = copied.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
  EXPECT_GE(lines, 4u) << copied;
  EXPECT_LE(lines, 5u) << copied;
  EXPECT_EQ(copied.rfind(kTitleTestUnitReady, 0), 0u) << copied;
  EXPECT_TRUE(IsWindowEnabled(window.hwnd()) || !IsWindow(window.hwnd()));
  if (window.hwnd()) window.Destroy();
  test::Pump();
}

}  // namespace
}  // namespace orv
