#include "bench/benchmark_measurement.h"

#include <algorithm>
#include <new>
#include <memory>

#include "bench/benchmark_text.h"
#include "device/ports/control_answers.h"
#include "device/scsi_commands.h"
#include "toolkit/format.h"
#include "toolkit/worker.h"

namespace orv {

namespace {

constexpr uint32_t kZeroMotionCommands = 128;
constexpr uint32_t kSeekSettleMs = 100;
constexpr uint32_t kTransferSettleMs = 500;
constexpr uint32_t kFallbackStride = 32;  // blocks, when the drive geometry is not known
constexpr int64_t kMicrosecondsPerMs = 1000;

// Allocates one page-aligned buffer: the direct pass-through needs an aligned data buffer, and
// an aligned one is used as it is, without a copy inside the timed loop.
std::unique_ptr<PageBuffer> MakeBuffer(uint32_t bytes) {
  try {
    return std::make_unique<PageBuffer>(bytes);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// bytes * 1,000,000 / microseconds without overflowing 64 bits.
int64_t BytesPerSecond(uint64_t bytes, int64_t microseconds) {
  if (microseconds <= 0) return 0;
  const uint64_t us = static_cast<uint64_t>(microseconds);
  return static_cast<int64_t>(bytes / us * 1000000 + bytes % us * 1000000 / us);
}

// A transfer size of one region: `blocks` blocks of `bytes` bytes together.
struct TransferSize {
  uint64_t blocks;
  uint64_t bytes;
};

// The three sizes in run order: one block, the middle size in whole blocks (rounded up), and
// as many whole blocks as the buffer holds.
TransferSize SizeOf(int index, uint32_t blockLength, const BenchmarkSettings& settings) {
  const uint64_t b = blockLength;
  switch (index) {
    case 0:
      return {1, b};
    case 1: {
      const uint64_t blocks = (settings.middleTransferSize + b - 1) / b;
      return {blocks, blocks * b};
    }
    default: {
      const uint64_t blocks = settings.transferBufferSize / b;
      return {blocks, blocks * b};
    }
  }
}
constexpr uint32_t kSizeFlags[3] = {kTransferOneBlock, kTransferMiddleSize, kTransferWholeBuffer};

struct Region {
  uint64_t first;     // block the region's reads start at
  const char* label;
  bool average;       // measures nothing: the mean of the regions before it
};

}  // namespace

BenchmarkMeasurement::BenchmarkMeasurement(DeviceHandle& device, const DriveRecord& drive, BenchClock& clock,
                                           const BenchmarkSettings& settings)
    : device_(device), drive_(drive), clock_(clock), settings_(settings) {}

void BenchmarkMeasurement::RequestStop() {
  std::lock_guard lock(stateLock_);
  stop_ = true;
}

bool BenchmarkMeasurement::Stopped() const {
  std::lock_guard lock(stateLock_);
  return stop_;
}

std::string BenchmarkMeasurement::StopMessage() const {
  std::lock_guard lock(stateLock_);
  return stopMessage_;
}

bool BenchmarkMeasurement::ShouldStop() {
  // The box gone or the program asked to quit stops the run as Cancel does.
  if (context_ && context_->StopRequested()) RequestStop();
  return Stopped();
}

void BenchmarkMeasurement::Fail(const std::string& message) {
  std::lock_guard lock(stateLock_);
  stop_ = true;
  if (stopMessage_.empty()) stopMessage_ = message;
}

bool BenchmarkMeasurement::ReadClock(int64_t& now) {
  now = clock_.NowMicroseconds();
  if (now < lastReading_) {
    Fail(kStopClockError);
    return false;
  }
  lastReading_ = now;
  return true;
}

bool BenchmarkMeasurement::MediumSize(uint32_t& blockCount, uint32_t& blockLength) {
  blockCount = drive_.BlockCount();
  blockLength = drive_.BlockLength();
  if (blockCount != 0 && blockLength != 0) return true;
  Fail(kStopNotReady);
  return false;
}

BenchmarkResult& BenchmarkMeasurement::BeginRow(uint32_t kind, std::string title) {
  // The settings make at most 17 rows (3 + 2 + 3 regions x 3 sizes + 3); a row beyond the table
  // would overwrite the last one rather than memory past it.
  BenchmarkResult& row = rows_[static_cast<size_t>(std::min(rowCount_, kBenchmarkRows - 1))];
  row = BenchmarkResult{};
  row.kind = kind;
  row.title = std::move(title);
  if (context_) {
    context_->SetPosition(static_cast<uint32_t>(rowCount_));
    context_->SetStatus(row.title);
  }
  return row;
}

void BenchmarkMeasurement::KeepRow() {
  if (rowCount_ < kBenchmarkRows) ++rowCount_;
}

void BenchmarkMeasurement::Run(WorkerContext& context) {
  context_ = &context;
  if (!ShouldStop()) {
    context.SetRange(kBenchmarkRows);
    rowCount_ = 0;
  }
  if (settings_.zeroMotionTests) ZeroMotionTests();
  if (settings_.seekTests) SeekTests();
  TransferTests();
  if (!ShouldStop()) context.SetPosition(kBenchmarkRows);
  context_ = nullptr;
}

// --- zero-motion tests: the cost of one command where nothing moves

void BenchmarkMeasurement::ZeroMotionTests() {
  if (ShouldStop()) return;
  uint32_t blockCount = 0, blockLength = 0;
  if (!MediumSize(blockCount, blockLength)) return;
  const UnitAddress unit = drive_.Address();
  // Drives without SEEK(10) or VERIFY(10) are timed with READ(10) instead.
  const bool seekUsable = Seek10(device_, unit, 0) == 0;
  const bool verifyUsable = Verify10(device_, unit, 0, 1) == 0;
  std::unique_ptr<PageBuffer> buffer = MakeBuffer(blockLength);
  if (!buffer) return;

  static const char* const kTitles[3] = {kTitleTestUnitReady, kTitleNoMotionSeek, kTitleRotation};
  for (int test = 0; test < 3; ++test) {
    if (ShouldStop()) return;
    BenchmarkResult& row = BeginRow(kBenchCommandTime, kTitles[test]);
    // A failed command leaves this test without a row; the next test runs.
    if (TimeZeroMotion(test, seekUsable, verifyUsable, *buffer, blockLength, row) == 0) KeepRow();
  }
}

int BenchmarkMeasurement::TimeZeroMotion(int test, bool seekUsable, bool verifyUsable, PageBuffer& buffer,
                                         uint32_t blockLength, BenchmarkResult& row) {
  const UnitAddress unit = drive_.Address();
  Seek10(device_, unit, 0);  // the head at block 0 for all 128 commands
  clock_.Pause(kSeekSettleMs);
  if ((test == 1 && !seekUsable) || (test == 2 && !verifyUsable)) row.note = kReadFallbackNote;

  int64_t start = 0, now = 0;
  if (!ReadClock(start)) return -1;
  for (uint32_t i = 0; i < kZeroMotionCommands; ++i) {
    if (!ReadClock(now)) return -1;
    bool done = false;
    switch (test) {
      case 0:
        done = TestUnitReady(device_, unit) == 0;
        break;
      case 1:
        done = seekUsable ? Seek10(device_, unit, 0) == 0
                          : Read10(device_, unit, 0, 1, blockLength, buffer.data()) == static_cast<int64_t>(blockLength);
        break;
      default:
        // Verifying block 0 again waits for it to come round under the head: half a turn on
        // average. READ(10) of no blocks is the nearest a drive without VERIFY(10) has.
        done = verifyUsable ? Verify10(device_, unit, 0, 1) == 0 : Read10(device_, unit, 0, 0, 0, buffer.data()) >= 0;
        break;
    }
    if (!done) return -1;
  }
  int64_t end = 0;
  if (!ReadClock(end)) return -1;
  // Microseconds per command: the elapsed microseconds over the 128 commands.
  row.value = (end - start) / kZeroMotionCommands;
  return 0;
}

// --- seek tests

uint32_t BenchmarkMeasurement::SeekStride(uint32_t blockCount) {
  uint32_t stride = settings_.seekStride;
  if (stride == 0) {
    uint8_t geometry[kDiskGeometrySize] = {};
    stride = device_.GetDriveGeometry(geometry) == 0 ? DecodeDiskGeometry(geometry).sectorsPerTrack : kFallbackStride;
  }
  // A medium shorter than one stride: a hundredth of it (0 below 100 blocks: every seek to 0).
  if (stride > blockCount) stride = blockCount / 100;
  return stride;
}

void BenchmarkMeasurement::SeekTests() {
  if (ShouldStop()) return;
  uint32_t blockCount = 0, blockLength = 0;
  if (!MediumSize(blockCount, blockLength)) return;
  const uint32_t stride = SeekStride(blockCount);
  const UnitAddress unit = drive_.Address();
  const bool seekUsable = Seek10(device_, unit, 0) == 0;
  Verify10(device_, unit, 0, 1);  // moves the head off block 0, whatever the drive answers
  std::unique_ptr<PageBuffer> buffer = MakeBuffer(blockLength);
  if (!buffer) return;

  for (const bool random : {false, true}) {
    if (ShouldStop()) return;
    BenchmarkResult& row = BeginRow(kBenchSeekTime, random ? std::string(kTitleRandomSeek) : SequentialSeekTitle(stride));
    // A failed seek ends the group: no row, and no random seek after a failed sequential one.
    if (TimeSeeks(random, stride, seekUsable, *buffer, blockCount, blockLength, row) != 0) return;
  }
}

int BenchmarkMeasurement::TimeSeeks(bool random, uint32_t stride, bool seekUsable, PageBuffer& buffer,
                                    uint32_t blockCount, uint32_t blockLength, BenchmarkResult& row) {
  const UnitAddress unit = drive_.Address();
  Seek10(device_, unit, 0);
  clock_.Pause(kSeekSettleMs);
  if (!seekUsable) row.note = kReadFallbackNote;

  uint64_t position = 0;
  uint64_t count = 0;
  int64_t start = 0, now = 0;
  if (!ReadClock(start)) return -1;
  const int64_t deadline = start + int64_t{settings_.timedMs} * kMicrosecondsPerMs;
  for (;;) {
    if (!ReadClock(now)) return -1;
    if (now >= deadline) break;
    const bool done = seekUsable ? Seek10(device_, unit, position) == 0
                                 : Read10(device_, unit, position, 1, blockLength, buffer.data()) ==
                                       static_cast<int64_t>(blockLength);
    if (!done) return -1;
    ++count;
    if (random) {
      // The random seek is not seeded: a run's generator starts at 1, so every run visits the
      // same blocks on the same medium. (r * L) / 32768 is below L for every r.
      do {
        position = uint64_t{random_.Next()} * blockCount / BenchRandom::kRange;
      } while (position >= blockCount);
    } else {
      position += stride;
      if (position >= blockCount) position = 0;
    }
  }
  if (count > 0) {
    row.value = (now - start) / static_cast<int64_t>(count);  // microseconds per seek
    KeepRow();
  }
  return 0;
}

// --- transfer tests

void BenchmarkMeasurement::TransferTests() {
  if (ShouldStop()) return;
  if (!(settings_.transferFlags & kTransferReadMode)) return;
  uint32_t blockCount = 0, blockLength = 0;
  if (!MediumSize(blockCount, blockLength)) return;
  std::unique_ptr<PageBuffer> buffer = MakeBuffer(settings_.transferBufferSize);
  if (!buffer) {
    Fail(kStopOutOfMemory);
    return;
  }
  if ((settings_.transferFlags & kTransferSequential) && TransferTest(false, *buffer, blockCount, blockLength) != 0)
    return;
  if (settings_.transferFlags & kTransferRandom) TransferTest(true, *buffer, blockCount, blockLength);
}

int BenchmarkMeasurement::TransferTest(bool random, PageBuffer& buffer, uint32_t blockCount, uint32_t blockLength) {
  const uint32_t flags = settings_.transferFlags;
  Region regions[3];
  int regionCount = 0;
  if (random) {
    regions[regionCount++] = {0, "", false};
  } else {
    if (flags & kTransferRegionStart) regions[regionCount++] = {0, kRegionStart, false};
    // The last 5% of the medium.
    if (flags & kTransferRegionEnd)
      regions[regionCount++] = {blockCount - uint64_t{blockCount} * 5 / 100, kRegionEnd, false};
    regions[regionCount++] = {0, kRegionAverage, true};
  }

  int64_t rates[2][3] = {};  // [measured region][size]
  int measured = 0;
  for (int r = 0; r < regionCount; ++r) {
    const Region& region = regions[r];
    if (region.average && measured == 0) continue;
    uint64_t sizesDone[3] = {};
    int sizesDoneCount = 0;
    for (int s = 0; s < 3; ++s) {
      if (!(flags & kSizeFlags[s])) continue;
      const TransferSize size = SizeOf(s, blockLength, settings_);
      if (size.blocks == 0 || size.bytes > settings_.transferBufferSize) {
        Fail(Format("ブロックサイズ・エラー (count:%u  size:%u maxBufferSize:%u)", static_cast<uint32_t>(size.blocks),
                    static_cast<uint32_t>(size.bytes), settings_.transferBufferSize));
        return -1;
      }
      // Block lengths of 16384 bytes and more make the middle size (and at 65536 the whole
      // buffer) one block: that size is measured once.
      if (std::find(sizesDone, sizesDone + sizesDoneCount, size.bytes) != sizesDone + sizesDoneCount) continue;
      sizesDone[sizesDoneCount++] = size.bytes;
      // A disc shorter than one transfer cannot be read at that size anywhere: no row, in every
      // region alike, so the average never mixes in a size that was not measured.
      if (size.blocks > blockCount) continue;

      if (ShouldStop()) return -1;
      BenchmarkResult& row = BeginRow(kBenchTransferRate, TransferTitle(random, region.label));
      row.size = TransferSizeText(static_cast<uint32_t>(size.bytes));
      if (region.average) {
        // The mean of the measured regions; with only one it would repeat that row.
        if (measured > 1) {
          int64_t sum = 0;
          for (int m = 0; m < measured; ++m) sum += rates[m][s];
          row.value = sum / measured;
          KeepRow();
        }
        continue;
      }
      // On a small disc the last 5% is shorter than one transfer: the region then starts where
      // one transfer still ends at the last block, so no read runs past the disc.
      const uint64_t first = std::min(region.first, blockCount - size.blocks);
      const int64_t rate = TimeTransfer(random, first, static_cast<uint32_t>(size.blocks),
                                        static_cast<uint32_t>(size.bytes), buffer, blockCount, blockLength);
      if (rate < 0) return -1;
      rates[measured][s] = rate;
      row.value = rate;
      KeepRow();
    }
    if (!region.average) ++measured;
  }
  return 0;
}

int64_t BenchmarkMeasurement::TimeTransfer(bool random, uint64_t first, uint32_t blocks, uint32_t bytes,
                                           PageBuffer& buffer, uint32_t blockCount, uint32_t blockLength) {
  const UnitAddress unit = drive_.Address();
  clock_.Pause(kTransferSettleMs);
  // Every region and size of the random transfer reads the same sequence of blocks.
  random_.Seed(0);
  uint64_t position = first;
  uint64_t totalBlocks = 0;
  int64_t start = 0, now = 0;
  if (!ReadClock(start)) return -1;
  const int64_t deadline = start + int64_t{settings_.timedMs} * kMicrosecondsPerMs;
  for (;;) {
    if (!ReadClock(now)) return -1;
    if (now >= deadline) break;
    if (position + blocks >= blockCount) position = first;
    const int read = Read10(device_, unit, position, blocks, bytes, buffer.data());
    if (read < 0 || static_cast<uint32_t>(read) < bytes) {
      // The system's reason when the pass-through call itself failed. When the drive answered
      // (refused the read, or moved less than asked) the system has none: its last error is
      // what an earlier call left, often "the operation completed successfully".
      const std::string reason =
          device_.LastOutcome() == ScsiOutcome::kTransportError ? SystemErrorText(device_.LastError()) : "";
      Fail(Format("読み取りエラー\r\n        %s\r\n", reason));
      return -1;
    }
    totalBlocks += static_cast<uint32_t>(read) / blockLength;
    if (random) {
      // Redrawn while the read would pass the end. 0 always fits: a size longer than the medium
      // is never measured.
      do {
        position = uint64_t{random_.Next()} * blockCount / BenchRandom::kRange;
      } while (position > uint64_t{blockCount} - blocks);
    } else {
      position += blocks;
      if (position >= blockCount) position = first;
    }
  }
  return BytesPerSecond(uint64_t{blockLength} * totalBlocks, now - start);
}

}  // namespace orv
