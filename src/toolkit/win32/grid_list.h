// The grid list (window class "mokit_nlstbox"): rows of cells in columns, each cell a text, an
// item data word and two attribute words. It tells its owner (or its parent) about the user's
// actions with WM_COMMAND: low word the row, high word a notification code, lParam the list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/win32/window.h"

namespace orv {

class GridList : public Window {
 public:
  // Notification codes.
  static constexpr WORD kRowClicked = 3, kRowDoubleClicked = 4, kRowDeselected = 5,
                        kRowSelected = 6;
  // List style word: vertical scroll bar always (10h) or when needed (40h); horizontal always
  // (20h) or when needed (80h).
  static constexpr uint32_t kVScrollAlways = 0x10, kHScrollAlways = 0x20, kVScrollAuto = 0x40,
                            kHScrollAuto = 0x80;
  // Attribute b: bits 7-6 horizontal alignment, bits 5-4 vertical (01 left/top, 10 right/bottom,
  // 00 or 11 centred).
  static constexpr uint32_t kCentred = 0x01, kLeft = 0x41, kRight = 0x81;

  int Create(HWND parent, int id, int x, int y, int width, int height, uint32_t listStyle,
             HFONT font);
  void SetOwner(HWND owner) { owner_ = owner; }

  int SetCellText(int row, int column, const std::string& text);
  int SetItemData(int row, int column, uint32_t data);
  int GetItemData(int row, int column, uint32_t& data) const;
  int SetCellAttributes(int row, int column, uint32_t a, uint32_t b);
  int SetColumnWidth(int column, int pixels);
  void RemoveAllRows();

  // The selection: (row, column), -1 for none. Setting it sends no notification.
  void SetSelection(int row, int column);
  int selectedRow() const { return selRow_; }
  int selectedColumn() const { return selColumn_; }

  int RowCount() const { return static_cast<int>(rows_.size()); }
  int ColumnCount() const { return static_cast<int>(widths_.size()); }
  // The text of a cell; empty when the cell does not exist.
  std::string CellText(int row, int column) const;
  uint32_t CellAttributeB(int row, int column) const;
  int ColumnWidth(int column) const;
  int RowHeight() const { return rowHeight_; }
  // The client-area rectangle of a row as drawn now (for tests and hit testing).
  RECT RowRect(int row) const;

 protected:
  const MessageTable& Messages() const override { return ClassMessages(); }
  static const MessageTable& ClassMessages();

 private:
  struct Cell {
    std::string text;
    uint32_t data = 0;
    uint32_t a = 0;
    uint32_t b = kCentred;
  };
  Cell* CellAt(int row, int column);
  const Cell* CellAt(int row, int column) const;
  void Touch();  // marks the list for redraw and refreshes the scroll bars
  void UpdateScrollBars();
  int TotalWidth() const;
  int RowAt(int y) const;
  int ColumnAt(int x) const;
  void Notify(int row, WORD code);
  void Select(int row, int column);  // with the notifications a user's choice sends
  void EnsureVisible(int row);

  LRESULT OnPaint(UINT, WPARAM, LPARAM);
  LRESULT OnButton(UINT, WPARAM, LPARAM);
  LRESULT OnKey(UINT, WPARAM, LPARAM);
  LRESULT OnScroll(UINT, WPARAM, LPARAM);
  LRESULT OnWheel(UINT, WPARAM, LPARAM);
  LRESULT OnFocus(UINT, WPARAM, LPARAM);
  LRESULT OnSize(UINT, WPARAM, LPARAM);
  LRESULT OnGetDlgCode(UINT, WPARAM, LPARAM);

  std::vector<std::vector<Cell>> rows_;
  std::vector<int> widths_;
  uint32_t listStyle_ = 0;
  HFONT font_ = nullptr;
  HWND owner_ = nullptr;
  int rowHeight_ = 18;
  int selRow_ = -1, selColumn_ = -1;
  int topRow_ = 0;     // first row shown
  int leftPixel_ = 0;  // horizontal scroll offset
  int pressedRow_ = -1;
};

}  // namespace orv
