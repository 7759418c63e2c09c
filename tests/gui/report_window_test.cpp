// The drive information window over virtual drives: its sections against what `orvane-cli info`
// prints, its layout and fonts, the gathering cancelled, OK and the close box.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/app_shell.h"
#include "app/cli/cli_run.h"
#include "app/main_window.h"
#include "device/drive_list.h"
#include "device/ports/closed_port.h"
#include "device/ports/virtual_port.h"
#include "gui_driver.h"
#include "report/win32/report_layout.h"
#include "report/win32/report_window.h"
#include "toolkit/win32/theme.h"
#include "toolkit/win32/wide.h"
#include "vdrive/drive_config.h"

namespace orv {
namespace {

using test::Click;
using test::WaitFor;
using test::WaitForWindow;
using test::WindowText;

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

// The console's line ends: LF.
std::string Lines(std::string text) {
  std::erase(text, '\r');
  if (!text.empty() && text.back() != '\n') text += '\n';
  return text;
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

// Runs code on the user-interface thread from the driver's: a thread message that the
// application's filters see in whichever loop that thread runs.
constexpr UINT kUiCall = WM_APP + 0x5A;
struct UiCall {
  std::function<void()> work;
  HANDLE done;
};

int RunUiCall(MSG& msg, void*) {
  if (msg.hwnd != nullptr || msg.message != kUiCall) return 0;
  auto* call = reinterpret_cast<UiCall*>(msg.lParam);
  call->work();
  SetEvent(call->done);
  return 2;
}

void OnUi(DWORD uiThread, std::function<void()> work) {
  UiCall call{std::move(work), CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  const bool posted = PostThreadMessageW(uiThread, kUiCall, 0, reinterpret_cast<LPARAM>(&call)) != FALSE;
  if (!posted || WaitForSingleObject(call.done, 60000) != WAIT_OBJECT_0) {
    ADD_FAILURE() << "the user-interface thread did not run the call";
    std::abort();
  }
  CloseHandle(call.done);
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
    OnUi(ui, [&] { count = IsWindow(h) ? report->sections().RowCount() : -1; });
    return (rows < 0 ? count > 0 : count == rows) && IsWindowEnabled(h) && FindWindowW(L"dlgbox", nullptr) == nullptr;
  });
  return filled ? h : nullptr;
}

// Every window the calling thread creates while this lives, by class.
class CreatedWindows {
 public:
  CreatedWindows() {
    current_ = this;
    hook_ = SetWindowsHookExW(WH_CBT, &Hook, nullptr, GetCurrentThreadId());
  }
  ~CreatedWindows() {
    UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  int Count(const wchar_t* className) const {
    return static_cast<int>(std::count(names_.begin(), names_.end(), std::wstring(className)));
  }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && current_) {
      wchar_t name[64] = {};
      GetClassNameW(reinterpret_cast<HWND>(wParam), name, 64);
      current_->names_.push_back(name);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static inline CreatedWindows* current_ = nullptr;
  HHOOK hook_ = nullptr;
  std::vector<std::wstring> names_;
};

RECT ChildRect(HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::string Describe(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

class ReportWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    app = std::make_unique<OrvaneApp>();
    app->virtualDrives = kDrives;
    ASSERT_EQ(app->Initialise(GetModuleHandleW(nullptr)), 0);
    app->AddFilterFront(RunUiCall, nullptr);
    window = app->mainWindow.get();
    PumpFiltered();
  }
  void TearDown() override {
    if (window && window->hwnd()) window->Destroy();
    PumpFiltered();
    app.reset();
  }

  // Puts the drives in the main window's list in place of the preset ones.
  void UseDrives(const std::vector<std::pair<char, std::shared_ptr<VirtualDrive>>>& drives) {
    auto port = std::make_unique<VirtualPort>(MakeClosedPort(MakeOsPort()));
    for (const auto& [letter, drive] : drives) port->AddDrive(letter, drive);
    app->driveList = std::make_unique<DriveList>(std::move(port));
    window->DriveSearch();
    PumpFiltered();
  }
  void ChooseRow(int row) {
    test::ClickRow(window->list(), row);
    ASSERT_EQ(window->list().selectedRow(), row);
    ASSERT_TRUE(IsWindowEnabled(window->button(1).hwnd()));
  }
  // "ドライブ情報"; the command runs once the click is pumped.
  void PressDriveInformation() { Click(window->button(1).hwnd()); }

  std::unique_ptr<OrvaneApp> app;
  MainWindow* window = nullptr;
};

TEST_F(ReportWindowTest, EveryPresetShowsTheReportTheConsolePrints) {
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
    bool ownerDisabled = false;
    DriveUi([&] { PressDriveInformation(); },
            [&](DWORD ui) {
              HWND h = WaitForReport(ui, rows);
              ASSERT_NE(h, nullptr);
              ReportWindow* report = ObjectOf<ReportWindow>(h);
              ownerDisabled = !IsWindowEnabled(window->hwnd());
              shownTitle = Utf8(WindowText(GetDlgItem(h, ReportWindow::kIdTitle)));
              OnUi(ui, [&] {
                for (int row = 0; row < rows; ++row)
                  shownTitles += Utf8(Widen(report->sections().CellText(row, 0))) + "\n";
              });
              // Down the list from the keyboard: each row that becomes selected shows its text.
              HWND list = GetDlgItem(h, ReportWindow::kIdSections);
              for (int row = 0; row < rows; ++row) {
                OnUi(ui, [&] { SendMessageW(list, WM_KEYDOWN, row == 0 ? VK_HOME : VK_DOWN, 1); });
                shownSections.push_back(Utf8(WindowText(GetDlgItem(h, ReportWindow::kIdText))));
              }
              test::PressButton(h, ReportWindow::kIdOk);
              ASSERT_TRUE(WaitFor([&] { return !IsWindow(h); }));
            });
    EXPECT_TRUE(ownerDisabled);
    EXPECT_EQ(shownTitle, identification);
    EXPECT_EQ(shownTitles, titles);
    ASSERT_EQ(shownSections.size(), sections.size());
    for (size_t n = 0; n < sections.size(); ++n) {
      // The console prints the title line, then what the pane shows.
      const std::string& console = sections[n];
      const std::string title = console.substr(0, console.find('\n') + 1);
      EXPECT_EQ(title + Lines(shownSections[n]), console) << "section " << n + 1;
    }
    EXPECT_TRUE(IsWindowEnabled(window->hwnd()));
    EXPECT_EQ(FindWindowW(kReportWindowClass, nullptr), nullptr);
  }
}

TEST_F(ReportWindowTest, ListNotificationsShowTheSectionAndAnEmptyOneShowsItsTitle) {
  ReportWindow report;
  ASSERT_EQ(report.CreateOver(window->hwnd()), 0);
  report.report().AddSection(kSectionCapacity, kSectionHead, "Capacity/Geometory").text = "Block Length  2,048\r\n";
  report.report().AddSection(kSectionModeSense, kSectionHead, "Mode Parameter").text = "modeSense (6): length 120\r\n";
  report.report().AddSection(kSectionModeSense, kSectionChild, "  Empty");
  report.report().AddSection(kSectionConfiguration, kSectionHead, "Configuration").text = "ｶﾀｶﾅ 日本語\r\n";
  report.ShowReport();
  report.Show(SW_SHOW);
  PumpFiltered();
  HWND list = report.sections().hwnd();
  auto pane = [&] { return report.text().Text(); };

  const struct {
    int row;
    WORD code;
    const char* shown;  // what the pane shows afterwards
  } cases[] = {
      {0, GridList::kRowSelected, "Block Length  2,048\r\n"},
      {1, GridList::kRowClicked, "modeSense (6): length 120\r\n"},
      {0, GridList::kRowDeselected, "modeSense (6): length 120\r\n"},  // ignored: the pane stays
      {2, GridList::kRowDoubleClicked, "  Empty"},                     // no text: the title
      {3, GridList::kRowSelected, "ｶﾀｶﾅ 日本語\r\n"},
      {9, GridList::kRowSelected, "ｶﾀｶﾅ 日本語\r\n"},  // no such row
  };
  for (const auto& c : cases) {
    SendMessageW(report.hwnd(), WM_COMMAND, MAKEWPARAM(c.row, c.code), reinterpret_cast<LPARAM>(list));
    EXPECT_EQ(pane(), c.shown) << "row " << c.row << " code " << c.code;
  }
  // The text reaches the pane as the user reads it: the half-width and full-width characters.
  EXPECT_EQ(WindowText(report.text().hwnd()), L"ｶﾀｶﾅ 日本語\r\n");
  EXPECT_EQ(report.sections().CellAttributeB(2, 0), GridList::kLeft);  // the indent stays visible

  // The destroy message destroys every section.
  report.Destroy();
  EXPECT_EQ(report.report().RowCount(), 0u);
  EXPECT_EQ(report.sections().RowCount(), 0);
}

TEST(ReportWindowRect, DefaultSizeOrTheMainWindowsCentredAndKeptInTheWorkArea) {
  const RECT area{0, 0, 1280, 1000};
  const struct {
    RECT main;
    RECT expected;
  } cases[] = {
      {{100, 100, 618, 570}, {43, 100, 675, 570}},       // narrower main window: 632 wide, its height
      {{100, 100, 1000, 400}, {100, 40, 1000, 460}},     // wider and lower: its width, 420 high
      {{0, 0, 400, 300}, {0, 0, 632, 420}},              // pushed right and down into the area
      {{1100, 900, 1500, 1100}, {648, 580, 1280, 1000}},  // pushed left and up
      {{-200, 100, 1600, 600}, {-200, 100, 1600, 600}},  // wider than the area: stays centred
  };
  for (const auto& c : cases) {
    const RECT r = ReportWindowRect(c.main, area);
    EXPECT_EQ(Describe(r), Describe(c.expected)) << Describe(c.main);
  }
}

TEST(ReportFontDescription, LosesAPixelOfHeightAboveTwelveAndOfWidthAboveSeven) {
  const struct {
    LONG height, width, derivedHeight, derivedWidth;
  } cases[] = {
      {12, 8, 12, 7},    // the stock OEM fixed font's cell
      {13, 8, 12, 7},
      {12, 7, 12, 7},
      {-13, 0, -12, 0},  // a character height: reduced by its size; the face's own width stays
      {-12, 0, -12, 0},
      {0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    LOGFONTW base{};
    base.lfHeight = c.height;
    base.lfWidth = c.width;
    lstrcpynW(base.lfFaceName, L"IPAGothic", LF_FACESIZE);
    const LOGFONTW derived = ReportFontDescription(base);
    EXPECT_EQ(derived.lfHeight, c.derivedHeight) << c.height << "x" << c.width;
    EXPECT_EQ(derived.lfWidth, c.derivedWidth) << c.height << "x" << c.width;
    EXPECT_STREQ(derived.lfFaceName, L"IPAGothic");
  }
}

// Texts, styles, fonts and background, whatever the size.
void ExpectTextsStylesFontsAndBackground(ReportWindow& report) {
  const HFONT font = report.reportFont();
  const SIZE character = theme::FontCharSize(font);
  EXPECT_EQ(WindowText(report.ok().hwnd()), L"   OK   ");
  EXPECT_EQ(WindowText(report.hwnd()), L"Orvane - DVD-RAM Utility");
  const LONG style = GetWindowLongW(report.hwnd(), GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_MAXIMIZEBOX),
            WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  const LONG paneStyle = GetWindowLongW(report.text().hwnd(), GWL_STYLE);
  EXPECT_EQ(paneStyle & (WS_VSCROLL | WS_HSCROLL | ES_READONLY | ES_MULTILINE),
            WS_VSCROLL | WS_HSCROLL | ES_READONLY | ES_MULTILINE);
  EXPECT_NE(GetWindowLongW(report.title().hwnd(), GWL_STYLE) & ES_READONLY, 0);

  // The report font: the fixed-pitch font's description, derived; the list and the pane use it.
  LOGFONTW base{}, made{};
  GetObjectW(theme::FixedFont(), sizeof base, &base);
  GetObjectW(font, sizeof made, &made);
  const LOGFONTW expected = ReportFontDescription(base);
  EXPECT_EQ(made.lfHeight, expected.lfHeight);
  EXPECT_EQ(made.lfWidth, expected.lfWidth);
  EXPECT_STREQ(made.lfFaceName, expected.lfFaceName);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(report.text().hwnd(), WM_GETFONT, 0, 0)), font);
  EXPECT_EQ(report.sections().RowHeight(), character.cy + 8);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(report.title().hwnd(), WM_GETFONT, 0, 0)), theme::UiFont());

  // The title field and the pane are drawn on white.
  HDC dc = GetDC(report.text().hwnd());
  const LRESULT brush = SendMessageW(report.hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(report.text().hwnd()));
  ReleaseDC(report.text().hwnd(), dc);
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), GetStockObject(WHITE_BRUSH));
}

