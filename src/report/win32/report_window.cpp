#include "report/win32/report_window.h"

#include <algorithm>

#include "report/build_report.h"
#include "report/win32/gathering_ui.h"
#include "report/win32/report_layout.h"
#include "toolkit/ui.h"
#include "toolkit/win32/theme.h"
#include "toolkit/win32/wide.h"

namespace orv {

namespace {

// A caption with the system menu and a minimise box; no sizing border: the layout is made for
// the size the window opens with.
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kTitleStyle = WS_CHILD | WS_BORDER | ES_READONLY | ES_AUTOHSCROLL;
// Both scroll bars: dump lines are wider than the pane, and a multi-line edit with a horizontal
// scroll bar never wraps, so every line stays one line.
constexpr DWORD kTextStyle =
    WS_CHILD | WS_BORDER | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL;
constexpr uint32_t kSectionListStyle = GridList::kVScrollAuto | GridList::kHScrollAuto;
constexpr DWORD kOkStyle = WS_TABSTOP;
constexpr char kOkLabel[] = "   OK   ";

// The list's one column is at least as wide as its longest title (with the cell's padding on
// both sides), so a long title is scrolled to rather than cut.
constexpr int kTitlePadding = 8;

// The stock fonts the window was drawn with show no Japanese under every system code page;
// the program's own faces stand in for them: the UI font for the title field (system font) and
// the OK button (default GUI font), the fixed-pitch font as the base of the report font (OEM
// fixed font).
HFONT TitleFont() { return theme::UiFont(); }
HFONT ButtonFont() { return theme::UiFont(); }

RECT WorkAreaOf(HWND window) {
  RECT area{};
  HMONITOR monitor = MonitorFromWindow(window ? window : GetDesktopWindow(), MONITOR_DEFAULTTONEAREST);
  MONITORINFO info{sizeof info, {}, {}, 0};
  if (monitor && GetMonitorInfoW(monitor, &info)) return info.rcWork;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

// A control's rectangle in its parent's client coordinates.
RECT PlacedRect(const Window& control, HWND parent) {
  RECT r{};
  control.WindowRect(r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void Place(Window& control, HWND parent, const RECT& r) {
  if (!control.hwnd()) return;
  const RECT now = PlacedRect(control, parent);
  if (!EqualRect(&r, &now))
    MoveWindow(control.hwnd(), r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  if (control.IsVisible() == 0) control.Show(SW_SHOW);
}

}  // namespace

ReportWindow::ReportWindow() = default;

ReportWindow::~ReportWindow() {
  if (hwnd()) Destroy();
  if (reportFont_) DeleteObject(reportFont_);
}

const MessageTable& ReportWindow::ClassMessages() {
  static const MessageTable table = [] {
    MessageTable t(Window::ClassMessages());
    t.Add(WM_CREATE, Thunk<ReportWindow, &ReportWindow::OnCreate>);
    t.Add(WM_PAINT, Thunk<ReportWindow, &ReportWindow::OnPaint>);
    t.Add(WM_COMMAND, Thunk<ReportWindow, &ReportWindow::OnCommand>);
    t.Add(WM_CLOSE, Thunk<ReportWindow, &ReportWindow::OnClose>);
    t.Add(WM_DESTROY, Thunk<ReportWindow, &ReportWindow::OnDestroy>);
    t.Add(WM_CTLCOLOREDIT, Thunk<ReportWindow, &ReportWindow::OnCtlColor>);
    t.Add(WM_CTLCOLORSTATIC, Thunk<ReportWindow, &ReportWindow::OnCtlColor>);
    // The keyboard starts in the section list whenever the window gets the focus back.
    t.Add(WM_SETFOCUS, [](Window& w, UINT, WPARAM, LPARAM) -> LRESULT {
      auto& self = static_cast<ReportWindow&>(w);
      if (self.sections_.hwnd()) SetFocus(self.sections_.hwnd());
      return 0;
    });
    return t;
  }();
  return table;
}

int ReportWindow::CreateOver(HWND owner) {
  if (hwnd()) return -1;
  // Registered once; the caption shows the program's icon, taken from the main window's class.
  static const HBRUSH background = CreateSolidBrush(theme::kWindow);
  const HICON icon = owner ? reinterpret_cast<HICON>(GetClassLongPtrW(owner, GCLP_HICON)) : nullptr;
  const HICON smallIcon = owner ? reinterpret_cast<HICON>(GetClassLongPtrW(owner, GCLP_HICONSM)) : nullptr;
  const WindowClass wc{kReportWindowClass, CS_HREDRAW | CS_VREDRAW, icon, smallIcon, nullptr, background};
  if (wc.Register() != 0) return -1;

  const RECT area = WorkAreaOf(owner);
  RECT over = area;
  if (owner) GetWindowRect(owner, &over);
  const RECT r = ReportWindowRect(over, area);
  return Create(0, kReportWindowClass, kAppTitle, kStyle, r.left, r.top, r.right - r.left, r.bottom - r.top,
                owner, nullptr);
}

void ReportWindow::Layout(LayoutMode mode, HDC dc) {
  RECT client{};
  GetClientRect(hwnd(), &client);
  const HFONT font = reportFont_ ? reportFont_ : theme::FixedFont();
  const ReportMetrics metrics{{client.right - client.left, client.bottom - client.top},
                              PushButton::MeasureLabel(ButtonFont(), kOkLabel),
                              theme::FontCharSize(dc, TitleFont()).cy,
                              theme::FontCharSize(dc, font).cx};
  const ReportLayout at = LayOutReport(metrics);
  auto width = [](const RECT& r) { return r.right - r.left; };
  auto height = [](const RECT& r) { return r.bottom - r.top; };

  if (mode == LayoutMode::kCreate) {
    title_.CreateSubclassed(0, L"EDIT", "", kTitleStyle, at.title.left, at.title.top, width(at.title),
                            height(at.title), hwnd(), kIdTitle);
    title_.SetFont(TitleFont(), false);
    sections_.Create(hwnd(), kIdSections, at.list.left, at.list.top, width(at.list), height(at.list),
                     kSectionListStyle, font);
    text_.Create(hwnd(), kIdText, at.pane.left, at.pane.top, width(at.pane), height(at.pane), kTextStyle);
    text_.SetFont(font, false);
    ok_.Create(hwnd(), kIdOk, kOkLabel, at.ok.left, at.ok.top, width(at.ok), height(at.ok), kOkStyle,
               ButtonFont());
    return;
  }
  Place(title_, hwnd(), at.title);
  Place(sections_, hwnd(), at.list);
  Place(text_, hwnd(), at.pane);
  Place(ok_, hwnd(), at.ok);
}

LRESULT ReportWindow::OnCreate(UINT, WPARAM, LPARAM) {
  if (!reportFont_) reportFont_ = MakeReportFont(theme::FixedFont());
  HDC dc = GetDC(hwnd());
  Layout(LayoutMode::kCreate, dc);
  ReleaseDC(hwnd(), dc);
  return 0;
}

LRESULT ReportWindow::OnPaint(UINT, WPARAM, LPARAM) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd(), &ps);
  Layout(LayoutMode::kShow, dc);
  EndPaint(hwnd(), &ps);
  return 0;
}

void ReportWindow::ShowReport() {
  SetWindowTextW(title_.hwnd(), Widen(report_.Identification()).c_str());
  sections_.RemoveAllRows();
  sections_.SetSelection(-1, -1);
  text_.SetText("");

  int widest = 0;
  HDC dc = GetDC(sections_.hwnd());
  HGDIOBJ oldFont = SelectObject(dc, reportFont_ ? reportFont_ : theme::FixedFont());
  for (size_t i = 0; i < report_.RowCount(); ++i) {
    const int row = static_cast<int>(i);
    const std::string& title = report_.RowTitle(i);
    sections_.SetCellText(row, 0, title);
    sections_.SetCellAttributes(row, 0, 0, GridList::kLeft);
    // Rows are in report order: a row's item data is its section's place in the report.
    sections_.SetItemData(row, 0, static_cast<uint32_t>(i));
    const std::wstring wide = Widen(title);
    SIZE extent{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
    widest = std::max<int>(widest, extent.cx);
  }
  SelectObject(dc, oldFont);
  ReleaseDC(sections_.hwnd(), dc);

  RECT client{};
  sections_.ClientRect(client);
  sections_.SetColumnWidth(0, std::max<int>(client.right - client.left, widest + 2 * kTitlePadding));
  sections_.Invalidate(nullptr, false);
}

void ReportWindow::ShowSection(int row) {
  uint32_t index = 0;
  if (sections_.GetItemData(row, 0, index) != 0 || index >= report_.RowCount()) return;
  text_.SetText(std::string(report_.RowDisplayText(index)).c_str());
}

LRESULT ReportWindow::OnCommand(UINT, WPARAM wParam, LPARAM lParam) {
  if (sections_.hwnd() && reinterpret_cast<HWND>(lParam) == sections_.hwnd()) {
    switch (HIWORD(wParam)) {
      case GridList::kRowClicked:
      case GridList::kRowDoubleClicked:
      case GridList::kRowSelected:
        ShowSection(LOWORD(wParam));
        break;
      case GridList::kRowDeselected:  // the pane keeps what it shows
        break;
    }
    return 0;
  }
  // Posted: the button is still inside its click when the window, and the button with it, goes.
  if (LOWORD(wParam) == kIdOk && HIWORD(wParam) == PushButton::kClicked) PostMessageW(hwnd(), WM_CLOSE, 0, 0);
  return 0;
}

LRESULT ReportWindow::OnClose(UINT, WPARAM, LPARAM) {
  if (gathering_) {
    closeRequested_ = true;
    return 0;
  }
  Destroy();
  return 0;
}

LRESULT ReportWindow::OnDestroy(UINT, WPARAM, LPARAM) {
  title_.Destroy();
  sections_.Destroy();
  text_.Destroy();
  ok_.Destroy();
  sections_.RemoveAllRows();
  // While the worker runs the sections are its own; Run empties the report after the join.
  if (!gathering_) report_.Clear();
  if (reportFont_) {
    DeleteObject(reportFont_);
    reportFont_ = nullptr;
  }
  return 0;
}

LRESULT ReportWindow::OnCtlColor(UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND control = reinterpret_cast<HWND>(lParam);
  if (control && (control == title_.hwnd() || control == text_.hwnd())) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, theme::kText);
    SetBkColor(dc, RGB(0xFF, 0xFF, 0xFF));
    return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
  }
  return Default(message, wParam, lParam);
}

void ReportWindow::RunUntilClosed() {
  // After a quit the application's loop ends the program once this window has gone.
  PumpUntilDestroyed(true);
}

int ReportWindow::Run(DeviceHandle& device, const DriveRecord& record, HWND owner) {
  if (OpenReportDrive(device, record) != 0) return -1;
  if (CreateOver(owner) != 0) {
    device.Close();
    return -1;
  }
  const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (owner) EnableWindow(owner, FALSE);
  Show(SW_SHOW);
  Update();

  int result = 0;
  {
    // The box belongs to this window: it keeps the window disabled while the worker runs and
    // gives it back, active, when it closes.
    GatheringUi ui(hwnd());
    gathering_ = true;
    closeRequested_ = false;
    const int rc = GatherOpenDriveReport(ui, report_, device, record);
    gathering_ = false;
    result = rc < 0 ? -1 : (rc > 0 || closeRequested_) ? 1 : 0;
  }
  // The report is read; the drive is free for other programs until the next command opens it.
  device.Close();

  if (result == 0 && hwnd()) {
    ShowReport();
    SetForegroundWindow(hwnd());
    SetFocus(sections_.hwnd());
    RunUntilClosed();
  }
  if (hwnd()) Destroy();
  report_.Clear();

  if (owner && IsWindow(owner)) {
    EnableWindow(owner, ownerWasEnabled ? TRUE : FALSE);
    ShowWindow(owner, SW_SHOW);
    SetActiveWindow(owner);
    SetFocus(owner);
    SetForegroundWindow(owner);
  }
  return result;
}

}  // namespace orv
