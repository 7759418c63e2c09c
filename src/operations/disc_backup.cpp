#include "operations/disc_backup.h"

#include <algorithm>
#include <deque>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "device/scsi_commands.h"
#include "image/block_encoding.h"
#include "image/file_replacement.h"
#include "image/file_system.h"
#include "image/image_file.h"
#include "operations/erase_backup.h"

namespace orv {

namespace {

struct ChunkBlock {
  SectorRun sectors;
  EncodedBlock block;
};

// One chunk as read: its sectors' bytes, and what became of each run of them.
struct ReadChunk {
  uint64_t first = 0;
  std::vector<uint8_t> data;    // from `first` on, whole chunk
  std::vector<SectorRun> runs;  // done or bad, in order
};

struct CodedChunk {
  std::vector<ChunkBlock> blocks;
  std::vector<SectorRun> runs;
};

const char* OutcomeLabel(ScsiOutcome outcome) {
  switch (outcome) {
    case ScsiOutcome::kNotReady: return "not ready";
    case ScsiOutcome::kNoMedium: return "no medium";
    case ScsiOutcome::kIllegalRequest: return "illegal request";
    case ScsiOutcome::kMediumError: return "medium error";
    case ScsiOutcome::kTransportError: return "the pass-through call failed";
    default: return "a failure";
  }
}

void AddRun(std::vector<SectorRun>& runs, uint64_t first, uint64_t count, SectorState state) {
  if (!runs.empty() && runs.back().state == state && runs.back().first + runs.back().count == first)
    runs.back().count += count;
  else
    runs.push_back({first, count, state});
}

class Backup {
 public:
  Backup(DeviceHandle& device, UnitAddress unit, uint32_t sectorSize, uint64_t sectorCount,
         const std::filesystem::path& image, const BackupOptions& options)
      : device_(device),
        unit_(unit),
        sectorSize_(sectorSize),
        image_(image),
        options_(options),
        map_(sectorSize, sectorCount) {
    transferSectors_ = std::clamp<uint32_t>(options.transferBytes / sectorSize, 1, 0xFFFF);
    chunkSectors_ = std::max<uint32_t>(kBackupChunkBytes / sectorSize, 1);
    threads_ = options.threads != 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    // Runs asked for twice or overlapping are read once, in sector order.
    BackupMap wanted(sectorSize, sectorCount);
    for (const SectorRun& r : options.runs) wanted.Mark(r.first, r.count, SectorState::kDone);
    if (options.runs.empty()) wanted.Mark(0, sectorCount, SectorState::kDone);
    wanted_ = wanted.RunsWithin(0, sectorCount, SectorState::kDone);
    later_ = BackupMap(sectorSize, sectorCount);
    for (const SectorRun& r : options.later) later_.Mark(r.first, r.count, SectorState::kBad);
  }

  BackupResult Run(const std::function<bool(const BackupProgress&)>& progress) {
    if (Refused()) return Finish(BackupEnd::kRefused);
    if ((options_.resume ? Resume() : Start()) != 0) return Finish(refused_ ? BackupEnd::kRefused : BackupEnd::kFailed);
    if (map_.complete) return Finish(BackupEnd::kCompleted);
    sectorsAtStart_ = Progress().sectorsDone;
    out_.open(image_, std::ios::binary | std::ios::app);
    if (!out_) {
      Fail("cannot open " + image_.string() + " to write");
      return Finish(BackupEnd::kFailed);
    }
    std::deque<std::future<CodedChunk>> coding;
    bool stop = false;
    // Both passes cut chunks at the same bounds, and which sectors are left to each follows from
    // the map alone, so a resumed run reads what an uninterrupted one would, in the same order.
    for (const bool laterPass : {false, true}) {
      for (const SectorRun& run : wanted_) {
        for (uint64_t first = run.first; first < run.first + run.count && !stop && failure_.empty();) {
          const uint64_t chunkEnd = std::min(run.first + run.count, (first / chunkSectors_ + 1) * chunkSectors_);
          const std::vector<SectorRun> toRead = ToRead(first, chunkEnd - first, laterPass);
          ReadChunk chunk;
          if (!toRead.empty() && Read(first, chunkEnd - first, toRead, chunk) == 0)
            coding.push_back(std::async(std::launch::async, Code, std::move(chunk), sectorSize_));
          first = chunkEnd;
          // Written in order: the oldest chunk once the workers are all busy.
          while (!coding.empty() && failure_.empty() &&
                 (coding.size() > threads_ ||
                  coding.front().wait_for(std::chrono::seconds(0)) == std::future_status::ready)) {
            CodedChunk coded = coding.front().get();
            coding.pop_front();
            if (Write(coded) == 0 && !progress(Progress())) stop = true;
          }
        }
      }
    }
    // The chunks already read are written even when the run stops.
    for (; !coding.empty(); coding.pop_front()) {
      CodedChunk coded = coding.front().get();
      if (failure_.empty()) Write(coded);
    }
    if (!failure_.empty()) return Finish(BackupEnd::kFailed);
    if (stop) return Finish(BackupEnd::kInterrupted);
    if (Close() != 0) return Finish(BackupEnd::kFailed);
    return Finish(BackupEnd::kCompleted);
  }