TEST_F(ReportWindowTest, ControlsFollowTheWindowsSize) {
  RECT start;
  GetWindowRect(window->hwnd(), &start);
  const SIZE sizes[] = {
      {start.right - start.left, start.bottom - start.top},  // the main window as it opens
      {760, 300},                                            // wider only
  };
  const SIZE okLabel = PushButton::MeasureLabel(theme::UiFont(), "   OK   ");
  const int titleHeight = theme::FontCharSize(theme::UiFont()).cy;
  for (const SIZE& size : sizes) {
    SCOPED_TRACE(std::to_string(size.cx) + "x" + std::to_string(size.cy));
    // Far enough from the screen's edges that the window is centred, not moved into the work area.
    SetWindowPos(window->hwnd(), nullptr, 200, 200, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    ReportWindow report;
    ASSERT_EQ(report.CreateOver(window->hwnd()), 0);
    report.Show(SW_SHOW);
    report.Update();
    PumpFiltered();

    RECT main, r, client;
    GetWindowRect(window->hwnd(), &main);
    GetWindowRect(report.hwnd(), &r);
    GetClientRect(report.hwnd(), &client);
    EXPECT_EQ(r.right - r.left, std::max<LONG>(632, main.right - main.left));
    EXPECT_EQ(r.bottom - r.top, std::max<LONG>(420, main.bottom - main.top));
    EXPECT_LE(std::abs((r.left + r.right) - (main.left + main.right)), 1);
    EXPECT_LE(std::abs((r.top + r.bottom) - (main.top + main.bottom)), 1);

    const HFONT font = report.reportFont();
    ASSERT_NE(font, nullptr);
    const SIZE character = theme::FontCharSize(font);
    const LONG w = client.right, h = client.bottom;
    const RECT ok{w - 8 - (okLabel.cx + 16), h - 2 - (okLabel.cy + 8), w - 8, h - 2};
    const RECT title{2, 2, w - 2, 2 + titleHeight + 4};
    const RECT list{2, title.bottom + 4, 2 + 24 * character.cx + 2, ok.top - 4};
    const RECT pane{list.right + 4, list.top, w - 2, list.bottom};
    const struct {
      int id;
      RECT expected;
    } controls[] = {{ReportWindow::kIdTitle, title},
                    {ReportWindow::kIdSections, list},
                    {ReportWindow::kIdText, pane},
                    {ReportWindow::kIdOk, ok}};
    for (const auto& c : controls) {
      HWND child = GetDlgItem(report.hwnd(), c.id);
      ASSERT_NE(child, nullptr) << c.id;
      EXPECT_EQ(Describe(ChildRect(child)), Describe(c.expected)) << c.id;
      EXPECT_TRUE(IsWindowVisible(child)) << c.id;  // shown by the first paint
    }
    EXPECT_GT(pane.right - pane.left, 0);
    if (&size == sizes) ExpectTextsStylesFontsAndBackground(report);
  }
}

// A DVD-RAM drive whose every command takes `overheadMs`, once its timing is turned on.
std::shared_ptr<VirtualDrive> SlowDvdRam(double overheadMs) {
  DrivePreset preset = *FindDrivePreset("dvdram");
  preset.timing = {};
  preset.timing.commandOverheadMs = overheadMs;
  return std::shared_ptr<VirtualDrive>(MakeVirtualDrive(preset));
}

TEST_F(ReportWindowTest, CancelWhileGatheringWaitsForTheDriveThenLeavesNothing) {
  const struct {
    const char* how;
    bool closeBox;  // the report window's own close request instead of the box's button
  } cases[] = {{"the box's キャンセル", false}, {"the report window's close box", true}};
  std::shared_ptr<VirtualDrive> drive = SlowDvdRam(300);
  UseDrives({{'E', drive}});

  // How many commands a whole gathering sends, measured at full speed.
  ChooseRow(0);
  drive->ClearCommandLog();
  DriveUi([&] { PressDriveInformation(); },
          [&](DWORD ui) {
            HWND h = WaitForReport(ui);
            ASSERT_NE(h, nullptr);
            test::PressButton(h, ReportWindow::kIdOk);
            ASSERT_TRUE(WaitFor([&] { return !IsWindow(h); }));
          });
  const uint64_t wholeGathering = drive->CommandCount();
  ASSERT_GT(wholeGathering, 3u);

  drive->SetTimingEnabled(true);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    drive->ClearCommandLog();
    bool emptyWhileGathering = false, boxStayed = false, ownerDisabled = false;
    std::wstring boxCaption, boxButton;
    CreatedWindows created;
    DriveUi([&] { PressDriveInformation(); },
            [&](DWORD ui) {
              HWND box = WaitForWindow(ui, L"dlgbox");
              ASSERT_NE(box, nullptr);
              HWND h = FindWindowW(kReportWindowClass, nullptr);
              ASSERT_NE(h, nullptr);
              ReportWindow* report = ObjectOf<ReportWindow>(h);
              ASSERT_NE(report, nullptr);
              OnUi(ui, [&] { emptyWhileGathering = report->sections().RowCount() == 0 && IsWindowVisible(h); });
              ownerDisabled = !IsWindowEnabled(window->hwnd());
              boxCaption = WindowText(box);
              boxButton = WindowText(GetDlgItem(box, kIdOk));
              if (c.closeBox)
                PostMessageW(h, WM_CLOSE, 0, 0);
              else
                test::PressButton(box, kIdOk);
              // The drive commands under way are not interrupted: the box and the window wait.
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
    // No message: the progress box was the only box.
    EXPECT_EQ(created.Count(L"dlgbox"), 1);
    EXPECT_EQ(created.Count(kReportWindowClass), 1);
    EXPECT_EQ(FindWindowW(kReportWindowClass, nullptr), nullptr);
    EXPECT_TRUE(IsWindowEnabled(window->hwnd()));
    EXPECT_EQ(GetActiveWindow(), window->hwnd());
  }
}

TEST_F(ReportWindowTest, OkAndTheCloseBoxEndTheWindowAndGiveTheOwnerBackAsItWas) {
  const struct {
    const char* how;
    bool closeBox;
    bool ownerEnabled;
  } cases[] = {
      {"OK", false, true},
      {"close box", true, true},
      {"OK over a disabled owner", false, false},
  };
  ChooseRow(0);
  const DriveRecord record = *window->ChosenRecord();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    EnableWindow(window->hwnd(), c.ownerEnabled ? TRUE : FALSE);
    int result = -2;
    ReportWindow report;
    DriveUi([&] { result = report.Run(app->driveList->Device(), record, window->hwnd()); },
            [&](DWORD ui) {
              HWND h = WaitForReport(ui);
              ASSERT_NE(h, nullptr);
              if (c.closeBox)
                PostMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0);
              else
                test::PressButton(h, ReportWindow::kIdOk);
              ASSERT_TRUE(WaitFor([&] { return !IsWindow(h); }));
            });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(report.hwnd(), nullptr);
    EXPECT_EQ(IsWindowEnabled(window->hwnd()) != FALSE, c.ownerEnabled);
    EXPECT_TRUE(IsWindowVisible(window->hwnd()));
    if (c.ownerEnabled) {
      EXPECT_EQ(GetActiveWindow(), window->hwnd());
      EXPECT_EQ(GetFocus(), window->list().hwnd());  // the main window passes its focus on
    }
  }
  EnableWindow(window->hwnd(), TRUE);
}

TEST_F(ReportWindowTest, DriveThatDoesNotOpenShowsNothing) {
  std::shared_ptr<VirtualDrive> drive = SlowDvdRam(0);
  UseDrives({{'E', drive}});
  ChooseRow(0);
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

}  // namespace
}  // namespace orv
