// The benchmark's report window and the benchmark run from the main window, driven as a user
// drives them: the list shows the rows, the copy button puts the table on the clipboard, OK gives
// the main window back. Screenshots of the progress box and the report go to
// build/win64/screenshots/ (as BMP; the test run converts them to PNG).
#include <gtest/gtest.h>

#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app_shell.h"
#include "app/main_window.h"
#include "bench/benchmark_run.h"
#include "bench/benchmark_text.h"
#include "bench/win32/benchmark_report_window.h"
#include "gui_driver.h"
#include "toolkit/win32/theme.h"
#include "toolkit/win32/wide.h"

namespace orv {
namespace {

using test::Click;
using test::PressButton;
using test::Pump;
using test::WaitFor;
using test::WaitForWindow;
using test::WindowText;
using test::WithDriver;

// A visible top-level window of the class on the thread that is not in `known`, waited for up
// to `ms` milliseconds: a run's next box can be seconds away (the measurement under way ends
// first).
HWND WaitForNewWindow(DWORD thread, const wchar_t* className, const std::vector<HWND>& known, int ms = 20000) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        test::ClassQuery query{className, true, {}};
        EnumThreadWindows(thread, test::CollectByClass, reinterpret_cast<LPARAM>(&query));
        for (HWND h : query.found)
          if (std::find(known.begin(), known.end(), h) == known.end()) return (found = h) != nullptr;
        return false;
      },
      ms);
  return found;
}

std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    text = static_cast<const char*>(GlobalLock(h));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return text;
}

void ClearClipboard() {
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  CloseClipboard();
}

// The window as the screen shows it, frame included, as a 24-bit BMP in the build's screenshot
// folder.
void SaveScreenshot(HWND window, const char* name) {
  const char* build = std::getenv("ORVANE_BINARY_DIR");
  if (!build) return;
  const std::filesystem::path dir = std::filesystem::path(build) / "screenshots";
  std::filesystem::create_directories(dir);
  RECT r;
  GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER info{sizeof info, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const int stride = (w * 3 + 3) / 4 * 4;
  std::vector<unsigned char> pixels(static_cast<size_t>(stride) * h);
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(h), pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof info + pixels.size()), 0, 0,
                        sizeof(BITMAPFILEHEADER) + sizeof info};
  if (std::FILE* out = std::fopen((dir / (std::string(name) + ".bmp")).string().c_str(), "wb")) {
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info, sizeof info, 1, out);
    std::fwrite(pixels.data(), 1, pixels.size(), out);
    std::fclose(out);
  }
}

std::vector<BenchmarkResult> SampleRows() {
  return {
      {kBenchCommandTime, kTitleTestUnitReady, "", 999, ""},
      {kBenchCommandTime, kTitleNoMotionSeek, "", 512, kReadFallbackNote},
      {kBenchSeekTime, SequentialSeekTitle(63), "", 20500, kReadFallbackNote},
      {kBenchTransferRate, TransferTitle(false, kRegionStart), "2048B", 1000000, ""},
      {kBenchTransferRate, TransferTitle(true, ""), "65536B", 6899999, ""},
  };
}

TEST(BenchReportWindow, ShowsTheRowsCopiesTheTableAndGivesTheOwnerBack) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 700, 500, nullptr,
                               nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  const std::vector<BenchmarkResult> rows = SampleRows();
  BenchmarkReportWindow report(rows);
  ClearClipboard();
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
        PressButton(window, kIdBenchCopy);
        WaitFor([&] { return !ClipboardText().empty(); });
        copied = ClipboardText();
        PressButton(window, kIdBenchOk);
        WaitFor([&] { return !IsWindow(window); });
      },
      [&] { return report.Run(owner); });
  EXPECT_EQ(rc, 0);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(title, L"Orvane - DVD-RAM Utility");
  EXPECT_EQ(copyLabel, L"結果をクリップボードにコピー");
  EXPECT_EQ(okLabel, L"   OK   ");
  EXPECT_EQ(copied, BenchmarkTableText(rows));

  // The list: one row per result, the columns as wide as their texts in characters, sizes of
  // transfers and all values right-aligned.
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
  // Wide enough for every column's characters; the list at least 100 pixels high.
  EXPECT_GE(client.right, static_cast<LONG>(cw * columns.Total() + 32));
  EXPECT_GE(client.bottom, 100 + 8 + 24);
  DestroyWindow(owner);
}

