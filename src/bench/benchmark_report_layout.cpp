#include "bench/benchmark_report_layout.h"

#include <algorithm>

namespace orv {

namespace {

constexpr int kMinClientWidth = 560;
constexpr int kMinListHeight = 100;
constexpr int kListMargin = 2;      // list to the client edges
constexpr int kButtonGap = 8;       // list bottom to the buttons
constexpr int kButtonPadding = 16;  // label width to button width
constexpr int kButtonTextGap = 12;  // label height to button height
constexpr int kCopyLeft = 4;
constexpr int kOkRightGap = 16;

// Along one axis: centred on the owner, then inside the work area when it fits there.
int Place(int size, int ownerLow, int ownerHigh, int areaLow, int areaHigh) {
  int at = (ownerLow + ownerHigh - size) / 2;
  if (size <= areaHigh - areaLow) at = std::clamp(at, areaLow, areaHigh - size);
  return at;
}

}  // namespace

int BenchReportListHeight(int rows, const BenchReportMetrics& metrics) {
  return std::max(kMinListHeight, rows * metrics.rowHeight + 8);
}

PixelSize BenchReportClientSize(int rows, const BenchmarkColumns& columns, const BenchReportMetrics& metrics) {
  PixelSize client;
  client.width = std::max(kMinClientWidth, metrics.listChar.width * static_cast<int>(columns.Total()) + 32);
  client.height = BenchReportListHeight(rows, metrics) + 8 + metrics.okLabel.height + 24;
  return client;
}

BenchReportLayout LayOutBenchReport(int rows, PixelSize client, const BenchReportMetrics& metrics) {
  BenchReportLayout layout;
  layout.list = {kListMargin, kListMargin, client.width - kListMargin,
                 kListMargin + BenchReportListHeight(rows, metrics)};
  const int top = layout.list.bottom + kButtonGap;
  const PixelSize copy{metrics.copyLabel.width + kButtonPadding, metrics.copyLabel.height + kButtonTextGap};
  const PixelSize ok{metrics.okLabel.width + kButtonPadding, metrics.okLabel.height + kButtonTextGap};
  layout.copyButton = {kCopyLeft, top, kCopyLeft + copy.width, top + copy.height};
  layout.okButton = {client.width - kOkRightGap - ok.width, top, client.width - kOkRightGap, top + ok.height};
  return layout;
}

PixelPoint PlaceBenchReport(PixelSize window, const PixelRect& owner, const PixelRect& workArea) {
  return {Place(window.width, owner.left, owner.right, workArea.left, workArea.right),
          Place(window.height, owner.top, owner.bottom, workArea.top, workArea.bottom)};
}

}  // namespace orv
