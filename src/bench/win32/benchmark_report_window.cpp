#include "bench/win32/benchmark_report_window.h"

#include "toolkit/ui.h"
#include "toolkit/win32/theme.h"

namespace orv {

namespace {

constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_APPWINDOW;  // in the task bar, although it has an owner
constexpr uint32_t kListStyle = GridList::kVScrollAuto | GridList::kHScrollAuto;
constexpr DWORD kButtonStyle = WS_VISIBLE | WS_TABSTOP;

PixelSize SizeOf(SIZE s) { return {static_cast<int>(s.cx), static_cast<int>(s.cy)}; }
PixelRect RectOf(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

RECT WorkAreaOf(HWND window) {
  RECT area{};
  MONITORINFO info{sizeof info, {}, {}, 0};
  HMONITOR monitor = MonitorFromWindow(window ? window : GetDesktopWindow(), MONITOR_DEFAULTTONEAREST);
  if (monitor && GetMonitorInfoW(monitor, &info)) return info.rcWork;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

void Move(Window& control, const PixelRect& r) {
  if (control.hwnd()) MoveWindow(control.hwnd(), r.left, r.top, r.Width(), r.Height(), TRUE);
}

}  // namespace

BenchmarkReportWindow::BenchmarkReportWindow(std::span<const BenchmarkResult> rows)
    : rows_(rows), columns_(MeasureBenchmarkColumns(rows)) {
  // The program's fixed-pitch and interface fonts: the system's stock fixed and GUI fonts
  // have no Japanese glyphs on every system (Wine's among them).
  listFont_ = theme::FixedFont();
  buttonFont_ = theme::UiFont();
  metrics_.listChar = SizeOf(theme::FontCharSize(listFont_));
  metrics_.copyLabel = SizeOf(PushButton::MeasureLabel(buttonFont_, kBenchCopyLabel));
  metrics_.okLabel = SizeOf(PushButton::MeasureLabel(buttonFont_, kBenchOkLabel));
}

BenchmarkReportWindow::~BenchmarkReportWindow() {
  if (hwnd()) Destroy();
  RestoreOwner();
}

const MessageTable& BenchmarkReportWindow::ClassMessages() {
  static const MessageTable table = [] {
    MessageTable t(Window::ClassMessages());
    t.Add(WM_CREATE, Thunk<BenchmarkReportWindow, &BenchmarkReportWindow::OnCreate>);
    t.Add(WM_DESTROY, Thunk<BenchmarkReportWindow, &BenchmarkReportWindow::OnDestroy>);
    t.Add(WM_CLOSE, Thunk<BenchmarkReportWindow, &BenchmarkReportWindow::OnClose>);
    t.Add(WM_PAINT, Thunk<BenchmarkReportWindow, &BenchmarkReportWindow::OnPaint>);
    t.Add(WM_COMMAND, Thunk<BenchmarkReportWindow, &BenchmarkReportWindow::OnCommand>);
    t.Add(WM_CTLCOLOREDIT, Thunk<BenchmarkReportWindow, &BenchmarkReportWindow::OnCtlColor>);
    t.Add(WM_CTLCOLORSTATIC, Thunk<BenchmarkReportWindow, &BenchmarkReportWindow::OnCtlColor>);
    return t;
  }();
  return table;
}

int BenchmarkReportWindow::Run(HWND owner) {
  if (hwnd()) return -1;
  static const HBRUSH background = CreateSolidBrush(theme::kWindow);
  const WindowClass wc{kBenchReportClass, CS_HREDRAW | CS_VREDRAW, nullptr, nullptr, nullptr, background};
  if (wc.Register() != 0) return -1;
  // Made hidden: its size depends on the list's row height, known once the list exists.
  if (Create(kExStyle, kBenchReportClass, kAppTitle, kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 560, 200, owner, nullptr) !=
      0)
    return -1;

  const int rows = static_cast<int>(rows_.size());
  const PixelSize client = BenchReportClientSize(rows, columns_, metrics_);
  RECT outer{0, 0, client.width, client.height};
  AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
  const PixelSize window{static_cast<int>(outer.right - outer.left), static_cast<int>(outer.bottom - outer.top)};
  RECT ownerRect = WorkAreaOf(owner);
  if (owner) GetWindowRect(owner, &ownerRect);
  const PixelPoint at = PlaceBenchReport(window, RectOf(ownerRect), RectOf(WorkAreaOf(owner)));
  SetWindowPos(hwnd(), nullptr, at.x, at.y, window.width, window.height, SWP_NOZORDER | SWP_NOACTIVATE);
  LayOut();

  owner_ = owner;
  if (owner_) {
    ownerWasEnabled_ = IsWindowEnabled(owner_) != FALSE;
    EnableWindow(owner_, FALSE);
  }
  ShowWindow(hwnd(), SW_SHOW);
  SetForegroundWindow(hwnd());
  SetFocus(ok_.hwnd());

  // The program asked to quit: the report goes, and the application's loop sees the quit.
  if (!PumpUntilDestroyed(false)) Destroy();
  RestoreOwner();
  return 0;
}

void BenchmarkReportWindow::RestoreOwner() {
  if (!owner_) return;
  HWND owner = owner_;
  owner_ = nullptr;
  if (!IsWindow(owner)) return;
  EnableWindow(owner, ownerWasEnabled_ ? TRUE : FALSE);
  ShowWindow(owner, SW_SHOW);
  SetActiveWindow(owner);
  SetForegroundWindow(owner);
  SetFocus(owner);
}

LRESULT BenchmarkReportWindow::OnCreate(UINT, WPARAM, LPARAM) {
  // Sizes here are placeholders; LayOut puts every control in place once the window's size is set.
  if (list_.Create(hwnd(), kIdBenchList, 2, 2, 100, 100, kListStyle, listFont_) != 0) return -1;
  metrics_.rowHeight = list_.RowHeight();
  copy_.Create(hwnd(), kIdBenchCopy, kBenchCopyLabel, 4, 110, 100, 20, kButtonStyle, buttonFont_);
  ok_.Create(hwnd(), kIdBenchOk, kBenchOkLabel, 120, 110, 60, 20, kButtonStyle, buttonFont_);
  ok_.SetDefault(true);
  list_.Show(SW_SHOW);
  Fill();
  return 0;
}

LRESULT BenchmarkReportWindow::OnDestroy(UINT, WPARAM, LPARAM) {
  list_.Destroy();
  copy_.Destroy();
  ok_.Destroy();
  return 0;
}

LRESULT BenchmarkReportWindow::OnClose(UINT, WPARAM, LPARAM) {
  // The owner comes back before this window goes, so the system hands the activation to it and
  // not to some other program's window.
  RestoreOwner();
  Destroy();
  return 0;
}

LRESULT BenchmarkReportWindow::OnPaint(UINT message, WPARAM wParam, LPARAM lParam) {
  LayOut();
  return Default(message, wParam, lParam);
}

LRESULT BenchmarkReportWindow::OnCommand(UINT, WPARAM wParam, LPARAM) {
  if (HIWORD(wParam) != PushButton::kClicked) return 0;
  switch (LOWORD(wParam)) {
    case kIdBenchOk:
      PostMessageW(hwnd(), WM_CLOSE, 0, 0);
      break;
    case kIdBenchCopy:
      Copy();
      break;
  }
  return 0;
}

LRESULT BenchmarkReportWindow::OnCtlColor(UINT message, WPARAM wParam, LPARAM lParam) {
  return Default(message, wParam, lParam);
}

void BenchmarkReportWindow::LayOut() {
  RECT client{};
  if (ClientRect(client) != 0) return;
  const BenchReportLayout layout = LayOutBenchReport(static_cast<int>(rows_.size()),
                                                     {client.right - client.left, client.bottom - client.top}, metrics_);
  // Only what moved is moved: this runs on every paint.
  const auto place = [](Window& control, const PixelRect& r) {
    RECT now{};
    if (!control.hwnd() || control.WindowRect(now) != 0) return;
    MapWindowPoints(nullptr, GetParent(control.hwnd()), reinterpret_cast<POINT*>(&now), 2);
    if (RectOf(now) != r) Move(control, r);
  };
  place(list_, layout.list);
  place(copy_, layout.copyButton);
  place(ok_, layout.okButton);
}

void BenchmarkReportWindow::Fill() {
  if (rows_.empty()) return;
  list_.RemoveAllRows();
  const int cw = metrics_.listChar.width;
  const uint32_t widths[4] = {columns_.title, columns_.size, columns_.value, columns_.note};
  for (int c = 0; c < 4; ++c) list_.SetColumnWidth(c, static_cast<int>(widths[c]) * cw);
  for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
    const BenchmarkResult& row = rows_[static_cast<size_t>(r)];
    const std::string cells[4] = {row.title, row.size, BenchmarkValueText(row), row.note};
    // Transfer sizes line up on their right edge, the empty size cells of the times on the left.
    const uint32_t align[4] = {GridList::kLeft, row.kind == kBenchTransferRate ? GridList::kRight : GridList::kLeft,
                               GridList::kRight, GridList::kLeft};
    for (int c = 0; c < 4; ++c) {
      list_.SetCellText(r, c, cells[c]);
      list_.SetCellAttributes(r, c, 0, align[c]);
    }
  }
}

void BenchmarkReportWindow::Copy() {
  const std::string text = ClipboardText();
  if (text.empty()) return;
  // A clipboard another program holds open is no reason to trouble the user: nothing is copied.
  clipboard_.SetOwner(hwnd());
  if (clipboard_.Open() != 0) return;
  clipboard_.Empty();
  clipboard_.PutText(text.size(), text.c_str());
  clipboard_.Close();
}

}  // namespace orv
