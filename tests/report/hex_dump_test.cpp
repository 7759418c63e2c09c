#include "report/hex_dump.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "report_test_util.h"

namespace orv {
namespace {

using test::Lines;

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

TEST(HexDumpAddressed, RowLayoutsAndAddresses) {
  // Whole and partial rows show in every preset's info golden; here, both halves of base + offset.
  EXPECT_EQ(Addressed(0, {}), "");
  EXPECT_EQ(Addressed(0x10000, Counting(17, 0x30)),
            Lines({kAddressed, "0001-0000  30 31 32 33 34 35 36 37 - 38 39 3A 3B 3C 3D 3E 3F  0123456789:;<=>?",
                   "0001-0010  40                      -                          @               "}));
}

TEST(HexDumpAddressed, PrintableRuleOfCodePage932) {
  // Printable: 20h-7Eh and the half-width katakana A1h-DFh.
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

}  // namespace
}  // namespace orv
