#include "app/surface_window.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>

#include "app/version.h"
#include "device/inquiry_view.h"
#include "device/scsi_commands.h"
#include "image/file_replacement.h"
#include "image/file_system.h"
#include "operations/backup_run_texts.h"
#include "operations/surface_map.h"
#include "toolkit/format.h"
#include "toolkit/sjis.h"
#include "toolkit/ui.h"
#include "toolkit/win32/dlgbox.h"
#include "toolkit/win32/file_dialog.h"
#include "toolkit/win32/theme.h"
#include "toolkit/win32/wide.h"

namespace orv {

namespace {

constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_APPWINDOW;
constexpr UINT kMsgProgress = WM_APP + 1;
// A progress message at most this often: the scan calls back after every 64 KiB transfer.
constexpr uint64_t kRedrawMs = 100;

// The window's layout in client pixels: the grid and its legend on the left, the curve on the
// right, the status line and the buttons below.
constexpr int kClientWidth = 780, kClientHeight = 476;
constexpr int kColumns = 40, kRows = 24, kPitch = 10;
constexpr ViewPoint kGridOrigin{16, 40};
constexpr ViewRect kPlot{500, 40, 730, 280};
constexpr int kLegendTop = 296, kLegendRow = 18;
constexpr RECT kStatus{16, 392, 764, 430};
constexpr int kButtonTop = 438, kButtonWidth = 100, kButtonHeight = 28;

struct ClassLook {
  SurfaceClass kind;
  COLORREF colour;
  const char* name;
};
// In the legend's order, the colours of the saved picture.
constexpr ClassLook kLooks[] = {
    {SurfaceClass::kGood, RGB(0x3a, 0x9a, 0x48), "良好"},
    {SurfaceClass::kSlow, RGB(0xe8, 0xc0, 0x20), "低速"},
    {SurfaceClass::kRecovered, RGB(0xf0, 0x78, 0x20), "再試行で読込"},
    {SurfaceClass::kBad, RGB(0xd0, 0x18, 0x18), "読込不可"},
    {SurfaceClass::kNotRead, RGB(0xd4, 0xd4, 0xd4), "未検査"},
};

COLORREF ColourOf(SurfaceClass kind) {
  for (const ClassLook& l : kLooks)
    if (l.kind == kind) return l.colour;
  return RGB(0, 0, 0);
}

// "2,295,104"
std::string Grouped(uint64_t value) {
  const std::string digits = std::to_string(value);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string Decimal(double v) {
  char text[32];
  std::snprintf(text, sizeof text, v < 10 && v != std::floor(v) ? "%.1f" : "%.0f", v);
  return text;
}

void Text(HDC dc, int x, int y, const std::string& text, UINT align = TA_LEFT) {
  const std::wstring wide = Widen(text);
  SetTextAlign(dc, align | TA_TOP);
  TextOutW(dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
}

void Polyline(HDC dc, const std::vector<ViewPoint>& line, COLORREF colour, int width) {
  if (line.size() < 2) return;
  std::vector<POINT> points;
  for (const ViewPoint& p : line) points.push_back({p.x, p.y});
  HPEN pen = CreatePen(PS_SOLID, width, colour);
  HGDIOBJ old = SelectObject(dc, pen);
  ::Polyline(dc, points.data(), static_cast<int>(points.size()));
  SelectObject(dc, old);
  DeleteObject(pen);
}

void HLine(HDC dc, int x0, int x1, int y, COLORREF colour) { theme::Fill(dc, RECT{x0, y, x1, y + 1}, colour); }

std::string PictureDate() {
  const std::time_t now = std::time(nullptr);
  char text[32] = "";
  if (const std::tm* utc = std::gmtime(&now)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", utc);
  return text;
}

bool IsFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  FileFacts x, y;
  return !b.empty() && InspectFile(a, x, nullptr) == 0 && InspectFile(b, y, nullptr) == 0 && SameFile(x, y);
}

bool WriteWhole(const std::filesystem::path& path, const std::string& text) {
  FileReplacement output;
  if (output.Begin(path) != 0) return false;
  std::ofstream file(output.Temporary(), std::ios::binary);
  file.write(text.data(), static_cast<std::streamsize>(text.size()));
  file.close();
  return file && output.Commit() == 0;
}

uint32_t Box(HWND owner, const std::string& text, uint32_t style) {
  DlgBox box;
  box.width = 400;
  return box.RunModal(owner, text, (style & kBoxIconError) ? "エラー" : kAppTitle, style);
}

}  // namespace

SurfaceWindow::SurfaceWindow(DriveList& drives, const DriveRecord& record, MonotonicClock* clock)
    : drives_(drives), record_(record), clock_(clock) {
  font_ = theme::UiFont();
}

SurfaceWindow::~SurfaceWindow() {
  StopWorker();
  if (hwnd()) Destroy();
}

const MessageTable& SurfaceWindow::ClassMessages() {
  static const MessageTable table = [] {
    MessageTable t(Window::ClassMessages());
    t.Add(WM_CREATE, Thunk<SurfaceWindow, &SurfaceWindow::OnCreate>);
    t.Add(WM_PAINT, Thunk<SurfaceWindow, &SurfaceWindow::OnPaint>);
    t.Add(WM_COMMAND, Thunk<SurfaceWindow, &SurfaceWindow::OnCommand>);
    t.Add(WM_CLOSE, Thunk<SurfaceWindow, &SurfaceWindow::OnClose>);
    t.Add(kMsgProgress, Thunk<SurfaceWindow, &SurfaceWindow::OnProgress>);
    // The whole client area is painted from a bitmap: no background erase, no flicker.
    t.Add(WM_ERASEBKGND, [](Window&, UINT, WPARAM, LPARAM) -> LRESULT { return 1; });
    return t;
  }();
  return table;
}

int SurfaceWindow::Run(HWND owner) {
  if (hwnd()) return -1;
  // Reading only, shared with whoever else holds the drive; the capacity read again now that
  // the drive is open (the disc may have changed since the drive search).
  DeviceHandle& device = drives_.Device();
  if (device.IsOpen()) device.Close();
  if (device.Open(record_.path.c_str(), kOpenRead | kOpenShareRead | kOpenShareWrite) != 0) {
    Box(owner, kDriveCannotOpen, kBoxOk | kBoxIconError);
    return -1;
  }
  if (drives_.Refresh(record_) != 0 || record_.BlockLength() == 0 || record_.BlockCount() == 0) {
    device.Close();
    Box(owner, kDriveNotReady, kBoxOk | kBoxIconError);
    return -1;
  }
  singleSpeed_ = SingleSpeedOf(InquiryView(record_.unit).DeviceType(), CurrentProfile(device, record_.Address()),
                               record_.BlockCount());
  shown_.map = BackupMap(record_.BlockLength(), record_.BlockCount());

  static const HBRUSH background = CreateSolidBrush(theme::kWindow);
  const WindowClass wc{kSurfaceClass, CS_HREDRAW | CS_VREDRAW, nullptr, nullptr, nullptr, background};
  RECT outer{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
  if (wc.Register() != 0 || Create(kExStyle, kSurfaceClass, Format("%s - %s", kSurfaceMenuLabel, kAppTitle), kStyle,
                                   CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left, outer.bottom - outer.top,
                                   owner, nullptr) != 0) {
    device.Close();
    return -1;
  }
  owner_ = owner;
  ownerWasEnabled_ = owner_ && IsWindowEnabled(owner_);
  if (owner_) EnableWindow(owner_, FALSE);
  ShowState();
  ShowWindow(hwnd(), SW_SHOW);
  SetForegroundWindow(hwnd());

  const HWND target = hwnd();
  const DriveRecord record = record_;
  worker_ = std::thread([this, target, record, &device] {
    SurfaceScan scan;
    try {
      MonotonicClock& clock = clock_ ? *clock_ : SteadyClock();
      uint64_t postedMs = 0;
      scan = RunSurfaceScan(device, record.Address(), record.BlockLength(), record.BlockCount(), {}, SurfaceOptions{},
                            clock, [&](const SurfaceScan& s) {
                              const uint64_t now = SteadyClock().NowMs();
                              if (postedMs == 0 || now - postedMs >= kRedrawMs) {
                                postedMs = now;
                                std::lock_guard<std::mutex> lock(mutex_);
                                posted_ = s;
                                PostMessageW(target, kMsgProgress, 0, 0);
                              }
                              return !stopAsked_.load();
                            });
    } catch (const std::exception& e) {
      scan.end = SurfaceEnd::kFailed;
      scan.failure = e.what();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    posted_ = std::move(scan);
    postedEnd_ = true;
    PostMessageW(target, kMsgProgress, 0, 0);
  });

  // The program asked to quit: the window goes, and the application's loop sees the quit.
  if (!PumpUntilDestroyed(false)) Destroy();
  StopWorker();
  device.Close();
  if (owner_ && IsWindow(owner_)) {
    EnableWindow(owner_, ownerWasEnabled_ ? TRUE : FALSE);
    SetForegroundWindow(owner_);
  }
  owner_ = nullptr;
  return 0;
}

void SurfaceWindow::StopWorker() {
  stopAsked_ = true;
  if (worker_.joinable()) worker_.join();
}

LRESULT SurfaceWindow::OnCreate(UINT, WPARAM, LPARAM) {
  status_.CreateSubclassed(0, L"STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, kStatus.left,
                           kStatus.top, kStatus.right - kStatus.left, kStatus.bottom - kStatus.top, hwnd(),
                           kIdSurfaceStatus);
  status_.SetFont(font_, false);
  const DWORD style = WS_VISIBLE | WS_TABSTOP;
  int x = kClientWidth - 16 - 3 * kButtonWidth - 16;
  save_.Create(hwnd(), kIdSurfaceSave, "保存...", x, kButtonTop, kButtonWidth, kButtonHeight, style, font_);
  stop_.Create(hwnd(), kIdSurfaceStop, "キャンセル", x += kButtonWidth + 8, kButtonTop, kButtonWidth, kButtonHeight,
               style, font_);
  close_.Create(hwnd(), kIdSurfaceClose, "閉じる", x += kButtonWidth + 8, kButtonTop, kButtonWidth, kButtonHeight,
                style, font_);
  save_.Enable(false);
  return 0;
}

LRESULT SurfaceWindow::OnProgress(UINT, WPARAM, LPARAM) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (posted_.map.SectorCount() == 0 && !postedEnd_) return 0;
    shown_ = posted_;
    ended_ = postedEnd_;
  }
  ShowState();
  Invalidate(nullptr, false);
  return 0;
}

// The status line: where the scan is, then the sectors of each class (the same counts the
// legend shows and the saved map holds).
void SurfaceWindow::ShowState() {
  const BackupMap& map = shown_.map;
  const uint64_t total = map.SectorCount(), notRead = map.Count(SectorState::kNotTried);
  std::string line;
  if (!ended_)
    line = Format("検査中: %s / %s セクタ (%u%%)", Grouped(total - notRead), Grouped(total),
                  static_cast<uint32_t>(total == 0 ? 0 : (total - notRead) * 100 / total));
  else if (shown_.end == SurfaceEnd::kCompleted)
    line = "検査が終了しました。";
  else if (shown_.end == SurfaceEnd::kInterrupted)
    line = "検査を中止しました。";
  else
    line = "検査を続けられませんでした。" + shown_.failure;
  line += Format("\r\n良好 %s、低速 %s、再試行で読込 %s、読込不可 %s、未検査 %s セクタ",
                 Grouped(map.Count(SectorState::kDone)), Grouped(map.Count(SectorState::kSlow)),
                 Grouped(map.Count(SectorState::kRecovered)), Grouped(map.Count(SectorState::kBad)), Grouped(notRead));
  if (!savedNote_.empty()) line += "　" + savedNote_;
  SetWindowTextW(status_.hwnd(), Widen(line).c_str());
  if (ended_) {
    stop_.Enable(false);
    save_.Enable(notRead < total);
  }
}

LRESULT SurfaceWindow::OnPaint(UINT, WPARAM, LPARAM) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd(), &ps);
  // Drawn into a bitmap first, then copied: ten redraws a second without flicker.
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, kClientWidth, kClientHeight);
  HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
  Draw(memory);
  BitBlt(dc, 0, 0, kClientWidth, kClientHeight, memory, 0, 0, SRCCOPY);
  SelectObject(memory, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
  EndPaint(hwnd(), &ps);
  return 0;
}

void SurfaceWindow::Draw(HDC dc) {
  theme::Fill(dc, RECT{0, 0, kClientWidth, kClientHeight}, theme::kWindow);
  HGDIOBJ oldFont = SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, theme::kText);
  const BackupMap& map = shown_.map;
  const SurfaceView view = LayOutSurfaceView(SurfaceRunsOf(map), map.SectorCount(), shown_.curve, singleSpeed_,
                                             kGridOrigin, kColumns, kRows, kPitch, kPlot);
  const uint64_t cells = view.cellRects.size();
  const double cellBytes = cells == 0 ? 0 : double(map.SectorCount()) * map.SectorSize() / double(cells);
  Text(dc, kGridOrigin.x, 12,
       Format("%s　(1マス %s)", IdentificationText(record_),
              cellBytes >= 1e6 ? Decimal(cellBytes / 1e6) + " MB" : Decimal(std::ceil(cellBytes / 1e3)) + " KB"));
  for (size_t i = 0; i < cells; ++i) {
    const ViewRect& r = view.cellRects[i];
    theme::Fill(dc, RECT{r.left, r.top, r.right, r.bottom}, ColourOf(view.cellClasses[i]));
  }
  int y = kLegendTop;
  for (const ClassLook& look : kLooks) {
    theme::Fill(dc, RECT{kGridOrigin.x, y + 3, kGridOrigin.x + 12, y + 15}, look.colour);
    Text(dc, kGridOrigin.x + 20, y, look.name);
    Text(dc, kGridOrigin.x + 230, y, Grouped(view.counts[size_t(look.kind)]), TA_RIGHT);
    Text(dc, kGridOrigin.x + 236, y, "セクタ");
    y += kLegendRow;
  }

