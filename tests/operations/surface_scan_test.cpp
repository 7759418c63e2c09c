// The surface scan on virtual drives whose timing model and media faults advance a simulated
// clock, and the backup that goes on from its map.
#include "operations/surface_scan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "image/image_file.h"
#include "image/image_test_support.h"
#include "operations/disc_backup.h"
#include "operation_rig.h"
#include "vdrive/timing.h"

namespace orv::test {
namespace {

namespace fs = std::filesystem;

class SimulatedMonotonicClock : public MonotonicClock {
 public:
  explicit SimulatedMonotonicClock(std::shared_ptr<SimulatedClock> clock) : clock_(std::move(clock)) {}
  uint64_t NowMs() override { return NowUs() / 1000; }
  uint64_t NowUs() override { return static_cast<uint64_t>(clock_->NowMicroseconds()); }

 private:
  std::shared_ptr<SimulatedClock> clock_;
};

// A drive of `preset` with timing over an image of `sectors` sectors and `faults`, scanned;
// `after` sees the drive, still open, once the scan ended.
SurfaceScan Scan(const std::string& preset, uint64_t sectors, const std::string& faults, SurfaceOptions options = {},
                 const fs::path& map = {}, std::function<bool(const SurfaceScan&)> progress = {},
                 const std::function<void(OperationRig&)>& after = {}) {
  const fs::path image = TempDir("surface-scan") / (preset + ".img");
  WriteWholeFile(image, Bytes(sectors * FindDrivePreset(preset)->blockLength));  // the folder is made anew
  std::vector<VirtualDriveSpec> parsed;
  std::string error;
  EXPECT_EQ(ParseVirtualDriveSpecs("E=" + preset + ":" + image.string() + faults, parsed, error), 0) << error;
  std::shared_ptr<VirtualDrive> drive = MakeVirtualDrive(parsed.at(0), error);
  auto clock = std::make_shared<SimulatedClock>();
  drive->SetSimulatedClock(clock);
  drive->SetTimingEnabled(true);
  OperationRig rig(drive);
  SimulatedMonotonicClock monotonic(clock);
  EXPECT_EQ(rig.Device().Open(rig.Record().path.c_str(), kOpenRead | kOpenShareRead), 0);
  SurfaceScan scan =
      RunSurfaceScan(rig.Device(), rig.Record().Address(), rig.Record().BlockLength(), rig.Record().BlockCount(), map,
                     options, monotonic, progress ? progress : [](const SurfaceScan&) { return true; });
  if (after) after(rig);
  return scan;
}

// "300+5 bad, 1024+64 slow": the runs not read at once.
std::string Findings(const BackupMap& map) {
  std::ostringstream text;
  const char* const names[] = {"not-tried", "done", "bad", "slow", "recovered"};  // SectorState order
  for (const SectorRun& r : map.Runs())
    if (r.state != SectorState::kDone)
      text << (text.tellp() ? ", " : "") << r.first << "+" << r.count << " " << names[static_cast<int>(r.state)];
  return text.str();
}

TEST(SurfaceScan, FindsExactlyTheInjectedFaults) {
  // dvdram: 64 KiB take 10 ms; a slow place of 150 ms passes the 100 ms limit, one of 50 ms not.
  // A weak sector failing 3 times: its transfer, then twice alone; the third try alone reads.
  const struct {
    const char* name;
    const char* preset;
    const char* faults;
    uint32_t slowMs;
    const char* findings;
  } cases[] = {
      {"clean, constant angular", "dvdrom", "", 100, ""},
      {"weak beyond the retries", "dvdram", ":weak=700+3+4", 100, "700+3 bad"},
      {"weak failing only its transfer", "dvdram", ":weak=2000+1+1", 100, "1984+32 recovered"},
      {"slow, under the limit", "dvdram", ":slow=1024+64+50", 100, ""},
      {"slow, the limit lowered", "dvdram", ":slow=1024+64+50", 40, "1024+64 slow"},
      {"all at once", "dvdrom", ":bad=3999+1:weak=700+3+3:slow=32+32+150:bad=300+5", 100,
       "32+32 slow, 300+5 bad, 700+3 recovered, 3999+1 bad"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SurfaceOptions options;
    options.slowMs = c.slowMs;
    const SurfaceScan scan = Scan(c.preset, 4000, c.faults, options);
    EXPECT_EQ(scan.end, SurfaceEnd::kCompleted) << scan.failure;
    EXPECT_EQ(Findings(scan.map), c.findings);
    if (*c.faults != 0) continue;
    // A clean disc reads at its timing model's rate everywhere, within 1 %.
    const TimingModel& model = FindDrivePreset(c.preset)->timing;
    for (const SpeedPoint& p : scan.curve) {
      const double expected = TransferRateMBps(model, 4000, p.first + p.count / 2.0) * 1e6;
      EXPECT_NEAR(double(p.minBytesPerSecond), expected, expected / 100) << p.first;
      EXPECT_NEAR(double(p.maxBytesPerSecond), expected, expected / 100) << p.first;
    }
  }
}

TEST(SurfaceScan, AStoppedScanGoesOnToTheMapOfAnUninterruptedOne) {
  const fs::path dir = TempDir("surface-resume");
  const char* faults = ":bad=3000+40:weak=7000+3+3:slow=4096+96+150:weak=100+1+1";
  ASSERT_EQ(Scan("dvdrom", 8000, faults, {}, dir / "whole.map").end, SurfaceEnd::kCompleted);
  int runs = 0, transfers = 0;
  SurfaceEnd end = SurfaceEnd::kInterrupted;
  for (; end == SurfaceEnd::kInterrupted && runs < 10; ++runs)
    end = Scan("dvdrom", 8000, faults, {}, dir / "stopped.map", [&](const SurfaceScan&) {
            return ++transfers % 37 != 0;
          }).end;
  EXPECT_EQ(end, SurfaceEnd::kCompleted);
  EXPECT_EQ(runs, 7);  // 250 transfers, stopped after every 37th
  EXPECT_EQ(ReadWholeFile(dir / "stopped.map"), ReadWholeFile(dir / "whole.map"));
  // The map of another disc is refused, and left as it was.
  const SurfaceScan other = Scan("dvdrom", 4000, "", {}, dir / "whole.map");
  EXPECT_EQ(other.end, SurfaceEnd::kFailed);
  EXPECT_NE(other.failure.find("is of another disc (8000 sectors of 2048 bytes)"), std::string::npos) << other.failure;
  EXPECT_EQ(ReadWholeFile(dir / "stopped.map"), ReadWholeFile(dir / "whole.map"));
}

// A backup resumed from a scan's map reads the sectors the scan found slow or recovered too: the
// map says they read, not that the image holds them.
TEST(SurfaceScan, ABackupGoingOnFromTheMapReadsEveryReadableSector) {
  const fs::path dir = TempDir("surface-backup");
  Scan("dvdram", 4000, ":slow=1024+64+150:weak=700+3+3:bad=300+5", {}, dir / "disc.ovi.map", {},
       [&](OperationRig& rig) {
         BackupOptions options;
         options.resume = true;
         const BackupResult backup = RunDiscBackup(rig.Device(), rig.Record().Address(), 2048, 4000, dir / "disc.ovi",
                                                   options, [](const BackupProgress&) { return true; });
         EXPECT_EQ(backup.end, BackupEnd::kCompleted) << backup.failure;
         EXPECT_EQ(backup.goodSectors, 3995u);
         EXPECT_EQ(backup.badSectors, 5u);
       });
}

// Given the scan's slow, recovered and bad places, the backup reads them after every other
// sector, their blocks last in the image; stopped after every chunk and resumed, it writes the
// very bytes of an uninterrupted run.
TEST(SurfaceScan, ABackupReadsTheSlowAndBadPlacesLast) {
  const fs::path dir = TempDir("surface-later");
  const auto backup = [&](const fs::path& image, bool stopEachChunk) {
    Scan("dvdram", 4000, ":slow=1024+64+150:weak=700+3+1:bad=300+5", {}, {}, {}, [&](OperationRig& rig) {
      BackupOptions options;
      options.later = {{300, 5}, {700, 3}, {1024, 64}};
      BackupResult result;
      for (int runs = 0; runs < 10 && result.end != BackupEnd::kCompleted; ++runs, options.resume = true)
        result = RunDiscBackup(rig.Device(), rig.Record().Address(), 2048, 4000, image, options,
                               [&](const BackupProgress&) { return !stopEachChunk; });
      EXPECT_EQ(result.end, BackupEnd::kCompleted) << result.failure;
      EXPECT_EQ(result.badSectors, 5u);
    });
    return ReadWholeFile(image);
  };
  const Bytes whole = backup(dir / "whole.ovi", false);
  EXPECT_EQ(backup(dir / "stopped.ovi", true), whole);
  ImageFile walk;
  ASSERT_GE(walk.ListBlocks(dir / "whole.ovi"), 0);
  std::string blocks;
  for (const ImageBlock& b : walk.Blocks())
    blocks += std::to_string(b.header.firstSector) + "+" + std::to_string(b.header.sectorCount) + " ";
  EXPECT_EQ(blocks, "0+300 305+395 703+321 1088+960 2048+1952 700+3 1024+64 ");
}

}  // namespace
}  // namespace orv::test
