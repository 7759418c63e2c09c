#include "report/surface_picture.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "report/svg_writer.h"

namespace orv {

namespace {

// The largest CD holds 99 minutes of 75 sectors a second: 445,500 sectors.
constexpr uint64_t kLargestCdSectors = 450000;

constexpr const char* kCss =
    "text{font-family:DejaVu Sans,Arial,sans-serif;font-size:12px;fill:#202020}"
    ".title{font-size:15px;font-weight:bold}.small{font-size:10px;fill:#505050}"
    ".n{fill:#d4d4d4}.g{fill:#3a9a48}.s{fill:#e8c020}.r{fill:#f07820}.b{fill:#d01818}"
    ".axis{stroke:#404040;stroke-width:1}.grid{stroke:#e0e0e0;stroke-width:1}"
    ".band{fill:#9cc4ec;fill-opacity:0.45}.max{fill:none;stroke:#1a5aa8;stroke-width:1.5}"
    ".min{fill:none;stroke:#6f9bd2;stroke-width:0.8}";

struct ClassLook {
  SurfaceClass kind;
  const char* css;
  const char* name;
};
// In the legend's order; the order of SurfaceClass is the order of badness.
constexpr std::array<ClassLook, 5> kLooks{{{SurfaceClass::kGood, "g", "good"},
                                          {SurfaceClass::kSlow, "s", "slow"},
                                          {SurfaceClass::kRecovered, "r", "recovered"},
                                          {SurfaceClass::kBad, "b", "bad"},
                                          {SurfaceClass::kNotRead, "n", "not read"}}};

const ClassLook& LookOf(SurfaceClass kind) {
  return *std::find_if(kLooks.begin(), kLooks.end(), [&](const ClassLook& l) { return l.kind == kind; });
}

// "2,295,104"
std::string Grouped(uint64_t value) {
  std::string digits = std::to_string(value), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string Bytes(double bytes) {
  const char* units[] = {"B", "kB", "MB", "GB", "TB"};
  int unit = 0;
  for (; bytes >= 1000 && unit < 4; ++unit) bytes /= 1000;
  return SvgNumber(bytes < 10 && unit > 0 ? bytes : std::round(bytes)) + " " + units[unit];
}

// A step of 1, 2 or 5 times a power of ten giving at most six intervals up to `top`.
double TickStep(double top) {
  const double power = std::pow(10.0, std::floor(std::log10(std::max(top, 1e-9) / 6)));
  for (const double m : {1.0, 2.0, 5.0, 10.0})
    if (top / (m * power) <= 6) return m * power;
  return 10 * power;
}

struct Box {
  double x, y, width, height;
};

// The curve in `box` (the plot area; labels go around it): a band from the minimum to the
// maximum of each point, both as lines, scales in MB/s and multiples of the single speed, the
// position on the disc below, and a strip under the plot marking the slow, recovered and bad
// places of `runs`.
void DrawCurve(SvgWriter& svg, const DiscPicture& p, const Box& box) {
  double top = 0;
  for (const SpeedPoint& s : p.curve) top = std::max(top, s.maxBytesPerSecond / 1e6);
  const double step = TickStep(top > 0 ? top : 1);
  top = std::max(step, std::ceil(top / step) * step);
  const auto xOf = [&](double sector) { return box.x + box.width * sector / double(std::max<uint64_t>(p.sectorCount, 1)); };
  const auto yOf = [&](double bytesPerSecond) { return box.y + box.height * (1 - bytesPerSecond / 1e6 / top); };

  svg.Text(box.x, box.y - 26, "Read speed (minimum and maximum per point)", "class=\"title\"");
  svg.Text(box.x - 8, box.y - 8, "MB/s", "text-anchor=\"end\" class=\"small\"");
  if (p.singleSpeed != 0) svg.Text(box.x + box.width + 8, box.y - 8, "x", "class=\"small\"");
  for (double v = 0; v <= top + step / 2; v += step) {
    const double y = box.y + box.height * (1 - v / top);
    svg.Line(box.x, y, box.x + box.width, y, "class=\"grid\"");
    svg.Text(box.x - 6, y + 4, SvgNumber(v), "text-anchor=\"end\"");
  }
  if (p.singleSpeed != 0) {
    const double topX = top * 1e6 / double(p.singleSpeed);
    const double stepX = TickStep(topX);
    for (double v = 0; v <= topX + stepX / 100; v += stepX)
      svg.Text(box.x + box.width + 6, box.y + box.height * (1 - v / topX) + 4, SvgNumber(v) + "x", "");
  }
  for (int i = 0; i <= 4; ++i) {
    const double x = box.x + box.width * i / 4;
    svg.Line(x, box.y + box.height, x, box.y + box.height + 4, "class=\"axis\"");
    svg.Text(x, box.y + box.height + 30, Bytes(double(p.sectorCount) * p.sectorSize * i / 4), "text-anchor=\"middle\"");
  }
  svg.Text(box.x + box.width / 2, box.y + box.height + 46, "position on the disc", "text-anchor=\"middle\" class=\"small\"");

  // Runs of points that read: a point where nothing read breaks the lines.
  std::vector<std::pair<double, double>> maxLine, minLine;
  const auto flush = [&] {
    if (!maxLine.empty()) {
      std::vector<std::pair<double, double>> band = maxLine;
      band.insert(band.end(), minLine.rbegin(), minLine.rend());
      svg.Polygon(band, "class=\"band\"");
      svg.Polyline(minLine, "class=\"min\"");
      svg.Polyline(maxLine, "class=\"max\"");
    }
    maxLine.clear();
    minLine.clear();
  };
  for (const SpeedPoint& s : p.curve) {
    if (s.maxBytesPerSecond == 0) {
      flush();
      continue;
    }
    const double x = xOf(s.first + s.count / 2.0);
    maxLine.emplace_back(x, yOf(double(s.maxBytesPerSecond)));
    minLine.emplace_back(x, yOf(double(s.minBytesPerSecond)));
  }
  flush();
  svg.Rect(box.x, box.y, box.width, box.height, "fill=\"none\" class=\"axis\"");

  // The places that did not read well, at least a pixel wide so a single sector shows.
  for (const SurfaceClassRun& r : p.runs) {
    if (r.kind == SurfaceClass::kGood || r.kind == SurfaceClass::kNotRead) continue;
    const double x = xOf(double(r.first));
    svg.Rect(x, box.y + box.height + 6, std::max(1.5, xOf(double(r.first + r.count)) - x), 8,
             std::string("class=\"") + LookOf(r.kind).css + "\"");
  }
}

void DrawHeading(SvgWriter& svg, const DiscPicture& p, const char* what, double width) {
  svg.Text(20, 26, std::string(what) + ": " + p.drive, "class=\"title\"");
  svg.Text(width - 20, 26, p.date, "text-anchor=\"end\"");
  svg.Text(20, 44,
           Grouped(p.sectorCount) + " sectors of " + std::to_string(p.sectorSize) + " bytes (" +
               Bytes(double(p.sectorCount) * p.sectorSize) + ")",
           "class=\"small\"");
}

}  // namespace

uint64_t SingleSpeedOf(uint8_t deviceType, uint16_t currentProfile, uint64_t blockCount) {
  if (deviceType != 5) return 0;
  if (currentProfile != 0) return SingleSpeedOfProfile(currentProfile);
  return blockCount > kLargestCdSectors ? kDvdSingleSpeed : kCdSingleSpeed;
}

std::string SurfaceSvg(const DiscPicture& p) {
  constexpr double kWidth = 1060, kHeight = 460;
  constexpr int kColumns = 50, kRows = 24;
  constexpr double kPitch = 10;
  SvgWriter svg(kWidth, kHeight, kCss);
  DrawHeading(svg, p, "Surface scan", kWidth);

  // The grid: cell i holds sectors [i * N / cells, (i + 1) * N / cells), in rows from the top
  // left, and shows the worst class among them (a cell read in part shows what was read).
  const uint64_t cells = std::min<uint64_t>(uint64_t{kColumns} * kRows, p.sectorCount);
  const Box grid{20, 82, kColumns * kPitch, kRows * kPitch};
  svg.Text(grid.x, grid.y - 10,
           "Surface, each cell " + Bytes(double(p.sectorCount) * p.sectorSize / double(std::max<uint64_t>(cells, 1))) +
               ", row by row from the top left",
           "class=\"small\"");
  std::array<uint64_t, 5> counts{};
  for (const SurfaceClassRun& r : p.runs) counts[size_t(r.kind)] += r.count;
  std::vector<SurfaceClass> cellClass(cells, SurfaceClass::kNotRead);
  size_t run = 0;
  for (uint64_t i = 0; i < cells; ++i) {
    const uint64_t first = i * p.sectorCount / cells, end = (i + 1) * p.sectorCount / cells;
    while (run < p.runs.size() && p.runs[run].first + p.runs[run].count <= first) ++run;
    for (size_t r = run; r < p.runs.size() && p.runs[r].first < end; ++r)
      cellClass[i] = std::max(cellClass[i], p.runs[r].kind);
  }
  // Neighbouring cells of a row in one class make one rectangle, and white lines cut it into
  // cells again: a disc mostly good is a few dozen elements rather than 1,200.
  for (uint64_t i = 0; i < cells;) {
    uint64_t n = 1;
    while (i + n < cells && (i + n) % kColumns != 0 && cellClass[i + n] == cellClass[i]) ++n;
    svg.Rect(grid.x + double(i % kColumns) * kPitch, grid.y + double(i / kColumns) * kPitch, double(n) * kPitch - 1,
             kPitch - 1, std::string("class=\"") + LookOf(cellClass[i]).css + "\"");
    i += n;
  }
  const double rows = double((cells + kColumns - 1) / kColumns);
  for (int c = 1; c < kColumns; ++c) {
    const double x = grid.x + c * kPitch - 0.5;
    svg.Line(x, grid.y, x, grid.y + rows * kPitch, "stroke=\"#ffffff\"");
  }

  // The legend: every class with its sectors, the count in an element of its own.
  double y = grid.y + grid.height + 30;
  for (const ClassLook& look : kLooks) {
    const uint64_t n = counts[size_t(look.kind)];
    svg.Rect(grid.x, y - 11, 12, 12, std::string("class=\"") + look.css + "\"");
    svg.Text(grid.x + 20, y, look.name, "");
    svg.Text(grid.x + 200, y, Grouped(n), std::string("text-anchor=\"end\" id=\"count-") + look.css + "\"");
    svg.Text(grid.x + 206, y,
             "sectors" + (p.sectorCount == 0 || n == 0 ? std::string()
                          : n * 1000 < p.sectorCount
                              ? std::string(" (under 0.1 %)")
                              : " (" + SvgNumber(100.0 * double(n) / double(p.sectorCount)) + " %)"),
             "class=\"small\"");
    y += 18;
  }
  DrawCurve(svg, p, Box{620, 82, 380, 270});
  return svg.Finish();
}

std::string SpeedCurveSvg(const DiscPicture& p) {
  constexpr double kWidth = 680, kHeight = 420;
  SvgWriter svg(kWidth, kHeight, kCss);
  DrawHeading(svg, p, "Read speed", kWidth);
  DrawCurve(svg, p, Box{70, 100, 540, 240});
  return svg.Finish();
}

}  // namespace orv
