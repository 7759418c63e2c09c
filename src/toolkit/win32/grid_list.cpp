#include "toolkit/win32/grid_list.h"

#include <windowsx.h>

#include <algorithm>

#include "toolkit/win32/theme.h"
#include "toolkit/win32/wide.h"

namespace orv {

namespace {
constexpr wchar_t kClassName[] = L"mokit_nlstbox";
constexpr int kCellPadding = 3;  // pixels between a cell's edge and its text: half a character, so
                                 // a column one character wider than its text shows it whole
}  // namespace

const MessageTable& GridList::ClassMessages() {
  static const MessageTable table = [] {
    MessageTable t(Window::ClassMessages());
    t.Add(WM_PAINT, Thunk<GridList, &GridList::OnPaint>);
    t.Add(WM_ERASEBKGND, [](Window&, UINT, WPARAM, LPARAM) -> LRESULT { return 1; });
    t.Add(WM_LBUTTONDOWN, Thunk<GridList, &GridList::OnButton>);
    t.Add(WM_LBUTTONUP, Thunk<GridList, &GridList::OnButton>);
    t.Add(WM_LBUTTONDBLCLK, Thunk<GridList, &GridList::OnButton>);
    t.Add(WM_KEYDOWN, Thunk<GridList, &GridList::OnKey>);
    t.Add(WM_VSCROLL, Thunk<GridList, &GridList::OnScroll>);
    t.Add(WM_HSCROLL, Thunk<GridList, &GridList::OnScroll>);
    t.Add(WM_MOUSEWHEEL, Thunk<GridList, &GridList::OnWheel>);
    t.Add(WM_SETFOCUS, Thunk<GridList, &GridList::OnFocus>);
    t.Add(WM_KILLFOCUS, Thunk<GridList, &GridList::OnFocus>);
    t.Add(WM_SIZE, Thunk<GridList, &GridList::OnSize>);
    t.Add(WM_GETDLGCODE, Thunk<GridList, &GridList::OnGetDlgCode>);
    return t;
  }();
  return table;
}

int GridList::Create(HWND parent, int id, int x, int y, int width, int height, uint32_t listStyle,
                     HFONT font) {
  static const WindowClass wc{kClassName, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW};
  if (wc.Register() != 0) return -1;
  listStyle_ = listStyle;
  font_ = font ? font : theme::FixedFont();
  rowHeight_ = theme::FontCharSize(font_).cy + 8;
  DWORD style = WS_CHILD | WS_TABSTOP | WS_BORDER;
  if (listStyle_ & (kVScrollAlways | kVScrollAuto)) style |= WS_VSCROLL;
  if (listStyle_ & (kHScrollAlways | kHScrollAuto)) style |= WS_HSCROLL;
  if (Window::Create(0, kClassName, "", style, x, y, width, height, parent,
                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id))) != 0)
    return -1;
  UpdateScrollBars();
  return 0;
}

GridList::Cell* GridList::CellAt(int row, int column) {
  if (row < 0 || column < 0 || row >= RowCount()) return nullptr;
  auto& cells = rows_[static_cast<size_t>(row)];
  return column < static_cast<int>(cells.size()) ? &cells[static_cast<size_t>(column)] : nullptr;
}

const GridList::Cell* GridList::CellAt(int row, int column) const {
  return const_cast<GridList*>(this)->CellAt(row, column);
}

void GridList::Touch() {
  UpdateScrollBars();
  if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
}

int GridList::SetCellText(int row, int column, const std::string& text) {
  if (row < 0 || column < 0) return -1;
  if (row >= RowCount()) rows_.resize(static_cast<size_t>(row) + 1);
  auto& cells = rows_[static_cast<size_t>(row)];
  if (column >= static_cast<int>(cells.size())) cells.resize(static_cast<size_t>(column) + 1);
  cells[static_cast<size_t>(column)].text = text;
  Touch();
  return 0;
}

int GridList::SetItemData(int row, int column, uint32_t data) {
  Cell* cell = CellAt(row, column);
  if (!cell) return -1;
  cell->data = data;
  return 0;
}

