// The drive list view of the main window: the drive search, the cells of each row, the choice
// of a row and the command buttons that follow it.
#include "app/drive_list_rules.h"
#include "app/drive_summary.h"
#include "app/app_shell.h"
#include "app/main_window.h"
#include "device/drive_list.h"
#include "toolkit/win32/theme.h"

namespace orv {

namespace {
// Column 0 of each row carries the index of its record in the DriveList as item data: an index
// fits the 32-bit word on every build, where a pointer would not on a 64-bit one.
constexpr int kRecordColumn = 0;
}  // namespace

int MainWindow::DriveSearch() {
  if (!app_.driveList) return -1;
  HDC dc = GetDC(hwnd());
  const int charWidth = theme::FontCharSize(dc, list_.hwnd() ? listFont_ : theme::FixedFont()).cx;
  ReleaseDC(hwnd(), dc);

  list_.RemoveAllRows();
  list_.SetSelection(-1, -1);
  app_.driveList->Clear();
  RunScan(app_.ui, *app_.driveList);

  for (int c = 0; c < 5; ++c)
    list_.SetColumnWidth(c, static_cast<int>(kDriveListColumns[c].widthChars) * charWidth);
  const auto& records = app_.driveList->Records();
  for (size_t i = 0; i < records.size(); ++i) {
    const int row = static_cast<int>(i);
    const DriveRowText text = DriveRow(records[i]);
    const std::string* cells[5] = {&text.name, &text.identification, &text.type, &text.removable,
                                   &text.size};
    for (int c = 0; c < 5; ++c) {
      list_.SetCellText(row, c, *cells[c]);
      list_.SetCellAttributes(row, c, 0, kDriveListColumns[c].placement);
    }
    list_.SetItemData(row, kRecordColumn, static_cast<uint32_t>(i));
  }
  list_.SetSelection(-1, -1);
  list_.Invalidate(nullptr, false);
  list_.Update();
  UpdateCommandState(false);
  return 0;
}

const DriveRecord* MainWindow::ChosenRecord() const {
  const int row = list_.selectedRow(), column = list_.selectedColumn();
  if (row < 0 || column < 0 || !app_.driveList) return nullptr;
  uint32_t index = 0;
  if (list_.GetItemData(row, kRecordColumn, index) != 0) return nullptr;
  const auto& records = app_.driveList->Records();
  return index < records.size() ? &records[index] : nullptr;
}

void MainWindow::RowChosen(int row) {
  if (!app_.driveList) return;
  uint32_t index = 0;
  if (list_.GetItemData(row, kRecordColumn, index) != 0) return;
  const auto& records = app_.driveList->Records();
  if (index >= records.size()) return;
  // The partition table is read from the medium: a drive spinning up takes a moment.
  HCURSOR previous = SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // IDC_WAIT
  const std::string summary = DriveSummary(app_.driveList->Device(), records[index]);
  SetCursor(previous);
  pane_.SetText(summary.c_str());
  UpdateCommandState(true);
}

void MainWindow::RowDeselected() { UpdateCommandState(false); }

void MainWindow::UpdateCommandState(bool choicePresent) {
  const DriveCommandState state = CommandState(choicePresent ? ChosenRecord() : nullptr);
  const bool wanted[5] = {true, state.information, state.imageWrite, state.erase, state.benchmark};
  for (int i = 0; i < 5; ++i) {
    PushButton& b = buttons_[static_cast<size_t>(i)];
    if (!b.hwnd() || (b.IsEnabled() == 1) == wanted[i]) continue;
    b.Enable(wanted[i]);
    b.Invalidate(nullptr, false);
    b.Update();
  }
  menu_.EnableItem(kCmdDiscBackup, state.backup);
  menu_.EnableItem(kCmdDiscCompare, state.backup);
  menu_.EnableItem(kCmdSurfaceScan, state.backup);
}

}  // namespace orv
