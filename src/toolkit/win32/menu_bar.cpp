#include "toolkit/win32/menu_bar.h"

#include <windowsx.h>

#include "toolkit/win32/application.h"
#include "toolkit/win32/theme.h"
#include "toolkit/win32/wide.h"

namespace orv {

namespace {
constexpr wchar_t kClassName[] = L"mokit_nmnu";
constexpr int kTitlePadding = 10;

wchar_t AccessKeyOf(const std::wstring& title) {
  for (size_t i = 0; i + 1 < title.size(); ++i)
    if (title[i] == L'&' && title[i + 1] != L'&') return static_cast<wchar_t>(towupper(title[i + 1]));
  return 0;
}
}  // namespace

MenuBar::MenuBar() = default;

MenuBar::~MenuBar() {
  if (registered_ && Application::Current()) Application::Current()->RemoveFilter(&MenuBar::Filter, this);
  for (Popup& p : popups_) DestroyMenu(p.menu);
}

const MessageTable& MenuBar::ClassMessages() {
  static const MessageTable table = [] {
    MessageTable t(Window::ClassMessages());
    t.Add(WM_PAINT, Thunk<MenuBar, &MenuBar::OnPaint>);
    t.Add(WM_ERASEBKGND, [](Window&, UINT, WPARAM, LPARAM) -> LRESULT { return 1; });
    t.Add(WM_LBUTTONDOWN, Thunk<MenuBar, &MenuBar::OnMouse>);
    t.Add(WM_MOUSEMOVE, Thunk<MenuBar, &MenuBar::OnMouse>);
    t.Add(WM_MOUSELEAVE, Thunk<MenuBar, &MenuBar::OnMouse>);
    return t;
  }();
  return table;
}

int MenuBar::HeightFor(HFONT font) { return theme::FontCharSize(font).cy + 8; }

int MenuBar::AddPopup(const std::string& title) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return -1;
  popups_.push_back({title, menu, AccessKeyOf(Widen(title)), {}});
  LayoutTitles();
  return PopupCount() - 1;
}

int MenuBar::AddItem(int popup, int id, const std::string& label) {
  if (popup < 0 || popup >= PopupCount()) return -1;
  return AppendMenuW(popups_[static_cast<size_t>(popup)].menu, MF_STRING, static_cast<UINT_PTR>(id),
                     Widen(label).c_str())
             ? 0
             : -1;
}

void MenuBar::EnableItem(int id, bool enabled) {
  for (const Popup& p : popups_)
    EnableMenuItem(p.menu, static_cast<UINT>(id), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

HMENU MenuBar::PopupMenu(int popup) const {
  return popup >= 0 && popup < PopupCount() ? popups_[static_cast<size_t>(popup)].menu : nullptr;
}

int MenuBar::Create(HWND owner, int x, int y, int width, int height, HFONT font) {
  static const WindowClass wc{kClassName, CS_HREDRAW | CS_VREDRAW};
  if (wc.Register() != 0) return -1;
  owner_ = owner;
  font_ = font ? font : theme::UiFont();
  if (Window::Create(0, kClassName, "", WS_CHILD, x, y, width, height, owner, nullptr) != 0) return -1;
  LayoutTitles();
  return 0;
}

void MenuBar::RegisterWithApplication() {
  if (registered_ || !Application::Current()) return;
  Application::Current()->AddFilter(&MenuBar::Filter, this);
  registered_ = true;
}

void MenuBar::LayoutTitles() {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font_ ? font_ : theme::UiFont());
  int x = 4;
  int height = 0;
  if (hwnd()) {
    RECT client;
    GetClientRect(hwnd(), &client);
    height = client.bottom;
  }
  for (Popup& p : popups_) {
    const std::wstring title = Widen(p.title);
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &r, DT_CALCRECT | DT_SINGLELINE);
    p.rect = {x, 0, x + r.right + 2 * kTitlePadding, height};
    x = p.rect.right;
  }
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
}

