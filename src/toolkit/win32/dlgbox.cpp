#include "toolkit/win32/dlgbox.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "toolkit/win32/theme.h"
#include "toolkit/win32/wide.h"

namespace orv {

namespace {

constexpr wchar_t kClassName[] = L"dlgbox";

// Metrics of the box, in pixels.
constexpr int kCaptionHeight = 26;
constexpr int kMargin = 16;
constexpr int kIconSize = 32;
constexpr int kIconGap = 14;
constexpr int kButtonGap = 8;        // between buttons
constexpr int kButtonMinWidth = 64;  // a button is its label + 16, at least this wide
constexpr int kButtonPadding = 16;
constexpr int kInputHeight = 24;
constexpr int kProgressHeight = 14;
constexpr int kMessageMaxWidth = 560;
constexpr int kMinWidth = 240;

// The slot of a button id in kBoxButtonSlots; every id the box shows has one.
size_t SlotOf(uint32_t id) {
  for (size_t slot = 0; slot < std::size(kBoxButtonSlots); ++slot)
    if (kBoxButtonSlots[slot].id == id) return slot;
  return 0;
}

}  // namespace

DlgBox::DlgBox() = default;

std::string DlgBox::Label(size_t slot) const {
  return labels[slot].empty() ? kBoxButtonSlots[slot].label : labels[slot];
}

DlgBox::~DlgBox() { CloseModeless(); }

const MessageTable& DlgBox::ClassMessages() {
  static const MessageTable table = [] {
    MessageTable t(Window::ClassMessages());
    t.Add(WM_CREATE, Thunk<DlgBox, &DlgBox::OnCreate>);
    t.Add(WM_PAINT, Thunk<DlgBox, &DlgBox::OnPaint>);
    t.Add(WM_COMMAND, Thunk<DlgBox, &DlgBox::OnCommand>);
    t.Add(WM_LBUTTONDOWN, Thunk<DlgBox, &DlgBox::OnLButtonDown>);
    t.Add(WM_KEYDOWN, Thunk<DlgBox, &DlgBox::OnKeyDown>);
    t.Add(WM_CLOSE, Thunk<DlgBox, &DlgBox::OnClose>);
    t.Add(WM_DESTROY, Thunk<DlgBox, &DlgBox::OnDestroy>);
    t.Add(WM_CTLCOLORSTATIC, Thunk<DlgBox, &DlgBox::OnCtlColor>);
    t.Add(WM_CTLCOLOREDIT, Thunk<DlgBox, &DlgBox::OnCtlColor>);
    t.Add(WM_ERASEBKGND, [](Window&, UINT, WPARAM, LPARAM) -> LRESULT { return 1; });
    return t;
  }();
  return table;
}

const MessageTable& DlgBox::InputEdit::ClassMessages() {
  static const MessageTable table = [] {
    MessageTable t(Window::ClassMessages());
    t.Add(WM_CHAR, Thunk<InputEdit, &InputEdit::OnChar>);
    t.Add(WM_GETDLGCODE, Thunk<InputEdit, &InputEdit::OnGetDlgCode>);
    return t;
  }();
  return table;
}

LRESULT DlgBox::InputEdit::OnChar(UINT message, WPARAM wParam, LPARAM lParam) {
  if (wParam == 13) {
    box_.EndWith(kIdOk);
    return 0;
  }
  if (wParam == 27) {
    box_.EndWith(kIdClosed);
    return 0;
  }
  return Default(message, wParam, lParam);
}

LRESULT DlgBox::InputEdit::OnGetDlgCode(UINT message, WPARAM wParam, LPARAM lParam) {
  return Default(message, wParam, lParam) | DLGC_WANTALLKEYS;
}

void DlgBox::OnDetached() {}

int DlgBox::ButtonCount() const {
  return static_cast<int>(std::count(slotShown_.begin(), slotShown_.end(), true));
}

HICON DlgBox::ShownIcon() const {
  if (icon) return icon;
  switch (BoxIcon(style)) {
    case kBoxIconError: return LoadIconW(nullptr, MAKEINTRESOURCEW(32513));
    case kBoxIconQuestion: return LoadIconW(nullptr, MAKEINTRESOURCEW(32514));
    case kBoxIconWarning: return LoadIconW(nullptr, MAKEINTRESOURCEW(32515));
  }
  return nullptr;
}

COLORREF DlgBox::Background() const {
  switch (BoxIcon(style)) {
    case kBoxIconError: return theme::kErrorTint;
    case kBoxIconWarning: return theme::kWarningTint;
  }
  return theme::kWindow;
}

// Lays the box out top to bottom: caption band, icon beside the message, input field,
// progress bar, status band, button row.
void DlgBox::Measure() {
  slotShown_ = {};
  for (const uint32_t id : BoxButtonIds(style)) slotShown_[SlotOf(id)] = true;
  if (!helpText.empty()) slotShown_[SlotOf(kIdHelp)] = true;

  HDC dc = GetDC(nullptr);
  HGDIOBJ oldFont = SelectObject(dc, theme::UiFont());
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  const int lineHeight = tm.tmHeight;

  // A box of a given width wraps its message at the width left beside the icon: measured wider,
  // the text would wrap into more lines than its rectangle holds and lose its last lines.
  const bool hasIcon = ShownIcon() != nullptr;
  const int iconWidth = hasIcon ? kIconSize + kIconGap : 0;
  const int measureWidth = width > 0 ? std::max(width - 2 * kMargin - iconWidth, 1) : kMessageMaxWidth;
  const std::wstring text = Widen(message);
  RECT textSize{0, 0, measureWidth, 0};
  if (!text.empty()) {
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textSize,
              (textFormat & ~(DT_SINGLELINE | DT_VCENTER | DT_BOTTOM)) | DT_CALCRECT | DT_WORDBREAK |
                  DT_EXPANDTABS);
  } else {
    textSize = {0, 0, 0, 0};
  }
  int buttonHeight = 0;
  std::array<int, 5> buttonWidths{};
  for (int slot = 0; slot < 5; ++slot) {
    if (!slotShown_[slot]) continue;
    const std::string label = Label(slot);
    const std::wstring w = Widen(label);
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    buttonWidths[slot] = std::max<int>(r.right + kButtonPadding, kButtonMinWidth);
    buttonHeight = std::max<int>(buttonHeight, r.bottom + kButtonPadding);
  }
  SelectObject(dc, oldFont);
  ReleaseDC(nullptr, dc);