  // The curve: scale lines in MB/s on the left and multiples of the single speed on the right.
  Text(dc, kPlot.left, 12, "読込速度 (MB/s)");
  theme::Fill(dc, RECT{kPlot.left, kPlot.top, kPlot.right, kPlot.bottom}, theme::kSurface);
  for (const ViewTick& t : view.speedTicks) {
    HLine(dc, kPlot.left, kPlot.right, t.y, RGB(0xe0, 0xe0, 0xe0));
    Text(dc, kPlot.left - 6, t.y - 8, Decimal(t.value), TA_RIGHT);
  }
  for (const ViewTick& t : view.singleTicks) Text(dc, kPlot.right + 6, t.y - 8, Decimal(t.value) + "x");
  for (const auto& line : view.minLines) Polyline(dc, line, RGB(0x6f, 0x9b, 0xd2), 1);
  for (const auto& line : view.maxLines) Polyline(dc, line, RGB(0x1a, 0x5a, 0xa8), 2);
  theme::Frame(dc, RECT{kPlot.left, kPlot.top, kPlot.right + 1, kPlot.bottom + 1}, RGB(0x40, 0x40, 0x40));
  Text(dc, kPlot.left, kPlot.bottom + 6, "内周");
  Text(dc, kPlot.right, kPlot.bottom + 6, "外周", TA_RIGHT);
  SelectObject(dc, oldFont);
}

