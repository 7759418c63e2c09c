// The `surface DRIVE` subcommand: the surface scan on the console. Progress and the counts so
// far go to the error stream, Ctrl-C stops after the transfer under way, and with --map the same
// command again goes on from the map; the runs found are printed (or JSON with --json), and
// --svg writes the map and the speed curve as a picture. Exit code 0 when every sector was
// tried and none is bad.
#pragma once

#include <string>
#include <vector>

#include "app/cli/cli_session.h"
#include "device/read_speed.h"
#include "toolkit/json.h"
#include "operations/monotonic_clock.h"

namespace CLI {
class App;
}

namespace orv {

void AddSurfaceCommand(CLI::App& app, CliSession& session);

// The clock the scan times its transfers with: the system's monotonic clock, unless a test sets
// one of its own (null goes back to the system's).
void SetSurfaceCommandClock(MonotonicClock* clock);

// What the console's pictures (this scan's, the benchmark's curve) share: the date they show,
// "2026-12-08 01:10 UTC", and the file written beside its name and renamed onto it only when
// whole (CliError when it cannot be).
std::string PictureDate();
// The points of a read-speed curve as --json prints them (this scan's curve, the benchmark's).
JsonValue SpeedPointsJson(const std::vector<SpeedPoint>& points);
void WritePicture(const std::string& path, const std::string& svg);
// Throws CliError when `path` (given with `option`) is the very file that holds the disc of
// `record` (a virtual drive's image): writing it would replace the disc.
void RefuseDiscFile(CliSession& session, const DriveRecord& record, const std::string& option,
                    const std::string& path);

}  // namespace orv
