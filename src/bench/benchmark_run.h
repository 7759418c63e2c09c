// What the program does when the user asks for a benchmark of a drive: the confirmation, the
// drive opened for reading, the measurements on a worker thread behind a progress box with a
// Cancel button, the stop message when the run stopped early, and the result table.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "bench/benchmark_result.h"
#include "device/drive_list.h"

namespace orv {

class Ui;

inline constexpr char kBenchQuestionEnding[] = "ベンチマーク テストを実行しますか？\r\n";
inline constexpr char kBenchProgressMessage[] = "ベンチマーク・テスト実行中...";
inline constexpr char kBenchCannotOpen[] = "デバイスを開くことができません。\r\n";
inline constexpr char kBenchInterrupted[] = "処理を中断しました。";

enum class BenchmarkEnd {
  kNotConfirmed,   // any answer but Yes: nothing was done
  kNotOpened,      // the drive could not be opened (the error box was shown)
  kNoProgressBox,  // the progress box could not be opened: nothing was measured
  kCompleted,      // every measurement ran
  kCancelled,      // the user stopped it ("処理を中断しました。" was shown)
  kFailed,         // a measurement met an error (its message was shown)
};

struct BenchmarkRun {
  BenchmarkEnd end = BenchmarkEnd::kNotConfirmed;
  std::vector<BenchmarkResult> rows;  // the rows measured, also after a stop
  std::string stopMessage;            // the error's message; "" unless kFailed
};

// "%s\r\n\r\nベンチマーク テストを実行しますか？\r\n" with the drive's identification.
std::string BenchmarkQuestion(const DriveRecord& drive);

// Runs the benchmark of `drive` (a record of `drives`) as the user asks for it. The record's
// capacity is read again once the drive is open; the list's record is left as it is. When at
// least one row was measured, `showReport` gets the rows while the drive is still open (the
// window's report is modal), then the drive is closed. Nothing is written to the drive.
BenchmarkRun RunBenchmark(Ui& ui, DriveList& drives, const DriveRecord& drive, BenchClock& clock,
                          const std::function<void(std::span<const BenchmarkResult>)>& showReport = {});

}  // namespace orv
