// The main window over virtual drives (rows clicked, buttons pressed, the close box answered), its drive
// information window against what `orvane-cli info` prints, cancelled and closed, and the benchmark to its report.
#include <gtest/gtest.h>

#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_shell.h"
#include "app/cli/cli_run.h"
#include "app/drive_summary.h"
#include "app/main_window.h"
#include "bench/benchmark_text.h"
#include "bench/win32/benchmark_report_window.h"
#include "device/drive_list.h"
#include "device/ports/closed_port.h"
#include "device/ports/virtual_port.h"
#include "gui_driver.h"
#include "report/win32/report_window.h"
#include "toolkit/win32/dlgbox.h"
#include "toolkit/win32/wide.h"
#include "vdrive/drive_config.h"

namespace orv {
namespace {

using test::ClipboardText;
using test::Click;
using test::PressButton;
using test::Pump;
using test::WaitFor;
using test::WaitForWindow;
using test::WindowText;
using test::WithDriver;

constexpr char kDrives[] = "E=dvdram,F=dvdrom,G=hdd,H=nodisc";
struct Preset {
  int row;
  const char* drive;  // as the console names it
  const char* virtualDrive;
};
constexpr Preset kPresets[] = {{0, "E:", "E=dvdram"}, {1, "F:", "F=dvdrom"}, {2, "G:", "G=hdd"}, {3, "H:", "H=nodisc"}};

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int count = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(count), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), count, nullptr, nullptr);
  return out;
}

// What the console prints for `info DRIVE OPTIONS...` on the preset (UTF-8, LF).
std::string Console(const Preset& preset, std::vector<std::string> options) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "orvane-report-window-test";
  std::filesystem::create_directories(dir);
  std::vector<std::string> args = {"--virtual-only", "--virtual", preset.virtualDrive, "info", preset.drive};
  args.insert(args.end(), options.begin(), options.end());
  const test::CliOutcome run = test::RunCliIn(dir, args);
  EXPECT_EQ(run.code, 0) << preset.drive << ": " << run.err;
  return run.out;
}

// Runs code on the user-interface thread from the driver's: a message sent to a window of that
// thread runs in whichever loop the thread is in.
LRESULT CALLBACK RunCall(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_APP) return DefWindowProcW(h, message, wParam, lParam);
  (*reinterpret_cast<const std::function<void()>*>(lParam))();
  return 0;
}
HWND caller = nullptr;  // made by the fixture on the user-interface thread

void OnUi(const std::function<void()>& work) {
  if (!SendMessageTimeoutW(caller, WM_APP, 0, reinterpret_cast<LPARAM>(&work), SMTO_NORMAL, 60000, nullptr)) {
    ADD_FAILURE() << "the user-interface thread did not run the call";
    std::abort();
  }
}

void PumpFiltered() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (Application::Current() && Application::Current()->Filtered(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Runs `start` on this (the user-interface) thread, then pumps until `steps` have returned.
void DriveUi(const std::function<void()>& start, const std::function<void(DWORD uiThread)>& steps) {
  std::atomic<bool> done{false};
  test::WithDriver(
      [&](DWORD ui) {
        steps(ui);
        done = true;
      },
      [&] {
        start();
        while (!done) {
          PumpFiltered();
          MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        return 0;
      });
  PumpFiltered();
}

// The toolkit's object behind a window handle.
template <class W>
W* ObjectOf(HWND h) {
  return dynamic_cast<W*>(static_cast<Window*>(GetPropW(h, L"orv.window")));
}

// The report window once the worker has ended, the box has gone and the list holds `rows` rows
// (any number when negative).
HWND WaitForReport(DWORD ui, int rows = -1) {
  HWND h = WaitForWindow(ui, kReportWindowClass);
  ReportWindow* report = h ? ObjectOf<ReportWindow>(h) : nullptr;
  if (!report) return nullptr;
  const bool filled = WaitFor([&] {
    int count = 0;
    OnUi([&] { count = IsWindow(h) ? report->sections().RowCount() : -1; });
    return (rows < 0 ? count > 0 : count == rows) && IsWindowEnabled(h) && FindWindowW(L"dlgbox", nullptr) == nullptr;
  });
  return filled ? h : nullptr;
}

// OK or the close box; then the window is gone.
void EndReport(HWND h, bool closeBox = false) {
  ASSERT_NE(h, nullptr);
  if (closeBox)
    PostMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0);
  else
    test::PressButton(h, ReportWindow::kIdOk);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(h); }));
}

