#include "report/dvd_structure.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "report_test_util.h"

namespace orv {
namespace {

using test::Lines;
using test::Titles;

const char kOffsetsHeading[] = "          OFFS +0 +1 +2 +3 +4 +5 +6 +7 +8 +9 +A +B +C +D +E +F ----------------";

// A READ DVD STRUCTURE answer: the 4-byte header (data length counting its reserved bytes) and
// the structure data.
std::vector<uint8_t> Answer(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> answer(4 + data.size(), 0);
  answer[0] = static_cast<uint8_t>((data.size() + 2) >> 8);
  answer[1] = static_cast<uint8_t>(data.size() + 2);
  for (size_t i = 0; i < data.size(); ++i) answer[4 + i] = data[i];
  return answer;
}

std::string SectionText(uint8_t format, uint8_t layer, const std::vector<uint8_t>& answer, uint32_t blockLength = 2048) {
  DriveReport report;
  AddDvdStructureSection(report, format, layer, answer, blockLength);
  return report.Row(0).text;
}

TEST(AddDvdStructureSection, PhysicalFormatOfASingleLayerDvdRam) {
  std::vector<uint8_t> data = test::Placed(40, 0, {0x16, 0x02, 0x04, 0x10, 0x00, 0x03, 0x10, 0x00, 0x00, 0x2A, 0x0F,
                                                   0x20, 0x00, 0x00, 0x00, 0x00, 0x80, 'D', 'V', 'D', '-', 'R', 'A', 'M'});
  DriveReport report;
  EXPECT_EQ(AddDvdStructureSection(report, 0x00, 0, Answer(data), 2048), 1u);
  ASSERT_EQ(Titles(report), (std::vector<std::string>{"  Physical Format Information"}));
  EXPECT_EQ(report.Row(0).kind, kSectionConfiguration);
  EXPECT_EQ(report.Row(0).subKind, kSectionChild);
  EXPECT_EQ(report.Row(0).text,
            Lines({"Format:00H Layer:0  Address:----  size:  40 : Physical Format Information",
                   "Book Type                                              1H DVD-RAM",
                   "Part Version                                           6",
                   "Disc Size                                              0 120mm",
                   "Maximum Rate                                           2H 10.08 Mbps",
                   "Number of Layers                                       0",
                   "Track Path                                             0",
                   "Layer Type                                             4H",
                   "                          Layer contains rewritable data",
                   "Linear Density                                         1H 0.293um/bit",
                   "Track Density                                          0H 0.74 um/track",
                   "Starting Phy. Sector # of Data Area               031000H",
                   "End Phy. Sector # of Data Area                    2A0F20H",
                   "End Phy. Sector # in Layer 0                      000000H",
                   "BCA                                                    1",
                   kOffsetsHeading,
                   "          0010    44 56 44 2D 52 41 4D 00 00 00 00 00 00 00 00  DVD-RAM........",
                   "          0020 00 00 00 00 00 00 00 00                         ........        "}));
}

TEST(AddDvdStructureSection, PhysicalFormatOfTheSecondLayerOfADualLayerDisc) {
  const std::vector<uint8_t> data = {0x01, 0x0F, 0x21, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
                                     0xFC, 0xFF, 0xFF, 0x00, 0x1E, 0xFF, 0xFF, 0x00};
  DriveReport report;
  EXPECT_EQ(AddDvdStructureSection(report, 0x00, 1, Answer(data), 2048), 2u);
  const std::string& text = report.Row(0).text;
  EXPECT_EQ(text.substr(0, text.find("\r\n")), "Format:00H Layer:1  Address:----  size:  17 : Physical Format Information");
  EXPECT_NE(text.find(Lines({"Maximum Rate                                           FH Not Specified",
                             "Number of Layers                                       1",
                             "Track Path                                             0",
                             "Layer Type                                             1H",
                             "                            Layer contains embossed data"})),
            std::string::npos);
  EXPECT_NE(text.find("End Phy. Sector # in Layer 0                      1EFFFFH\r\n"), std::string::npos);
}

TEST(AddDvdStructureSection, MediumStatusWithEachDiscType) {
  const struct {
    std::vector<uint8_t> data;
    std::vector<std::string> tail;  // from the disc type line on
  } cases[] = {
      {{0x86, 0x10, 0x00, 0x00},
       {"Disc Type Identification                              10H",
        "                 Disc may be written without a cartridge",
        "DVD-RAM Specific Write Inhibition Information         00H"}},
      {{0x00, 0x00, 0x00, 0x02},
       {"Disc Type Identification                              00H",
        "           Disc shall not be written without a cartridge",
        "DVD-RAM Specific Write Inhibition Information         02H"}},
      {{0x00, 0x20, 0x00, 0x02},
       {"Disc Type Identification                              20H",
        "DVD-RAM Specific Write Inhibition Information         02H"}},
  };
  for (const auto& c : cases) {
    const std::string text = SectionText(0x09, 0, Answer(c.data));
    EXPECT_EQ(text.substr(text.find("Disc Type")), Lines(c.tail)) << int{c.data[1]};
  }
  EXPECT_EQ(SectionText(0x09, 0, Answer({0x86, 0x10, 0x00, 0x00})),
            Lines({"Format:09H Layer:0  Address:----  size:   4 : DVD-RAM Medium Status",
                   "Medium in Cartridge                                    1",
                   "Medium Out from Cartridge                              0",
                   "Medium Specific Write Inhibition                       0",
                   "Medium Cartrige Write Protection                       1",
                   "Persistent Write Protection                            1",
                   "Disc Type Identification                              10H",
                   "                 Disc may be written without a cartridge",
                   "DVD-RAM Specific Write Inhibition Information         00H"}));
}

TEST(AddDvdStructureSection, SpareAreaCountsAndTheirBytes) {
  EXPECT_EQ(SectionText(0x0A, 0, Answer({0, 0, 0x2F, 0x00, 0, 0, 0, 0, 0, 0, 0x01, 0x00})),
            Lines({"Format:0AH Layer:0  Address:----  size:  12 : DVD-RAM Spare Area Information",
                   "Unused Primary Spare blocks                       12,032  (   24,641,536B",
                   "Unused Supplemntary Spare blocks                       0  (            0B",
                   "Allocated Supplemntary Spare blocks                  256  (      524,288B"}));
  // The byte count is 64-bit: 4294967295 blocks of 2048 bytes.
  EXPECT_NE(SectionText(0x0A, 0, Answer({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}))
                .find("Unused Primary Spare blocks                4,294,967,295  (8,796,093,020,160B\r\n"),
            std::string::npos);
}

TEST(AddDvdStructureSection, PreRecordedLeadIn) {
  std::vector<uint8_t> data = test::Placed(40, 1, {0x02, 0x10, 0x22, 0x3F, 0x20, 0x61, 0, 0, 0xA5, 0x5A, 0x12, 0x34,
                                                   0x56, 0x78, 0, 0, 'M', 'A', 'K', 'E', 'R', '1', 0, 0, 'A', 'B'});
  data[35] = 0xEE;
  EXPECT_EQ(SectionText(0x0E, 0, Answer(data)),
            Lines({"Format:0EH Layer:0  Address:----  size:  40 : Pre-recording Information in Lead-in",
                   "Disc Application code                                 02H",
                   "Disc Physical code                                    10H",
                   "Last address of Data Recordable Area              223F20H",
                   "Part Version                                           6H",
                   "Extension code                                         1H",
                   "OPC Suggested Code                                    A5H",
                   "Wavelength/OPC Suggested Code                         5AH",
                   "White Strategy Code                             12345678H",
                   "Manufacturer ID                                   MAKER1",
                   "Manufacturer ID                                       AB",
                   kOffsetsHeading,
                   "          0020    00 00 EE 00 00 00 00                          .......        "}));
}

TEST(AddDvdStructureSection, UniqueDiscIdentifier) {
  EXPECT_EQ(SectionText(0x0F, 0,
                        Answer({0, 0, 0xBE, 0xEF, '2', '0', '0', '4', '0', '1', '1', '4', '2', '2', '0', '0', '1', '8'})),
            Lines({"Format:0FH Layer:0  Address:----  size:  18 : Unique Disc Indentifier",
                   "Random Number                                       BEEFH",
                   "Year/Month/Day hh:mm:ss              2004/01/14 22:00:18"}));
}

TEST(AddDvdStructureSection, TooFewBytesForTheDecoderGiveADump) {
  const struct {
    uint8_t format;
    size_t size;  // one below the decoder's need
  } cases[] = {{0x00, 16}, {0x09, 3}, {0x0A, 11}, {0x0E, 32}, {0x0F, 17}};
  for (const auto& c : cases) {
    const std::string text = SectionText(c.format, 0, Answer(std::vector<uint8_t>(c.size, 0x41)));
    const size_t second = text.find("\r\n") + 2;
    EXPECT_EQ(text.substr(second, 7), "ADDRESS") << int{c.format};
  }
}

TEST(AddDvdStructureSection, AddressTextAndTitlesOfUndecodedFormats) {
  const struct {
    uint8_t format;
    const char* title;
    const char* firstLine;
  } cases[] = {
      {0x08, "  DVD-RAM Disc Definition Structure",
       "Format:08H Layer:0  Address:0000  size:   3 : DVD-RAM Disc Definition Structure"},
      {0x01, "  DVD Copyright Information", "Format:01H Layer:0  Address:----  size:   3 : DVD Copyright Information"},
      {0x30, "  Disc Control Blocks", "Format:30H Layer:0  Address:0000  size:   3 : Disc Control Blocks"},
      {0x42, "  Format:42", "Format:42H Layer:0  Address:----  size:   3 : "},
  };
  for (const auto& c : cases) {
    DriveReport report;
    AddDvdStructureSection(report, c.format, 0, Answer({1, 2, 3}), 2048);
    EXPECT_EQ(report.RowTitle(0), c.title);
    EXPECT_EQ(report.Row(0).text,
              Lines({c.firstLine, "ADDRESS    +0 +1 +2 +3 +4 +5 +6 +7 - +8 +9 +A +B +C +D +E +F  ----------------",
                     "0000-0000  01 02 03                -                          ...             "}));
  }
}

TEST(AddDvdStructureSection, DataLengthBeyondTheAnswerIsCut) {
  std::vector<uint8_t> answer = {0x10, 0x00, 0, 0, 0x86, 0x10, 0x00, 0x00};
  const std::string text = SectionText(0x09, 0, answer);
  EXPECT_EQ(text.substr(0, text.find("\r\n")), "Format:09H Layer:0  Address:----  size:4094 : DVD-RAM Medium Status");
  EXPECT_NE(text.find("Disc may be written without a cartridge"), std::string::npos);
  // A data length below 2 means no data at all.
  EXPECT_EQ(SectionText(0x09, 0, {0x00, 0x01, 0, 0, 0x86}),
            Lines({"Format:09H Layer:0  Address:----  size:   0 : DVD-RAM Medium Status"}));
}

TEST(DvdStructureList, EntriesInListOrderWithinTheListLength) {
  const std::vector<uint8_t> answer = {0x00, 0x0E, 0, 0, 0x00, 0x40, 0x08, 0x04, 0x08, 0x40,
                                       0x08, 0x00, 0xFF, 0x40, 0x00, 0x28, 0x0A, 0x40, 0x00, 0x10};
  const std::vector<DvdListedFormat> list = DvdStructureList(answer);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].format, 0x00);
  EXPECT_EQ(list[0].length, 0x0804);
  EXPECT_EQ(list[1].format, 0x08);
  EXPECT_EQ(list[2].format, 0xFF);
  EXPECT_EQ(list[2].length, 0x28);
  // A length that claims more than was received stops at the last whole entry.
  EXPECT_EQ(DvdStructureList(std::vector<uint8_t>{0x04, 0x02, 0, 0, 0x00, 0x40, 0x08, 0x04, 0x08, 0x40}).size(), 1u);
}