  const int textWidth = textSize.right - textSize.left;
  const int textHeight = textSize.bottom - textSize.top;
  int buttonsWidth = 0;
  for (int slot = 0; slot < 5; ++slot)
    if (slotShown_[slot]) buttonsWidth += buttonWidths[slot] + (buttonsWidth ? kButtonGap : 0);

  int contentWidth = textWidth + iconWidth;
  int boxWidth = std::max({contentWidth + 2 * kMargin, buttonsWidth + 2 * kMargin, kMinWidth});
  if (width > 0) boxWidth = width;
  const int inner = boxWidth - 2 * kMargin;

  int y = kCaptionHeight + kMargin;
  const int textLeft = kMargin + (hasIcon ? kIconSize + kIconGap : 0);
  const int topBlock = std::max(textHeight, hasIcon ? kIconSize : 0);
  iconRect_ = {kMargin, y, kMargin + kIconSize, y + kIconSize};
  // The message takes the width the box gives it, so right-aligned text ends at the margin.
  messageRect_ = {textLeft, y + (topBlock - textHeight) / 2, boxWidth - kMargin,
                  y + (topBlock - textHeight) / 2 + textHeight};
  y += topBlock;
  if (inputField) {
    y += 12;
    inputRect_ = {kMargin, y, kMargin + inner, y + kInputHeight};
    y += kInputHeight;
  } else {
    inputRect_ = {};
  }
  if (progressBar) {
    y += 14;
    progressRect_ = {kMargin, y, kMargin + inner, y + kProgressHeight};
    y += kProgressHeight;
  } else {
    progressRect_ = {};
  }
  // A message box run modally has no status to show unless one was set; a progress window
  // always keeps the band for its worker's lines.
  if (modal_ && StatusText().empty()) {
    y += 8;
    statusBand_ = {kMargin, y, kMargin + inner, y};
    y += 12;
  } else {
    y += 6;
    statusBand_ = {kMargin, y, kMargin + inner, y + lineHeight + 8};
    y = statusBand_.bottom + 6;
  }
  // Buttons centred in their row, in slot order.
  int x = (boxWidth - buttonsWidth) / 2;
  for (int slot = 0; slot < 5; ++slot) {
    if (!slotShown_[slot]) {
      buttonRects_[slot] = {};
      continue;
    }
    buttonRects_[slot] = {x, y, x + buttonWidths[slot], y + buttonHeight};
    x += buttonWidths[slot] + kButtonGap;
  }
  if (buttonHeight) y += buttonHeight;
  y += kMargin;
  captionBand_ = {0, 0, boxWidth, kCaptionHeight};
  size_ = {boxWidth, y};
}