// Counts the windows of a class that the calling thread creates while this lives.
class CreatedWindows {
 public:
  CreatedWindows() : hook_(SetWindowsHookExW(WH_CBT, &Hook, nullptr, GetCurrentThreadId())) { names().clear(); }
  ~CreatedWindows() { UnhookWindowsHookEx(hook_); }
  int Count(const wchar_t* name) const { return static_cast<int>(std::count(names().begin(), names().end(), name)); }

 private:
  static std::vector<std::wstring>& names() {
    static std::vector<std::wstring> created;
    return created;
  }
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    wchar_t name[64] = {};
    if (code == HCBT_CREATEWND && GetClassNameW(reinterpret_cast<HWND>(wParam), name, 64)) names().push_back(name);
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  HHOOK hook_;
};

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    app = std::make_unique<OrvaneApp>();
    app->virtualDrives = kDrives;
    ASSERT_EQ(app->Initialise(GetModuleHandleW(nullptr)), 0);
    caller = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(caller, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RunCall));
    window = app->mainWindow.get();
    PumpFiltered();
  }
  void TearDown() override {
    if (window && window->hwnd()) window->Destroy();
    DestroyWindow(caller);
    PumpFiltered();
    app.reset();
  }

  // Puts `drive` in the main window's list as E:, in place of the preset ones.
  void UseDrive(std::shared_ptr<VirtualDrive> drive) {
    auto port = std::make_unique<VirtualPort>(MakeClosedPort(MakeOsPort()));
    port->AddDrive('E', std::move(drive));
    app->driveList = std::make_unique<DriveList>(std::move(port));
    window->DriveSearch();
    PumpFiltered();
  }
  void ChooseRow(int row) {
    test::ClickRow(window->list(), row);
    ASSERT_EQ(window->list().selectedRow(), row);
  }
  GridList& list() { return window->list(); }
  std::array<bool, 5> Enabled() {
    std::array<bool, 5> on{};
    for (int i = 0; i < 5; ++i) on[static_cast<size_t>(i)] = window->button(i).IsEnabled() == 1;
    return on;
  }
  // "ドライブ情報"; the command runs once the click is pumped.
  void PressDriveInformation() { Click(window->button(1).hwnd()); }

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
  // Nothing chosen after the scan: only the drive search can be pressed.
  EXPECT_EQ(list().selectedRow(), -1);
  EXPECT_EQ(Enabled(), (std::array<bool, 5>{true, false, false, false, false}));
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
    ChooseRow(c.row);
    EXPECT_EQ(Enabled(), c.enabled) << "row " << c.row;
    const DriveRecord& record = app->driveList->Records()[static_cast<size_t>(c.row)];
    EXPECT_EQ(window->pane().Text(), DriveSummary(app->driveList->Device(), record)) << "row " << c.row;
  }
  // The pane shows the text as the user reads it, Japanese included.
  ChooseRow(0);
  const std::wstring shown = WindowText(window->pane().hwnd());
  EXPECT_EQ(shown.substr(0, shown.find(L"\r\n")), L"E: ORVANE   VIRTUAL DVD-RAM  1.01");
  EXPECT_NE(shown.find(L"容量 2,295,104×2,048 = 4,700,372,992バイト (   4.7G)"), std::wstring::npos) << Narrow(shown);
}

// Then the drive search: a rescan, and the choice gone again.
TEST_F(MainWindowTest, RemovingTheChoiceOrASearchDisablesTheDriveCommands) {
  ChooseRow(0);
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

  ChooseRow(2);
  Click(window->button(0).hwnd());
  Pump();
  EXPECT_EQ(list().RowCount(), 4);
  EXPECT_EQ(list().selectedRow(), -1);
  EXPECT_EQ(Enabled(), (std::array<bool, 5>{true, false, false, false, false}));
  EXPECT_TRUE(IsWindowEnabled(window->hwnd()));  // the scan box gave the window back
}

