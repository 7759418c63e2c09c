// One row of a benchmark's result table, and the fixed settings that decide which rows a run
// measures.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

// What a row's value is.
enum BenchmarkKind : uint32_t {
  kBenchEmpty = 0,
  kBenchCommandTime = 1,  // microseconds per command
  kBenchSeekTime = 2,     // microseconds per seek
  kBenchTransferRate = 3,  // bytes per second
};

struct BenchmarkResult {
  uint32_t kind = kBenchEmpty;
  std::string title;  // the test's name, the table's first column
  std::string size;   // "%uB" of the transfer size for a transfer rate; "" otherwise
  int64_t value = 0;  // microseconds per operation, or bytes per second
  std::string note;   // "(Readコマンド使用)" when READ stood in for the command named; else ""
};

// The note of a row measured with READ(10) because the drive refused the command the test names.
inline constexpr char kReadFallbackNote[] = "(Readコマンド使用)";

// Bits of BenchmarkSettings::transferFlags.
inline constexpr uint32_t kTransferReadMode = 1u << 0;     // reads: the only mode the benchmark has
inline constexpr uint32_t kTransferSequential = 1u << 4;
inline constexpr uint32_t kTransferRandom = 1u << 5;
inline constexpr uint32_t kTransferRegionStart = 1u << 8;
inline constexpr uint32_t kTransferRegionEnd = 1u << 9;
inline constexpr uint32_t kTransferOneBlock = 1u << 12;
inline constexpr uint32_t kTransferWholeBuffer = 1u << 13;
inline constexpr uint32_t kTransferMiddleSize = 1u << 14;

// The settings every run uses; nothing in the program offers others.
struct BenchmarkSettings {
  bool zeroMotionTests = true;          // the three 128-command tests
  bool seekTests = true;                // sequential and random seek
  uint32_t timedMs = 3000;              // each seek test and each transfer measurement
  uint32_t transferBufferSize = 65536;  // bytes: the buffer of the transfers, the largest size
  uint32_t middleTransferSize = 16384;  // bytes, before it is rounded up to whole blocks
  uint32_t seekStride = 0;              // blocks; 0: the sectors per track of the drive geometry
  uint32_t transferFlags = 0x7331;
};

// The number of rows the settings above produce on a medium of 2048-byte blocks.
inline constexpr int kBenchmarkRows = 17;

}  // namespace orv
