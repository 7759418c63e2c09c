// What the image write tests share: discs whose every sector says where it belongs, backups in
// the layout the erase writes them, a watch on the writes and a clock the test sets.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "operation_rig.h"
#include "operations/image_write.h"
#include "operations/monotonic_clock.h"
#include "toolkit/scripted_ui.h"

namespace orv::test {

using Bytes = std::vector<uint8_t>;

// Sector `lba` of a test disc: its LBA in the first 8 bytes (little-endian), then a pattern of
// the LBA and `seed`, so a sector written to the wrong place never passes for the right one.
Bytes SectorPattern(uint64_t lba, uint32_t sectorSize, uint32_t seed);
// A raw disc image of `sectors` patterned sectors.
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

// The sectors the erase destroys and saves: N = ceil(131072 / S) at the head, and N at T - N
// when T >= 2N, else the T - N sectors right after the head.
std::vector<SectorRun> EraseRuns(uint64_t diskSectors, uint32_t sectorSize);

// One LH5 block per run, each header with the sector size, first sector and count, the data
// taken from `disc` (a raw image of S-byte sectors): the file the erase leaves behind.
void WriteBackup(const std::filesystem::path& path, const Bytes& disc, uint32_t sectorSize,
                 const std::vector<SectorRun>& runs);

// Every WRITE(10) the drive receives (first sector, blocks), in order. `onWrite`, when given, runs
// in the drive's hook before each is carried out, with its number (from 1): the place to take a
// disc out, inject a fault for the next command or press the progress box's button.
class WriteWatch {
 public:
  using OnWrite = std::function<void(int number, VirtualDrive& drive, CommandContext& command)>;
  // Holds the drive so that its hook can be removed whatever ends first, the watch or the rig.
  explicit WriteWatch(std::shared_ptr<VirtualDrive> drive, OnWrite onWrite = {});
  ~WriteWatch();
  // Read after the write has ended (the worker has been joined).
  const std::vector<SectorRun>& Writes() const { return writes_; }

 private:
  std::shared_ptr<VirtualDrive> drive_;
  OnWrite onWrite_;
  std::vector<SectorRun> writes_;
};

// A clock that reads what the test set; the first read gives `first`, every later one `later`
// (the start, then the end of a write of known length).
class SetClock : public MonotonicClock {
 public:
  SetClock(uint64_t first, uint64_t later) : first_(first), later_(later) {}
  uint64_t NowMs() override {
    std::lock_guard lock(mutex_);
    return reads_++ == 0 ? first_ : later_;
  }

 private:
  std::mutex mutex_;
  uint64_t first_, later_;
  int reads_ = 0;
};

}  // namespace orv::test