TEST_F(MainWindowTest, TabLeavesTheListForTheFirstButtonThatCanBePressed) {
  SetFocus(list().hwnd());
  SendMessageW(list().hwnd(), WM_KEYDOWN, VK_TAB, 1);
  EXPECT_EQ(GetFocus(), window->button(0).hwnd());
  ChooseRow(2);  // fixed disk: information and benchmark
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
        ASSERT_TRUE(PressButton(WaitForWindow(ui, L"dlgbox"), kIdYes));
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

TEST_F(MainWindowTest, EveryPresetShowsTheReportTheConsolePrints) {
  for (const Preset& preset : kPresets) {
    SCOPED_TRACE(preset.drive);
    const std::string whole = Console(preset, {});
    const std::string identification = whole.substr(0, whole.find('\n'));
    const std::string titles = Console(preset, {"--list"});
    const int rows = static_cast<int>(std::count(titles.begin(), titles.end(), '\n'));
    ASSERT_GT(rows, 0);
    std::vector<std::string> sections;
    for (int n = 1; n <= rows; ++n) sections.push_back(Console(preset, {"--section", std::to_string(n)}));

    ChooseRow(preset.row);
    std::string shownTitle, shownTitles;
    std::vector<std::string> shownSections;
    std::wstring caption, okLabel;
    LONG style = 0, paneStyle = 0;
    bool ownerDisabled = false, paneKept = false;
    DriveUi([&] { PressDriveInformation(); },
            [&](DWORD ui) {
              HWND h = WaitForReport(ui, rows);
              ASSERT_NE(h, nullptr);
              ReportWindow* report = ObjectOf<ReportWindow>(h);
              ownerDisabled = !IsWindowEnabled(window->hwnd());
              caption = WindowText(h);
              okLabel = WindowText(GetDlgItem(h, ReportWindow::kIdOk));
              HWND list = GetDlgItem(h, ReportWindow::kIdSections), pane = GetDlgItem(h, ReportWindow::kIdText);
              style = GetWindowLongW(h, GWL_STYLE);
              paneStyle = GetWindowLongW(pane, GWL_STYLE);
              shownTitle = Utf8(WindowText(GetDlgItem(h, ReportWindow::kIdTitle)));
              if (preset.row == 0) test::Snap("drive-information.bmp", h, nullptr);
              OnUi([&] {
                for (int row = 0; row < rows; ++row)
                  shownTitles += Utf8(Widen(report->sections().CellText(row, 0))) + "\n";
              });
              // Down the list from the keyboard: each row that becomes selected shows its text.
              auto shownText = [&] {  // with the console's line ends: LF
                std::string text = Utf8(WindowText(pane));
                std::erase(text, '\r');
                return text.empty() || text.back() == '\n' ? text : text + '\n';
              };
              for (int row = 0; row < rows; ++row) {
                SendMessageW(list, WM_KEYDOWN, row == 0 ? VK_HOME : VK_DOWN, 1);
                shownSections.push_back(shownText());
              }
              // A deselection and a row that does not exist leave the pane as it is.
              for (const WORD row : {WORD{0}, static_cast<WORD>(rows + 5)})
                SendMessageW(h, WM_COMMAND, MAKEWPARAM(row, row ? GridList::kRowSelected : GridList::kRowDeselected),
                             reinterpret_cast<LPARAM>(list));
              paneKept = shownText() == shownSections.back();
              EndReport(h, preset.row % 2 == 1);  // OK, or the close box
            });
    EXPECT_TRUE(ownerDisabled);
    EXPECT_EQ(caption, L"Orvane - DVD-RAM Utility");
    EXPECT_EQ(okLabel, L"   OK   ");
    // Not resizable; the pane scrolls both ways and cannot be edited.
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_MAXIMIZEBOX),
              WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    EXPECT_EQ(paneStyle & (WS_VSCROLL | WS_HSCROLL | ES_READONLY), WS_VSCROLL | WS_HSCROLL | ES_READONLY);
    EXPECT_EQ(shownTitle, identification);
    EXPECT_EQ(shownTitles, titles);
    ASSERT_EQ(shownSections.size(), sections.size());
    EXPECT_TRUE(paneKept);
    for (size_t n = 0; n < sections.size(); ++n) {
      // The console prints the title line, then what the pane shows.
      const std::string& console = sections[n];
      const std::string title = console.substr(0, console.find('\n') + 1);
      EXPECT_EQ(title + shownSections[n], console) << "section " << n + 1;
    }
    EXPECT_TRUE(IsWindowEnabled(window->hwnd()));
    EXPECT_EQ(GetActiveWindow(), window->hwnd());
    EXPECT_EQ(GetFocus(), window->list().hwnd());  // the main window passes its focus on
    EXPECT_EQ(FindWindowW(kReportWindowClass, nullptr), nullptr);
  }
}

