#include "bench/benchmark_text.h"

#include <algorithm>

#include "toolkit/format.h"

namespace orv {

std::string SequentialSeekTitle(uint32_t strideBlocks) {
  return Format("%s (シークセクタ %u)", "シーケンシャル シーク", strideBlocks);
}

std::string TransferTitle(bool random, const char* regionLabel) {
  return Format("%-14s %-6s%-11s", random ? "ランダム" : "シーケンシャル", "リード", regionLabel);
}

std::string TransferSizeText(uint32_t bytes) { return Format("%uB", bytes); }

std::string BenchmarkValueText(const BenchmarkResult& row) {
  // Both forms show v / 1000 with the next two digits: a time in µs as ms, a rate in B/s as
  // kB/s. The digits are cut off, not rounded, as the table has always shown them.
  const uint64_t v = row.value < 0 ? 0 : static_cast<uint64_t>(row.value);
  const uint64_t whole = v / 1000;
  const uint64_t hundredths = v / 10 % 100;
  switch (row.kind) {
    case kBenchCommandTime:
    case kBenchSeekTime:
      return Format("%I64u.%02ums   ", whole, hundredths);
    case kBenchTransferRate:
      return Format("%I64u.%02ukB/s ", whole, hundredths);
    default:
      return "";
  }
}

BenchmarkColumns MeasureBenchmarkColumns(std::span<const BenchmarkResult> rows) {
  size_t title = 0, size = 0, note = 0;
  for (const BenchmarkResult& row : rows) {
    title = std::max(title, row.title.size());
    size = std::max(size, row.size.size());
    note = std::max(note, row.note.size());
  }
  BenchmarkColumns columns;
  columns.title = static_cast<uint32_t>(title + 1);
  columns.size = static_cast<uint32_t>(size + 1);
  columns.note = static_cast<uint32_t>(note + 1);
  return columns;
}

std::string BenchmarkTableText(std::span<const BenchmarkResult> rows) {
  const BenchmarkColumns columns = MeasureBenchmarkColumns(rows);
  std::string text;
  for (const BenchmarkResult& row : rows) {
    text += Format("%-*s %*s %*s %s\r\n", columns.title, row.title, columns.size, row.size, columns.value,
                   BenchmarkValueText(row), row.note);
  }
  return text;
}

}  // namespace orv