int GridList::GetItemData(int row, int column, uint32_t& data) const {
  const Cell* cell = CellAt(row, column);
  if (!cell) return -1;
  data = cell->data;
  return 0;
}

int GridList::SetCellAttributes(int row, int column, uint32_t a, uint32_t b) {
  Cell* cell = CellAt(row, column);
  if (!cell) return -1;
  cell->a = a;
  cell->b = b;
  Touch();
  return 0;
}

int GridList::SetColumnWidth(int column, int pixels) {
  if (column < 0) return -1;
  if (column >= ColumnCount()) widths_.resize(static_cast<size_t>(column) + 1, 0);
  widths_[static_cast<size_t>(column)] = std::max(pixels, 0);
  Touch();
  return 0;
}

void GridList::RemoveAllRows() {
  rows_.clear();
  topRow_ = 0;
  pressedRow_ = -1;
  Touch();
}

void GridList::SetSelection(int row, int column) {
  selRow_ = row;
  selColumn_ = column;
  if (row >= 0) EnsureVisible(row);
  if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
}

std::string GridList::CellText(int row, int column) const {
  const Cell* cell = CellAt(row, column);
  return cell ? cell->text : std::string();
}

uint32_t GridList::CellAttributeB(int row, int column) const {
  const Cell* cell = CellAt(row, column);
  return cell ? cell->b : 0;
}

int GridList::ColumnWidth(int column) const {
  return column >= 0 && column < ColumnCount() ? widths_[static_cast<size_t>(column)] : 0;
}

int GridList::TotalWidth() const {
  int total = 0;
  for (int w : widths_) total += w;
  return total;
}

RECT GridList::RowRect(int row) const {
  RECT client{};
  if (hwnd()) GetClientRect(hwnd(), &client);
  const int top = (row - topRow_) * rowHeight_;
  return RECT{client.left, top, client.right, top + rowHeight_};
}

int GridList::RowAt(int y) const {
  if (y < 0) return -1;
  const int row = topRow_ + y / rowHeight_;
  return row < RowCount() ? row : -1;
}

int GridList::ColumnAt(int x) const {
  int left = -leftPixel_;
  for (int c = 0; c < ColumnCount(); ++c) {
    left += widths_[static_cast<size_t>(c)];
    if (x < left) return c;
  }
  return ColumnCount() > 0 ? ColumnCount() - 1 : 0;
}

void GridList::UpdateScrollBars() {
  if (!hwnd()) return;
  RECT client;
  GetClientRect(hwnd(), &client);
  const int visibleRows = std::max<int>(1, (client.bottom - client.top) / rowHeight_);
  if (listStyle_ & (kVScrollAlways | kVScrollAuto)) {
    topRow_ = std::clamp(topRow_, 0, std::max(0, RowCount() - visibleRows));
    SCROLLINFO si{sizeof si, SIF_ALL, 0, std::max(0, RowCount() - 1), static_cast<UINT>(visibleRows),
                  topRow_, 0};
    if (listStyle_ & kVScrollAlways) si.fMask |= SIF_DISABLENOSCROLL;
    SetScrollInfo(hwnd(), SB_VERT, &si, TRUE);
  }
  if (listStyle_ & (kHScrollAlways | kHScrollAuto)) {
    const int width = client.right - client.left;
    leftPixel_ = std::clamp(leftPixel_, 0, std::max(0, TotalWidth() - width));
    SCROLLINFO si{sizeof si, SIF_ALL, 0, std::max(0, TotalWidth() - 1), static_cast<UINT>(width),
                  leftPixel_, 0};
    if (listStyle_ & kHScrollAlways) si.fMask |= SIF_DISABLENOSCROLL;
    SetScrollInfo(hwnd(), SB_HORZ, &si, TRUE);
  }
}

void GridList::EnsureVisible(int row) {
  if (!hwnd() || row < 0) return;
  RECT client;
  GetClientRect(hwnd(), &client);
  const int visibleRows = std::max<int>(1, (client.bottom - client.top) / rowHeight_);
  if (row < topRow_) topRow_ = row;
  if (row >= topRow_ + visibleRows) topRow_ = row - visibleRows + 1;
  UpdateScrollBars();
}

