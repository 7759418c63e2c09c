#include "operations/surface_scan.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "device/scsi_commands.h"
#include "image/file_replacement.h"

namespace orv {

namespace {

// Commands timed to learn what a command costs the drive without moving data; the least of
// them, as a stall of the machine only ever makes one longer.
constexpr int kOverheadProbes = 8;

// The disc in up to kSurfaceSpeedPoints parts of whole transfers, so that each transfer's rate
// falls into exactly one.
std::vector<SpeedPoint> EmptyCurve(uint64_t sectorCount, uint32_t transferSectors) {
  const uint64_t transfers = (sectorCount + transferSectors - 1) / transferSectors;
  const uint64_t points = std::min<uint64_t>(kSurfaceSpeedPoints, transfers);
  std::vector<SpeedPoint> curve;
  for (uint64_t i = 0; i < points; ++i) {
    const uint64_t first = i * transfers / points * transferSectors;
    const uint64_t end = std::min(sectorCount, (i + 1) * transfers / points * transferSectors);
    curve.push_back({first, end - first, 0, 0});
  }
  return curve;
}

int Fail(SurfaceScan& scan, const std::string& why) {
  if (scan.failure.empty()) scan.failure = why;
  return -1;
}

class Scanner {
 public:
  Scanner(DeviceHandle& device, UnitAddress unit, uint32_t sectorSize, uint64_t sectorCount,
          const std::filesystem::path& mapPath, const SurfaceOptions& options, MonotonicClock& clock)
      : device_(device), unit_(unit), sectorSize_(sectorSize), mapPath_(mapPath), options_(options), clock_(clock) {
    transferSectors_ = std::clamp<uint32_t>(options.transferBytes / sectorSize, 1, 0xFFFF);
    buffer_.resize(size_t{transferSectors_} * sectorSize);
    scan_.map = BackupMap(sectorSize, sectorCount);
    scan_.curve = EmptyCurve(sectorCount, transferSectors_);
  }

  SurfaceScan Run(const std::function<bool(const SurfaceScan&)>& progress) {
    if (LoadMap() != 0) return Finish(SurfaceEnd::kFailed);
    MeasureOverhead();
    uint64_t transfers = 0;
    for (const SectorRun& run : scan_.map.RunsWithin(0, scan_.map.SectorCount(), SectorState::kNotTried)) {
      Position(run.first);
      for (uint64_t lba = run.first; lba < run.first + run.count;) {
        const uint64_t end = std::min(run.first + run.count, (lba / transferSectors_ + 1) * transferSectors_);
        if (ReadTransfer(lba, static_cast<uint32_t>(end - lba)) != 0) {
          WriteMap();
          return Finish(SurfaceEnd::kFailed);
        }
        lba = end;
        const bool stop = !progress(scan_);
        if ((++transfers % kSurfaceMapEvery == 0 || stop) && WriteMap() != 0) return Finish(SurfaceEnd::kFailed);
        if (stop) return Finish(SurfaceEnd::kInterrupted);
      }
    }
    if (WriteMap() != 0) return Finish(SurfaceEnd::kFailed);
    progress(scan_);
    return Finish(SurfaceEnd::kCompleted);
  }