// Centred over the owner, then moved inside the work area of the owner's monitor when it fits.
void DlgBox::Place(HWND ownerWindow, int& x, int& y) const {
  RECT area{};
  HMONITOR monitor = MonitorFromWindow(ownerWindow ? ownerWindow : GetDesktopWindow(),
                                       MONITOR_DEFAULTTONEAREST);
  MONITORINFO info{sizeof info, {}, {}, 0};
  if (monitor && GetMonitorInfoW(monitor, &info)) {
    area = info.rcWork;
  } else {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  RECT base = area;
  if (ownerWindow) GetWindowRect(ownerWindow, &base);
  x = (base.left + base.right - size_.cx) / 2;
  y = (base.top + base.bottom - size_.cy) / 2;
  if (size_.cx <= area.right - area.left) {
    if (x < area.left) x = area.left;
    if (x + size_.cx > area.right) x = area.right - size_.cx;
  }
  if (size_.cy <= area.bottom - area.top) {
    if (y < area.top) y = area.top;
    if (y + size_.cy > area.bottom) y = area.bottom - size_.cy;
  }
}

int DlgBox::OpenModeless(HWND ownerWindow, const std::string& text, const std::string& captionText,
                         uint32_t styleBits) {
  if (hwnd()) return -1;
  message = text;
  caption = captionText;
  style = styleBits;
  result_ = kIdClosed;
  inputText_ = inputInitial;
  static const WindowClass wc{kClassName, CS_HREDRAW | CS_VREDRAW};
  if (wc.Register() != 0) return -1;
  static const bool commonControls = [] {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
    return InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)commonControls;

  Measure();
  int x = 0, y = 0;
  Place(ownerWindow, x, y);
  if (Create(WS_EX_TOOLWINDOW, kClassName, caption, WS_POPUP, x, y, size_.cx, size_.cy, ownerWindow,
             nullptr) != 0)
    return -1;
  owner_ = ownerWindow;
  if (owner_) {
    ownerWasEnabled_ = IsWindowEnabled(owner_) != FALSE;
    EnableWindow(owner_, FALSE);
  }
  InvalidateRect(hwnd(), nullptr, TRUE);
  ShowWindow(hwnd(), SW_SHOW);
  SetForegroundWindow(hwnd());
  if (input_.hwnd()) {
    SetFocus(input_.hwnd());
  } else {
    for (PushButton& b : buttons_) {
      if (b.hwnd()) {
        SetFocus(b.hwnd());
        break;
      }
    }
  }
  return 0;
}

void DlgBox::CloseModeless() {
  if (hwnd()) Destroy();
  if (owner_) {
    HWND o = owner_;
    owner_ = nullptr;
    if (IsWindow(o)) {
      EnableWindow(o, ownerWasEnabled_ ? TRUE : FALSE);
      ShowWindow(o, SW_SHOW);
      SetActiveWindow(o);
      SetForegroundWindow(o);
      SetFocus(o);
    }
  }
}

uint32_t DlgBox::RunModal(HWND ownerWindow, const std::string& text,
                          const std::string& captionText, uint32_t styleBits) {
  modal_ = true;
  const int opened = OpenModeless(ownerWindow, text, captionText, styleBits);
  modal_ = false;
  if (opened != 0) return kIdClosed;
  PumpUntilDestroyed(false);  // a quit ends the box as well
  CloseModeless();
  return result_;
}

void DlgBox::EndWith(uint32_t id) {
  result_ = id;
  if (hwnd()) PostMessageW(hwnd(), WM_CLOSE, 0, 0);
}

void DlgBox::SetStatusText(const char* text, bool redrawNow) {
  {
    std::lock_guard<std::mutex> lock(statusLock_);
    if (text) statusText_ = text;
  }
  if (!redrawNow) return;
  std::lock_guard<std::mutex> lock(statusLock_);
  if (HWND h = liveWindow_) {
    if (HDC dc = GetDC(h)) {
      DrawStatus(dc, statusText_);
      ReleaseDC(h, dc);
    }
  }
}

void DlgBox::PostProgressRange(uint32_t maximum) {
  std::lock_guard<std::mutex> lock(statusLock_);
  if (liveProgress_) PostMessageW(liveProgress_, PBM_SETRANGE32, 0, static_cast<LPARAM>(maximum));
}

void DlgBox::PostProgressPosition(uint32_t position) {
  std::lock_guard<std::mutex> lock(statusLock_);
  if (liveProgress_) PostMessageW(liveProgress_, PBM_SETPOS, position, 0);
}

std::string DlgBox::StatusText() const {
  std::lock_guard<std::mutex> lock(statusLock_);
  return statusText_;
}

std::string DlgBox::InputText() const {
  if (!input_.hwnd()) return inputText_;
  const int length = GetWindowTextLengthW(input_.hwnd());
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(input_.hwnd(), text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return Narrow(text);
}

void DlgBox::DrawStatus(HDC dc, const std::string& status) {
  const std::wstring text = Widen(status);
  theme::Fill(dc, statusBand_, Background());
  HGDIOBJ old = SelectObject(dc, theme::UiFont());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0x4A, 0x52, 0x5C));
  RECT r = statusBand_;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
            DT_CENTER | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
  SelectObject(dc, old);
}

