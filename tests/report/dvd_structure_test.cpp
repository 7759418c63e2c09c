#include "report/dvd_structure.h"

#include <gtest/gtest.h>

#include "report_test_util.h"
#include "toolkit/format.h"

namespace orv {
namespace {

// A READ DVD STRUCTURE answer: the 4-byte header (its data length counts the reserved bytes) and the data.
std::vector<uint8_t> Answer(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> answer = test::Placed(4 + data.size(), 4, data);
  answer[0] = static_cast<uint8_t>((data.size() + 2) >> 8);
  answer[1] = static_cast<uint8_t>(data.size() + 2);
  return answer;
}

// The section of each answer and the layer count it tells; the expected texts: golden/dvd_structures.txt.
TEST(AddDvdStructureSection, EveryFormatAsItsGoldenText) {
  std::vector<uint8_t> leadIn = test::Placed(40, 1, {0x02, 0x10, 0x22, 0x3F, 0x20, 0x61, 0, 0, 0xA5, 0x5A, 0x12, 0x34,
                                                     0x56, 0x78, 0, 0, 'M', 'A', 'K', 'E', 'R', '1', 0, 0, 'A', 'B'});
  leadIn[35] = 0xEE;
  const struct {
    const char* name;
    uint8_t format;
    uint8_t layer;
    std::vector<uint8_t> answer;
    uint32_t layers;  // what the section tells of the medium
  } cases[] = {
      {"PhysicalSingleLayer", 0x00, 0, Answer(test::Placed(40, 0, {0x16, 0x02, 0x04, 0x10, 0x00, 0x03, 0x10, 0x00,
                                                                  0x00, 0x2A, 0x0F, 0x20, 0x00, 0x00, 0x00, 0x00, 0x80,
                                                                  'D', 'V', 'D', '-', 'R', 'A', 'M'})), 1},
      {"PhysicalSecondOfTwoLayers", 0x00, 1, Answer({0x01, 0x0F, 0x21, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
                                                    0xFC, 0xFF, 0xFF, 0x00, 0x1E, 0xFF, 0xFF, 0x00}), 2},
      {"MediumStatusWithoutCartridge", 0x09, 0, Answer({0x86, 0x10, 0x00, 0x00}), 0},
      {"MediumStatusCartridgeOnly", 0x09, 0, Answer({0x00, 0x00, 0x00, 0x02}), 0},
      {"MediumStatusOtherDiscType", 0x09, 0, Answer({0x00, 0x20, 0x00, 0x02}), 0},
      {"SpareArea", 0x0A, 0, Answer({0, 0, 0x2F, 0x00, 0, 0, 0, 0, 0, 0, 0x01, 0x00}), 0},
      // 4294967295 blocks of 2048 bytes: the byte count is 64-bit.
      {"SpareAreaLargest", 0x0A, 0, Answer({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}), 0},
      {"LeadIn", 0x0E, 0, Answer(leadIn), 0},
      {"UniqueDiscId", 0x0F, 0, Answer({0, 0, 0xBE, 0xEF, '2', '0', '0', '4', '0', '1', '1', '4', '2', '2', '0', '0',
                                        '1', '8'}), 0},
      // One byte below what each decoder needs: a dump.
      {"PhysicalShort", 0x00, 0, Answer(std::vector<uint8_t>(16, 0x41)), 0},
      {"MediumStatusShort", 0x09, 0, Answer(std::vector<uint8_t>(3, 0x41)), 0},
      {"SpareAreaShort", 0x0A, 0, Answer(std::vector<uint8_t>(11, 0x41)), 0},
      {"LeadInShort", 0x0E, 0, Answer(std::vector<uint8_t>(32, 0x41)), 0},
      {"UniqueDiscIdShort", 0x0F, 0, Answer(std::vector<uint8_t>(17, 0x41)), 0},
      // Formats without decoder (01h and 08h show in the presets' info goldens), and unnamed.
      {"DiscControlBlocks", 0x30, 0, Answer({1, 2, 3}), 0},
      {"Unnamed", 0x42, 0, Answer({1, 2, 3}), 0},
      // A data length beyond the answer is cut at the answer; one below 2 means no data.
      {"DataLengthBeyondTheAnswer", 0x09, 0, {0x10, 0x00, 0, 0, 0x86, 0x10, 0x00, 0x00}, 0},
      {"DataLengthBelowTwo", 0x09, 0, {0x00, 0x01, 0, 0, 0x86}, 0},
  };
  test::NamedTexts texts;
  for (const auto& c : cases) {
    DriveReport report;
    EXPECT_EQ(AddDvdStructureSection(report, c.format, c.layer, c.answer, 2048), c.layers) << c.name;
    texts.emplace_back(c.name, test::Rendered(report));
  }
  test::ExpectGoldenCases("dvd_structures.txt", texts);
}

TEST(DvdStructureList, EntriesInListOrderWithinTheListLength) {
  const auto formats = [](const std::vector<uint8_t>& answer) {
    std::string text;
    for (const DvdListedFormat& entry : DvdStructureList(answer))
      text += Format("%02X:%04X ", entry.format, entry.length);
    return text;
  };
  // Whole lists walk in the presets' info goldens; a length that claims more than came stops at the last entry.
  EXPECT_EQ(formats({0x04, 0x02, 0, 0, 0x00, 0x40, 0x08, 0x04, 0x08, 0x40}), "00:0804 ");
}

TEST(AddDvdLayerHead, HeadSectionDumpsTheListAndShortListsAddNothing) {
  DriveReport report;
  const std::vector<uint8_t> list = {0x00, 0x06, 0, 0, 0x00, 0x40, 0x08, 0x04, 0x99};
  EXPECT_TRUE(AddDvdLayerHead(report, 1, kSectionChild, list));
  EXPECT_FALSE(AddDvdLayerHead(report, 0, kSectionHead, std::vector<uint8_t>{0x00, 0x01, 0, 0}));
  EXPECT_EQ(test::Rendered(report),
            test::Lines({"-- 7.1 DVD Structure layer:1",
                         "ADDRESS    +0 +1 +2 +3 +4 +5 +6 +7 - +8 +9 +A +B +C +D +E +F  ----------------",
                         "0000-0000  00 06 00 00 00 40 08 04 -                          .....@..        "}));
}

}  // namespace
}  // namespace orv
