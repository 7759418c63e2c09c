#include "app/surface_view.h"

#include <algorithm>
#include <cmath>

namespace orv {

namespace {

// A step of 1, 2 or 5 times a power of ten giving at most five intervals up to `top`.
double StepFor(double top) {
  const double power = std::pow(10.0, std::floor(std::log10(std::max(top, 1e-9) / 5)));
  for (const double m : {1.0, 2.0, 5.0})
    if (top / (m * power) <= 5) return m * power;
  return 10 * power;
}

int Round(double v) { return static_cast<int>(std::lround(v)); }

}  // namespace

std::vector<SurfaceClassRun> SurfaceRunsOf(const BackupMap& map) {
  std::vector<SurfaceClassRun> runs;
  for (const SectorRun& r : map.Runs()) {
    SurfaceClass kind = SurfaceClass::kNotRead;
    switch (r.state) {
      case SectorState::kDone: kind = SurfaceClass::kGood; break;
      case SectorState::kSlow: kind = SurfaceClass::kSlow; break;
      case SectorState::kRecovered: kind = SurfaceClass::kRecovered; break;
      case SectorState::kBad: kind = SurfaceClass::kBad; break;
      default: break;
    }
    runs.push_back({r.first, r.count, kind});
  }
  return runs;
}

SurfaceView LayOutSurfaceView(const std::vector<SurfaceClassRun>& runs, uint64_t sectorCount,
                              const std::vector<SpeedPoint>& curve, uint64_t singleSpeed, ViewPoint gridOrigin,
                              int columns, int rows, int pitch, ViewRect plot) {
  SurfaceView view;
  // Cell i holds sectors [i * N / cells, (i + 1) * N / cells), as the saved picture's grid does.
  const uint64_t cells = std::min<uint64_t>(uint64_t(columns) * uint64_t(rows), sectorCount);
  view.cellClasses.assign(cells, SurfaceClass::kNotRead);
  for (const SurfaceClassRun& r : runs) view.counts[size_t(r.kind)] += r.count;
  size_t run = 0;
  for (uint64_t i = 0; i < cells; ++i) {
    const uint64_t first = i * sectorCount / cells, end = (i + 1) * sectorCount / cells;
    while (run < runs.size() && runs[run].first + runs[run].count <= first) ++run;
    for (size_t r = run; r < runs.size() && runs[r].first < end; ++r)
      view.cellClasses[i] = std::max(view.cellClasses[i], runs[r].kind);
    const int x = gridOrigin.x + int(i % uint64_t(columns)) * pitch, y = gridOrigin.y + int(i / uint64_t(columns)) * pitch;
    view.cellRects.push_back({x, y, x + pitch - 1, y + pitch - 1});
  }

  double top = 0;
  for (const SpeedPoint& s : curve) top = std::max(top, s.maxBytesPerSecond / 1e6);
  const double step = StepFor(top > 0 ? top : 1);
  view.topMBs = std::max(step, std::ceil(top / step) * step);
  const double height = plot.bottom - plot.top, width = plot.right - plot.left;
  const auto yOf = [&](double mbs) { return Round(plot.bottom - height * mbs / view.topMBs); };
  for (double v = 0; v <= view.topMBs + step / 2; v += step) view.speedTicks.push_back({v, yOf(v)});
  if (singleSpeed != 0) {
    const double topX = view.topMBs * 1e6 / double(singleSpeed), stepX = StepFor(topX);
    for (double v = 0; v <= topX + stepX / 100; v += stepX) view.singleTicks.push_back({v, yOf(v * double(singleSpeed) / 1e6)});
  }
  bool broken = true;
  for (const SpeedPoint& s : curve) {
    if (s.maxBytesPerSecond == 0 || sectorCount == 0) {
      broken = true;
      continue;
    }
    if (broken) {
      view.maxLines.emplace_back();
      view.minLines.emplace_back();
      broken = false;
    }
    const int x = Round(plot.left + width * (double(s.first) + double(s.count) / 2) / double(sectorCount));
    view.maxLines.back().push_back({x, yOf(s.maxBytesPerSecond / 1e6)});
    view.minLines.back().push_back({x, yOf(s.minBytesPerSecond / 1e6)});
  }
  return view;
}

}  // namespace orv