LRESULT DlgBox::OnCreate(UINT, WPARAM, LPARAM) {
  for (int slot = 0; slot < 5; ++slot) {
    if (!slotShown_[slot]) continue;
    const RECT& r = buttonRects_[slot];
    const std::string label = Label(slot);
    buttons_[slot].Create(hwnd(), static_cast<int>(kBoxButtonSlots[slot].id), label, r.left, r.top, r.right - r.left,
                          r.bottom - r.top, WS_VISIBLE | WS_TABSTOP, theme::UiFont());
  }
  if (inputField) {
    input_.CreateSubclassed(0, L"EDIT", inputInitial,
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL,
                            inputRect_.left, inputRect_.top, inputRect_.right - inputRect_.left,
                            inputRect_.bottom - inputRect_.top, hwnd(), kIdInput);
    input_.SetFont(theme::UiFont(), false);
    SendMessageW(input_.hwnd(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(4, 4));
  }
  if (progressBar) {
    progress_.CreateSubclassed(0, PROGRESS_CLASSW, "", WS_CHILD | WS_VISIBLE, progressRect_.left,
                               progressRect_.top, progressRect_.right - progressRect_.left,
                               progressRect_.bottom - progressRect_.top, hwnd(), kIdProgress);
  }
  std::lock_guard<std::mutex> lock(statusLock_);
  liveWindow_ = hwnd();
  liveProgress_ = progress_.hwnd();
  return 0;
}

LRESULT DlgBox::OnPaint(UINT, WPARAM, LPARAM) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd(), &ps);
  RECT client;
  GetClientRect(hwnd(), &client);
  theme::Fill(dc, client, Background());
  // Caption band with the title.
  theme::Fill(dc, captionBand_, theme::kHeader);
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldFont = SelectObject(dc, theme::BoldFont());
  SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
  const std::wstring title = Widen(caption);
  RECT tr{captionBand_.left + 10, captionBand_.top, captionBand_.right - 10, captionBand_.bottom};
  DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &tr,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  if (HICON shown = ShownIcon())
    DrawIconEx(dc, iconRect_.left, iconRect_.top, shown, kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
  SelectObject(dc, theme::UiFont());
  SetTextColor(dc, theme::kText);
  const std::wstring text = Widen(message);
  RECT mr = messageRect_;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &mr,
            textFormat | DT_WORDBREAK | DT_EXPANDTABS);
  SelectObject(dc, oldFont);
  DrawStatus(dc, StatusText());
  theme::Frame(dc, client, RGB(0x6B, 0x76, 0x85));
  EndPaint(hwnd(), &ps);
  return 0;
}

LRESULT DlgBox::OnCommand(UINT, WPARAM wParam, LPARAM) {
  const int id = LOWORD(wParam);
  if (HIWORD(wParam) != PushButton::kClicked) return 0;
  if (id == kIdHelp) {
    OnHelp();
    return 0;
  }
  result_ = static_cast<uint32_t>(id);
  PostMessageW(hwnd(), WM_CLOSE, 0, 0);
  return 0;
}

void DlgBox::OnHelp() {
  DlgBox help;
  help.RunModal(hwnd(), helpText, Label(SlotOf(kIdHelp)), kBoxOk);
}

LRESULT DlgBox::OnLButtonDown(UINT message, WPARAM wParam, LPARAM lParam) {
  const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  if (PtInRect(&captionBand_, p)) {
    ReleaseCapture();
    SendMessageW(hwnd(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
    return 0;
  }
  return Default(message, wParam, lParam);
}

LRESULT DlgBox::OnKeyDown(UINT message, WPARAM wParam, LPARAM lParam) {
  if (wParam == VK_ESCAPE) {
    EndWith(kIdClosed);
    return 0;
  }
  return Default(message, wParam, lParam);
}

LRESULT DlgBox::OnClose(UINT, WPARAM, LPARAM) {
  Destroy();
  return 0;
}

LRESULT DlgBox::OnDestroy(UINT, WPARAM, LPARAM) {
  {
    std::lock_guard<std::mutex> lock(statusLock_);
    liveWindow_ = nullptr;
    liveProgress_ = nullptr;
  }
  for (PushButton& b : buttons_) b.Destroy();
  if (input_.hwnd()) inputText_ = InputText();
  input_.Destroy();
  progress_.Destroy();
  return 0;
}

LRESULT DlgBox::OnCtlColor(UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_CTLCOLOREDIT) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, theme::kText);
    SetBkColor(dc, theme::kSurface);
    return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
  }
  return 0;
}

}  // namespace orv
