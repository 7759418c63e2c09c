// The texts of the benchmark's table: the test titles, the size and value columns, the column
// widths and the plain-text table the report copies to the clipboard. The report window and the
// console only show these.
//
// Widths count bytes of the program's CP932 text: a double-byte character is two columns wide
// in the fixed-pitch font the table is shown in, so byte counts line the columns up.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "bench/benchmark_result.h"

namespace orv {

// Titles of the three zero-motion tests, in run order.
inline constexpr char kTitleTestUnitReady[] = "Test Unit Ready コマンド";
inline constexpr char kTitleNoMotionSeek[] = "No Motion Seek コマンド";
inline constexpr char kTitleRotation[] = "平均回転待ち時間";
inline constexpr char kTitleRandomSeek[] = "ランダム シーク";

// Region labels of the transfer titles.
inline constexpr char kRegionStart[] = " / スタート";
inline constexpr char kRegionEnd[] = " / エンド";
inline constexpr char kRegionAverage[] = " / 平均";

// "シーケンシャル シーク (シークセクタ S)" with the stride in blocks.
std::string SequentialSeekTitle(uint32_t strideBlocks);
// "%-14s %-6s%-11s" of the test name ("シーケンシャル" or "ランダム"), "リード" and the region
// label ("" for the random test).
std::string TransferTitle(bool random, const char* regionLabel);
// "%uB" of a transfer size in bytes.
std::string TransferSizeText(uint32_t bytes);

// The value column: milliseconds with two decimals and three blanks for a time ("0.99ms   " for
// 999 µs), thousands of bytes per second with two decimals and one blank for a rate
// ("1000.00kB/s " for 1,000,000 B/s); both end five characters after the digits, so the numbers
// line up when right-aligned. "" for an empty row.
std::string BenchmarkValueText(const BenchmarkResult& row);

// Column widths in characters: title, size, value, note.
struct BenchmarkColumns {
  uint32_t title = 1;
  uint32_t size = 1;
  uint32_t value = 21;
  uint32_t note = 1;

  // Characters the window's width is made for: the three text columns and room for the values.
  uint32_t Total() const { return title + size + note + 24; }
};
// Each text column one wider than its longest text; the value column 21. With no rows 1, 1, 21, 1.
BenchmarkColumns MeasureBenchmarkColumns(std::span<const BenchmarkResult> rows);

// The table as plain text, one "%-*s %*s %*s %s\r\n" line per row: the title padded to its
// column, the size and the value right-aligned in theirs, then the note.
std::string BenchmarkTableText(std::span<const BenchmarkResult> rows);

}  // namespace orv
