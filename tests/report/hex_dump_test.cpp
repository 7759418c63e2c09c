#include "report/hex_dump.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

namespace orv {
namespace {

const char kAddressedHeading[] =
    "ADDRESS    +0 +1 +2 +3 +4 +5 +6 +7 - +8 +9 +A +B +C +D +E +F  ----------------\r\n";
const char kOffsetsHeading[] =
    "          OFFS +0 +1 +2 +3 +4 +5 +6 +7 +8 +9 +A +B +C +D +E +F ----------------\r\n";

std::string Blanks(size_t n) { return std::string(n, ' '); }

std::vector<uint8_t> Counting(size_t n, uint8_t first) {
  std::vector<uint8_t> bytes(n);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

TEST(HexDumpAddressed, EmptyDataAppendsNothing) {
  std::string text;
  HexDumpAddressed(text, 0, {});
  EXPECT_EQ(text, "");
}

TEST(HexDumpAddressed, PartialSecondRowIsPaddedWithBlanks) {
  std::string text;
  HexDumpAddressed(text, 0, Counting(20, 0x41));
  EXPECT_EQ(text, std::string(kAddressedHeading) +
                      "0000-0000  41 42 43 44 45 46 47 48 - 49 4A 4B 4C 4D 4E 4F 50  ABCDEFGHIJKLMNOP\r\n"
                      "0000-0010  51 52 53 54" + Blanks(4 * 3) + " -" + Blanks(8 * 3) + "  QRST" + Blanks(12) + "\r\n");
}

TEST(HexDumpAddressed, HeadingColumnsStandOverTheirBytes) {
  std::string text;
  HexDumpAddressed(text, 0, Counting(16, 0));
  const size_t rowStart = text.find("\r\n") + 2;
  const std::string heading = text.substr(0, rowStart);
  const std::string row = text.substr(rowStart);
  const char* labels[] = {"+0", "+1", "+2", "+3", "+4", "+5", "+6", "+7", "+8", "+9", "+A", "+B", "+C", "+D", "+E", "+F"};
  const char* bytes[] = {"00", "01", "02", "03", "04", "05", "06", "07", "08", "09", "0A", "0B", "0C", "0D", "0E", "0F"};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(heading.find(labels[i]), row.find(std::string(" ") + bytes[i]) + 1) << i;
}

TEST(HexDumpAddressed, AddressShowsBothHalvesOfBasePlusOffset) {
  std::string text;
  HexDumpAddressed(text, 0x10000, Counting(17, 0x30));
  EXPECT_NE(text.find("\r\n0001-0000  30"), std::string::npos);
  EXPECT_NE(text.find("\r\n0001-0010  40 "), std::string::npos);
}

TEST(HexDumpAddressed, PrintableRuleOfCodePage932) {
  const struct {
    uint8_t byte;
    char shown;
  } cases[] = {
      {0x1F, '.'}, {0x20, ' '}, {0x41, 'A'}, {0x7E, '~'}, {0x7F, '.'}, {0x80, '.'},
      {0xA0, '.'}, {0xA1, '\xA1'}, {0xB1, '\xB1'}, {0xDF, '\xDF'}, {0xE0, '.'}, {0x81, '.'}, {0xFF, '.'},
  };
  for (const auto& c : cases) {
    std::string text;
    HexDumpAddressed(text, 0, std::vector<uint8_t>{c.byte});
    const std::string row = text.substr(text.find("\r\n") + 2);
    EXPECT_EQ(row[row.size() - 18], c.shown) << std::hex << int{c.byte};
  }
}

TEST(HexDumpOffsets, WindowInsideOneRowBlanksTheOtherPositions) {
  std::string text;
  HexDumpOffsets(text, 0, 5, 9, Counting(32, 0x61));
  EXPECT_EQ(text, std::string(kOffsetsHeading) +
                      "          0000" + Blanks(5 * 3) + " 66 67 68 69" + Blanks(7 * 3) + " " + Blanks(5) + "fghi" +
                      Blanks(7) + "\r\n");
}

TEST(HexDumpOffsets, RowsStartAtTheRowHoldingStart) {
  std::string text;
  HexDumpOffsets(text, 0, 17, 35, Counting(40, 0x30));
  EXPECT_EQ(text, std::string(kOffsetsHeading) +
                      "          0010    41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F  ABCDEFGHIJKLMNO\r\n"
                      "          0020 50 51 52" + Blanks(13 * 3) + " PQR" + Blanks(13) + "\r\n");
}

TEST(HexDumpOffsets, OffsetShowsOnlyTheLow16BitsOfBasePlusRow) {
  std::string text;
  HexDumpOffsets(text, 0xFFF0, 0, 32, Counting(32, 0));
  EXPECT_NE(text.find("\r\n          FFF0 00"), std::string::npos);
  EXPECT_NE(text.find("\r\n          0000 10"), std::string::npos);
}

TEST(HexDumpOffsets, EndBeyondTheDataIsCutAtTheData) {
  std::string text;
  HexDumpOffsets(text, 0, 0, 1000, Counting(3, 0x41));
  EXPECT_EQ(text, std::string(kOffsetsHeading) +
                      "          0000 41 42 43" + Blanks(13 * 3) + " ABC" + Blanks(13) + "\r\n");
}

TEST(HexDumpOffsets, NoRowAppendsNothing) {
  std::string text;
  HexDumpOffsets(text, 0, 16, 16, Counting(32, 0));
  HexDumpOffsets(text, 0, 40, 50, Counting(32, 0));
  EXPECT_EQ(text, "");
}

}  // namespace
}  // namespace orv