 private:
  int LoadMap() {
    std::error_code ec;
    if (mapPath_.empty() || !std::filesystem::exists(mapPath_, ec)) return 0;
    std::ifstream in(mapPath_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    BackupMap map;
    std::vector<SpeedPoint> curve;
    std::string why;
    if (!in || ParseSurfaceMap(text.str(), map, curve, why) != 0)
      return Fail(scan_, "the map " + mapPath_.string() + " cannot be read: " + why);
    if (map.SectorCount() != scan_.map.SectorCount() || map.SectorSize() != sectorSize_)
      return Fail(scan_, "the map " + mapPath_.string() + " is of another disc (" + std::to_string(map.SectorCount()) +
                             " sectors of " + std::to_string(map.SectorSize()) + " bytes)");
    if (curve.size() != scan_.curve.size())
      return Fail(scan_, "the map " + mapPath_.string() + " has " + std::to_string(curve.size()) +
                             " speed points where this disc has " + std::to_string(scan_.curve.size()));
    scan_.map = std::move(map);
    scan_.curve = std::move(curve);
    return 0;
  }

  void MeasureOverhead() {
    for (int i = 0; i < kOverheadProbes; ++i) {
      const uint64_t start = clock_.NowUs();
      if (TestUnitReady(device_, unit_) != 0) continue;
      const auto us = static_cast<int64_t>(clock_.NowUs() - start);
      overheadUs_ = overheadUs_ < 0 ? us : std::min(overheadUs_, us);
    }
    overheadUs_ = std::max<int64_t>(overheadUs_, 0);
  }

  // Brings the head to `lba` untimed, so that the first timed transfer does not carry a seek (or
  // a spin-up) that no other transfer carries: a resumed scan then times what an uninterrupted
  // one times. The sector before it is read; at the start a SEEK(10), whose refusal is harmless.
  void Position(uint64_t lba) {
    if (lba == 0)
      Seek10(device_, unit_, 0);
    else
      Read10(device_, unit_, lba - 1, 1, sectorSize_, buffer_.data());
  }

  // 1 read, 0 a medium error, -1 any other failure (the failure is set).
  int ReadSectors(uint64_t lba, uint32_t sectors) {
    const uint32_t bytes = sectors * sectorSize_;
    if (Read10(device_, unit_, lba, sectors, bytes, buffer_.data()) == static_cast<int>(bytes)) return 1;
    if (device_.LastOutcome() == ScsiOutcome::kMediumError) return 0;
    return Fail(scan_, "the drive answered READ(10) of " + std::to_string(sectors) + " sectors at sector " +
                           std::to_string(lba) + " with a failure other than a medium error");
  }

  // A transfer is slow when it takes longer than the fixed limit, and again when read a second
  // time. A fixed time, not a comparison with the neighbours: a slow place of many transfers is
  // its own neighbourhood, and on a disc read at a constant angular velocity the rate changes
  // 2.4 times from edge to edge anyway; the time is what a copy of the disc will take there.
  // The second reading keeps a stall of a busy machine (one long transfer) from being taken for
  // the disc; it starts with a short seek back, far below any sensible limit.
  int ReadTransfer(uint64_t lba, uint32_t sectors) {
    const uint64_t start = clock_.NowUs();
    const int read = ReadSectors(lba, sectors);
    const auto us = static_cast<int64_t>(clock_.NowUs() - start);
    if (read < 0) return -1;
    if (read == 1) {
      const int64_t limitUs = int64_t{options_.slowMs} * 1000;
      bool slow = us > limitUs;
      if (slow) {
        const uint64_t again = clock_.NowUs();
        if (ReadSectors(lba, sectors) < 0) return -1;
        slow = static_cast<int64_t>(clock_.NowUs() - again) > limitUs;
      }
      scan_.map.Mark(lba, sectors, slow ? SectorState::kSlow : SectorState::kDone);
      PointAt(lba).Add(MediumRate(uint64_t{sectors} * sectorSize_, us, overheadUs_));
      return 0;
    }
    // A medium error somewhere in the transfer: each sector alone, with its retries.
    bool failedAlone = false;
    for (uint64_t s = lba; s < lba + sectors; ++s) {
      int result = 0, attempt = 0;
      for (; attempt <= options_.retries && result == 0; ++attempt) result = ReadSectors(s, 1);
      if (result < 0) return -1;
      failedAlone = failedAlone || attempt > 1 || result == 0;
      scan_.map.Mark(s, 1, result == 0 ? SectorState::kBad : attempt > 1 ? SectorState::kRecovered : SectorState::kDone);
    }
    // Every sector read alone at once: the transfer needed its retry, but which sector did
    // cannot be told, so the whole transfer counts as recovered.
    if (!failedAlone) scan_.map.Mark(lba, sectors, SectorState::kRecovered);
    return 0;
  }

  SpeedPoint& PointAt(uint64_t lba) {
    auto after = std::upper_bound(scan_.curve.begin(), scan_.curve.end(), lba,
                                  [](uint64_t sector, const SpeedPoint& p) { return sector < p.first; });
    return *std::prev(after);
  }

  int WriteMap() {
    if (mapPath_.empty()) return 0;
    FileReplacement output;
    if (output.Begin(mapPath_) == 0) {
      const std::string text = SurfaceMapText(scan_.map, scan_.curve);
      std::ofstream file(output.Temporary(), std::ios::binary);
      file.write(text.data(), static_cast<std::streamsize>(text.size()));
      file.close();
      if (file && output.Commit() == 0) return 0;
    }
    return Fail(scan_, "cannot write the map " + mapPath_.string());
  }

  SurfaceScan Finish(SurfaceEnd end) {
    scan_.end = scan_.failure.empty() ? end : SurfaceEnd::kFailed;
    return std::move(scan_);
  }

  DeviceHandle& device_;
  UnitAddress unit_;
  uint32_t sectorSize_;
  std::filesystem::path mapPath_;
  SurfaceOptions options_;
  MonotonicClock& clock_;
  uint32_t transferSectors_ = 1;
  std::vector<uint8_t> buffer_;
  int64_t overheadUs_ = -1;
  SurfaceScan scan_;
};

}  // namespace

SurfaceCounts SurfaceScan::Counts() const {
  return {map.Count(SectorState::kDone), map.Count(SectorState::kSlow), map.Count(SectorState::kRecovered),
          map.Count(SectorState::kBad), map.Count(SectorState::kNotTried)};
}

SurfaceScan RunSurfaceScan(DeviceHandle& device, UnitAddress unit, uint32_t sectorSize, uint64_t sectorCount,
                           const std::filesystem::path& mapPath, const SurfaceOptions& options, MonotonicClock& clock,
                           const std::function<bool(const SurfaceScan&)>& progress) {
  if (sectorSize == 0 || sectorCount == 0) {
    SurfaceScan scan;
    scan.failure = "the disc has no readable capacity";
    return scan;
  }
  Scanner scanner(device, unit, sectorSize, sectorCount, mapPath, options, clock);
  return scanner.Run(progress);
}

}  // namespace orv