LRESULT SurfaceWindow::OnCommand(UINT, WPARAM wParam, LPARAM) {
  if (HIWORD(wParam) != PushButton::kClicked) return 0;
  switch (LOWORD(wParam)) {
    case kIdSurfaceStop:
      stopAsked_ = true;
      stop_.Enable(false);
      break;
    case kIdSurfaceSave:
      Save();
      break;
    case kIdSurfaceClose:
      PostMessageW(hwnd(), WM_CLOSE, 0, 0);
      break;
  }
  return 0;
}

LRESULT SurfaceWindow::OnClose(UINT, WPARAM, LPARAM) {
  // The scan stops with the window; the owner comes back before this window goes, so the
  // system hands the activation to it.
  stopAsked_ = true;
  if (owner_ && IsWindow(owner_)) EnableWindow(owner_, ownerWasEnabled_ ? TRUE : FALSE);
  Destroy();
  return 0;
}

// The picture as SVG where the user chose, and the map as NAME.map beside it. Neither may be
// the file that holds the disc (a virtual drive's image); a map file already there is replaced
// only when the user says so.
void SurfaceWindow::Save() {
  FileDialog dialog;
  dialog.filters = {{"SVG画像(*.svg)", "*.svg"}, {"すべて", "*.*"}};
  std::string chosen;
  if (dialog.SaveFile(hwnd(), "検査結果の保存先", "svg", chosen) != 0) return;
  const std::filesystem::path svgPath(dialog.chosenPath);
  std::filesystem::path mapPath = svgPath;
  mapPath.replace_extension(".map");
  if (mapPath == svgPath) mapPath += ".map";
  const std::filesystem::path disc = drives_.Device().Port().BackingFile(drives_.Device().Path().c_str());
  if (IsFile(svgPath, disc) || IsFile(mapPath, disc)) {
    Box(hwnd(), "このファイルにはディスクのイメージが入っています。\r\n別の名前を指定してください。",
        kBoxOk | kBoxIconError);
    return;
  }
  std::error_code ec;
  if (std::filesystem::exists(mapPath, ec) &&
      Box(hwnd(), Format("%s も書き込みます。\r\nこのファイルは既に存在します。上書きしますか？", Narrow(mapPath.filename().wstring())),
          kBoxYesNo | kBoxIconQuestion) != kIdYes)
    return;

  DiscPicture picture;
  picture.drive = SjisToUtf8(IdentificationText(record_));
  picture.date = PictureDate();
  picture.sectorSize = shown_.map.SectorSize();
  picture.sectorCount = shown_.map.SectorCount();
  picture.runs = SurfaceRunsOf(shown_.map);
  picture.curve = shown_.curve;
  picture.singleSpeed = singleSpeed_;
  if (!WriteWhole(svgPath, SurfaceSvg(picture)) || !WriteWhole(mapPath, SurfaceMapText(shown_.map, shown_.curve))) {
    Box(hwnd(), "ファイルに書き込むことができません。", kBoxOk | kBoxIconError);
    return;
  }
  savedNote_ = Format("保存しました: %s", Narrow(svgPath.filename().wstring()));
  ShowState();
}

}  // namespace orv
