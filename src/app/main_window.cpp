#include "app/main_window.h"

#include <shellapi.h>

#include <algorithm>

#include "app/app_shell.h"
#include "app/surface_window.h"
#include "bench/benchmark_run.h"
#include "bench/win32/benchmark_report_window.h"
#include "device/drive_list.h"
#include "operations/backup_run.h"
#include "operations/backup_run_texts.h"
#include "operations/erase_with_backup.h"
#include "operations/image_write.h"
#include "operations/image_write_texts.h"
#include "report/win32/report_window.h"
#include "toolkit/format.h"
#include "toolkit/win32/dlgbox.h"
#include "toolkit/win32/theme.h"
#include "toolkit/win32/wide.h"

namespace orv {

namespace {

// The main window cannot be resized: its layout is measured once.
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // CA0000h
constexpr DWORD kExStyle = WS_EX_APPWINDOW;                         // 40000h
constexpr uint32_t kListStyle = 0x11;
constexpr DWORD kPaneStyle = WS_CHILD | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY;  // 40A00804h
constexpr DWORD kButtonStyle = WS_TABSTOP | WS_GROUP;  // 18000h (visible once laid out in show mode)

const char* const kButtonLabels[5] = {"ドライブ検索", "ドライブ情報", "イメージ書込", "ディスク消去",
                                      "ベンチマーク"};

// The menu: (popup, id, label) rows in order; id -1 creates the popup under its title.
struct MenuRow {
  int popup;
  int id;
  const char* label;
};
constexpr MenuRow kMenuRows[] = {
    {1, -1, "ファイル(&F)"},
    {1, kCmdDiscBackup, kBackupMenuLabel},
    {1, kCmdDiscCompare, kCompareMenuLabel},
    {1, kCmdSurfaceScan, kSurfaceMenuLabel},
    {1, kCmdExit, "終了"},
    {2, -1, "ヘルプ(&H)"},
    {2, kCmdHelp, "説明"},
    {2, kCmdAbout, "Orvaneについて..."},
};

constexpr char kNotice[] = "本ソフトウェアは無保証です。大切なディスクは前もってバックアップしてください。";

}  // namespace

MainWindow::MainWindow(OrvaneApp& app) : app_(app) {
  listFont_ = theme::FixedFont();
  paneFont_ = theme::FixedFont();
  buttonFont_ = theme::UiFont();
}

MainWindow::~MainWindow() = default;

const MessageTable& MainWindow::ClassMessages() {
  static const MessageTable table = [] {
    MessageTable t(Window::ClassMessages());
    t.Add(WM_CREATE, Thunk<MainWindow, &MainWindow::OnCreate>);
    t.Add(WM_PAINT, Thunk<MainWindow, &MainWindow::OnPaint>);
    t.Add(WM_COMMAND, Thunk<MainWindow, &MainWindow::OnCommand>);
    t.Add(WM_CLOSE, Thunk<MainWindow, &MainWindow::OnClose>);
    t.Add(WM_DESTROY, Thunk<MainWindow, &MainWindow::OnDestroy>);
    // The keyboard starts in the drive list whenever the window gets the focus back.
    t.Add(WM_SETFOCUS, [](Window& w, UINT, WPARAM, LPARAM) -> LRESULT {
      auto& self = static_cast<MainWindow&>(w);
      if (self.list_.hwnd()) SetFocus(self.list_.hwnd());
      return 0;
    });
    t.Add(WM_CTLCOLOREDIT, Thunk<MainWindow, &MainWindow::OnCtlColor>);
    t.Add(WM_CTLCOLORSTATIC, Thunk<MainWindow, &MainWindow::OnCtlColor>);
    return t;
  }();
  return table;
}

std::string MainWindow::ExitQuestion() { return Format("　　%s を終了しますか？　　", kMainTitle); }

std::string MainWindow::AboutText() {
  return Format("%s  Version %s\r\n\r\n%s ", kMainTitle, kVersion, kNotice);
}

int MainWindow::CreateMain() {
  static const HBRUSH background = CreateSolidBrush(theme::kWindow);
  const WindowClass wc{kMainClass, CS_HREDRAW | CS_VREDRAW, app_.icon32, app_.icon16, nullptr,
                       background};
  wc.Register();
  HWND desktop = GetDesktopWindow();
  HDC dc = GetDC(desktop);
  Layout(LayoutMode::kMeasure, dc);
  ReleaseDC(desktop, dc);
  return Create(kExStyle, kMainClass, kMainTitle, kStyle, CW_USEDEFAULT, CW_USEDEFAULT, width_,
                height_, nullptr, nullptr);
}

// One routine for the three moments of the layout, so that the measured size and the placed
// controls can never disagree.
void MainWindow::Layout(LayoutMode mode, HDC dc) {
  RECT client{0, 0, 512, 400};
  if (mode != LayoutMode::kMeasure) GetClientRect(hwnd(), &client);
  const int clientWidth = client.right - client.left;
  if (mode == LayoutMode::kCreate) BuildMenu();

  const HFONT menuFont = theme::UiFont();
  const int menuFontHeight = theme::FontCharSize(dc, menuFont).cy;
  const int y0 = client.top + menuFontHeight + 10;
  if (mode == LayoutMode::kCreate) {
    menu_.Create(hwnd(), client.left, client.top, clientWidth, menuFontHeight + 8, menuFont);
    menu_.RegisterWithApplication();
  }

  const int listMinWidth = 73 * theme::FontCharSize(dc, listFont_).cx + 32;
  if (mode == LayoutMode::kCreate) {
    list_.Create(hwnd(), kCmdDriveList, client.left + 2, y0 + 2, clientWidth - 4, 220, kListStyle,
                 listFont_);
  }

  const int paneMinWidth = 80 * theme::FontCharSize(dc, paneFont_).cx + 32;
  if (mode == LayoutMode::kCreate) {
    pane_.Create(hwnd(), kCmdInfoPane, client.left + 2, y0 + 230, clientWidth - 4, 140, kPaneStyle);
    pane_.SetFont(paneFont_, false);
  }

  int buttonWidth = 0, buttonHeight = 0;
  for (const char* label : kButtonLabels) {
    const SIZE s = PushButton::MeasureLabel(buttonFont_, label);
    buttonWidth = std::max<int>(buttonWidth, s.cx);
    buttonHeight = std::max<int>(buttonHeight, s.cy);
  }
  buttonWidth += 16;
  buttonHeight += 8;
  if (mode == LayoutMode::kCreate) {
    for (int i = 0; i < 5; ++i) {
      buttons_[static_cast<size_t>(i)].Create(hwnd(), kCmdDriveSearch + i, kButtonLabels[i],
                                              (buttonWidth + 8) * i + client.left + 6, y0 + 378,
                                              buttonWidth, buttonHeight, kButtonStyle, buttonFont_);
    }
  }

  if (mode == LayoutMode::kShow) {
    Window* children[] = {&menu_, &list_, &pane_, &buttons_[0], &buttons_[1], &buttons_[2],
                          &buttons_[3], &buttons_[4]};
    for (Window* child : children)
      if (child->IsVisible() == 0) child->Show(SW_SHOW);
  }

  if (mode == LayoutMode::kMeasure) {
    const int height = y0 + 376 + buttonHeight + 16;
    const int width = std::max({512, listMinWidth, paneMinWidth, 5 * buttonWidth + 40});
    RECT r{0, 0, width, height};
    AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
    width_ = r.right - r.left;
    height_ = r.bottom - r.top;
  }
}

void MainWindow::BuildMenu() {
  int popups[3] = {-1, -1, -1};
  for (const MenuRow& row : kMenuRows) {
    if (row.id == -1) {
      if (popups[row.popup] < 0) popups[row.popup] = menu_.AddPopup(row.label);
    } else {
      menu_.AddItem(popups[row.popup], row.id, row.label);
    }
  }
}

LRESULT MainWindow::OnCreate(UINT, WPARAM, LPARAM) {
  HDC dc = GetDC(hwnd());
  Layout(LayoutMode::kCreate, dc);
  ReleaseDC(hwnd(), dc);
  UpdateCommandState(false);
  return 0;
}

LRESULT MainWindow::OnPaint(UINT, WPARAM, LPARAM) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd(), &ps);
  Layout(LayoutMode::kShow, dc);
  EndPaint(hwnd(), &ps);
  return 0;
}

