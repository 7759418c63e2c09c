#include "app/cli/surface_command.h"

#include <CLI/CLI.hpp>

#include <ctime>
#include <fstream>
#include <memory>
#include <string>

#include "device/inquiry_view.h"
#include "device/scsi_commands.h"
#include "image/file_replacement.h"
#include "image/file_system.h"
#include "operations/surface_scan.h"
#include "report/surface_picture.h"

namespace orv {

namespace {

MonotonicClock* g_clock = nullptr;

struct SurfaceCommandOptions {
  std::string drive;
  std::string map;
  std::string svg;
  bool json = false;
  uint32_t slowMs = kSurfaceSlowMs;
};

struct ClassText {
  SectorState state;
  SurfaceClass kind;
  const char* name;   // JSON member
  const char* title;  // heading of the printed list
};
constexpr ClassText kClasses[] = {
    {SectorState::kDone, SurfaceClass::kGood, "good", nullptr},
    {SectorState::kSlow, SurfaceClass::kSlow, "slow", "Slow sectors"},
    {SectorState::kRecovered, SurfaceClass::kRecovered, "recovered", "Recovered sectors"},
    {SectorState::kBad, SurfaceClass::kBad, "bad", "Bad sectors"},
    {SectorState::kNotTried, SurfaceClass::kNotRead, "notTried", nullptr},
};

std::string CountsText(const SurfaceCounts& c) {
  return std::to_string(c.good) + " good, " + std::to_string(c.slow) + " slow, " + std::to_string(c.recovered) +
         " recovered, " + std::to_string(c.bad) + " bad, " + std::to_string(c.notTried) + " not tried";
}

JsonValue RunsJson(const BackupMap& map, SectorState state) {
  JsonValue list = JsonValue::Array();
  for (const SectorRun& r : map.RunsWithin(0, map.SectorCount(), state)) {
    JsonValue run = JsonValue::Object();
    run.Set("first", JsonValue(static_cast<unsigned long long>(r.first)));
    run.Set("count", JsonValue(static_cast<unsigned long long>(r.count)));
    list.Append(std::move(run));
  }
  return list;
}

JsonValue ScanJson(const std::string& drive, const SurfaceScan& scan) {
  JsonValue out = JsonValue::Object();
  out.Set("drive", drive);
  out.Set("complete", scan.end == SurfaceEnd::kCompleted);
  out.Set("sectorSize", JsonValue(scan.map.SectorSize()));
  out.Set("sectors", JsonValue(static_cast<unsigned long long>(scan.map.SectorCount())));
  JsonValue counts = JsonValue::Object(), runs = JsonValue::Object();
  for (const ClassText& c : kClasses) {
    counts.Set(c.name, JsonValue(static_cast<unsigned long long>(scan.map.Count(c.state))));
    if (c.title != nullptr) runs.Set(c.name, RunsJson(scan.map, c.state));
  }
  out.Set("counts", std::move(counts));
  out.Set("runs", std::move(runs));
  out.Set("curve", SpeedPointsJson(scan.curve));
  return out;
}

DiscPicture PictureOf(const DriveRecord& record, uint16_t profile, const SurfaceScan& scan) {
  DiscPicture picture;
  picture.drive = ConsoleText(IdentificationText(record));
  picture.date = PictureDate();
  picture.sectorSize = scan.map.SectorSize();
  picture.sectorCount = scan.map.SectorCount();
  picture.curve = scan.curve;
  picture.singleSpeed = SingleSpeedOf(InquiryView(record.unit).DeviceType(), profile, scan.map.SectorCount());
  for (const SectorRun& r : scan.map.Runs())
    for (const ClassText& c : kClasses)
      if (c.state == r.state) picture.runs.push_back({r.first, r.count, c.kind});
  return picture;
}

void RunSurfaceCommand(CliSession& session, const SurfaceCommandOptions& o) {
  const DriveRecord& record = session.FindDrive(o.drive);
  if (!o.map.empty()) RefuseDiscFile(session, record, "--map", o.map);
  if (!o.svg.empty()) RefuseDiscFile(session, record, "--svg", o.svg);
  DeviceHandle& device = session.Drives().Device();
  if (device.IsOpen()) device.Close();
  // Reading only, and sharing the drive with whoever else has it open.
  if (device.Open(record.path.c_str(), kOpenRead | kOpenShareRead | kOpenShareWrite) != 0)
    throw CliError("cannot open " + o.drive + " for reading");
  if (record.BlockLength() == 0 || record.BlockCount() == 0) throw CliError(o.drive + " has no readable disc");

  const uint16_t profile = CurrentProfile(device, record.Address());
  SurfaceOptions options;
  options.slowMs = o.slowMs;
  SurfaceScan scan;
  {
    ProgressBoxSpec boxSpec;
    boxSpec.message = "Scanning the surface";
    std::unique_ptr<ProgressBox> box = session.Ui().OpenProgress(boxSpec, nullptr);
    uint64_t shownMs = 0;
    scan = RunSurfaceScan(device, record.Address(), record.BlockLength(), record.BlockCount(), o.map, options,
                          g_clock != nullptr ? *g_clock : SteadyClock(), [&](const SurfaceScan& s) {
                            session.Ui().ProcessMessages(0);
                            if (!box || !box->IsOpen()) return false;
                            // The line redrawn four times a second, not after each of 70,000 transfers.
                            const uint64_t nowMs = SteadyClock().NowMs();
                            if (shownMs != 0 && nowMs - shownMs < 250) return true;
                            shownMs = nowMs;
                            const SurfaceCounts c = s.Counts();
                            box->SetStatus(std::to_string(s.map.SectorCount() - c.notTried) + "/" +
                                           std::to_string(s.map.SectorCount()) + " sectors: " + CountsText(c));
                            return true;
                          });
  }
  device.Close();
  const SurfaceCounts counts = scan.Counts();
  // No picture of a scan that read nothing (a map of another disc, a drive gone at once).
  if (!o.svg.empty() && counts.notTried < scan.map.SectorCount())
    WritePicture(o.svg, SurfaceSvg(PictureOf(record, profile, scan)));
  if (o.json) {
    session.PrintJson(ScanJson(o.drive, scan));
  } else {
    for (const ClassText& c : kClasses) {
      const std::vector<SectorRun> runs = scan.map.RunsWithin(0, scan.map.SectorCount(), c.state);
      if (c.title == nullptr || runs.empty()) continue;
      std::string text = std::string(c.title) + " (first count):\n";
      for (const SectorRun& r : runs) text += std::to_string(r.first) + " " + std::to_string(r.count) + "\n";
      session.Print(text);
    }
    std::string state = scan.end == SurfaceEnd::kCompleted     ? "Scan complete"
                        : scan.end == SurfaceEnd::kInterrupted ? "Scan stopped"
                                                               : "Scan failed";
    if (scan.end != SurfaceEnd::kCompleted && !o.map.empty()) state += " (run the same command again to go on)";
    session.Print(state + ": " + CountsText(counts) + ".\n");
  }
  if (scan.end == SurfaceEnd::kFailed) session.PrintError(scan.failure);
  session.exitCode = scan.end == SurfaceEnd::kCompleted && counts.bad == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace

void SetSurfaceCommandClock(MonotonicClock* clock) { g_clock = clock; }

JsonValue SpeedPointsJson(const std::vector<SpeedPoint>& points) {
  JsonValue out = JsonValue::Array();
  for (const SpeedPoint& p : points) {
    JsonValue point = JsonValue::Object();
    point.Set("first", JsonValue(static_cast<unsigned long long>(p.first)));
    point.Set("count", JsonValue(static_cast<unsigned long long>(p.count)));
    point.Set("minBytesPerSecond", JsonValue(static_cast<unsigned long long>(p.minBytesPerSecond)));
    point.Set("maxBytesPerSecond", JsonValue(static_cast<unsigned long long>(p.maxBytesPerSecond)));
    out.Append(std::move(point));
  }
  return out;
}

std::string PictureDate() {
  const std::time_t now = std::time(nullptr);
  char text[32] = "";
  if (const std::tm* utc = std::gmtime(&now)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", utc);
  return text;
}

void RefuseDiscFile(CliSession& session, const DriveRecord& record, const std::string& option,
                    const std::string& path) {
  const std::filesystem::path disc = session.Drives().Device().Port().BackingFile(record.path.c_str());
  FileFacts given, held;
  if (!disc.empty() && InspectFile(path, given, nullptr) == 0 && InspectFile(disc, held, nullptr) == 0 &&
      SameFile(given, held))
    throw CliError(option + " " + path + " is the file that holds the disc: choose another name");
}

void WritePicture(const std::string& path, const std::string& svg) {
  FileReplacement output;
  if (output.Begin(path) == 0) {
    std::ofstream file(output.Temporary(), std::ios::binary);
    file.write(svg.data(), static_cast<std::streamsize>(svg.size()));
    file.close();
    if (file && output.Commit() == 0) return;
  }
  throw CliError("cannot write " + path);
}

void AddSurfaceCommand(CLI::App& app, CliSession& session) {
  auto o = std::make_shared<SurfaceCommandOptions>();
  CLI::App* surface = app.add_subcommand(
      "surface",
      "Read every sector of the disc, timing each transfer, and class each range good, slow, recovered "
      "(read after a retry) or bad. Exit code 0 when every sector was read");
  surface->add_option("DRIVE", o->drive, "The drive: E:, e:, E, or a device path")->required();
  surface->add_option("--map", o->map, "Keep the findings in FILE (the backup's map format); run again to go on")
      ->type_name("FILE");
  surface->add_option("--svg", o->svg, "Draw the surface map and the read-speed curve into FILE")->type_name("FILE");
  surface->add_flag("--json", o->json, "The result as JSON");
  surface->add_option("--slow", o->slowMs,
                      "A 64 KiB transfer taking longer than MS milliseconds, twice, is slow (default 100)")
      ->type_name("MS")
      ->check(CLI::Range(1, 600000));
  surface->callback([o, &session] { RunSurfaceCommand(session, *o); });
}

}  // namespace orv
