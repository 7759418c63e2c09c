// The report window's geometry: its size from the rows and fonts, the controls' places, and
// its place on the screen.
#include "bench/benchmark_report_layout.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

// A 6 x 13 pixel fixed font, 21-pixel rows, labels 150 x 12 and 40 x 12.
const BenchReportMetrics kMetrics{{6, 13}, 21, {150, 12}, {40, 12}};

TEST(BenchmarkReportLayout, TheClientAreaFitsTheRowsAndTheColumns) {
  const BenchmarkColumns narrow;                 // 1 + 1 + 1 + 24 = 27 characters
  const BenchmarkColumns wide{40, 7, 21, 19};    // 90 characters
  const struct {
    int rows;
    BenchmarkColumns columns;
    PixelSize client;
  } cases[] = {
      {17, wide, {6 * 90 + 32, 17 * 21 + 8 + 8 + 12 + 24}},
      {17, narrow, {560, 17 * 21 + 8 + 8 + 12 + 24}},  // never narrower than 560
      {1, wide, {572, 100 + 8 + 12 + 24}},             // the list at least 100 high
      {0, narrow, {560, 144}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BenchReportClientSize(c.rows, c.columns, kMetrics), c.client) << c.rows;
  }
}

TEST(BenchmarkReportLayout, TheListFillsTheTopAndTheButtonsSitBelowIt) {
  const BenchReportLayout layout = LayOutBenchReport(17, {572, 409}, kMetrics);
  EXPECT_EQ(layout.list, (PixelRect{2, 2, 570, 2 + 17 * 21 + 8}));
  const int top = layout.list.bottom + 8;
  EXPECT_EQ(layout.copyButton, (PixelRect{4, top, 4 + 166, top + 24}));
  EXPECT_EQ(layout.okButton, (PixelRect{572 - 16 - 56, top, 572 - 16, top + 24}));
  // The client height the window is made with ends 10 pixels below the buttons.
  EXPECT_EQ(BenchReportClientSize(17, BenchmarkColumns{40, 7, 21, 19}, kMetrics).height, layout.okButton.bottom + 10);
}

TEST(BenchmarkReportLayout, TheWindowIsCentredOverItsOwnerAndKeptOnTheWorkArea) {
  const PixelRect area{0, 0, 1280, 984};
  const struct {
    const char* name;
    PixelSize window;
    PixelRect owner;
    PixelPoint at;
  } cases[] = {
      {"centred", {600, 400}, {100, 100, 900, 700}, {200, 200}},
      {"owner near the left edge", {600, 400}, {-300, 100, 300, 700}, {0, 200}},
      {"owner near the bottom right", {600, 400}, {1000, 800, 1400, 1000}, {680, 584}},
      {"taller than the work area: centred only", {600, 1200}, {100, 100, 900, 700}, {200, -200}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PlaceBenchReport(c.window, c.owner, area), c.at) << c.name;
  }
}

}  // namespace
}  // namespace orv