LRESULT MainWindow::OnCommand(UINT, WPARAM wParam, LPARAM lParam) {
  if (list_.hwnd() && reinterpret_cast<HWND>(lParam) == list_.hwnd()) {
    const int row = LOWORD(wParam);
    switch (HIWORD(wParam)) {
      case GridList::kRowClicked:
      case GridList::kRowDoubleClicked:
      case GridList::kRowSelected:
        RowChosen(row);
        break;
      case GridList::kRowDeselected:
        RowDeselected();
        break;
    }
    return 0;
  }
  switch (LOWORD(wParam)) {
    case kCmdExit:
      SendMessageW(hwnd(), WM_CLOSE, 0, 0);
      break;
    case kCmdHelp:
      ShowHelp();
      break;
    case kCmdAbout:
      ShowAbout();
      break;
    case kCmdDriveSearch:
      DriveSearch();
      break;
    case kCmdDriveInfo:
    case kCmdImageWrite:
    case kCmdDiscErase:
    case kCmdBenchmark:
    case kCmdDiscBackup:
    case kCmdDiscCompare:
    case kCmdSurfaceScan:
      RunDriveCommand(LOWORD(wParam));
      break;
  }
  return 0;
}

// The drive commands work on the record of the current choice; without one they do
// nothing. Their operations join here as they are built.
int MainWindow::RunDriveCommand(int command) {
  const DriveRecord* record = ChosenRecord();
  if (!record) return -1;
  switch (command) {
    case kCmdDriveInfo: {
      ReportWindow report;
      return report.Run(app_.driveList->Device(), *record, hwnd());
    }
    case kCmdDiscErase: {
      // A copy: the erase refreshes its capacity, and the list's records stay as the scan left them.
      DriveRecord target = *record;
      EraseOptions options;
      options.backupFolder = app_.programDirectory;
      return EraseWithBackup(app_.ui, *app_.driveList, target, options);
    }
    case kCmdBenchmark:
      RunBenchmark(app_.ui, *app_.driveList, *record, SteadyBenchClock(), [this](std::span<const BenchmarkResult> rows) {
        BenchmarkReportWindow report(rows);
        report.Run(hwnd());
      });
      break;
    case kCmdDiscBackup:
      return RunBackupWindow(app_.ui, *app_.driveList, *record).code;
    case kCmdDiscCompare:
      return RunCompareWindow(app_.ui, *app_.driveList, *record).code;
    case kCmdSurfaceScan: {
      SurfaceWindow scan(*app_.driveList, *record);
      return scan.Run(hwnd());
    }
    case kCmdImageWrite: {
      // The dialog opens in the program's folder until a file has been chosen once, then where
      // the system last left off.
      std::string chosen;
      if (app_.imageOpenDialog.OpenFile(hwnd(), kImageFileChoiceTitle, kImageFileDefaultExtension, chosen) != 0)
        return 0;
      app_.imageOpenDialog.initialDirectory.clear();
      return ImageWrite(app_.ui, *app_.driveList, *record, std::filesystem::path(app_.imageOpenDialog.chosenPath));
    }
  }
  return 0;
}