 private:
  // The image and its map are written where nothing the drive reads from can be: a virtual
  // drive's own image file written over would destroy the very disc being saved.
  bool Refused() {
    const std::filesystem::path discFile = device_.Port().BackingFile(device_.Path().c_str());
    for (const std::filesystem::path& path : {image_, BackupMapPath(image_)}) {
      const char* why = nullptr;
      switch (CheckBackupPath(path, discFile)) {
        case BackupPathFault::kNone: continue;
        case BackupPathFault::kDisc: why = "is the file that holds the disc"; break;
        case BackupPathFault::kDevice: why = "is a device"; break;
        case BackupPathFault::kFolder: why = "is a folder"; break;
        case BackupPathFault::kNotAFile: why = "is not a regular file"; break;
      }
      Refuse(path.string() + " " + why + "; the backup needs a file of its own");
      return true;
    }
    return false;
  }

  int Start() {
    std::error_code ec;
    if (std::filesystem::exists(image_, ec) || std::filesystem::exists(BackupMapPath(image_), ec))
      return Refuse(image_.string() + " or its map exists already (resume the backup, or choose another name)");
    // The map first: a run killed before the image exists still resumes.
    if (WriteMap() != 0) return -1;
    std::ofstream create(image_, std::ios::binary);
    return create ? 0 : Fail("cannot create " + image_.string());
  }

