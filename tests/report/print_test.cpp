// The print routines every section is written with (columns, grouped numbers, hex dumps), and the capacity.
#include "report/capacity_section.h"
#include "report/hex_dump.h"
#include "report/print.h"

#include <gtest/gtest.h>

#include <limits>
#include <numeric>

#include "report_test_util.h"

namespace orv {
namespace {

using test::Lines;

std::string Columns(std::string text, std::initializer_list<ColumnItem> items, LineEnd end = LineEnd::kClose) {
  AppendColumns(text, items, end);
  return text;
}

TEST(AppendColumns, ItemsStandAtTheirColumnsOfWhatThisCallAppends) {
  EXPECT_EQ(Columns("", {{0, "Label"}, {10, "value"}, {16, "unit"}}), "Label     value unit\r\n");
  EXPECT_EQ(Columns("", {{0, "A label longer than ten"}, {10, "v"}}), "A label longer than tenv\r\n");
  EXPECT_EQ(Columns("before ", {{4, "x"}}), "before     x\r\n");
  EXPECT_EQ(Columns("", {{0, "a"}, {3, "b"}}, LineEnd::kOpen), "a  b");
  EXPECT_EQ(Columns("", {{0, "Heading\r\n"}}), "Heading\r\n\r\n");
  // A negative first column, or nothing appended, adds no line.
  EXPECT_EQ(Columns("", {{-1, "never"}, {10, "shown"}}), "");
  EXPECT_EQ(Columns("", {{0, ""}}), "");
}

TEST(FormatGrouped, GroupsOfThreeFromTheRight) {
  const std::pair<int64_t, const char*> cases[] = {
      {0, "0"}, {999, "999"}, {1000, "1,000"}, {1234567, "1,234,567"}, {-128, "-128"}, {-1234, "-1,234"},
      {-123456, "-123,456"}, {std::numeric_limits<int64_t>::max(), "9,223,372,036,854,775,807"},
      {std::numeric_limits<int64_t>::min(), "-9,223,372,036,854,775,808"},
  };
  for (const auto& [value, expected] : cases) {
    std::string text = "old content";
    EXPECT_EQ(FormatGrouped(text, value), expected) << value;
  }
  std::string text;
  EXPECT_EQ(FormatGroupedRight(10, text, 1234567), " 1,234,567");
  EXPECT_EQ(FormatGroupedRight(4, text, 1234567), "1,234,567");
  EXPECT_EQ(FormatGroupedRight(16, text, -2), "              -2");
}

const char kAddressed[] = "ADDRESS    +0 +1 +2 +3 +4 +5 +6 +7 - +8 +9 +A +B +C +D +E +F  ----------------";
const char kOffsets[] = "          OFFS +0 +1 +2 +3 +4 +5 +6 +7 +8 +9 +A +B +C +D +E +F ----------------";

std::vector<uint8_t> Counting(size_t n, uint8_t first) {
  std::vector<uint8_t> bytes(n);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

std::string Addressed(uint32_t base, const std::vector<uint8_t>& data) {
  std::string text;
  HexDumpAddressed(text, base, data);
  return text;
}

std::string Offsets(uint32_t base, size_t start, size_t end, const std::vector<uint8_t>& data) {
  std::string text;
  HexDumpOffsets(text, base, start, end, data);
  return text;
}

// Whole and partial rows show in every preset's info golden; here, both halves of base + offset, and the
// printable bytes of code page 932: 20h-7Eh and the half-width katakana A1h-DFh.
TEST(HexDumpAddressed, AddressesAndPrintableRuleOfCodePage932) {
  EXPECT_EQ(Addressed(0, {}), "");
  EXPECT_EQ(Addressed(0x10000, Counting(17, 0x30)),
            Lines({kAddressed, "0001-0000  30 31 32 33 34 35 36 37 - 38 39 3A 3B 3C 3D 3E 3F  0123456789:;<=>?",
                   "0001-0010  40                      -                          @               "}));
  EXPECT_EQ(Addressed(0, {0x1F, 0x20, 0x41, 0x7E, 0x7F, 0x80, 0xA0, 0xA1, 0xB1, 0xDF, 0xE0, 0x81, 0xFF}),
            Lines({kAddressed,
                   "0000-0000  1F 20 41 7E 7F 80 A0 A1 - B1 DF E0 81 FF           . A~...\xA1\xB1\xDF...   "}));
}

TEST(HexDumpOffsets, WindowRowsAndOffsets) {
  // A window inside one row: the other positions are blank.
  EXPECT_EQ(Offsets(0, 5, 9, Counting(32, 0x61)),
            Lines({kOffsets, "          0000                66 67 68 69                           fghi       "}));
  // Rows start at the row holding the start.
  EXPECT_EQ(Offsets(0, 17, 35, Counting(40, 0x30)),
            Lines({kOffsets, "          0010    41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F  ABCDEFGHIJKLMNO",
                   "          0020 50 51 52                                        PQR             "}));
  // Only the low 16 bits of base + row are shown.
  EXPECT_EQ(Offsets(0xFFF0, 0, 32, Counting(32, 0x40)),
            Lines({kOffsets, "          FFF0 40 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F @ABCDEFGHIJKLMNO",
                   "          0000 50 51 52 53 54 55 56 57 58 59 5A 5B 5C 5D 5E 5F PQRSTUVWXYZ[\\]^_"}));
  // An end beyond the data is cut at the data; no row at all appends nothing.
  EXPECT_EQ(Offsets(0, 0, 1000, Counting(3, 0x41)),
            Lines({kOffsets, "          0000 41 42 43                                        ABC             "}));
  EXPECT_EQ(Offsets(0, 16, 16, Counting(32, 0)) + Offsets(0, 40, 50, Counting(32, 0)), "");
}

// The expected sections are in golden/capacity.txt.
TEST(AddCapacitySection, NumbersThenMediaTypeAndGeometry) {
  const ReportGeometry geometry{{1120, 0x0B, 64, 32, 2048}, "Removable"};
  const ReportGeometry longest{{1234567890123456789ull, 0x0C, 4294967295u, 4294967295u, 4294967295u}, "Fixed"};
  const struct {
    const char* name;
    std::vector<uint8_t> capacity;
    const ReportGeometry* geometry;
    uint64_t blocks = 0, blockLength = 0;  // the section's values
  } cases[] = {
      {"WithGeometry", {0x00, 0x23, 0x05, 0x40, 0x00, 0x00, 0x08, 0x00}, &geometry, 2295104, 2048},
      // The 64-bit product of two 32-bit fields, wider than its 16 columns, is not cut.
      {"LargestWithoutGeometry", {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x10, 0x00}, nullptr, 4294967295u, 4096},
      // A geometry longer than its column follows its label; its product passes 64 bits, shown exactly.
      {"LongGeometry", {0, 0, 0, 1, 0, 0, 2, 0}, &longest, 1, 512},
      // No section without blocks, without a block length, or with a short field.
      {"NoBlocks", {0, 0, 0, 0, 0, 0, 8, 0}, &geometry},
      {"NoBlockLength", {0, 0, 0, 1, 0, 0, 0, 0}, &geometry},
      {"ShortField", {0, 0, 0, 1, 0, 0, 8}, &geometry},
  };
  test::NamedTexts texts;
  for (const auto& c : cases) {
    DriveReport report;
    AddCapacitySection(report, c.capacity, c.geometry);
    texts.emplace_back(c.name, test::Rendered(report));
    if (report.RowCount() == 1) {
      EXPECT_EQ(report.Row(0).valueA, c.blocks) << c.name;
      EXPECT_EQ(report.Row(0).valueB, c.blockLength) << c.name;
    }
  }
  test::ExpectGoldenCases("capacity.txt", texts);
}

}  // namespace
}  // namespace orv