void MainWindow::ShowHelp() {
  const std::filesystem::path file = app_.programDirectory / L"orvane.htm";
  ShellExecuteW(hwnd(), L"open", file.c_str(), nullptr, app_.programDirectory.c_str(), SW_SHOWNORMAL);
}

void MainWindow::ShowAbout() {
  DlgBox box;
  box.icon = app_.icon32;
  box.textFormat = DT_NOPREFIX | DT_RIGHT;  // 802h
  box.RunModal(hwnd(), AboutText(), Format("%s について", kMainTitle), kBoxOk);
}

LRESULT MainWindow::OnClose(UINT, WPARAM, LPARAM) {
  DlgBox box;
  if (box.RunModal(hwnd(), ExitQuestion(), "確認", kBoxYesNo | kBoxIconQuestion) ==
      kIdYes)
    Destroy();
  return 0;
}

LRESULT MainWindow::OnDestroy(UINT, WPARAM, LPARAM) {
  PostQuitMessage(0);
  return 0;
}

LRESULT MainWindow::OnCtlColor(UINT message, WPARAM wParam, LPARAM lParam) {
  if (pane_.hwnd() && reinterpret_cast<HWND>(lParam) == pane_.hwnd()) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, theme::kText);
    SetBkColor(dc, RGB(0xFF, 0xFF, 0xFF));
    return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
  }
  return Default(message, wParam, lParam);
}

}  // namespace orv
