// The geometry of the benchmark's report window, in pixels: its client size from the rows and
// the fonts, where the list and the two buttons go in it, and where the window goes on the
// screen. Portable arithmetic, so the rules are tested without a window system.
#pragma once

#include <cstdint>

#include "bench/benchmark_text.h"

namespace orv {

struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

struct PixelSize {
  int width = 0, height = 0;
  friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// What the layout is measured from.
struct PixelPoint {
  int x = 0, y = 0;
  friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

struct BenchReportMetrics {
  PixelSize listChar;   // average character width and height of the list's fixed-pitch font
  int rowHeight = 0;    // height of one list row as the grid list draws it
  PixelSize copyLabel;  // "結果をクリップボードにコピー" in the button font
  PixelSize okLabel;    // "   OK   " in the button font
};

struct BenchReportLayout {
  PixelRect list;
  PixelRect copyButton;
  PixelRect okButton;
};

// The list's height for `rows` rows: every row and 8 pixels, at least 100.
int BenchReportListHeight(int rows, const BenchReportMetrics& metrics);
// The client area: at least 560 wide and wide enough for the columns' characters and 32
// pixels; as high as the list, the buttons below it and their margins.
PixelSize BenchReportClientSize(int rows, const BenchmarkColumns& columns, const BenchReportMetrics& metrics);
// The list 2 pixels in from the left and top, 4 narrower than the client area; the buttons
// 8 below it, as wide as their label and 16, as high as it and 12: copy 4 from the left, OK
// with its right edge 16 from the right.
BenchReportLayout LayOutBenchReport(int rows, PixelSize client, const BenchReportMetrics& metrics);
// The window's top-left corner: centred over the owner's rectangle, then moved inside the work
// area along each axis where the window fits in it.
PixelPoint PlaceBenchReport(PixelSize window, const PixelRect& owner, const PixelRect& workArea);

}  // namespace orv
