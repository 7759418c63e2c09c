// The measurements of one benchmark run, on the worker thread: the zero-motion tests, the seek
// tests and the transfer tests, in that order, each row timed with the run's clock against the
// drive open in the handle.
//
// A run stops when the user cancels (the stop flag with no message) or when a group meets an
// error (the flag with the error's message); it looks at the flag before each group and before
// each measurement, and a measurement under way runs to its end. Rows measured before a stop
// stay.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "bench/bench_clock.h"
#include "bench/bench_random.h"
#include "bench/benchmark_result.h"
#include "device/drive_list.h"

namespace orv {

class WorkerContext;
class PageBuffer;

// The stop messages.
inline constexpr char kStopNotReady[] = "デバイスの準備ができていません。";
inline constexpr char kStopClockError[] = "クロック計測エラー";
inline constexpr char kStopOutOfMemory[] = "メモリが不足しています。";

class BenchmarkMeasurement {
 public:
  // `drive` gives the unit address and the capacity (block count and length) the run uses;
  // `device` must be open on it. Both, and the clock, outlive the object.
  BenchmarkMeasurement(DeviceHandle& device, const DriveRecord& drive, BenchClock& clock,
                       const BenchmarkSettings& settings = BenchmarkSettings{});

  // The worker: every group in order, reporting the row being measured to `context` (range
  // 0..17, the row's index and title) and stopping early when the context is asked to stop.
  void Run(WorkerContext& context);

  // Cancel: sets the stop flag. A message an error has already set is kept.
  void RequestStop();

  // Read once the worker has ended.
  bool Stopped() const;
  std::string StopMessage() const;  // "" after a cancel
  std::span<const BenchmarkResult> Rows() const { return {rows_.data(), static_cast<size_t>(rowCount_)}; }

 private:
  bool ShouldStop();
  void Fail(const std::string& message);
  // Reads the clock into `now`; a reading earlier than the previous one is the clock error.
  bool ReadClock(int64_t& now);
  // The medium's block count and length from the record; 0 in either is the not-ready error.
  bool MediumSize(uint32_t& blockCount, uint32_t& blockLength);
  // Writes kind and title into the next row and shows it; the row counts only once kept.
  BenchmarkResult& BeginRow(uint32_t kind, std::string title);
  void KeepRow();

  void ZeroMotionTests();
  // 0, or -1 when the command failed (the row is not kept).
  int TimeZeroMotion(int test, bool seekUsable, bool verifyUsable, PageBuffer& buffer, uint32_t blockLength,
                     BenchmarkResult& row);
  void SeekTests();
  uint32_t SeekStride(uint32_t blockCount);
  // 0; -1 when a command failed (the seek group ends) or the clock went back.
  int TimeSeeks(bool random, uint32_t stride, bool seekUsable, PageBuffer& buffer, uint32_t blockCount,
                uint32_t blockLength, BenchmarkResult& row);
  void TransferTests();
  // 0, or -1 when the transfer group ends with an error.
  int TransferTest(bool random, PageBuffer& buffer, uint32_t blockCount, uint32_t blockLength);
  // Bytes per second of `blocks`-block reads from `first` on, or -1 on an error.
  int64_t TimeTransfer(bool random, uint64_t first, uint32_t blocks, uint32_t bytes, PageBuffer& buffer,
                       uint32_t blockCount, uint32_t blockLength);

  DeviceHandle& device_;
  const DriveRecord& drive_;
  BenchClock& clock_;
  const BenchmarkSettings settings_;
  BenchRandom random_;
  WorkerContext* context_ = nullptr;  // during Run
  int64_t lastReading_ = INT64_MIN;

  std::array<BenchmarkResult, kBenchmarkRows> rows_{};
  int rowCount_ = 0;

  // The state lock: the stop flag and message, set by the worker (errors) and by the
  // user-interface thread (cancel). Never held while the progress box is told anything.
  mutable std::mutex stateLock_;
  bool stop_ = false;
  std::string stopMessage_;
};

}  // namespace orv