void GridList::Notify(int row, WORD code) {
  HWND target = owner_ ? owner_ : GetParent(hwnd());
  if (target)
    SendMessageW(target, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(row), code),
                 reinterpret_cast<LPARAM>(hwnd()));
}

void GridList::Select(int row, int column) {
  if (row == selRow_) {
    selColumn_ = column;
    return;
  }
  const int previous = selRow_;
  selRow_ = row;
  selColumn_ = row >= 0 ? column : -1;
  if (row >= 0) EnsureVisible(row);
  InvalidateRect(hwnd(), nullptr, FALSE);
  UpdateWindow(hwnd());
  if (previous >= 0) Notify(previous, kRowDeselected);
  if (row >= 0) Notify(row, kRowSelected);
}

LRESULT GridList::OnPaint(UINT, WPARAM, LPARAM) {
  PAINTSTRUCT ps;
  HDC window = BeginPaint(hwnd(), &ps);
  RECT client;
  GetClientRect(hwnd(), &client);
  // Drawn off screen, so a refill does not flicker.
  HDC dc = CreateCompatibleDC(window);
  HBITMAP bitmap = CreateCompatibleBitmap(window, std::max<int>(1, client.right), std::max<int>(1, client.bottom));
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  theme::Fill(dc, client, theme::kSurface);
  HGDIOBJ oldFont = SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  const bool focused = GetFocus() == hwnd();
  const bool enabled = IsWindowEnabled(hwnd()) != FALSE;

  for (int row = topRow_; row < RowCount(); ++row) {
    RECT rr = RowRect(row);
    if (rr.top >= client.bottom) break;
    const bool selected = row == selRow_;
    COLORREF back = (row % 2) ? theme::kRowStripe : theme::kSurface;
    COLORREF fore = enabled ? theme::kText : theme::kTextDisabled;
    if (selected) {
      back = focused ? theme::kAccent : theme::kAccentSoft;
      if (focused) fore = RGB(0xFF, 0xFF, 0xFF);
    }
    theme::Fill(dc, rr, back);
    SetTextColor(dc, fore);
    int left = -leftPixel_;
    const auto& cells = rows_[static_cast<size_t>(row)];
    for (int c = 0; c < ColumnCount(); ++c) {
      const int w = widths_[static_cast<size_t>(c)];
      RECT cell{left, rr.top, left + w, rr.bottom};
      left += w;
      if (c < static_cast<int>(cells.size()) && !cells[static_cast<size_t>(c)].text.empty()) {
        const Cell& data = cells[static_cast<size_t>(c)];
        UINT format = DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
        switch ((data.b >> 6) & 3) {
          case 1: format |= DT_LEFT; break;
          case 2: format |= DT_RIGHT; break;
          default: format |= DT_CENTER; break;
        }
        switch ((data.b >> 4) & 3) {
          case 1: format |= DT_TOP; break;
          case 2: format |= DT_BOTTOM; break;
          default: format |= DT_VCENTER; break;
        }
        RECT text{cell.left + kCellPadding, cell.top, cell.right - kCellPadding, cell.bottom};
        const std::wstring w16 = Widen(data.text);
        DrawTextW(dc, w16.c_str(), static_cast<int>(w16.size()), &text, format);
      }
      if (!selected) {
        RECT line{cell.right - 1, cell.top, cell.right, cell.bottom};
        theme::Fill(dc, line, RGB(0xE6, 0xE9, 0xED));
      }
    }
    if (selected && !focused) theme::Frame(dc, rr, theme::kAccent);
  }
  if (RowCount() == 0 || (focused && selRow_ < 0)) {
    // An empty list still shows where the keyboard focus is.
    if (focused) theme::Frame(dc, client, theme::kAccent);
  }
  SelectObject(dc, oldFont);
  BitBlt(window, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  EndPaint(hwnd(), &ps);
  return 0;
}

LRESULT GridList::OnButton(UINT message, WPARAM wParam, LPARAM lParam) {
  const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  const int row = RowAt(y);
  switch (message) {
    case WM_LBUTTONDOWN:
      SetFocus(hwnd());
      if (row < 0 || ((wParam & MK_CONTROL) && row == selRow_)) {
        // A press below the last row, or Ctrl with the chosen row, removes the choice.
        pressedRow_ = -1;
        Select(-1, -1);
        return 0;
      }
      pressedRow_ = row;
      SetCapture(hwnd());
      Select(row, ColumnAt(x));
      return 0;
    case WM_LBUTTONUP: {
      if (GetCapture() == hwnd()) ReleaseCapture();
      const int pressed = pressedRow_;
      pressedRow_ = -1;
      if (pressed >= 0 && pressed == row) Notify(row, kRowClicked);
      return 0;
    }
    case WM_LBUTTONDBLCLK:
      if (row >= 0) {
        Select(row, ColumnAt(x));
        Notify(row, kRowDoubleClicked);
      }
      return 0;
  }
  return 0;
}

LRESULT GridList::OnKey(UINT message, WPARAM wParam, LPARAM lParam) {
  if (RowCount() == 0 && wParam != VK_TAB) return Default(message, wParam, lParam);
  const int column = selColumn_ >= 0 ? selColumn_ : 0;
  RECT client;
  GetClientRect(hwnd(), &client);
  const int page = std::max<int>(1, (client.bottom - client.top) / rowHeight_);
  switch (wParam) {
    case VK_UP: Select(selRow_ > 0 ? selRow_ - 1 : 0, column); return 0;
    case VK_DOWN: Select(std::min(selRow_ + 1, RowCount() - 1), column); return 0;
    case VK_PRIOR: Select(std::max(selRow_ - page, 0), column); return 0;
    case VK_NEXT: Select(std::min(std::max(selRow_, 0) + page, RowCount() - 1), column); return 0;
    case VK_HOME: Select(0, column); return 0;
    case VK_END: Select(RowCount() - 1, column); return 0;
    case VK_ESCAPE: Select(-1, -1); return 0;
    case VK_RETURN:
      if (selRow_ >= 0) Notify(selRow_, kRowDoubleClicked);
      return 0;
    case VK_TAB: {
      HWND parent = GetParent(hwnd());
      HWND next = GetNextDlgTabItem(parent, hwnd(), (GetKeyState(VK_SHIFT) & 0x8000) ? TRUE : FALSE);
      if (next && next != hwnd()) SetFocus(next);
      return 0;
    }
  }
  return Default(message, wParam, lParam);
}

LRESULT GridList::OnScroll(UINT message, WPARAM wParam, LPARAM) {
  const int bar = message == WM_VSCROLL ? SB_VERT : SB_HORZ;
  SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
  GetScrollInfo(hwnd(), bar, &si);
  int pos = si.nPos;
  const int line = bar == SB_VERT ? 1 : 16;
  switch (LOWORD(wParam)) {
    case SB_LINEUP: pos -= line; break;
    case SB_LINEDOWN: pos += line; break;
    case SB_PAGEUP: pos -= static_cast<int>(si.nPage); break;
    case SB_PAGEDOWN: pos += static_cast<int>(si.nPage); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = si.nTrackPos; break;
    case SB_TOP: pos = si.nMin; break;
    case SB_BOTTOM: pos = si.nMax; break;
  }
  if (bar == SB_VERT) topRow_ = pos; else leftPixel_ = pos;
  Touch();
  return 0;
}

LRESULT GridList::OnWheel(UINT, WPARAM wParam, LPARAM) {
  const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
  topRow_ -= delta / WHEEL_DELTA * 3;
  if (topRow_ < 0) topRow_ = 0;
  Touch();
  return 0;
}

LRESULT GridList::OnFocus(UINT, WPARAM, LPARAM) {
  InvalidateRect(hwnd(), nullptr, FALSE);
  return 0;
}

LRESULT GridList::OnSize(UINT, WPARAM, LPARAM) {
  UpdateScrollBars();
  return 0;
}

LRESULT GridList::OnGetDlgCode(UINT, WPARAM, LPARAM) { return DLGC_WANTARROWS | DLGC_WANTALLKEYS; }

}  // namespace orv
