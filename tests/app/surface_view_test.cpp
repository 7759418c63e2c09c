// The surface window's geometry, 5 x 2 cells of 10 pixels and a 200 x 100 plot at (100, 0), by hand.
#include <gtest/gtest.h>

#include "app/surface_view.h"

namespace orv {
namespace {

using K = SurfaceClass;
constexpr ViewRect kPlot{100, 0, 300, 100};

struct CellCase {
  const char* name;
  uint64_t sectors;
  std::vector<SurfaceClassRun> runs;
  std::vector<SurfaceClass> cells;  // 10 sectors a cell on a 100-sector disc
};

TEST(SurfaceView, CellsShowTheWorstClassAmongTheirSectors) {
  const CellCase cases[] = {
      {"bad within slow and good, a cell read in part shows what was read", 100,
       {{0, 30, K::kGood}, {30, 2, K::kBad}, {32, 33, K::kSlow}, {65, 35, K::kNotRead}},
       {K::kGood, K::kGood, K::kGood, K::kBad, K::kSlow, K::kSlow, K::kSlow, K::kNotRead, K::kNotRead, K::kNotRead}},
      {"one sector recovered in the last cell", 100,
       {{0, 99, K::kGood}, {99, 1, K::kRecovered}},
       {K::kGood, K::kGood, K::kGood, K::kGood, K::kGood, K::kGood, K::kGood, K::kGood, K::kGood, K::kRecovered}},
      {"fewer sectors than cells: one cell each", 3, {{0, 3, K::kGood}}, {K::kGood, K::kGood, K::kGood}},
  };
  for (const CellCase& c : cases) {
    const SurfaceView view = LayOutSurfaceView(c.runs, c.sectors, {}, 0, {0, 0}, 5, 2, 10, kPlot);
    EXPECT_EQ(view.cellClasses, c.cells) << c.name;
    ASSERT_EQ(view.cellRects.size(), c.cells.size()) << c.name;
    if (c.cells.size() == 10) {
      EXPECT_EQ(view.cellRects[7], (ViewRect{20, 10, 29, 19})) << c.name;
    }
  }
}

TEST(SurfaceView, CurvePointsAndScalesFitThePlot) {
  // 8 MB/s at most: the scale runs to 8 in steps of 2; the point of sectors 0-49 is at a
  // quarter of the width; a point where nothing read breaks the line.
  const std::vector<SpeedPoint> curve{{0, 50, 4000000, 8000000}, {50, 25, 0, 0}, {75, 25, 2000000, 2000000}};
  const SurfaceView view = LayOutSurfaceView({}, 100, curve, 1385000, {0, 0}, 5, 2, 10, kPlot);
  EXPECT_EQ(view.topMBs, 8);
  std::vector<int> rows;
  for (const ViewTick& t : view.speedTicks) rows.push_back(t.y);
  EXPECT_EQ(rows, (std::vector<int>{100, 75, 50, 25, 0}));
  // 1x = 1.385 MB/s: 2x at 100 - 100 * 2.77 / 8, 4x at 100 - 100 * 5.54 / 8.
  rows.clear();
  for (const ViewTick& t : view.singleTicks) rows.push_back(t.y);
  EXPECT_EQ(rows, (std::vector<int>{100, 65, 31}));
  using Line = std::vector<ViewPoint>;
  EXPECT_EQ(view.maxLines, (std::vector<Line>{{{150, 0}}, {{275, 75}}}));
  EXPECT_EQ(view.minLines, (std::vector<Line>{{{150, 50}}, {{275, 75}}}));
}

}  // namespace
}  // namespace orv
