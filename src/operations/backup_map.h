// The map kept beside a whole-disc backup: the state of every sector of the disc, as runs. Its
// text is one line per run, "FIRST COUNT STATE" with STATE done, bad or not-tried, after a line
// naming the disc's size ("sectors N size S"); a last line "complete" says the image got its
// closing byte. The map is what lets an interrupted backup go on where it stood. A surface scan
// keeps its findings in the same map, with two states more: slow (read, but slowly) and
// recovered (read only after a retry); lines starting with '#' are remarks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

enum class SectorState { kNotTried, kDone, kBad, kSlow, kRecovered };

struct SectorRun {
  uint64_t first = 0;
  uint64_t count = 0;
  SectorState state = SectorState::kNotTried;
  bool operator==(const SectorRun&) const = default;
};

class BackupMap {
 public:
  BackupMap() = default;
  // Every sector not tried.
  BackupMap(uint32_t sectorSize, uint64_t sectorCount);

  uint32_t SectorSize() const { return sectorSize_; }
  uint64_t SectorCount() const { return sectorCount_; }
  // Sets [first, first + count) (clipped to the disc) to `state`; neighbouring runs of one
  // state merge.
  void Mark(uint64_t first, uint64_t count, SectorState state);
  // Sets every sector in `from` state to `to`.
  void Replace(SectorState from, SectorState to);
  // The runs in sector order, covering the whole disc.
  const std::vector<SectorRun>& Runs() const { return runs_; }
  // The runs of [first, first + count) that are in `state`.
  std::vector<SectorRun> RunsWithin(uint64_t first, uint64_t count, SectorState state) const;
  uint64_t Count(SectorState state) const;

  bool complete = false;

  std::string Text() const;
  // 0, or -1 with a message naming the faulty line (the map is then left as it was).
  static int Parse(std::string_view text, BackupMap& map, std::string& error);

 private:
  uint32_t sectorSize_ = 0;
  uint64_t sectorCount_ = 0;
  std::vector<SectorRun> runs_;
};

// Reads and parses the map file at `path`: 0, or -1 with `error` saying why (it cannot be read,
// it is far larger than any map, or its faulty line).
int LoadBackupMap(const std::filesystem::path& path, BackupMap& map, std::string& error);

}  // namespace orv