int MenuBar::TitleAt(int x, int y) const {
  const POINT p{x, y};
  for (size_t i = 0; i < popups_.size(); ++i)
    if (PtInRect(&popups_[i].rect, p)) return static_cast<int>(i);
  return -1;
}

void MenuBar::OpenPopup(int index) {
  if (index < 0 || index >= PopupCount() || !hwnd()) return;
  open_ = index;
  InvalidateRect(hwnd(), nullptr, FALSE);
  UpdateWindow(hwnd());
  const RECT& r = popups_[static_cast<size_t>(index)].rect;
  POINT below{r.left, r.bottom};
  ClientToScreen(hwnd(), &below);
  TPMPARAMS exclude{sizeof exclude, r};
  MapWindowPoints(hwnd(), nullptr, reinterpret_cast<POINT*>(&exclude.rcExclude), 2);
  TrackPopupMenuEx(popups_[static_cast<size_t>(index)].menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON,
                   below.x, below.y, owner_, &exclude);
  open_ = -1;
  hot_ = -1;
  if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
}

// Alt + access letter, or F10 alone, opens a popup of the bar's owner while the owner is the
// active, enabled window.
int MenuBar::Filter(MSG& message, void* context) {
  auto* self = static_cast<MenuBar*>(context);
  if (!self->hwnd() || !IsWindowEnabled(self->owner_)) return 0;
  if (message.hwnd != self->owner_ && GetAncestor(message.hwnd, GA_ROOT) != self->owner_) return 0;
  if (message.message == WM_SYSKEYDOWN && message.wParam == VK_F10 && self->PopupCount() > 0) {
    self->OpenPopup(0);
    return 2;
  }
  if (message.message == WM_SYSKEYDOWN && (message.lParam & (1 << 29))) {  // Alt held
    const wchar_t key = static_cast<wchar_t>(towupper(static_cast<wint_t>(MapVirtualKeyW(
        static_cast<UINT>(message.wParam), MAPVK_VK_TO_CHAR))));
    for (size_t i = 0; i < self->popups_.size(); ++i) {
      if (key && self->popups_[i].accessKey == key) {
        self->OpenPopup(static_cast<int>(i));
        return 2;
      }
    }
  }
  return 0;
}

LRESULT MenuBar::OnPaint(UINT, WPARAM, LPARAM) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd(), &ps);
  RECT client;
  GetClientRect(hwnd(), &client);
  theme::Fill(dc, client, theme::kSurface);
  RECT line{client.left, client.bottom - 1, client.right, client.bottom};
  theme::Fill(dc, line, theme::kBorder);
  HGDIOBJ old = SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  for (size_t i = 0; i < popups_.size(); ++i) {
    RECT r = popups_[i].rect;
    r.bottom = client.bottom - 1;
    if (static_cast<int>(i) == open_) {
      theme::Fill(dc, r, theme::kAccent);
      SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
    } else if (static_cast<int>(i) == hot_) {
      theme::Fill(dc, r, theme::kAccentSoft);
      SetTextColor(dc, theme::kText);
    } else {
      SetTextColor(dc, theme::kText);
    }
    const std::wstring title = Widen(popups_[i].title);
    DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  SelectObject(dc, old);
  EndPaint(hwnd(), &ps);
  return 0;
}

LRESULT MenuBar::OnMouse(UINT message, WPARAM, LPARAM lParam) {
  const int at = message == WM_MOUSELEAVE ? -1 : TitleAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
  if (message == WM_LBUTTONDOWN) {
    if (at >= 0) OpenPopup(at);
    return 0;
  }
  if (message == WM_MOUSEMOVE && hot_ < 0) {
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd(), 0};
    TrackMouseEvent(&track);
  }
  if (at != hot_) {
    hot_ = at;
    InvalidateRect(hwnd(), nullptr, FALSE);
  }
  return 0;
}

}  // namespace orv