  // Takes the map back, cuts the image back to the last block the map counts as written and
  // counts as not tried whatever the cut took away.
  int Resume() {
    std::ifstream in(BackupMapPath(image_), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    BackupMap saved;
    std::string why;
    if (!in) return Refuse("cannot resume: there is no map " + BackupMapPath(image_).string() + " to resume from");
    if (BackupMap::Parse(text.str(), saved, why) != 0)
      return Refuse("cannot resume: the map " + BackupMapPath(image_).string() + " cannot be read: " + why);
    if (saved.SectorCount() != map_.SectorCount() || saved.SectorSize() != map_.SectorSize())
      return Refuse("cannot resume: the map is of another disc (" + std::to_string(saved.SectorCount()) +
                    " sectors of " + std::to_string(saved.SectorSize()) + " bytes)");
    std::error_code ec;
    if (!std::filesystem::exists(image_, ec) && !ec) std::ofstream(image_, std::ios::binary);
    const uint64_t size = std::filesystem::file_size(image_, ec);
    if (ec) return Fail("cannot resume: " + image_.string() + " cannot be examined");
    if (saved.complete) {
      map_ = saved;
      return 0;
    }
    // The file is cut back below; only a file this backup began may be: every one starts with
    // a block header, written whole or in part.
    char start[8] = {};
    std::ifstream head(image_, std::ios::binary);
    head.read(start, sizeof start);
    if (!std::equal(start, start + std::min<uint64_t>(size, sizeof start), kBlockMagic.begin()))
      return Refuse("cannot resume: " + image_.string() + " does not start with an image block, so it is not the " +
                    "backup its map describes; nothing was changed");
    ImageFile walk;
    walk.ListBlocks(image_);
    uint64_t keep = 0;
    BackupMap rebuilt = saved;
    // Read sectors count only where a block of the image holds them; a surface scan's map says
    // where sectors read, not that this image has them.
    for (const SectorState read : {SectorState::kDone, SectorState::kSlow, SectorState::kRecovered})
      rebuilt.Replace(read, SectorState::kNotTried);
    for (const ImageBlock& b : walk.Blocks()) {
      const uint64_t end = b.headerOffset + kBlockHeaderSize + b.storedBytes;
      if (b.headerOffset != keep || end > size || b.header.sectorSize != sectorSize_ ||
          !saved.RunsWithin(b.header.firstSector, b.header.sectorCount, SectorState::kNotTried).empty() ||
          !saved.RunsWithin(b.header.firstSector, b.header.sectorCount, SectorState::kBad).empty())
        break;
      rebuilt.Mark(b.header.firstSector, b.header.sectorCount, SectorState::kDone);
      keep = end;
    }
    std::filesystem::resize_file(image_, keep, ec);
    if (ec) return Fail("cannot resume: " + image_.string() + " cannot be cut back");
    map_ = rebuilt;
    return 0;
  }

  // The sectors of [first, first + count) not tried yet that belong to the pass: those named
  // `later` in the second pass, all others in the first.
  std::vector<SectorRun> ToRead(uint64_t first, uint64_t count, bool laterPass) const {
    std::vector<SectorRun> runs;
    for (const SectorRun& r : map_.RunsWithin(first, count, SectorState::kNotTried))
      for (const SectorRun& part :
           later_.RunsWithin(r.first, r.count, laterPass ? SectorState::kBad : SectorState::kNotTried))
        runs.push_back({part.first, part.count, SectorState::kNotTried});
    return runs;
  }

  // Reads the runs `toRead` of the chunk at `first`. 0, or -1 with the failure set.
  int Read(uint64_t first, uint64_t count, const std::vector<SectorRun>& toRead, ReadChunk& chunk) {
    chunk.first = first;
    chunk.data.resize(count * sectorSize_);
    for (const SectorRun& r : toRead) {
      for (uint64_t lba = r.first; lba < r.first + r.count;) {
        const auto sectors = static_cast<uint32_t>(std::min<uint64_t>(transferSectors_, r.first + r.count - lba));
        const int got = ReadSectors(lba, sectors, chunk);
        if (got < 0) return -1;
        if (got == 1) {
          AddRun(chunk.runs, lba, sectors, SectorState::kDone);
        } else {
          // A medium error somewhere in the transfer: each sector on its own, with its retries.
          for (uint64_t s = lba; s < lba + sectors; ++s) {
            int result = 0;
            for (int attempt = 0; attempt <= options_.retries && result == 0; ++attempt) result = ReadSectors(s, 1, chunk);
            if (result < 0) return -1;
            AddRun(chunk.runs, s, 1, result == 1 ? SectorState::kDone : SectorState::kBad);
          }
        }
        lba += sectors;
      }
    }
    return 0;
  }

  // 1 read, 0 a medium error, -1 any other failure (the failure is set).
  int ReadSectors(uint64_t lba, uint32_t sectors, ReadChunk& chunk) {
    const uint32_t bytes = sectors * sectorSize_;
    if (Read10(device_, unit_, lba, sectors, bytes, chunk.data.data() + (lba - chunk.first) * sectorSize_) ==
        static_cast<int>(bytes))
      return 1;
    const ScsiOutcome outcome = device_.LastOutcome();
    if (outcome == ScsiOutcome::kMediumError) return 0;
    return Fail("the drive answered READ(10) of " + std::to_string(sectors) + " sectors at sector " +
                    std::to_string(lba) + " with " + OutcomeLabel(outcome));
  }

  static CodedChunk Code(ReadChunk chunk, uint32_t sectorSize) {
    CodedChunk coded;
    for (const SectorRun& r : chunk.runs) {
      if (r.state == SectorState::kDone)
        coded.blocks.push_back(
            {r, EncodeBlockInMemory(chunk.data.data() + (r.first - chunk.first) * sectorSize, r.count * sectorSize)});
    }
    coded.runs = std::move(chunk.runs);
    return coded;
  }

  // Appends the chunk's blocks, forces them to the disk, then records them in the map.
  int Write(const CodedChunk& coded) {
    for (const ChunkBlock& b : coded.blocks) {
      BlockHeader header;
      header.storedSize = b.block.stored.size();
      header.uncompressedSize = b.sectors.count * sectorSize_;
      header.sectorSize = sectorSize_;
      header.firstSector = b.sectors.first;
      header.sectorCount = static_cast<uint32_t>(b.sectors.count);
      header.crc = b.block.crc;
      header.methodName = NameOfMethod(b.block.method);
      uint8_t bytes[kBlockHeaderSize];
      StoreBlockHeader(header, bytes);
      out_.write(reinterpret_cast<const char*>(bytes), kBlockHeaderSize);
      out_.write(reinterpret_cast<const char*>(b.block.stored.data()), static_cast<std::streamsize>(header.storedSize));
    }
    uint32_t error = 0;
    if (!out_.flush() || SyncFile(image_, &error) != 0)
      return Fail("cannot write " + image_.string() + " (" + std::to_string(error) + ")");
    for (const SectorRun& r : coded.runs) map_.Mark(r.first, r.count, r.state);
    return WriteMap();
  }

  int Close() {
    out_.put('\0');
    uint32_t error = 0;
    if (!out_.flush() || SyncFile(image_, &error) != 0)
      return Fail("cannot write " + image_.string() + " (" + std::to_string(error) + ")");
    out_.close();
    map_.complete = true;
    return WriteMap();
  }

  int WriteMap() {
    FileReplacement output;
    if (output.Begin(BackupMapPath(image_)) == 0) {
      const std::string text = map_.Text();
      std::ofstream file(output.Temporary(), std::ios::binary);
      file.write(text.data(), static_cast<std::streamsize>(text.size()));
      file.close();
      if (file && output.Commit() == 0) return 0;
    }
    return Fail("cannot write the map " + BackupMapPath(image_).string());
  }

  BackupProgress Progress() const {
    BackupProgress p;
    uint64_t notTried = 0;
    for (const SectorRun& w : wanted_) {
      p.sectorsTotal += w.count;
      for (const SectorRun& r : map_.RunsWithin(w.first, w.count, SectorState::kNotTried)) notTried += r.count;
      for (const SectorRun& r : map_.RunsWithin(w.first, w.count, SectorState::kBad)) p.badSectors += r.count;
    }
    p.sectorsDone = p.sectorsTotal - notTried;
    p.sectorsAtStart = sectorsAtStart_;
    return p;
  }

  int Refuse(const std::string& why) {
    refused_ = true;
    return Fail(why);
  }

  int Fail(const std::string& why) {
    if (failure_.empty()) failure_ = why;
    return -1;
  }

  BackupResult Finish(BackupEnd end) {
    BackupResult result;
    result.end = end;
    result.failure = failure_;
    for (const SectorRun& w : wanted_) {
      for (const SectorRun& r : map_.RunsWithin(w.first, w.count, SectorState::kDone)) result.goodSectors += r.count;
      for (const SectorRun& r : map_.RunsWithin(w.first, w.count, SectorState::kNotTried)) result.notTried += r.count;
      for (const SectorRun& r : map_.RunsWithin(w.first, w.count, SectorState::kBad)) {
        result.badSectors += r.count;
        result.badRuns.push_back(r);
      }
    }
    return result;
  }

  DeviceHandle& device_;
  UnitAddress unit_;
  uint32_t sectorSize_;
  std::filesystem::path image_;
  BackupOptions options_;
  BackupMap map_;
  std::vector<SectorRun> wanted_;
  BackupMap later_;  // bad: read in the second pass
  uint32_t transferSectors_ = 1;
  uint32_t chunkSectors_ = 1;
  unsigned threads_ = 1;
  uint64_t sectorsAtStart_ = 0;
  std::ofstream out_;
  std::string failure_;
  bool refused_ = false;
};

}  // namespace

BackupResult RunDiscBackup(DeviceHandle& device, UnitAddress unit, uint32_t sectorSize, uint64_t sectorCount,
                           const std::filesystem::path& image, const BackupOptions& options,
                           const std::function<bool(const BackupProgress&)>& progress) {
  if (sectorSize == 0 || sectorCount == 0) {
    BackupResult result;
    result.failure = "the disc has no readable capacity";
    return result;
  }
  Backup backup(device, unit, sectorSize, sectorCount, image, options);
  return backup.Run(progress);
}

bool IsUnfinishedBackup(const std::filesystem::path& image) {
  BackupMap map;
  std::string why;
  return LoadBackupMap(BackupMapPath(image), map, why) == 0 && !map.complete;
}

}  // namespace orv
