// The surface scan's map file: the whole-disc backup's map (backup_map.h) with the states slow
// and recovered, and the speed curve measured so far as remark lines ("#speed FIRST COUNT MIN
// MAX", bytes per second, in order over the whole disc), which the backup's reader passes over.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "device/read_speed.h"
#include "operations/backup_map.h"

namespace orv {

std::string SurfaceMapText(const BackupMap& map, const std::vector<SpeedPoint>& curve);
// 0, or -1 with a message naming the faulty line (`map` and `curve` are then left as they were).
int ParseSurfaceMap(std::string_view text, BackupMap& map, std::vector<SpeedPoint>& curve, std::string& error);

}  // namespace orv
