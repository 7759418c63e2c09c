// The table's texts byte for byte: titles, value column, column widths and the clipboard text.
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
      {kBenchCommandTime, 0, "0.00ms   "},
      {kBenchSeekTime, 123456, "123.45ms   "},
      {kBenchSeekTime, 1009, "1.00ms   "},
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

TEST(BenchmarkText, TitlesPadTheirFieldsInBytes) {
  EXPECT_EQ(SequentialSeekTitle(63), "シーケンシャル シーク (シークセクタ 63)");
  EXPECT_EQ(SequentialSeekTitle(0), "シーケンシャル シーク (シークセクタ 0)");
  // "%-14s %-6s%-11s": the sequential name and "リード" fill their fields exactly (7 and 3
  // double-byte characters), the random name is padded with six blanks, a missing label with 11.
  EXPECT_EQ(TransferTitle(false, kRegionStart), "シーケンシャル リード / スタート");
  EXPECT_EQ(TransferTitle(false, kRegionEnd), "シーケンシャル リード / エンド  ");
  EXPECT_EQ(TransferTitle(false, kRegionAverage), "シーケンシャル リード / 平均    ");
  EXPECT_EQ(TransferTitle(true, ""), "ランダム" + Blanks(6) + " リード" + Blanks(11));
  for (const char* label : {kRegionStart, kRegionEnd, kRegionAverage, ""})
    EXPECT_EQ(TransferTitle(label[0] == 0, label).size(), 32u) << label;
  EXPECT_EQ(TransferSizeText(65536), "65536B");
}

TEST(BenchmarkText, ColumnsAreOneWiderThanTheirLongestText) {
  EXPECT_EQ(MeasureBenchmarkColumns({}).title, 1u);
  EXPECT_EQ(MeasureBenchmarkColumns({}).size, 1u);
  EXPECT_EQ(MeasureBenchmarkColumns({}).value, 21u);
  EXPECT_EQ(MeasureBenchmarkColumns({}).note, 1u);
  EXPECT_EQ(MeasureBenchmarkColumns({}).Total(), 27u);

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
