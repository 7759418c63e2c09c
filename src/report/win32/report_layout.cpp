#include "report/win32/report_layout.h"

#include <algorithm>
#include <cstdlib>

namespace orv {

namespace {

// Moves [low, low + size) inside [areaLow, areaHigh) when it fits there.
LONG KeepInside(LONG low, LONG size, LONG areaLow, LONG areaHigh) {
  if (size > areaHigh - areaLow) return low;
  return std::clamp(low, areaLow, areaHigh - size);
}

RECT Box(int left, int top, int right, int bottom) {
  return RECT{left, top, std::max(left, right), std::max(top, bottom)};
}

}  // namespace

RECT ReportWindowRect(const RECT& mainWindow, const RECT& workArea) {
  const LONG width = std::max(kReportWindowSize.cx, mainWindow.right - mainWindow.left);
  const LONG height = std::max(kReportWindowSize.cy, mainWindow.bottom - mainWindow.top);
  LONG x = (mainWindow.left + mainWindow.right - width) / 2;
  LONG y = (mainWindow.top + mainWindow.bottom - height) / 2;
  x = KeepInside(x, width, workArea.left, workArea.right);
  y = KeepInside(y, height, workArea.top, workArea.bottom);
  return RECT{x, y, x + width, y + height};
}

ReportLayout LayOutReport(const ReportMetrics& m) {
  ReportLayout layout;
  const int okWidth = m.okLabel.cx + 16, okHeight = m.okLabel.cy + 8;
  const int okRight = m.client.cx - 8, okBottom = m.client.cy - 2;
  layout.ok = Box(okRight - okWidth, okBottom - okHeight, okRight, okBottom);

  layout.title = Box(2, 2, m.client.cx - 2, 2 + m.titleCharHeight + 4);

  const int listTop = layout.title.bottom + 4;
  layout.list = Box(2, listTop, 2 + 24 * m.listCharWidth + 2, layout.ok.top - 4);

  layout.pane = Box(layout.list.right + 4, layout.list.top, m.client.cx - 2, layout.list.bottom);
  return layout;
}

LOGFONTW ReportFontDescription(LOGFONTW base) {
  if (std::abs(base.lfHeight) > 12) base.lfHeight += base.lfHeight > 0 ? -1 : 1;
  if (base.lfWidth > 7) base.lfWidth -= 1;
  return base;
}

HFONT MakeReportFont(HFONT base) {
  LOGFONTW description{};
  if (!base || GetObjectW(base, sizeof description, &description) != sizeof description) return nullptr;
  const LOGFONTW derived = ReportFontDescription(description);
  return CreateFontIndirectW(&derived);
}

}  // namespace orv
