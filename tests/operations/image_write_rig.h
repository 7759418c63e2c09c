// What the image write tests share: discs whose every sector says where it belongs, backups in
// the layout the erase writes them, a watch on the writes and a clock the test sets.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "operation_rig.h"
#include "operations/image_write.h"
#include "operations/monotonic_clock.h"
#include "toolkit/scripted_ui.h"

namespace orv::test {

using Bytes = std::vector<uint8_t>;

// Sector `lba`: its LBA in the first 8 bytes (little-endian), then a pattern of the LBA and
// `seed`, so a sector written to the wrong place never passes for the right one.
Bytes SectorPattern(uint64_t lba, uint32_t sectorSize, uint32_t seed);
Bytes PatternedDisc(uint64_t sectors, uint32_t sectorSize, uint32_t seed);
Bytes ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const Bytes& bytes);
// A fresh, empty directory for one test under the build tree.
std::filesystem::path ScratchDir(const std::string& name);

struct SectorRun {
  uint64_t first = 0;
  uint32_t count = 0;
  friend bool operator==(const SectorRun&, const SectorRun&) = default;
};

// One LH5 block per run of `disc` (raw S-byte sectors), saved a sector at a time: the file the erase leaves.
void WriteBackup(const std::filesystem::path& path, const Bytes& disc, uint32_t sectorSize,
                 const std::vector<SectorRun>& runs);

// Every WRITE(10) the drive receives, in order; `onWrite` runs in the drive's hook before each
// is carried out, with its number from 1. Holds the drive, so the hook goes whatever ends first.
class WriteWatch {
 public:
  using OnWrite = std::function<void(int number, VirtualDrive& drive, CommandContext& command)>;
  explicit WriteWatch(std::shared_ptr<VirtualDrive> drive, OnWrite onWrite = {});
  ~WriteWatch();
  const std::vector<SectorRun>& Writes() const { return writes_; }  // once the worker is joined

 private:
  std::shared_ptr<VirtualDrive> drive_;
  OnWrite onWrite_;
  std::vector<SectorRun> writes_;
};

// The first read gives `first`, every later one `later` (the start, then the end of a write).
class SetClock : public MonotonicClock {
 public:
  SetClock(uint64_t first, uint64_t later) : first_(first), later_(later) {}
  uint64_t NowMs() override { return reads_++ == 0 ? first_ : later_; }

 private:
  uint64_t first_, later_;
  std::atomic<int> reads_ = 0;
};

}  // namespace orv::test