// The benchmark from the main window, on the virtual DVD-RAM drive: Yes, the progress box, the
// user's Cancel once the seek tests run, the interruption box, the report of the rows measured.
TEST(BenchReportWindow, TheMainWindowsBenchmarkButtonRunsItToTheReport) {
  OrvaneApp app;
  app.virtualDrives = "E=dvdram";
  ASSERT_EQ(app.Initialise(GetModuleHandleW(nullptr)), 0);
  MainWindow& window = *app.mainWindow;
  Pump();
  const RECT row = window.list().RowRect(0);
  Click(window.list().hwnd(), 40, (row.top + row.bottom) / 2);
  Pump();
  ASSERT_EQ(window.list().selectedRow(), 0);
  ASSERT_TRUE(window.button(4).IsEnabled() == 1);
  ClearClipboard();

  std::wstring question, interrupted;
  bool mainDisabled = false;
  std::string copied;
  WithDriver(
      [&](DWORD ui) {
        Click(window.button(4).hwnd());
        HWND box = WaitForWindow(ui, L"dlgbox");
        ASSERT_NE(box, nullptr);
        question = WindowText(box);  // the caption: "確認"
        PressButton(box, kIdYes);
        HWND progress = WaitForWindow(ui, L"dlgbox", {box});
        ASSERT_NE(progress, nullptr);
        HWND bar = FindWindowExW(progress, nullptr, L"msctls_progress32", nullptr);
        ASSERT_NE(bar, nullptr);
        // The three zero-motion tests are done once the bar passes them.
        ASSERT_TRUE(WaitFor([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) >= 3; }, 20000));
        Sleep(300);
        SaveScreenshot(progress, "bench-progress");
        PressButton(progress, kIdOk);  // its one button, labelled "キャンセル"
        HWND stop = WaitForNewWindow(ui, L"dlgbox", {box, progress});
        ASSERT_NE(stop, nullptr);
        interrupted = WindowText(stop);
        PressButton(stop, kIdOk);
        HWND report = WaitForNewWindow(ui, kBenchReportClass, {});
        ASSERT_NE(report, nullptr);
        mainDisabled = !IsWindowEnabled(window.hwnd());
        HWND list = GetDlgItem(report, kIdBenchList);
        ASSERT_NE(list, nullptr);
        Sleep(300);
        SaveScreenshot(report, "bench-report");
        PressButton(report, kIdBenchCopy);
        WaitFor([&] { return !ClipboardText().empty(); });
        copied = ClipboardText();
        PressButton(report, kIdBenchOk);
        WaitFor([&] { return !IsWindow(report); });
        PostThreadMessageW(ui, WM_QUIT, 0, 0);
      },
      [&] { return app.Run(); });
  EXPECT_EQ(question, L"確認");
  EXPECT_EQ(interrupted, L"Orvane - DVD-RAM Utility");
  EXPECT_TRUE(mainDisabled);
  // The measured rows: the zero-motion tests and the seek that ran when Cancel came, at least.
  size_t lines = 0;
  for (size_t at = 0; (at = copied.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
  EXPECT_GE(lines, 4u) << copied;
  EXPECT_LE(lines, 5u) << copied;
  EXPECT_EQ(copied.rfind(kTitleTestUnitReady, 0), 0u) << copied;
  EXPECT_TRUE(IsWindowEnabled(window.hwnd()) || !IsWindow(window.hwnd()));
  if (window.hwnd()) window.Destroy();
  Pump();
}

}  // namespace
}  // namespace orv
