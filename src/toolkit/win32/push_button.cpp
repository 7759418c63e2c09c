#include "toolkit/win32/push_button.h"

#include <windowsx.h>

#include "toolkit/win32/theme.h"
#include "toolkit/win32/wide.h"

namespace orv {

namespace {
constexpr wchar_t kClassName[] = L"mokit_nbtn";
}

const MessageTable& PushButton::ClassMessages() {
  static const MessageTable table = [] {
    MessageTable t(Window::ClassMessages());
    t.Add(WM_PAINT, Thunk<PushButton, &PushButton::OnPaint>);
    t.Add(WM_ERASEBKGND, [](Window&, UINT, WPARAM, LPARAM) -> LRESULT { return 1; });
    t.Add(WM_LBUTTONDOWN, Thunk<PushButton, &PushButton::OnMouse>);
    t.Add(WM_LBUTTONDBLCLK, Thunk<PushButton, &PushButton::OnMouse>);
    t.Add(WM_LBUTTONUP, Thunk<PushButton, &PushButton::OnMouse>);
    t.Add(WM_MOUSEMOVE, Thunk<PushButton, &PushButton::OnMouse>);
    t.Add(WM_MOUSELEAVE, Thunk<PushButton, &PushButton::OnMouse>);
    t.Add(WM_CAPTURECHANGED, Thunk<PushButton, &PushButton::OnMouse>);
    t.Add(WM_KEYDOWN, Thunk<PushButton, &PushButton::OnKey>);
    t.Add(WM_SETFOCUS, Thunk<PushButton, &PushButton::OnFocus>);
    t.Add(WM_KILLFOCUS, Thunk<PushButton, &PushButton::OnFocus>);
    t.Add(WM_GETDLGCODE, Thunk<PushButton, &PushButton::OnGetDlgCode>);
    t.Add(WM_ENABLE, Thunk<PushButton, &PushButton::OnEnable>);
    return t;
  }();
  return table;
}

void PushButton::OnDetached() {
  pressed_ = false;
  hot_ = false;
}

int PushButton::Create(HWND parent, int id, const std::string& label, int x, int y, int width,
                       int height, DWORD style, HFONT font) {
  static const WindowClass wc{kClassName, CS_DBLCLKS};
  if (wc.Register() != 0) return -1;
  label_ = label;
  font_ = font ? font : theme::UiFont();
  return Window::Create(0, kClassName, label, WS_CHILD | style, x, y, width, height, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
}

void PushButton::SetLabel(const std::string& label) {
  label_ = label;
  if (hwnd()) SetWindowTextW(hwnd(), Widen(label).c_str());
  Redraw();
}

SIZE PushButton::MeasureLabel(HFONT font, const std::string& label) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  const std::wstring text = Widen(label);
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

void PushButton::Redraw() {
  if (hwnd()) {
    InvalidateRect(hwnd(), nullptr, FALSE);
    UpdateWindow(hwnd());
  }
}

void PushButton::Click() {
  HWND parent = GetParent(hwnd());
  const int id = GetDlgCtrlID(hwnd());
  SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, kClicked), reinterpret_cast<LPARAM>(hwnd()));
}

