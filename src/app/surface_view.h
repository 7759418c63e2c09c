// What the surface scan window draws, worked out without the window system: the cells of the
// grid with the class each shows, the sectors of each class, and the speed curve as points and
// scale lines inside the plot's frame, all in pixels of the window's client area. The window
// only paints these, so the arithmetic is checked by native tests.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "device/read_speed.h"
#include "operations/backup_map.h"
#include "report/surface_picture.h"

namespace orv {

struct ViewRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const ViewRect&, const ViewRect&) = default;
};

struct ViewPoint {
  int x = 0, y = 0;
  friend bool operator==(const ViewPoint&, const ViewPoint&) = default;
};

// A scale line of the curve: its value and the pixel row it is drawn at.
struct ViewTick {
  double value = 0;
  int y = 0;
};

struct SurfaceView {
  std::vector<ViewRect> cellRects;        // row by row from the top left
  std::vector<SurfaceClass> cellClasses;  // one per cell: the worst class among its sectors
  std::array<uint64_t, 5> counts{};       // sectors, indexed by SurfaceClass
  double topMBs = 0;                      // the MB/s at the plot's top edge
  std::vector<ViewTick> speedTicks;       // MB/s, from 0 up
  std::vector<ViewTick> singleTicks;      // multiples of the medium's single speed (none without one)
  // Runs of points that read (a point where nothing read breaks the lines), maximum and minimum.
  std::vector<std::vector<ViewPoint>> maxLines, minLines;
};

// The map's ranges as classes (done is good, not tried is not read).
std::vector<SurfaceClassRun> SurfaceRunsOf(const BackupMap& map);

// `columns` x `rows` cells of `pitch` pixels (a pixel apart) from `gridOrigin`, at most one per
// sector; the curve of a disc of `sectorCount` sectors inside `plot`, with a right-hand scale
// when `singleSpeed` (bytes per second) is not 0.
SurfaceView LayOutSurfaceView(const std::vector<SurfaceClassRun>& runs, uint64_t sectorCount,
                              const std::vector<SpeedPoint>& curve, uint64_t singleSpeed, ViewPoint gridOrigin,
                              int columns, int rows, int pitch, ViewRect plot);

}  // namespace orv