TEST(AddDvdLayerHead, HeadSectionDumpsTheListAndShortListsAddNothing) {
  DriveReport report;
  EXPECT_TRUE(AddDvdLayerHead(report, 1, kSectionChild, std::vector<uint8_t>{0x00, 0x06, 0, 0, 0x00, 0x40, 0x08, 0x04, 0x99}));
  EXPECT_FALSE(AddDvdLayerHead(report, 0, kSectionHead, std::vector<uint8_t>{0x00, 0x01, 0, 0}));
  ASSERT_EQ(Titles(report), (std::vector<std::string>{"DVD Structure layer:1"}));
  EXPECT_EQ(report.Row(0).kind, kSectionDvdLayer);
  EXPECT_EQ(report.Row(0).subKind, kSectionChild);
  EXPECT_EQ(report.Row(0).text,
            Lines({"ADDRESS    +0 +1 +2 +3 +4 +5 +6 +7 - +8 +9 +A +B +C +D +E +F  ----------------",
                   "0000-0000  00 06 00 00 00 40 08 04 -                          .....@..        "}));
}

TEST(DvdStructureIsPerLayer, OnlyTheLayerFormats) {
  for (int format = 0; format < 256; ++format) {
    const bool perLayer = format == 0x00 || format == 0x01 || format == 0x04 || format == 0x10;
    EXPECT_EQ(DvdStructureIsPerLayer(static_cast<uint8_t>(format)), perLayer) << format;
  }
}

}  // namespace
}  // namespace orv
