// Where the report window and its controls go: the window's size and place over the main
// window, the controls' rectangles in its client area, and the report font.
#pragma once

#include <windows.h>

namespace orv {

// The window's size when the main window is smaller: 632 × 420 pixels, frame included.
inline constexpr SIZE kReportWindowSize{632, 420};

// The window's rectangle in screen coordinates: the default size, or the main window's width or
// height where it is larger; centred over `mainWindow` and, in each direction where it fits,
// moved wholly inside `workArea` (a window larger than the work area keeps its centre).
// `mainWindow` is the work area itself when there is no main window.
RECT ReportWindowRect(const RECT& mainWindow, const RECT& workArea);

// What the control layout is measured from: the client area, the OK label's size in the button
// font, the title font's character height and the report font's average character width.
struct ReportMetrics {
  SIZE client;
  SIZE okLabel;
  int titleCharHeight;
  int listCharWidth;
};

// The controls' rectangles in client coordinates:
// - OK at the bottom right, its label + 16 wide and + 8 high, 8 pixels from the right edge and
//   2 above the bottom;
// - the title field across the top, 2 pixels from the left, top and right, a character + 4 high;
// - the section list 4 pixels below it, 2 from the left, 24 characters + 2 wide, down to 4
//   pixels above OK;
// - the text pane 4 pixels right of the list, as high as the list, up to 2 from the right edge.
// Nothing is narrower or lower than 0, whatever the client's size.
struct ReportLayout {
  RECT title;
  RECT list;
  RECT pane;
  RECT ok;
};
ReportLayout LayOutReport(const ReportMetrics& metrics);

// The report font's description, derived from a fixed-pitch font's: a height above 12 pixels
// and an average width above 7 pixels each lose one, so that more of a 78-character dump line
// and more of its rows fit the pane. A negative height (a character height rather than a cell height) is compared and
// reduced by its size; a width of 0 (the face's own) stays.
LOGFONTW ReportFontDescription(LOGFONTW base);
// A new font made from ReportFontDescription of `base`'s description; null when `base` has none.
// The caller deletes it.
HFONT MakeReportFont(HFONT base);

}  // namespace orv
