// The table's texts byte for byte: value column, column widths and the clipboard text (the titles,
// padded in bytes, are in golden/bench_rows.txt).
#include "bench/benchmark_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orv {
namespace {

std::string Blanks(size_t n) { return std::string(n, ' '); }

TEST(BenchmarkText, ValuesShowThousandthsWithTwoCutOffDecimals) {
  const struct {
    uint32_t kind;
    int64_t value;
    const char* text;
  } cases[] = {
      {kBenchCommandTime, 999, "0.99ms   "},
      {kBenchSeekTime, 123456, "123.45ms   "},
      {kBenchTransferRate, 1000000, "1000.00kB/s "},
      {kBenchTransferRate, 6899999, "6899.99kB/s "},
      // Beyond 32 bits of kB/s: every digit stays.
      {kBenchTransferRate, 5000000000000000, "5000000000000.00kB/s "},
      {kBenchEmpty, 5, ""},
  };
  for (const auto& c : cases) {
    BenchmarkResult row;
    row.kind = c.kind;
    row.value = c.value;
    EXPECT_EQ(BenchmarkValueText(row), c.text) << c.kind << " " << c.value;
  }
}

TEST(BenchmarkText, ColumnsAreOneWiderThanTheirLongestText) {
  const BenchmarkColumns none = MeasureBenchmarkColumns({});
  EXPECT_EQ(std::vector<uint32_t>({none.title, none.size, none.value, none.note, none.Total()}),
            std::vector<uint32_t>({1, 1, 21, 1, 27}));
  const std::vector<BenchmarkResult> rows = {
      {kBenchSeekTime, SequentialSeekTitle(63), "", 20500, kReadFallbackNote},
      {kBenchTransferRate, TransferTitle(true, ""), "65536B", 1000000, ""},
  };
  const BenchmarkColumns columns = MeasureBenchmarkColumns(rows);
  // The seek title with its stride (39 bytes) is longer than any transfer title (32).
  EXPECT_EQ(columns.title, 40u);
  EXPECT_EQ(columns.size, 7u);
  EXPECT_EQ(columns.value, 21u);
  EXPECT_EQ(columns.note, 19u);  // "(Readコマンド使用)": 10 single and 4 double-byte characters
  EXPECT_EQ(columns.Total(), 40u + 7 + 19 + 24);
}

TEST(BenchmarkText, TheClipboardTableLinesUpTitlesSizesAndValues) {
  const std::vector<BenchmarkResult> rows = {
      {kBenchCommandTime, kTitleTestUnitReady, "", 999, ""},
      {kBenchSeekTime, SequentialSeekTitle(63), "", 20500, kReadFallbackNote},
      {kBenchTransferRate, TransferTitle(false, kRegionStart), "2048B", 1000000, ""},
  };
  // Columns 40, 6, 21: title left, size and value right, note last; a row without a note still
  // ends in its (empty) note before CR LF.
  const std::string expected =
      std::string(kTitleTestUnitReady) + Blanks(40 - 24) + " " + Blanks(6) + " " + Blanks(21 - 9) + "0.99ms   " + " " +
      "\r\n" + SequentialSeekTitle(63) + Blanks(1) + " " + Blanks(6) + " " + Blanks(21 - 10) + "20.50ms   " + " " +
      kReadFallbackNote + "\r\n" + TransferTitle(false, kRegionStart) + Blanks(8) + " " + " 2048B" + " " +
      Blanks(21 - 12) + "1000.00kB/s " + " " + "\r\n";
  EXPECT_EQ(BenchmarkTableText(rows), expected);
  EXPECT_EQ(BenchmarkTableText({}), "");
}

}  // namespace
}  // namespace orv