LRESULT PushButton::OnPaint(UINT, WPARAM, LPARAM) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd(), &ps);
  RECT r;
  GetClientRect(hwnd(), &r);
  const bool enabled = IsWindowEnabled(hwnd());
  const bool focused = GetFocus() == hwnd();
  // The parent's background around the rounded face.
  theme::Fill(dc, r, theme::kWindow);

  COLORREF face = theme::kSurface, edge = theme::kBorder, text = theme::kText;
  if (!enabled) {
    face = theme::kWindow;
    edge = RGB(0xD8, 0xDB, 0xDF);
    text = theme::kTextDisabled;
  } else if (pressed_) {
    face = RGB(0xC6, 0xD9, 0xF3);
    edge = theme::kAccent;
  } else if (default_) {
    face = theme::kAccent;
    edge = theme::kAccent;
    text = RGB(0xFF, 0xFF, 0xFF);
  } else if (hot_) {
    face = theme::kAccentSoft;
    edge = RGB(0x8F, 0xB0, 0xE0);
  }
  HPEN pen = CreatePen(PS_SOLID, 1, edge);
  HBRUSH brush = CreateSolidBrush(face);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  RoundRect(dc, r.left, r.top, r.right, r.bottom, 6, 6);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(brush);
  DeleteObject(pen);

  if (focused && enabled) {
    // A second ring inside the edge: visible on the accent face and on the plain one alike.
    HPEN ring = CreatePen(PS_SOLID, 1, default_ && !pressed_ ? RGB(0xFF, 0xFF, 0xFF) : theme::kAccent);
    oldPen = SelectObject(dc, ring);
    oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    RoundRect(dc, r.left + 2, r.top + 2, r.right - 2, r.bottom - 2, 4, 4);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(ring);
  }

  HGDIOBJ oldFont = SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, text);
  const std::wstring label = Widen(label_);
  RECT tr = r;
  if (pressed_) OffsetRect(&tr, 0, 1);
  DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &tr,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, oldFont);
  EndPaint(hwnd(), &ps);
  return 0;
}

LRESULT PushButton::OnMouse(UINT message, WPARAM, LPARAM lParam) {
  const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  RECT r;
  GetClientRect(hwnd(), &r);
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetFocus(hwnd());
      SetCapture(hwnd());
      pressed_ = true;
      Redraw();
      break;
    case WM_LBUTTONUP: {
      const bool wasPressed = pressed_;
      pressed_ = false;
      if (GetCapture() == hwnd()) ReleaseCapture();
      Redraw();
      // A click counts only when the button is released over the button.
      if (wasPressed && PtInRect(&r, p)) Click();
      break;
    }
    case WM_MOUSEMOVE:
      if (!hot_) {
        hot_ = true;
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd(), 0};
        TrackMouseEvent(&track);
        Redraw();
      }
      if (GetCapture() == hwnd()) {
        const bool inside = PtInRect(&r, p);
        if (inside != pressed_) {
          pressed_ = inside;
          Redraw();
        }
      }
      break;
    case WM_MOUSELEAVE:
      hot_ = false;
      Redraw();
      break;
    case WM_CAPTURECHANGED:
      if (pressed_) {
        pressed_ = false;
        Redraw();
      }
      break;
  }
  return 0;
}

LRESULT PushButton::OnKey(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND parent = GetParent(hwnd());
  switch (wParam) {
    case VK_SPACE:
    case VK_RETURN:
      Click();
      return 0;
    case VK_TAB:
    case VK_RIGHT:
    case VK_DOWN:
    case VK_LEFT:
    case VK_UP: {
      const bool back = wParam == VK_LEFT || wParam == VK_UP ||
                        (wParam == VK_TAB && (GetKeyState(VK_SHIFT) & 0x8000));
      HWND next = GetNextDlgTabItem(parent, hwnd(), back ? TRUE : FALSE);
      if (next && next != hwnd()) SetFocus(next);
      return 0;
    }
    case VK_ESCAPE:
      // The box or window the button sits in decides what Escape means.
      SendMessageW(parent, WM_KEYDOWN, wParam, lParam);
      return 0;
  }
  return Default(message, wParam, lParam);
}

LRESULT PushButton::OnFocus(UINT, WPARAM, LPARAM) {
  Redraw();
  return 0;
}

LRESULT PushButton::OnGetDlgCode(UINT, WPARAM, LPARAM) { return DLGC_WANTALLKEYS | DLGC_BUTTON; }

LRESULT PushButton::OnEnable(UINT, WPARAM, LPARAM) {
  Redraw();
  return 0;
}

}  // namespace orv
