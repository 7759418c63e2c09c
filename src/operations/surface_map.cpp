#include "operations/surface_map.h"

#include <sstream>

namespace orv {

std::string SurfaceMapText(const BackupMap& map, const std::vector<SpeedPoint>& curve) {
  std::string text =
      "# orvane surface map: done read at once, slow, recovered after a retry, bad never read\n" + map.Text();
  text += "# speed FIRST COUNT MIN MAX: bytes per second, 0 where nothing read\n";
  for (const SpeedPoint& p : curve)
    text += "#speed " + std::to_string(p.first) + " " + std::to_string(p.count) + " " +
            std::to_string(p.minBytesPerSecond) + " " + std::to_string(p.maxBytesPerSecond) + "\n";
  return text;
}

int ParseSurfaceMap(std::string_view text, BackupMap& map, std::vector<SpeedPoint>& curve, std::string& error) {
  BackupMap parsed;
  if (BackupMap::Parse(text, parsed, error) != 0) return -1;
  std::istringstream in{std::string(text)};
  std::vector<SpeedPoint> points;
  uint64_t next = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("#speed ", 0) != 0) continue;
    std::istringstream fields(line.substr(7));
    SpeedPoint p;
    std::string extra;
    if (!(fields >> p.first >> p.count >> p.minBytesPerSecond >> p.maxBytesPerSecond) || (fields >> extra) ||
        p.first != next || p.count == 0 || p.count > parsed.SectorCount() - p.first ||
        p.minBytesPerSecond > p.maxBytesPerSecond) {
      error = "\"" + line + "\" is not #speed FIRST COUNT MIN MAX in order";
      return -1;
    }
    next = p.first + p.count;
    points.push_back(p);
  }
  if (next != parsed.SectorCount()) {
    error = "its speed points end at sector " + std::to_string(next) + " of " + std::to_string(parsed.SectorCount());
    return -1;
  }
  map = std::move(parsed);
  curve = std::move(points);
  return 0;
}

}  // namespace orv