// The box's キャンセル or the report window's close box: the drive commands under way are not cut
// short, the box and the window wait for them, then nothing is left and no message shows.
TEST_F(MainWindowTest, CancelWhileGatheringWaitsForTheDriveAndADriveThatDoesNotOpenShowsNothing) {
  DrivePreset slow = *FindDrivePreset("dvdram");
  slow.timing = {};
  slow.timing.commandOverheadMs = 300;  // once the timing is turned on
  std::shared_ptr<VirtualDrive> drive(MakeVirtualDrive(slow));
  UseDrive(drive);
  ChooseRow(0);
  drive->ClearCommandLog();
  DriveUi([&] { PressDriveInformation(); }, [&](DWORD ui) { EndReport(WaitForReport(ui)); });
  const uint64_t wholeGathering = drive->CommandCount();  // at full speed
  ASSERT_GT(wholeGathering, 3u);
  drive->SetTimingEnabled(true);
  for (const bool closeBox : {false, true}) {
    SCOPED_TRACE(closeBox ? "close box" : "キャンセル");
    drive->ClearCommandLog();
    bool emptyWhileGathering = false, boxStayed = false, ownerDisabled = false;
    std::wstring boxCaption, boxButton;
    CreatedWindows created;
    DriveUi([&] { PressDriveInformation(); },
            [&](DWORD ui) {
              HWND box = WaitForWindow(ui, L"dlgbox"), h = FindWindowW(kReportWindowClass, nullptr);
              ReportWindow* report = h ? ObjectOf<ReportWindow>(h) : nullptr;
              ASSERT_TRUE(box && report);
              OnUi([&] { emptyWhileGathering = report->sections().RowCount() == 0 && IsWindowVisible(h); });
              ownerDisabled = !IsWindowEnabled(window->hwnd());
              boxCaption = WindowText(box);
              boxButton = WindowText(GetDlgItem(box, kIdOk));
              if (closeBox)
                PostMessageW(h, WM_CLOSE, 0, 0);
              else
                test::PressButton(box, kIdOk);
              Sleep(150);
              boxStayed = IsWindow(box) && IsWindowVisible(box) && IsWindow(h);
              EXPECT_TRUE(WaitFor([&] { return !IsWindow(h) && !IsWindow(box); }, 30000));
            });
    EXPECT_TRUE(emptyWhileGathering);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_EQ(boxCaption, L"Orvane - DVD-RAM Utility");
    EXPECT_EQ(boxButton, L"キャンセル");
    EXPECT_TRUE(boxStayed);
    EXPECT_EQ(drive->CommandCount(), wholeGathering);
    EXPECT_EQ(created.Count(L"dlgbox"), 1);
    EXPECT_EQ(created.Count(kReportWindowClass), 1);
    EXPECT_EQ(FindWindowW(kReportWindowClass, nullptr), nullptr);
    EXPECT_TRUE(IsWindowEnabled(window->hwnd()));
    EXPECT_EQ(GetActiveWindow(), window->hwnd());
  }
  // A drive that no longer opens: no window, no box.
  drive->SetVanished(true);
  CreatedWindows created;
  PressDriveInformation();
  PumpFiltered();
  EXPECT_EQ(created.Count(kReportWindowClass), 0);
  EXPECT_EQ(created.Count(L"dlgbox"), 0);
  EXPECT_TRUE(IsWindowEnabled(window->hwnd()));
  ReportWindow report;
  EXPECT_EQ(report.Run(app->driveList->Device(), *window->ChosenRecord(), window->hwnd()), -1);
  EXPECT_EQ(report.hwnd(), nullptr);
}

// OK over a disabled owner leaves it disabled (the preset walk ends the window over an enabled one).
TEST_F(MainWindowTest, ReportOverADisabledOwnerLeavesItDisabled) {
  ChooseRow(0);
  EnableWindow(window->hwnd(), FALSE);
  int result = -2;
  ReportWindow report;
  DriveUi([&] { result = report.Run(app->driveList->Device(), *window->ChosenRecord(), window->hwnd()); },
          [&](DWORD ui) { EndReport(WaitForReport(ui)); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(report.hwnd(), nullptr);
  EXPECT_FALSE(IsWindowEnabled(window->hwnd()));
  EnableWindow(window->hwnd(), TRUE);
}

// The copy button, then OK: what the clipboard holds afterwards.
std::string CopyAndClose(HWND report) {
  PressButton(report, kIdBenchCopy);
  WaitFor([&] { return !ClipboardText().empty(); });
  const std::string copied = ClipboardText();
  PressButton(report, kIdBenchOk);
  WaitFor([&] { return !IsWindow(report); });
  return copied;
}

// On the virtual DVD-RAM: Yes, the progress box, Cancel once the seek tests run, the
// interruption box, the report of the rows measured, its copy button and OK.
TEST_F(MainWindowTest, BenchmarkButtonRunsItToTheReport) {
  ChooseRow(0);
  test::ClearClipboard();
  std::wstring question, interrupted, reportCaption, copyLabel, okLabel;
  bool mainDisabled = false, mainBack = false;
  std::string copied;
  WithDriver(
      [&](DWORD ui) {
        test::Click(window->button(4).hwnd());
        HWND box = WaitForWindow(ui, L"dlgbox");
        ASSERT_NE(box, nullptr);
        question = WindowText(box);
        PressButton(box, kIdYes);
        HWND progress = WaitForWindow(ui, L"dlgbox", {box});
        ASSERT_NE(progress, nullptr);
        HWND bar = FindWindowExW(progress, nullptr, L"msctls_progress32", nullptr);
        // The three zero-motion tests are done once the bar passes them.
        ASSERT_TRUE(WaitFor([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) >= 3; }, 20000));
        test::Snap("bench-progress.bmp", progress, nullptr);
        PressButton(progress, kIdOk);  // its one button, "キャンセル"
        HWND stop = WaitForWindow(ui, L"dlgbox", {box, progress});
        ASSERT_NE(stop, nullptr);
        interrupted = WindowText(stop);
        PressButton(stop, kIdOk);
        HWND report = WaitForWindow(ui, kBenchReportClass);
        ASSERT_NE(report, nullptr);
        mainDisabled = !IsWindowEnabled(window->hwnd());
        reportCaption = WindowText(report);
        copyLabel = WindowText(GetDlgItem(report, kIdBenchCopy));
        okLabel = WindowText(GetDlgItem(report, kIdBenchOk));
        test::Snap("bench-report.bmp", report, nullptr);
        copied = CopyAndClose(report);
        mainBack = WaitFor([&] { return IsWindowEnabled(window->hwnd()) != FALSE; });
        PostThreadMessageW(ui, WM_QUIT, 0, 0);
      },
      [&] { return app->Run(); });
  EXPECT_EQ(question, L"確認");
  EXPECT_EQ(interrupted, L"Orvane - DVD-RAM Utility");
  EXPECT_EQ(reportCaption, L"Orvane - DVD-RAM Utility");
  EXPECT_EQ(copyLabel, L"結果をクリップボードにコピー");
  EXPECT_EQ(okLabel, L"   OK   ");
  EXPECT_TRUE(mainDisabled);
  EXPECT_TRUE(mainBack);
  // The three zero-motion tests and the seek that ran when Cancel came, at least.
  const auto lines = std::count(copied.begin(), copied.end(), '\n');
  EXPECT_TRUE(lines == 4 || lines == 5) << copied;
  EXPECT_EQ(copied.rfind(kTitleTestUnitReady, 0), 0u) << copied;
}

}  // namespace
}  // namespace orv
